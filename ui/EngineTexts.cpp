#include "ui/EngineTexts.h"

#include <QCoreApplication>

QString EngineTexts::Translate(const char* text)
{
    return QCoreApplication::translate(kShownTextContext, text);
}

QString EngineTexts::Translate(const ShownText& text)
{
    std::vector<std::string> values;
    values.reserve(text.values.size());
    for (const ShownText::Value& value : text.values)
        values.push_back(value.marked ? Translate(value.text).toStdString() : value.text);
    return QString::fromStdString(ShownText::Fill(Translate(text.source).toStdString(), values));
}
