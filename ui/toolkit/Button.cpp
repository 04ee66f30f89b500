#include "ui/toolkit/Button.h"

#include "ui/toolkit/UiPainting.h"

#include <QEnterEvent>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QPainter>
#include <QTextDocumentFragment>

Button::Button()
    : QAbstractButton(nullptr), Control(this)
{
    style_.align = Qt::AlignCenter;
    // A click on a button leaves the keyboard focus where it was (in the text pane, say).
    setFocusPolicy(Qt::TabFocus);
    QObject::connect(this, &QAbstractButton::clicked, this, [this] { SendNotify(kNotifyClick); });
}

void Button::SetText(const std::wstring& text)
{
    // The text is drawn here; handing it to QAbstractButton would turn "&" into a shortcut.
    text_ = text;
    UpdateAccessibleName();
    update();
}

void Button::SetToolTip(const std::wstring& text)
{
    Control::SetToolTip(text);
    UpdateAccessibleName();
}

void Button::SetAccessibleName(const std::wstring& name)
{
    accessibleName_ = name;
    UpdateAccessibleName();
}

void Button::ApplyStyle()
{
    Control::ApplyStyle();
    // Markup may be switched on after the text was set.
    UpdateAccessibleName();
}

void Button::UpdateAccessibleName()
{
    // The text is not handed to QAbstractButton (see SetText), so Qt would find no name of its own.
    QString name = QString::fromStdWString(!accessibleName_.empty() ? accessibleName_ : text_);
    if (accessibleName_.empty() && style_.showHtml)
        name = QTextDocumentFragment::fromHtml(name).toPlainText();
    if (name.isEmpty())
        name = toolTip();
    setAccessibleName(name);
}

void Button::SetImage(UiAttributes::UiImage& slot, const std::wstring& image)
{
    UiAttributes::UiImage parsed;
    if (image.empty())
        slot = parsed;
    else if (UiAttributes::ParseImage(QString::fromStdWString(image), parsed))
        slot = parsed;
    if (!slot.IsEmpty())
        UiPainting::LoadImage(slot);
    update();
}

void Button::SetNormalImage(const std::wstring& image)
{
    SetImage(normal_, image);
}

void Button::SetHotImage(const std::wstring& image)
{
    SetImage(hot_, image);
}

void Button::SetPushedImage(const std::wstring& image)
{
    SetImage(pushed_, image);
}

void Button::SetDisabledImage(const std::wstring& image)
{
    SetImage(disabled_, image);
}

void Button::SetHotTextColor(const QColor& color)
{
    hotTextColor_ = color;
    update();
}

void Button::SetPushedTextColor(const QColor& color)
{
    pushedTextColor_ = color;
    update();
}

bool Button::SetAttribute(const std::wstring& name, const std::wstring& value)
{
    QColor color;
    if (name == L"normalimage")
        SetNormalImage(value);
    else if (name == L"hotimage")
        SetHotImage(value);
    else if (name == L"pushedimage")
        SetPushedImage(value);
    else if (name == L"disabledimage")
        SetDisabledImage(value);
    else if (name == L"hottextcolor") {
        if (UiAttributes::ParseColor(QString::fromStdWString(value), color))
            SetHotTextColor(color);
    } else if (name == L"pushedtextcolor") {
        if (UiAttributes::ParseColor(QString::fromStdWString(value), color))
            SetPushedTextColor(color);
    } else
        return Control::SetAttribute(name, value);
    return true;
}

QSize Button::sizeHint() const
{
    return QSize(GetFixedWidth() > 0 ? GetFixedWidth() : 80, GetFixedHeight() > 0 ? GetFixedHeight() : 24);
}

void Button::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    PaintBackground(painter, rect());
    const UiAttributes::UiImage* image = &normal_;
    QColor color = EffectiveTextColor();
    if (!isEnabled()) {
        if (!disabled_.IsEmpty())
            image = &disabled_;
    } else if (isDown()) {
        if (!pushed_.IsEmpty())
            image = &pushed_;
        else if (!hot_.IsEmpty())
            image = &hot_;
        if (pushedTextColor_.isValid())
            color = pushedTextColor_;
        else if (hotTextColor_.isValid())
            color = hotTextColor_;
    } else if (hot_state_) {
        if (!hot_.IsEmpty())
            image = &hot_;
        if (hotTextColor_.isValid())
            color = hotTextColor_;
    }
    UiPainting::DrawImage(painter, rect(), *image);

    const UiRect& p = style_.textPadding;
    UiPainting::TextStyle textStyle;
    textStyle.font = font();
    textStyle.color = color;
    textStyle.align = style_.align;
    textStyle.html = style_.showHtml;
    textStyle.endEllipsis = style_.endEllipsis;
    UiPainting::DrawText(painter, rect().adjusted(p.left, p.top, -p.right, -p.bottom), QString::fromStdWString(text_),
                         textStyle);

    if (IsFocusVisible()) {
        QPen pen(QColor(0x33, 0x33, 0x33));
        pen.setStyle(Qt::DotLine);
        painter.setPen(pen);
        painter.setBrush(Qt::NoBrush);
        painter.drawRect(rect().adjusted(1, 1, -2, -2));
    }
}

void Button::focusInEvent(QFocusEvent* event)
{
    const Qt::FocusReason reason = event->reason();
    if (reason == Qt::TabFocusReason || reason == Qt::BacktabFocusReason || reason == Qt::ShortcutFocusReason)
        focusVisible_ = true;
    else if (reason != Qt::ActiveWindowFocusReason && reason != Qt::PopupFocusReason)
        focusVisible_ = false;
    // Coming back with the window keeps what it showed before: the first focus a window hands
    // out by itself is not one the user asked for, but one left by Tab still is.
    update();
    QAbstractButton::focusInEvent(event);
}

void Button::focusOutEvent(QFocusEvent* event)
{
    if (event->reason() != Qt::ActiveWindowFocusReason && event->reason() != Qt::PopupFocusReason)
        focusVisible_ = false;
    update();
    QAbstractButton::focusOutEvent(event);
}

void Button::keyPressEvent(QKeyEvent* event)
{
    const int key = event->key();
    const bool presses = key == Qt::Key_Space || key == Qt::Key_Return || key == Qt::Key_Enter;
    if (presses && !IsFocusVisible()) {
        event->ignore();
        return;
    }
    if ((key == Qt::Key_Return || key == Qt::Key_Enter) && event->modifiers() == Qt::NoModifier) {
        if (!event->isAutoRepeat())
            click();
        event->accept();
        return;
    }
    QAbstractButton::keyPressEvent(event);
}

void Button::keyReleaseEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Space && !isDown()) {
        event->ignore();
        return;
    }
    QAbstractButton::keyReleaseEvent(event);
}

void Button::enterEvent(QEnterEvent* event)
{
    hot_state_ = true;
    update();
    QAbstractButton::enterEvent(event);
}

void Button::leaveEvent(QEvent* event)
{
    hot_state_ = false;
    update();
    QAbstractButton::leaveEvent(event);
}
