#include "ui/toolkit/LayoutTexts.h"

#include <QCoreApplication>
#include <QXmlStreamReader>

#include <algorithm>

namespace {

// The elements whose attributes describe the window, not a control.
bool IsWindowElement(QStringView element)
{
    for (const char* name : {"Window", "Font", "ScrollBar"}) {
        if (element.compare(QLatin1String(name), Qt::CaseInsensitive) == 0)
            return true;
    }
    return false;
}

// Every attribute of the control elements of a layout that `keep` accepts, and the window's name.
template <typename Keep>
std::vector<LayoutTexts::Entry> Attributes(const QByteArray& xml, Keep keep)
{
    std::vector<LayoutTexts::Entry> entries;
    QXmlStreamReader reader(xml);
    while (!reader.atEnd() && !reader.hasError()) {
        if (reader.readNext() != QXmlStreamReader::StartElement)
            continue;
        // Of the window's own attributes only its name is read out to people.
        const bool window = IsWindowElement(reader.name());
        const QXmlStreamAttributes attributes = reader.attributes();
        for (const QXmlStreamAttribute& attribute : attributes) {
            const QString name = attribute.name().toString().toLower();
            if (window && name != QLatin1String("accessiblename"))
                continue;
            const QString value = attribute.value().toString();
            if (keep(name, value))
                entries.push_back({reader.name().toString(), attributes.value(QStringLiteral("name")).toString(), name, value});
        }
    }
    return entries;
}

}  // namespace

bool LayoutTexts::IsText(const QString& attribute)
{
    return attribute == QLatin1String("text") || attribute == QLatin1String("tooltip") ||
           attribute == QLatin1String("emptytext") || attribute == QLatin1String("placeholder") ||
           attribute == QLatin1String("accessiblename");
}

bool LayoutTexts::LooksShown(const QString& value)
{
    return std::any_of(value.begin(), value.end(), [](QChar c) { return c.unicode() > 0x7F; });
}

QString LayoutTexts::Context(const std::wstring& fileName)
{
    const QString path = QString::fromStdWString(fileName);
    return path.mid(path.lastIndexOf(QLatin1Char('/')) + 1);
}

QString LayoutTexts::Translate(const QString& context, const QString& text)
{
    if (text.isEmpty())
        return text;
    return QCoreApplication::translate(context.toUtf8().constData(), text.toUtf8().constData());
}

std::vector<LayoutTexts::Entry> LayoutTexts::Collect(const QByteArray& xml)
{
    return Attributes(xml, [](const QString& name, const QString& value) { return IsText(name) && !value.isEmpty(); });
}

std::vector<LayoutTexts::Entry> LayoutTexts::Untranslated(const QByteArray& xml)
{
    return Attributes(xml, [](const QString& name, const QString& value) { return !IsText(name) && LooksShown(value); });
}
