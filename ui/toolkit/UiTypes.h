#pragma once

#include <QPoint>

#include <cstdint>
#include <string>

class Control;

// A rectangle with exclusive right and bottom edges, as window code measures client areas:
// a point (x, y) lies inside when left <= x < right and top <= y < bottom. Also used for the
// four sides of insets, paddings and borders (left, top, right, bottom).
struct UiRect {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;

    int Width() const { return right - left; }
    int Height() const { return bottom - top; }
    bool IsEmpty() const { return right <= left || bottom <= top; }
    bool Contains(int x, int y) const { return x >= left && x < right && y >= top && y < bottom; }
    bool operator==(const UiRect&) const = default;
};

struct UiPoint {
    int x = 0;
    int y = 0;
    bool operator==(const UiPoint&) const = default;
};

// One notification from a control to its window's Notify: a type string, the control that
// sent it, and the type's own values (the new and old row of "itemselect", the row and point of
// "menu" and "itempress").
struct Notification {
    std::wstring type;
    Control* sender = nullptr;
    uint32_t timestamp = 0;  // milliseconds, from Platform::TickCount
    UiPoint mouse;           // the pointer in client coordinates when the notification was sent
    int row = -1;            // the row concerned, -1 for none
    int previousRow = -1;    // "itemselect": the row selected before, -1 for none
    int column = -1;         // "itempress": the column pressed, -1 for none
    QPoint point;            // in client coordinates: where the menu goes, where the row was pressed
};

// Notification types.
inline constexpr wchar_t kNotifyClick[] = L"click";            // a button was clicked
inline constexpr wchar_t kNotifyItemSelect[] = L"itemselect";  // row: new row (or -1), previousRow: old row
inline constexpr wchar_t kNotifyItemClick[] = L"itemclick";    // sender: the row element pressed
inline constexpr wchar_t kNotifyItemActivate[] = L"itemactivate";  // sender: the row double-clicked
// The left button went down over a row, before the list selects it: sender: its element; row,
// column and point: where.
inline constexpr wchar_t kNotifyItemPress[] = L"itempress";
// sender: the row a context menu was asked for (right button); row: its row; point: where the
// menu goes.
inline constexpr wchar_t kNotifyMenu[] = L"menu";
inline constexpr wchar_t kNotifyTextChanged[] = L"textchanged";    // a pane's text changed, or the user edited a field's
// A check box was ticked or cleared, an option chosen, or a combo box's current item changed
// (row: the new item, -1 for none); by the user or by the program alike.
inline constexpr wchar_t kNotifySelectChanged[] = L"selectchanged";
inline constexpr wchar_t kNotifyWindowInit[] = L"windowinit";      // after InitWindow

// Window styles, with the values Windows gives them. Every window of the toolkit draws its own
// frame; of the styles only WS_VISIBLE changes what Create does (the window is shown at once).
inline constexpr uint32_t WS_OVERLAPPED = 0x00000000;
inline constexpr uint32_t WS_MAXIMIZEBOX = 0x00010000;
inline constexpr uint32_t WS_MINIMIZEBOX = 0x00020000;
inline constexpr uint32_t WS_THICKFRAME = 0x00040000;
inline constexpr uint32_t WS_SYSMENU = 0x00080000;
inline constexpr uint32_t WS_CAPTION = 0x00C00000;
inline constexpr uint32_t WS_CLIPCHILDREN = 0x02000000;
inline constexpr uint32_t WS_CLIPSIBLINGS = 0x04000000;
inline constexpr uint32_t WS_VISIBLE = 0x10000000;
inline constexpr uint32_t WS_POPUP = 0x80000000;
inline constexpr uint32_t WS_OVERLAPPEDWINDOW =
    WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_THICKFRAME | WS_MINIMIZEBOX | WS_MAXIMIZEBOX;
