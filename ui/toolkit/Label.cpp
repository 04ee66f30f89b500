#include "ui/toolkit/Label.h"

#include "ui/toolkit/UiPainting.h"

#include <QEvent>
#include <QPainter>

Label::Label()
    : QLabel(nullptr), Control(this)
{
    setTextFormat(Qt::PlainText);
    setTextInteractionFlags(Qt::NoTextInteraction);
    ApplyStyle();
}

void Label::SetText(const std::wstring& text)
{
    text_ = text;
    ShowText();
}

void Label::ShowText()
{
    const QString text = QString::fromStdWString(text_);
    // Markup keeps the blanks as written, like plain text does.
    if (style_.showHtml)
        setText(QStringLiteral("<span style=\"white-space:pre-wrap\">") + text + QStringLiteral("</span>"));
    else
        setText(text);
}

bool Label::SetAttribute(const std::wstring& name, const std::wstring& value)
{
    if (name == L"wordwrap") {
        setWordWrap(UiAttributes::ParseBool(QString::fromStdWString(value)));
        return true;
    }
    return Control::SetAttribute(name, value);
}

void Label::ApplyStyle()
{
    Control::ApplyStyle();
    if (textFormat() != (style_.showHtml ? Qt::RichText : Qt::PlainText)) {
        setTextFormat(style_.showHtml ? Qt::RichText : Qt::PlainText);
        ShowText();
    }
    setAlignment(style_.align);
    const UiRect& p = style_.textPadding;
    setContentsMargins(p.left, p.top, p.right, p.bottom);
    QPalette colours = palette();
    const QColor normal = style_.textColor.isValid() ? style_.textColor : QColor(Qt::black);
    colours.setColor(QPalette::Active, QPalette::WindowText, normal);
    colours.setColor(QPalette::Inactive, QPalette::WindowText, normal);
    colours.setColor(QPalette::Disabled, QPalette::WindowText, EffectiveDisabledTextColor());
    setPalette(colours);
}

void Label::paintEvent(QPaintEvent* event)
{
    {
        QPainter painter(this);
        PaintBackground(painter, rect());
        if (style_.endEllipsis && !style_.showHtml && !wordWrap()) {
            UiPainting::TextStyle textStyle;
            textStyle.font = font();
            textStyle.color = EffectiveTextColor();
            textStyle.align = style_.align;
            textStyle.endEllipsis = true;
            UiPainting::DrawText(painter, contentsRect(), QString::fromStdWString(text_), textStyle);
            return;
        }
    }
    QLabel::paintEvent(event);
}

void Label::changeEvent(QEvent* event)
{
    QLabel::changeEvent(event);
    if (event->type() == QEvent::ParentChange)
        ApplyStyle();
}

TextLabel::TextLabel()
{
    setWordWrap(true);
    SetAlign(Qt::AlignLeft | Qt::AlignTop);
}
