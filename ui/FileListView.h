#pragma once

#include "engine/DurationProbes.h"
#include "engine/FileList.h"
#include "ui/toolkit/ListControl.h"
#include "ui/toolkit/ListTextSource.h"

#include <QCoreApplication>

#include <functional>
#include <string>
#include <vector>

class QDragEnterEvent;
class QDragLeaveEvent;
class QDragMoveEvent;
class QDropEvent;

// The list of audio files in the main window ("fileList"): the cells of its file list, one element
// per row in the same order, drag and drop, and where a click lands. The rows and their rules are
// the file list's; files come from the open-file dialog or are dropped on the list (a dropped
// folder gives the audio and video files directly inside it, see DroppedFiles), and both go
// through AddPaths, so duplicates and the row limit are handled in one place. The main window
// decides when rows start and go. A long path is cut in its middle, so the file's name stays in
// view, and shows whole in the cell's tooltip and to screen readers. UI thread only.
class FileListView : public ListControl, public ListTextSource {
    Q_DECLARE_TR_FUNCTIONS(FileListView)

public:
    // The open-file dialog adds files only while the list has fewer rows than this.
    static constexpr int kMaxItems = FileList::kMaxRows;

    // Column indexes.
    static constexpr int kColumnFile = 0;
    static constexpr int kColumnDuration = 1;
    static constexpr int kColumnType = 2;
    static constexpr int kColumnProgress = 3;
    static constexpr int kColumnElapsed = 4;
    static constexpr int kColumnAction = 5;
    static constexpr int kColumnDelete = 6;
    static constexpr int kColumnCount = 7;

    FileListView();
    ~FileListView() override;

    // The element class layouts use for it.
    std::wstring GetClass() const override { return L"CPlayListCtrl"; }

    // The rows and their rules.
    FileList& Files() { return files; }
    const FileList& Files() const { return files; }

    // Shows the open-file dialog (owner: the list's window) and adds the chosen files in the
    // dialog's order while the list has room.
    void AddFiles();
    // Adds one idle row unless the exact path is already listed. The duration is probed on a
    // thread of its own and shows when known. Does not look at kMaxItems: the callers decide
    // about the limit.
    bool AddItem(const std::string& path);
    // Adds each path as the file list does (empty ones skipped, nothing past kMaxItems rows);
    // the list then scrolls to the first new row. Returns the number of rows added.
    int AddPaths(const std::vector<std::string>& paths);

    int GetItemCount() const { return files.Count(); }
    // Bad index: empty path / 0 / -1, with a warning.
    std::string GetItemFile(int index);
    int GetItemDuration(int index);
    int GetItemStatus(int index);
    // The rows changed: the cells are drawn again.
    void Refresh() { Invalidate(); }

    // ListTextSource: the cell text, kept in the element's user data so it outlives the call.
    const wchar_t* GetItemText(Control* element, int row, int column) override;
    // The whole path for the file cell; none for the others.
    std::wstring GetItemToolTip(Control* element, int row, int column) override;
    // A path too long for the file cell is cut in its middle (Qt::ElideMiddle), within its folders
    // while the file's name fits whole.
    QString FitCellText(int column, const QString& text, const QFontMetrics& metrics, int width) const override;
    // The delete cell, and the action cell of a row it starts (idle or failed).
    bool IsCellPressable(int row, int column) const override;

    // What a drop that held folders gave: the rows added, and the files left out (neither audio
    // nor video, listed already, or past the row limit) and the subfolders not opened.
    struct FolderDrop {
        int added = 0;
        int skipped = 0;
        int subfolders = 0;
    };
    // Hears of every such drop (none: nobody is told).
    void SetFolderDropReport(std::function<void(const FolderDrop&)> report) { folderDropReport = std::move(report); }

    bool RemoveAt(int index) override;
    bool Remove(Control* element) override;
    void RemoveAll() override;

    // Whether a client point lies in a row's action cell (action set, column 5) or delete cell
    // (action clear, column 6), inside the item text insets.
    bool HitTestColumn(Control* element, int x, int y, bool action);

protected:
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dragLeaveEvent(QDragLeaveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    // Elements for the last `rows` rows of the file list; the number added.
    int AddElements(int rows);
    // Logs a bad index; false for one.
    bool Exists(int index, const char* tag, const char* format);

    FileList files;
    DurationProbes probes;
    std::wstring lastText;  // the answer for a caller without an element
    std::function<void(const FolderDrop&)> folderDropReport;
};
