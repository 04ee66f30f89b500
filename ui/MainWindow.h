#pragma once

#include "engine/FileList.h"
#include "engine/Recognizer.h"
#include "engine/ResultFolder.h"
#include "ui/FileListView.h"
#include "ui/RowMenu.h"
#include "ui/toolkit/WindowBase.h"

#include <QCoreApplication>
#include <QTimer>

#include <functional>
#include <memory>
#include <set>
#include <string>
#include <vector>

class AboutDialog;
class SettingsDialog;
struct UpdateReport;
class TranscriptionJobs;
class UpdateCheck;
class Recognizer;
class Button;
class MessageBox;
class TextPane;

// The program's main window ("MainWindow.xml"): the title bar, the toolbar, the list of audio
// files and the pane with the selected file's text. It owns the job manager and the About and
// settings dialogs, wires the toolbar to the file list, drives the engine with a one-second tick, takes
// the engine's and the update check's news on the UI thread, and shows what the file list says.
//
// The window class is "Talvora": a second start of the program finds the running one by it.
// Every way of closing the window (the close button, the desktop's close, a required update)
// runs the same close sequence, so no result is read once the job manager is gone. The user's
// own closes (the close button, the desktop's close) first ask when work would be lost; the
// program's (termination signals, updates) never ask.
//
// Besides the toolbar: a context menu per row (stop, stop every file, recognise again, copy the
// text with LF line ends, open the file's folder, export subtitles), the keys Ctrl+O (add), Ctrl+S (save), Ctrl+, (settings), Delete (the selected
// row's delete cell), Enter (start the selected idle row) and the Menu key, and a desktop
// notification when a batch ends while the window is in the background.
// UI thread only.
class MainWindow : public WindowBase, private FileList::Events {
    Q_DECLARE_TR_FUNCTIONS(MainWindow)

public:
    // The recognizer every file goes to (none: the one config.ini names), and the program's
    // update check (none: one of the window's own).
    explicit MainWindow(std::shared_ptr<Recognizer> recognizer = nullptr, UpdateCheck* updates = nullptr);
    ~MainWindow() override;

    // What ends the application once the window's close sequence has released the jobs; run
    // once. The window then closes itself.
    void SetExitSequence(std::function<void()> exit);

    std::wstring GetWindowClassName() const override;
    std::wstring GetSkinFile() const override;
    bool ShowsBeforeLayout() const override;
    Control* CreateControl(const std::wstring& className) override;
    void InitWindow() override;
    void Notify(Notification& message) override;
    void OnClick(Notification& message) override;
    bool OnKeyPress(const QKeyEvent& event) override;
    // With work that would be lost it asks first, as the close button does.
    void OnDesktopClose() override;
    void OnFinalMessage() override;

    void ToggleMaximize();
    void ShowAbout();
    // Opens the settings window, or raises the one already open.
    void ShowSettings();
    // Takes up what the settings window wrote: the recognizer and ffmpeg's output for files
    // started from now on, and the title that names them.
    void ApplySettings();
    // Starts the first idle row (one per call; a refused row is tried again by the next call).
    void StartNextItem();
    // Starts every idle row in list order; a refused row stays idle.
    void StartAllItems();
    // Files from outside the window (the command line, a later start of the program), added as
    // the open-file dialog adds them; what is not a readable file is left out with a warning.
    // `origin` names where they came from in the log.
    void AddFiles(const std::vector<std::string>& paths, const char* origin);
    // Writes the text of every finished file into a folder the user picks.
    void SaveResults();
    // What the pane shows for a row: with more than one segment each text after its start
    // time, one segment per line; otherwise the texts joined (a line break marks each gap).
    std::string PaneText(int row) const;
    // Shows the selected row's text (selecting row 0 when nothing is selected).
    void RefreshResultText();
    // The orderly shutdown: tick stopped, window hidden, About dialog and job manager released,
    // then the application's exit; the window itself goes after the events queued before. Never
    // asks. Later calls do nothing.
    void Close();
    bool IsClosing() const { return closing; }
    // A close the user asked for: with work that would be lost (rows recognising, finished texts
    // never saved) a message box asks first, once; otherwise Close.
    void RequestClose();
    bool HasUnsavedWork() const;

    // The row menu's actions that apply to a row in its current state.
    std::set<RowMenu::Action> RowActions(int row);
    void RunRowAction(int row, RowMenu::Action action);
    // The row menu for a row at a point in client coordinates.
    void ShowRowMenu(int row, int x, int y);

    // The job manager while the window is running; null once Close has begun.
    TranscriptionJobs* GetJobs() const { return jobs.get(); }
    FileListView* GetFileListView() const { return fileList; }

    // Shown in the title bar while the local English recognizer is in use (translated there).
    static constexpr char kLocalRecognizerTitle[] = QT_TRANSLATE_NOOP("MainWindow", "本地英文识别");
    static constexpr char kWhisperRecognizerTitle[] = QT_TRANSLATE_NOOP("MainWindow", "Whisper 服务识别");
    // What the title bar says of the recognizer and the language chosen for it.
    static std::wstring RecognizerTitle(RecognizerKind kind, const std::string& language);

    // The period of the tick that drives the engine; the tick runs while the window stands.
    static constexpr int kTickMs = 1000;
    const QTimer& GetTick() const { return tick; }
    // One tick: the engine's queued work is handed out and the rows' times move on.
    void Tick();

    // The engine's news, on the UI thread.
    void OnSegmentDone(uint64_t id);
    void OnUpdateReport(const UpdateReport& notice);

private:
    class JobNews;

    void OnWarning(const ShownText& text) override;
    // A started file could not be prepared: its row goes back to idle, and the user is told.
    void OnStartFailed(const std::string& file, const std::string& reason);
    void ShowStartFailed(const std::string& reason);
    // The left button went down on a row, at a point in client coordinates.
    void OnListPress(int row, const QPoint& point);
    // True when the key was taken for one of the window's keyboard commands.
    bool OnKeyDown(int key, bool control, bool shift);
    // The close sequence, then the window goes at once.
    void CloseWindowNow();
    // The delete cell's rules: a recognising row stays, with a notice.
    void DeleteItem(int index);
    void StopItem(int index);
    // Stops every recognising row, as StopItem on each.
    void StopAllItems();
    void ShowFolderDrop(const FileListView::FolderDrop& drop);
    void RetryItem(int index);
    void ExportSubtitles(int index, ResultForm form);
    void OpenItemFolder(int index);
    int FindItem(const std::string& file);
    // Saves the texts of these files into a folder, marks the saved rows and says what came of it.
    void SaveInto(const std::string& folder, ResultForm form, const char* logTag, const std::vector<std::string>& files);
    void TellBatchEnd();
    // Starts the row's file; true when the job manager accepted it.
    bool StartItem(int index);
    void ShowResultText(int row);
    void ShowNotice(const QString& text);
    // The title bar's label and the window's title name the recognizer new files go to.
    void ShowRecognizerTitle();
    FileList* Files() const;

    Button* btnMin = nullptr;
    Button* btnMax = nullptr;
    Button* btnClose = nullptr;
    Button* btnAbout = nullptr;
    Button* btnSettings = nullptr;
    Button* btnAdd = nullptr;
    Button* btnStart = nullptr;
    Button* btnStartAll = nullptr;
    Button* btnSave = nullptr;
    FileListView* fileList = nullptr;
    TextPane* textPane = nullptr;
    // News from the engine's threads reaches the window only while it is there.
    const LaterCall later;
    std::unique_ptr<UpdateCheck> ownChecker;
    UpdateCheck* updateChecker = nullptr;
    std::unique_ptr<TranscriptionJobs> jobs;
    std::unique_ptr<AboutDialog> about;
    std::unique_ptr<SettingsDialog> settings;
    std::function<void()> exitSequence;
    std::unique_ptr<MessageBox> closeQuestion;
    QTimer tick;
    int batchRows = 0;  // rows started since nothing was recognising, less the stopped ones
    bool closing = false;
};
