#include "ui/toolkit/Control.h"

#include "base/platform/SystemInfo.h"
#include "ui/toolkit/Container.h"
#include "ui/toolkit/WindowBase.h"
#include "ui/toolkit/WindowWidget.h"
#include "ui/toolkit/UiPainting.h"

#include <QCursor>
#include <QPainter>
#include <QWidget>

namespace {

QString ToQ(const std::wstring& text)
{
    return QString::fromStdWString(text);
}

}  // namespace

Control::Control(QWidget* self)
    : widget_(self)
{
}

Control::~Control() = default;

std::wstring Control::GetClass() const
{
    return L"Control";
}

void Control::SetName(const std::wstring& name)
{
    name_ = name;
    if (widget_ != nullptr)
        widget_->setObjectName(ToQ(name));
}

WindowWidget* Control::GetWindowWidget() const
{
    if (widget_ != nullptr)
        return dynamic_cast<WindowWidget*>(widget_->window());
    return parent_ != nullptr ? parent_->GetWindowWidget() : nullptr;
}

WindowBase* Control::GetWindow() const
{
    WindowWidget* window = GetWindowWidget();
    if (window == nullptr || window->IsClosing())
        return nullptr;
    return window->Owner();
}

std::wstring Control::GetText() const
{
    return text_;
}

void Control::SetText(const std::wstring& text)
{
    text_ = text;
    Invalidate();
}

void Control::SetShowHtml(bool showHtml)
{
    style_.showHtml = showHtml;
    ApplyStyle();
}

void Control::SetFont(int index)
{
    style_.font = index;
    ApplyStyle();
}

void Control::SetTextColor(const QColor& color)
{
    style_.textColor = color;
    ApplyStyle();
}

void Control::SetDisabledTextColor(const QColor& color)
{
    style_.disabledTextColor = color;
    ApplyStyle();
}

void Control::SetTextPadding(const UiRect& padding)
{
    style_.textPadding = padding;
    ApplyStyle();
}

void Control::SetAlign(Qt::Alignment alignment)
{
    style_.align = alignment;
    ApplyStyle();
}

void Control::SetEndEllipsis(bool on)
{
    style_.endEllipsis = on;
    ApplyStyle();
}

void Control::SetToolTip(const std::wstring& text)
{
    if (widget_ != nullptr)
        widget_->setToolTip(ToQ(text));
}

void Control::SetAccessibleName(const std::wstring& name)
{
    if (widget_ != nullptr)
        widget_->setAccessibleName(ToQ(name));
}

bool Control::IsVisible() const
{
    return widget_ == nullptr || !widget_->isHidden();
}

void Control::SetVisible(bool visible)
{
    if (widget_ == nullptr || IsVisible() == visible)
        return;
    widget_->setVisible(visible);
    RelayoutParent();
}

bool Control::IsEnabled() const
{
    return widget_ == nullptr || widget_->isEnabled();
}

void Control::SetEnabled(bool enabled)
{
    if (widget_ != nullptr)
        widget_->setEnabled(enabled);
}

UiRect Control::GetPos() const
{
    if (widget_ == nullptr)
        return UiRect{};
    QWidget* top = widget_->window();
    const QPoint origin = widget_ == top ? QPoint(0, 0) : widget_->mapTo(top, QPoint(0, 0));
    return UiRect{origin.x(), origin.y(), origin.x() + widget_->width(), origin.y() + widget_->height()};
}

void Control::SetFixedWidth(int width)
{
    fixedWidth_ = width < 0 ? 0 : width;
    RelayoutParent();
}

void Control::SetFixedHeight(int height)
{
    fixedHeight_ = height < 0 ? 0 : height;
    RelayoutParent();
}

void Control::SetPadding(const UiRect& padding)
{
    padding_ = padding;
    RelayoutParent();
}

void Control::SetBkColor(const QColor& color)
{
    style_.bkColor = color;
    ApplyStyle();
}

void Control::SetBkColor2(const QColor& color)
{
    style_.bkColor2 = color;
    Invalidate();
}

void Control::SetBkImage(const std::wstring& image)
{
    UiAttributes::UiImage parsed;
    if (UiAttributes::ParseImage(ToQ(image), parsed))
        style_.bkImage = parsed;
    if (!style_.bkImage.IsEmpty())
        UiPainting::LoadImage(style_.bkImage);  // reports a missing image while the layout loads
    Invalidate();
}

void Control::SetBorderColor(const QColor& color)
{
    style_.borderColor = color;
    Invalidate();
}

void Control::SetBorderSize(const UiRect& sides)
{
    style_.borderSize = sides;
    Invalidate();
}

void Control::SetBorderRound(int radius)
{
    style_.borderRound = radius < 0 ? 0 : radius;
    Invalidate();
}

void Control::Invalidate()
{
    if (widget_ != nullptr)
        widget_->update();
}

bool Control::SetAttribute(const std::wstring& name, const std::wstring& value)
{
    using namespace UiAttributes;
    const QString v = ToQ(value);
    QColor color;
    UiRect rect;
    int number = 0;
    int width = 0;
    int height = 0;
    if (name == L"name") {
        SetName(value);
    } else if (name == L"text") {
        SetText(value);
    } else if (name == L"tooltip") {
        SetToolTip(value);
    } else if (name == L"accessiblename") {
        SetAccessibleName(value);
    } else if (name == L"userdata") {
        SetUserData(value);
    } else if (name == L"width") {
        if (ParseInt(v, number))
            SetFixedWidth(number);
    } else if (name == L"height") {
        if (ParseInt(v, number))
            SetFixedHeight(number);
    } else if (name == L"size") {
        if (ParseSize(v, width, height)) {
            SetFixedWidth(width);
            SetFixedHeight(height);
        }
    } else if (name == L"minwidth") {
        if (ParseInt(v, number))
            minWidth_ = number;
    } else if (name == L"minheight") {
        if (ParseInt(v, number))
            minHeight_ = number;
    } else if (name == L"maxwidth") {
        if (ParseInt(v, number))
            maxWidth_ = number;
    } else if (name == L"maxheight") {
        if (ParseInt(v, number))
            maxHeight_ = number;
    } else if (name == L"padding") {
        if (ParseRect(v, rect))
            SetPadding(rect);
    } else if (name == L"bkcolor") {
        if (ParseColor(v, color))
            SetBkColor(color);
    } else if (name == L"bkcolor2") {
        if (ParseColor(v, color))
            SetBkColor2(color);
    } else if (name == L"bkimage") {
        SetBkImage(value);
    } else if (name == L"bordercolor") {
        if (ParseColor(v, color))
            SetBorderColor(color);
    } else if (name == L"bordersize") {
        if (ParseRect(v, rect))
            SetBorderSize(rect);
    } else if (name == L"borderround") {
        if (ParseInt(v, number))
            SetBorderRound(number);
    } else if (name == L"visible") {
        SetVisible(ParseBool(v));
    } else if (name == L"enabled") {
        SetEnabled(ParseBool(v));
    } else if (name == L"font") {
        if (ParseInt(v, number))
            SetFont(number);
    } else if (name == L"textcolor") {
        if (ParseColor(v, color))
            SetTextColor(color);
    } else if (name == L"disabledtextcolor") {
        if (ParseColor(v, color))
            SetDisabledTextColor(color);
    } else if (name == L"textpadding") {
        if (ParseRect(v, rect))
            SetTextPadding(rect);
    } else if (name == L"align" || name == L"valign") {
        Qt::Alignment alignment = style_.align;
        if (ParseAlign(v, alignment))
            SetAlign(alignment);
    } else if (name == L"showhtml") {
        SetShowHtml(ParseBool(v));
    } else if (name == L"endellipsis") {
        SetEndEllipsis(ParseBool(v));
    } else if (name == L"cursor") {
        if (widget_ != nullptr && v.compare(QLatin1String("hand"), Qt::CaseInsensitive) == 0)
            widget_->setCursor(Qt::PointingHandCursor);
    } else {
        return false;
    }
    return true;
}

void Control::ApplyStyle()
{
    if (widget_ == nullptr)
        return;
    if (WindowWidget* window = GetWindowWidget(); window != nullptr && style_.font >= 0)
        widget_->setFont(window->GetLayoutFont(style_.font));
    else if (style_.font < 0)
        widget_->setFont(QFont());
    widget_->update();
}

void Control::ApplyTextPalette(QPalette::ColorRole textRole)
{
    if (widget_ == nullptr)
        return;
    QPalette colours = widget_->palette();
    const QColor normal = style_.textColor.isValid() ? style_.textColor : QColor(Qt::black);
    colours.setColor(QPalette::Active, textRole, normal);
    colours.setColor(QPalette::Inactive, textRole, normal);
    colours.setColor(QPalette::Disabled, textRole, EffectiveDisabledTextColor());
    if (style_.bkColor.isValid())
        colours.setColor(QPalette::Base, style_.bkColor);
    widget_->setPalette(colours);
}

QColor Control::EffectiveTextColor() const
{
    if (!IsEnabled())
        return EffectiveDisabledTextColor();
    return style_.textColor.isValid() ? style_.textColor : QColor(Qt::black);
}

QColor Control::EffectiveDisabledTextColor() const
{
    if (style_.disabledTextColor.isValid())
        return style_.disabledTextColor;
    if (WindowWidget* window = GetWindowWidget(); window != nullptr && window->DisabledTextColor().isValid())
        return window->DisabledTextColor();
    return QColor(0xA7, 0xA6, 0xAA);
}

void Control::PaintBackground(QPainter& painter, const QRect& rect) const
{
    UiPainting::PaintBackground(painter, rect, style_.bkColor, style_.bkColor2, style_.bkImage, style_.borderColor,
                                style_.borderSize, style_.borderRound);
}

void Control::SendNotify(const wchar_t* type)
{
    Notification message;
    message.type = type;
    SendNotify(message);
}

void Control::SendNotify(Notification& message)
{
    WindowWidget* window = GetWindowWidget();
    if (window == nullptr)
        return;
    message.sender = this;
    message.timestamp = Platform::TickCount();
    const QPoint cursor = window->mapFromGlobal(QCursor::pos());
    message.mouse = UiPoint{cursor.x(), cursor.y()};
    window->SendNotify(message);
}

void Control::RelayoutParent()
{
    if (auto* container = dynamic_cast<Container*>(parent_))
        container->ArrangeChildren();
}
