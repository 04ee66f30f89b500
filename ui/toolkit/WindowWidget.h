#pragma once

#include "ui/toolkit/UiTypes.h"

#include <QColor>
#include <QFont>
#include <QPoint>
#include <QRect>
#include <QWidget>

#include <map>
#include <memory>

class Control;
class WindowBase;
class SkinnedScrollBarStyle;
struct UiScrollBarSkin;

// The top-level widget of a skinned window (toolkit internal; windows deal with WindowBase).
// It draws no frame of its own: the layout's root control fills it. It supplies what the
// layout's <Window> element asks for (drag area, resize borders, rounded corners, minimum size,
// fonts, the scroll bar skin), and hands control notifications, the keys its controls leave
// alone and the desktop's close to its owner.
class WindowWidget final : public QWidget {
public:
    WindowWidget(WindowBase* owner, QWidget* parent);
    ~WindowWidget() override;

    WindowBase* Owner() const { return owner_; }
    // The owner is going away: nothing reaches it from now on.
    void DetachOwner() { owner_ = nullptr; }
    // The window is being closed: no more notifications or input reach the owner.
    void SetClosing() { closing_ = true; }
    bool IsClosing() const { return closing_; }

    void SetRoot(Control* root);
    Control* Root() const { return root_; }
    // Lays the whole control tree out for the current size, at once.
    void ArrangeNow();

    // Settings of the layout's <Window> element.
    void SetCaption(const UiRect& caption) { caption_ = caption; }
    UiRect Caption() const { return caption_; }
    void SetSizeBox(const UiRect& sizeBox) { sizeBox_ = sizeBox; }
    UiRect SizeBox() const { return sizeBox_; }
    void SetRoundCorner(int width, int height);
    void AddFont(int id, const QFont& font, bool isDefault);
    // The font with that id; the default font for -1 or an unknown id.
    QFont GetLayoutFont(int id) const;
    bool HasLayoutFont(int id) const { return fonts_.count(id) != 0; }
    void SetDisabledTextColor(const QColor& color) { disabledTextColor_ = color; }
    QColor DisabledTextColor() const { return disabledTextColor_; }
    void SetScrollBarSkin(const UiScrollBarSkin& skin);
    // The style that draws scroll bars with the layout's images, or null.
    QStyle* ScrollBarStyle() const;

    void SendNotify(Notification& message);
    // Makes the window's own native window, and only that one: an owned window (a message box
    // over the main window) given a native window through winId() would be marked a native
    // child, and its owner's controls would then each get a native window of their own, whose
    // mouse input bypasses the window's drag area and resize border.
    void CreateNativeWindow() { create(); }
    // Starts watching the native window's mouse input for the drag area and the resize border
    // (after the native window exists).
    void WatchInput();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    enum class Drag { None, Move, Resize };

    bool HandleFrameMouse(QEvent* event);
    Qt::Edges EdgesAt(const QPoint& point) const;
    bool InCaption(const QPoint& point) const;
    void UpdateMask();
    void UpdateBorderCursor(Qt::Edges edges);

    WindowBase* owner_;
    Control* root_ = nullptr;
    bool closing_ = false;
    UiRect caption_;
    UiRect sizeBox_;
    int cornerWidth_ = 0;
    int cornerHeight_ = 0;
    std::map<int, QFont> fonts_;
    int defaultFont_ = -1;
    QColor disabledTextColor_;
    std::unique_ptr<SkinnedScrollBarStyle> scrollBarStyle_;
    QObject* watchedWindow_ = nullptr;

    Drag drag_ = Drag::None;
    Qt::Edges dragEdges_;
    QPoint dragStartGlobal_;
    QRect dragStartGeometry_;
    bool cursorOverridden_ = false;
};
