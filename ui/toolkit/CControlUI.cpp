#include "ui/toolkit/CControlUI.h"

#include "base/platform/SystemInfo.h"
#include "ui/toolkit/CContainerUI.h"
#include "ui/toolkit/CWindowBase.h"
#include "ui/toolkit/CWindowWidget.h"
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

CControlUI::CControlUI(QWidget* self)
    : widget_(self)
{
}

CControlUI::~CControlUI() = default;

std::wstring CControlUI::GetClass() const
{
    return L"Control";
}

void CControlUI::SetName(const std::wstring& name)
{
    name_ = name;
    if (widget_ != nullptr)
        widget_->setObjectName(ToQ(name));
}

CWindowWidget* CControlUI::GetWindowWidget() const
{
    if (widget_ != nullptr)
        return dynamic_cast<CWindowWidget*>(widget_->window());
    return parent_ != nullptr ? parent_->GetWindowWidget() : nullptr;
}

CWindowBase* CControlUI::GetWindow() const
{
    CWindowWidget* window = GetWindowWidget();
    if (window == nullptr || window->IsClosing())
        return nullptr;
    return window->Owner();
}

std::wstring CControlUI::GetText() const
{
    return text_;
}

void CControlUI::SetText(const std::wstring& text)
{
    text_ = text;
    Invalidate();
}

void CControlUI::SetShowHtml(bool showHtml)
{
    style_.showHtml = showHtml;
    ApplyStyle();
}

void CControlUI::SetFont(int index)
{
    style_.font = index;
    ApplyStyle();
}

void CControlUI::SetTextColor(const QColor& color)
{
    style_.textColor = color;
    ApplyStyle();
}

void CControlUI::SetDisabledTextColor(const QColor& color)
{
    style_.disabledTextColor = color;
    ApplyStyle();
}

void CControlUI::SetTextPadding(const UiRect& padding)
{
    style_.textPadding = padding;
    ApplyStyle();
}

void CControlUI::SetAlign(Qt::Alignment alignment)
{
    style_.align = alignment;
    ApplyStyle();
}

void CControlUI::SetEndEllipsis(bool on)
{
    style_.endEllipsis = on;
    ApplyStyle();
}

void CControlUI::SetToolTip(const std::wstring& text)
{
    if (widget_ != nullptr)
        widget_->setToolTip(ToQ(text));
}

bool CControlUI::IsVisible() const
{
    return widget_ == nullptr || !widget_->isHidden();
}

void CControlUI::SetVisible(bool visible)
{
    if (widget_ == nullptr || IsVisible() == visible)
        return;
    widget_->setVisible(visible);
    RelayoutParent();
}

bool CControlUI::IsEnabled() const
{
    return widget_ == nullptr || widget_->isEnabled();
}

void CControlUI::SetEnabled(bool enabled)
{
    if (widget_ != nullptr)
        widget_->setEnabled(enabled);
}

UiRect CControlUI::GetPos() const
{
    if (widget_ == nullptr)
        return UiRect{};
    QWidget* top = widget_->window();
    const QPoint origin = widget_ == top ? QPoint(0, 0) : widget_->mapTo(top, QPoint(0, 0));
    return UiRect{origin.x(), origin.y(), origin.x() + widget_->width(), origin.y() + widget_->height()};
}

void CControlUI::SetFixedWidth(int width)
{
    fixedWidth_ = width < 0 ? 0 : width;
    RelayoutParent();
}

void CControlUI::SetFixedHeight(int height)
{
    fixedHeight_ = height < 0 ? 0 : height;
    RelayoutParent();
}

void CControlUI::SetPadding(const UiRect& padding)
{
    padding_ = padding;
    RelayoutParent();
}

void CControlUI::SetBkColor(const QColor& color)
{
    style_.bkColor = color;
    ApplyStyle();
}

void CControlUI::SetBkColor2(const QColor& color)
{
    style_.bkColor2 = color;
    Invalidate();
}

void CControlUI::SetBkImage(const std::wstring& image)
{
    UiAttributes::UiImage parsed;
    if (UiAttributes::ParseImage(ToQ(image), parsed))
        style_.bkImage = parsed;
    if (!style_.bkImage.IsEmpty())
        UiPainting::LoadImage(style_.bkImage);  // reports a missing image while the layout loads
    Invalidate();
}

void CControlUI::SetBorderColor(const QColor& color)
{
    style_.borderColor = color;
    Invalidate();
}

void CControlUI::SetBorderSize(const UiRect& sides)
{
    style_.borderSize = sides;
    Invalidate();
}

void CControlUI::SetBorderRound(int radius)
{
    style_.borderRound = radius < 0 ? 0 : radius;
    Invalidate();
}

void CControlUI::Invalidate()
{
    if (widget_ != nullptr)
        widget_->update();
}

bool CControlUI::SetAttribute(const std::wstring& name, const std::wstring& value)
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

void CControlUI::ApplyStyle()
{
    if (widget_ == nullptr)
        return;
    if (CWindowWidget* window = GetWindowWidget(); window != nullptr && style_.font >= 0)
        widget_->setFont(window->GetLayoutFont(style_.font));
    else if (style_.font < 0)
        widget_->setFont(QFont());
    widget_->update();
}

QColor CControlUI::EffectiveTextColor() const
{
    if (!IsEnabled())
        return EffectiveDisabledTextColor();
    return style_.textColor.isValid() ? style_.textColor : QColor(Qt::black);
}

QColor CControlUI::EffectiveDisabledTextColor() const
{
    if (style_.disabledTextColor.isValid())
        return style_.disabledTextColor;
    if (CWindowWidget* window = GetWindowWidget(); window != nullptr && window->DisabledTextColor().isValid())
        return window->DisabledTextColor();
    return QColor(0xA7, 0xA6, 0xAA);
}

void CControlUI::PaintBackground(QPainter& painter, const QRect& rect) const
{
    UiPainting::PaintBackground(painter, rect, style_.bkColor, style_.bkColor2, style_.bkImage, style_.borderColor,
                                style_.borderSize, style_.borderRound);
}

void CControlUI::SendNotify(const wchar_t* type)
{
    TNotifyUI message;
    message.type = type;
    SendNotify(message);
}

void CControlUI::SendNotify(TNotifyUI& message)
{
    CWindowWidget* window = GetWindowWidget();
    if (window == nullptr)
        return;
    message.sender = this;
    message.timestamp = Platform::TickCount();
    const QPoint cursor = window->mapFromGlobal(QCursor::pos());
    message.mouse = UiPoint{cursor.x(), cursor.y()};
    window->SendNotify(message);
}

void CControlUI::RelayoutParent()
{
    if (auto* container = dynamic_cast<CContainerUI*>(parent_))
        container->ArrangeChildren();
}
