#include "ui/toolkit/UiAttributes.h"

#include <QRegularExpression>
#include <QStringList>

namespace {

bool ParseInts(const QString& text, QList<int>& values)
{
    values.clear();
    const QStringList parts = text.split(QLatin1Char(','));
    for (const QString& part : parts) {
        bool ok = false;
        int value = part.trimmed().toInt(&ok);
        if (!ok)
            return false;
        values.append(value);
    }
    return true;
}

}  // namespace

bool UiAttributes::ParseColor(const QString& text, QColor& color)
{
    QString digits = text.trimmed();
    if (digits.startsWith(QLatin1Char('#')))
        digits.remove(0, 1);
    else if (digits.startsWith(QLatin1String("0x"), Qt::CaseInsensitive))
        digits.remove(0, 2);
    else
        return false;
    bool ok = false;
    uint value = digits.toUInt(&ok, 16);
    if (!ok || (digits.size() != 8 && digits.size() != 6))
        return false;
    if (digits.size() == 6)
        value |= 0xFF000000u;
    color = QColor::fromRgba(value);
    return true;
}

bool UiAttributes::ParseRect(const QString& text, UiRect& rect)
{
    QList<int> values;
    if (!ParseInts(text, values))
        return false;
    if (values.size() == 1) {
        rect = UiRect{values[0], values[0], values[0], values[0]};
        return true;
    }
    if (values.size() != 4)
        return false;
    rect = UiRect{values[0], values[1], values[2], values[3]};
    return true;
}

bool UiAttributes::ParseSize(const QString& text, int& width, int& height)
{
    QList<int> values;
    if (!ParseInts(text, values) || values.size() != 2)
        return false;
    width = values[0];
    height = values[1];
    return true;
}

bool UiAttributes::ParseInt(const QString& text, int& value)
{
    bool ok = false;
    int parsed = text.trimmed().toInt(&ok);
    if (ok)
        value = parsed;
    return ok;
}

bool UiAttributes::ParseBool(const QString& text)
{
    const QString value = text.trimmed();
    return value.compare(QLatin1String("true"), Qt::CaseInsensitive) == 0 || value == QLatin1String("1");
}

bool UiAttributes::ParseAlign(const QString& text, Qt::Alignment& alignment)
{
    static const QRegularExpression separators(QStringLiteral("[|,\\s]+"));
    const QStringList words = text.toLower().split(separators, Qt::SkipEmptyParts);
    if (words.isEmpty())
        return false;
    Qt::Alignment result = alignment;
    for (const QString& word : words) {
        if (word == QLatin1String("left"))
            result = (result & ~Qt::AlignHorizontal_Mask) | Qt::AlignLeft;
        else if (word == QLatin1String("center"))
            result = (result & ~Qt::AlignHorizontal_Mask) | Qt::AlignHCenter;
        else if (word == QLatin1String("right"))
            result = (result & ~Qt::AlignHorizontal_Mask) | Qt::AlignRight;
        else if (word == QLatin1String("top"))
            result = (result & ~Qt::AlignVertical_Mask) | Qt::AlignTop;
        else if (word == QLatin1String("vcenter"))
            result = (result & ~Qt::AlignVertical_Mask) | Qt::AlignVCenter;
        else if (word == QLatin1String("bottom"))
            result = (result & ~Qt::AlignVertical_Mask) | Qt::AlignBottom;
        else
            return false;
    }
    alignment = result;
    return true;
}

bool UiAttributes::ParseImage(const QString& text, UiImage& image)
{
    const QString value = text.trimmed();
    if (!value.contains(QLatin1Char('='))) {
        image = UiImage{value.toStdWString(), UiRect{}};
        return true;
    }
    static const QRegularExpression pair(QStringLiteral("(\\w+)\\s*=\\s*'([^']*)'"));
    UiImage parsed;
    auto matches = pair.globalMatch(value);
    while (matches.hasNext()) {
        const QRegularExpressionMatch match = matches.next();
        const QString key = match.captured(1).toLower();
        if (key == QLatin1String("file"))
            parsed.file = match.captured(2).toStdWString();
        else if (key == QLatin1String("corner") && !ParseRect(match.captured(2), parsed.corner))
            return false;
    }
    if (parsed.file.empty())
        return false;
    image = parsed;
    return true;
}
