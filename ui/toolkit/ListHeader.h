#pragma once

#include "ui/toolkit/UiAttributes.h"
#include "ui/toolkit/UiTypes.h"

#include <QColor>
#include <QHeaderView>

#include <string>
#include <vector>

class ListControl;

// The header of a ListControl: one column per <ListHeaderItem>, a fixed width each, or the width
// left over for columns without one. Drawn with the layout's background image (or colour), a
// separator image at each column's right edge and the header font.
//
// <ListHeader> attributes: height, bkimage, bkcolor, sepimage, sepwidth, font, textcolor, align.
// <ListHeaderItem> attributes: text, width, font, textcolor, align, sepimage, sepwidth.
class ListHeader : public QHeaderView {
public:
    explicit ListHeader(ListControl* list);

    int AddColumn(const std::wstring& text, int width);
    int GetColumnCount() const { return static_cast<int>(columns_.size()); }
    std::wstring GetColumnText(int column) const;
    // The column's current rectangle in the client coordinates of the window.
    UiRect GetColumnRect(int column) const;

    bool SetAttribute(const std::wstring& name, const std::wstring& value);
    bool SetColumnAttribute(int column, const std::wstring& name, const std::wstring& value);
    void SetHeaderHeight(int height);

    QSize sizeHint() const override;
    // Re-applies the column widths (after the list's model was reset).
    void ApplyColumnWidths();

protected:
    void paintEvent(QPaintEvent* event) override;
    void paintSection(QPainter* painter, const QRect& rect, int logicalIndex) const override;

private:
    struct Column {
        std::wstring text;
        int width = 0;
        int font = -2;  // -2: the header's font
        QColor textColor;
        Qt::Alignment align;
        bool hasAlign = false;
        UiAttributes::UiImage sepImage;
        int sepWidth = -1;
    };

    QFont FontFor(int index) const;

    ListControl* list_;
    std::vector<Column> columns_;
    int height_ = 24;
    int font_ = -1;
    QColor bkColor_;
    UiAttributes::UiImage bkImage_;
    UiAttributes::UiImage sepImage_;
    int sepWidth_ = 1;
    QColor textColor_;
    Qt::Alignment align_ = Qt::AlignCenter;
};
