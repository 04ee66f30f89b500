#pragma once

#include "ui/PlayItem.h"
#include "ui/toolkit/CListUI.h"
#include "ui/toolkit/IListCallbackUI.h"

#include <string>
#include <vector>

struct CAudioSegment;
class QDragEnterEvent;
class QDragLeaveEvent;
class QDragMoveEvent;
class QDropEvent;

// The list of audio files in the main window ("playList"). Keeps one PlayItem per row, in the
// same order as the list's elements, and answers every cell's text from it. Files come from the
// open-file dialog or are dropped on the list; both go through AddItem, so duplicates and the
// row limit are handled in one place. The main window decides when rows start and go.
// UI thread only.
class CPlayListCtrl : public CListUI, public IListCallbackUI {
public:
    // The open-file dialog adds files only while the list has fewer rows than this.
    static constexpr int kMaxItems = 100;

    // Column indexes.
    static constexpr int kColumnFile = 0;
    static constexpr int kColumnDuration = 1;
    static constexpr int kColumnType = 2;
    static constexpr int kColumnProgress = 3;
    static constexpr int kColumnElapsed = 4;
    static constexpr int kColumnAction = 5;
    static constexpr int kColumnDelete = 6;
    static constexpr int kColumnCount = 7;

    CPlayListCtrl();
    ~CPlayListCtrl() override;

    // The element class layouts use for it.
    std::wstring GetClass() const override { return L"CPlayListCtrl"; }

    // Shows the open-file dialog (owner: the list's window) and adds the chosen files in the
    // dialog's order while the list has room.
    void AddFiles();
    // Adds one idle row unless the exact path is already listed. Probes the duration (on this
    // thread). Does not look at kMaxItems: the callers decide about the limit.
    void AddItem(const std::wstring& path);
    // Adds each path like the open-file dialog does: empty paths skipped, nothing added once the
    // list holds kMaxItems rows. The list then scrolls to the first new row. Returns the number
    // of rows added.
    int AddPaths(const std::vector<std::wstring>& paths);

    int GetItemCount() const { return static_cast<int>(items.size()); }
    // Bad index: empty path / 0 / -1, with a warning.
    std::wstring GetItemFile(int index);
    int GetItemDuration(int index);
    int GetItemStatus(int index);
    // An idle or failed row becomes recognising (a failed one from progress "0" and no elapsed
    // time); false (nothing changes) for any other row.
    bool SetItemRecognizing(int index);
    // Any row back to its state when it was added: idle, progress "0", no elapsed time, not
    // saved. False for a bad index.
    bool ResetItem(int index);
    // Whether the row's finished text went into a file since the row last started.
    bool IsItemSaved(int index) const;
    void SetItemSaved(int index);
    // Progress and completion of the file the records belong to: the finished records of one
    // file in ascending segment order, as CAudioConvert::GetFinishedSegments gives them. A file
    // that completes without any text and with an error becomes failed, with one box that says
    // so instead of the poor-audio warning.
    void UpdateItemStatus(const std::vector<CAudioSegment*>& vctInfo);
    // One second more for every recognising row.
    void TickElapsed();

    // IListCallbackUI: the cell text, kept in the element's user data so it outlives the call.
    const wchar_t* GetItemText(CControlUI* element, int row, int column) override;

    bool RemoveAt(int index) override;
    bool Remove(CControlUI* element) override;
    void RemoveAll() override;

    // Whether a client point lies in a row's action cell (action set, column 5) or delete cell
    // (action clear, column 6), inside the item text insets.
    bool HitTestColumn(CControlUI* element, int x, int y, bool action);

protected:
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dragLeaveEvent(QDragLeaveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    void ShowWarning(const std::wstring& text);

    std::vector<PlayItem> items;
    std::wstring lastText;  // the answer for a caller without an element
};
