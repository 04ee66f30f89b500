#include "ui/toolkit/ListHeader.h"

#include "ui/toolkit/ListControl.h"
#include "ui/toolkit/WindowWidget.h"
#include "ui/toolkit/UiPainting.h"

#include <QPainter>

ListHeader::ListHeader(ListControl* list)
    : QHeaderView(Qt::Horizontal, nullptr), list_(list)
{
    setSectionsClickable(false);
    setSectionsMovable(false);
    setHighlightSections(false);
    setStretchLastSection(false);
    setMinimumSectionSize(0);
}

int ListHeader::AddColumn(const std::wstring& text, int width)
{
    Column column;
    column.text = text;
    column.width = width < 0 ? 0 : width;
    columns_.push_back(column);
    list_->OnColumnsChanged();
    return GetColumnCount() - 1;
}

std::wstring ListHeader::GetColumnText(int column) const
{
    return column >= 0 && column < GetColumnCount() ? columns_[static_cast<size_t>(column)].text : std::wstring();
}

UiRect ListHeader::GetColumnRect(int column) const
{
    if (column < 0 || column >= count())
        return UiRect{};
    const int x = sectionViewportPosition(column);
    QWidget* top = window();
    const QPoint origin = mapTo(top, QPoint(x, 0));
    return UiRect{origin.x(), origin.y(), origin.x() + sectionSize(column), origin.y() + height()};
}

bool ListHeader::SetAttribute(const std::wstring& name, const std::wstring& value)
{
    using namespace UiAttributes;
    const QString v = QString::fromStdWString(value);
    int number = 0;
    if (name == L"height") {
        if (ParseInt(v, number))
            SetHeaderHeight(number);
    } else if (name == L"bkimage") {
        ParseImage(v, bkImage_);
        UiPainting::LoadImage(bkImage_);
    } else if (name == L"bkcolor") {
        ParseColor(v, bkColor_);
    } else if (name == L"sepimage") {
        ParseImage(v, sepImage_);
        UiPainting::LoadImage(sepImage_);
    } else if (name == L"sepwidth") {
        ParseInt(v, sepWidth_);
    } else if (name == L"font") {
        ParseInt(v, font_);
    } else if (name == L"textcolor") {
        ParseColor(v, textColor_);
    } else if (name == L"align") {
        ParseAlign(v, align_);
    } else if (name == L"visible") {
        setVisible(ParseBool(v));
    } else {
        return false;
    }
    viewport()->update();
    return true;
}

bool ListHeader::SetColumnAttribute(int index, const std::wstring& name, const std::wstring& value)
{
    using namespace UiAttributes;
    if (index < 0 || index >= GetColumnCount())
        return false;
    Column& column = columns_[static_cast<size_t>(index)];
    const QString v = QString::fromStdWString(value);
    if (name == L"text") {
        column.text = value;
    } else if (name == L"width") {
        int width = 0;
        if (ParseInt(v, width))
            column.width = width < 0 ? 0 : width;
        ApplyColumnWidths();
    } else if (name == L"font") {
        ParseInt(v, column.font);
    } else if (name == L"textcolor") {
        ParseColor(v, column.textColor);
    } else if (name == L"align") {
        column.align = align_;
        column.hasAlign = ParseAlign(v, column.align);
    } else if (name == L"sepimage") {
        ParseImage(v, column.sepImage);
        UiPainting::LoadImage(column.sepImage);
    } else if (name == L"sepwidth") {
        ParseInt(v, column.sepWidth);
    } else if (name == L"name") {
        // Header items are not controls; the name is accepted for the layout author's sake.
    } else {
        return false;
    }
    viewport()->update();
    return true;
}

void ListHeader::SetHeaderHeight(int height)
{
    height_ = height < 0 ? 0 : height;
    updateGeometry();
    list_->OnColumnsChanged();
}

QSize ListHeader::sizeHint() const
{
    QSize size = QHeaderView::sizeHint();
    size.setHeight(height_);
    return size;
}

void ListHeader::ApplyColumnWidths()
{
    for (int i = 0; i < GetColumnCount() && i < count(); ++i) {
        const int width = columns_[static_cast<size_t>(i)].width;
        if (width > 0) {
            setSectionResizeMode(i, QHeaderView::Fixed);
            resizeSection(i, width);
        } else {
            setSectionResizeMode(i, QHeaderView::Stretch);
        }
    }
}

QFont ListHeader::FontFor(int index) const
{
    WindowWidget* window = list_->GetWindowWidget();
    if (window == nullptr)
        return font();
    return window->GetLayoutFont(index);
}

void ListHeader::paintEvent(QPaintEvent* event)
{
    {
        QPainter painter(viewport());
        const QRect all = viewport()->rect();
        if (bkColor_.isValid())
            painter.fillRect(all, bkColor_);
        UiPainting::DrawImage(painter, all, bkImage_);
    }
    QHeaderView::paintEvent(event);
}

void ListHeader::paintSection(QPainter* painter, const QRect& rect, int logicalIndex) const
{
    if (logicalIndex < 0 || logicalIndex >= GetColumnCount())
        return;
    const Column& column = columns_[static_cast<size_t>(logicalIndex)];
    const UiAttributes::UiImage& sep = column.sepImage.IsEmpty() ? sepImage_ : column.sepImage;
    const int sepWidth = column.sepWidth >= 0 ? column.sepWidth : sepWidth_;
    if (!sep.IsEmpty() && sepWidth > 0)
        UiPainting::DrawImage(*painter, QRect(rect.right() + 1 - sepWidth, rect.top(), sepWidth, rect.height()), sep);

    UiPainting::TextStyle style;
    style.font = FontFor(column.font != -2 ? column.font : font_);
    style.color = column.textColor.isValid() ? column.textColor : (textColor_.isValid() ? textColor_ : QColor(Qt::black));
    style.align = column.hasAlign ? column.align : align_;
    style.endEllipsis = true;
    UiPainting::DrawText(*painter, rect.adjusted(2, 0, -2 - sepWidth, 0), QString::fromStdWString(column.text), style);
}
