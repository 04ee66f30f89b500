#include "ui/MainWindow.h"

#include "base/AppPaths.h"
#include "base/Config.h"
#include "base/LogFile.h"
#include "base/LogTags.h"
#include "engine/TranscriptionJobs.h"
#include "engine/SegmentRecord.h"
#include "engine/JobListener.h"
#include "engine/RecognizerSetting.h"
#include "maintenance/UpdateCheck.h"
#include "maintenance/UpdateReport.h"
#include "maintenance/LaunchUpdater.h"
#include "ui/BrowseForFolder.h"
#include "ui/AboutDialog.h"
#include "ui/SettingsDialog.h"
#include "ui/MessageBox.h"
#include "ui/FileListView.h"
#include "ui/DesktopNotice.h"
#include "ui/EngineTexts.h"
#include "ui/toolkit/Button.h"
#include "ui/toolkit/Label.h"
#include "ui/toolkit/TextPane.h"
#include "ui/toolkit/UiToolkit.h"

#include <QApplication>
#include <QClipboard>
#include <QDesktopServices>
#include <QKeyEvent>
#include <QUrl>
#include <QWidget>

#include <filesystem>

namespace {

constexpr int kNoticeSeconds = 5;

// Texts of the program's own go to the toolkit as it takes them.
std::wstring Shown(const std::string& text)
{
    return QString::fromStdString(text).toStdWString();
}

std::string Chosen(const std::wstring& text)
{
    return QString::fromStdWString(text).toStdString();
}

}  // namespace

// The job manager's news, handed to the window on its own thread.
class MainWindow::JobNews : public JobListener {
public:
    JobNews(MainWindow& player, LaterCall later) : window(player), later(std::move(later)) {}

    void OnSegmentDone(const SegmentDone& done) override
    {
        later([player = &window, id = done.id] { player->OnSegmentDone(id); });
    }
    // From the thread that prepared the file.
    void OnFileFailed(const std::string& file, const std::string& reason) override
    {
        later([player = &window, file, reason] { player->OnStartFailed(file, reason); });
    }

private:
    MainWindow& window;
    const LaterCall later;
};

MainWindow::MainWindow(std::shared_ptr<Recognizer> recognizer, UpdateCheck* updates) : later(MakeLaterCall())
{
    if (updates == nullptr) {
        ownChecker = std::make_unique<UpdateCheck>();
        updates = ownChecker.get();
    }
    updateChecker = updates;
    if (recognizer == nullptr)
        recognizer = MakeRecognizer(ReadRecognizerSetting());
    jobs = std::make_unique<TranscriptionJobs>(std::move(recognizer), std::make_shared<JobNews>(*this, later), ReadJobOptions());
    about = std::make_unique<AboutDialog>(*updateChecker);
    // "立即更新" ends the application through this window's close sequence, which ends with the
    // application's exit: the exit then runs once. Later, because the close releases the About
    // object whose click is being handled.
    about->SetExitRequest([this] { later([this] { CloseWindowNow(); }); });
    settings = std::make_unique<SettingsDialog>([this] { ApplySettings(); });
    tick.setInterval(kTickMs);
    QObject::connect(&tick, &QTimer::timeout, &tick, [this] { Tick(); });
}

MainWindow::~MainWindow()
{
    // Nothing may reach the job manager from here on, even if the window still exists (its list
    // does while the window stands).
    closing = true;
    if (fileList != nullptr) {
        fileList->Files().SetJobs(nullptr);
        fileList->Files().SetEvents(nullptr);
    }
    closeQuestion.reset();
    settings.reset();
    about.reset();
    jobs.reset();
}

std::wstring MainWindow::GetWindowClassName() const
{
    return L"Talvora";
}

std::wstring MainWindow::GetSkinFile() const
{
    return L"RtmpPlayer.xml";
}

// The layout is as large as the window main creates, so it can be mapped before the layout is
// read: the window appears sooner and its first picture is still the whole layout.
bool MainWindow::ShowsBeforeLayout() const
{
    return true;
}

Control* MainWindow::CreateControl(const std::wstring& className)
{
    if (className == L"CPlayListCtrl")
        return new FileListView();
    return nullptr;
}

void MainWindow::SetExitSequence(std::function<void()> exit)
{
    exitSequence = std::move(exit);
}

FileList* MainWindow::Files() const
{
    return fileList != nullptr ? &fileList->Files() : nullptr;
}

void MainWindow::InitWindow()
{
    btnMin = FindControl<Button>(L"btnMin");
    btnMax = FindControl<Button>(L"btnMax");
    btnClose = FindControl<Button>(L"btnClose");
    btnAbout = FindControl<Button>(L"btnAbout");
    btnSettings = FindControl<Button>(L"btnSettings");
    btnAdd = FindControl<Button>(L"btnAdd");
    btnStart = FindControl<Button>(L"btnStart");
    btnStartAll = FindControl<Button>(L"btnStartAll");
    btnSave = FindControl<Button>(L"btnSave");
    fileList = FindControl<FileListView>(L"playList");
    textPane = FindControl<TextPane>(L"edtText");
    if (fileList == nullptr || textPane == nullptr || btnClose == nullptr)
        WriteLog(Error, LogTag::kMainWindowInitWindow, "%s", "the layout lacks the list, the text pane or the close button");
    if (fileList != nullptr) {
        fileList->Files().SetJobs(jobs.get());
        fileList->Files().SetEvents(this);
        fileList->SetFolderDropReport([this](const FileListView::FolderDrop& drop) { ShowFolderDrop(drop); });
    }

    ShowRecognizerTitle();

    tick.start();

    // Centred before it is shown, so it does not appear in the corner first.
    CenterWindow();
    ShowWindow(true, true);

    // After the window is up: the check's set-up (libcurl) is no reason to show the window later.
    updateChecker->SetReport([this, later = later](UpdateReport notice) {
        later([this, notice = std::move(notice)] { OnUpdateReport(notice); });
    });
    updateChecker->StartCheck();
}

std::wstring MainWindow::RecognizerTitle(RecognizerKind kind, const std::string& language)
{
    const std::wstring title = kind == RecognizerKind::LocalEnglish ? tr(kLocalRecognizerTitle).toStdWString()
                               : kind == RecognizerKind::WhisperApi ? tr(kWhisperRecognizerTitle).toStdWString()
                                                                    : L"";
    if (language.empty())
        return title;
    static const std::pair<const char*, const char*> names[] = {{"zh", QT_TRANSLATE_NOOP("MainWindow", "中文")},
                                                                {"en", QT_TRANSLATE_NOOP("MainWindow", "英语")},
                                                                {"ct", QT_TRANSLATE_NOOP("MainWindow", "粤语")}};
    std::wstring name = QString::fromStdString(language).toStdWString();
    for (const auto& [code, text] : names) {
        if (language == code)
            name = tr(text).toStdWString();
    }
    return title.empty() ? name : title + L" · " + name;
}

void MainWindow::ShowRecognizerTitle()
{
    if (jobs == nullptr)
        return;
    // The title says when the text comes from elsewhere than the cloud service, whose quality and
    // languages differ, and which language was chosen; with the service in its own language the
    // title stays as it always was.
    const std::wstring title = RecognizerTitle(jobs->GetRecognizerKind(), jobs->GetRecognizerLanguage());
    if (auto* recognizer = FindControl<Label>(L"labRecognizer"); recognizer != nullptr)
        recognizer->SetText(title);
    // The desktop's task bar and window switcher say it too (an empty title shows the program's name).
    if (QWidget* widget = GetWidget(); widget != nullptr)
        widget->setWindowTitle(title.empty() ? QString() : QApplication::applicationName() + QStringLiteral(" · ") +
                                                                QString::fromStdWString(title));
}

void MainWindow::Notify(Notification& message)
{
    WindowBase::Notify(message);
    if (closing)
        return;
    if (message.type == kNotifyItemSelect) {
        // The new row comes with the notification: while a click is being handled the list may
        // not report it as selected yet.
        const int row = message.row;
        if (fileList != nullptr && row >= 0 && row < fileList->GetCount())
            ShowResultText(row);
        else
            RefreshResultText();
    } else if (message.type == kNotifyMenu) {
        ShowRowMenu(message.row, message.point.x(), message.point.y());
    } else if (message.type == kNotifyItemPress) {
        OnListPress(message.row, message.point);
    }
}

void MainWindow::Tick()
{
    if (closing)
        return;
    if (jobs != nullptr)
        jobs->Dispatch();
    if (fileList != nullptr) {
        fileList->Files().Tick();
        fileList->Refresh();
    }
}

void MainWindow::OnClick(Notification& message)
{
    Control* sender = message.sender;
    if (sender == nullptr)
        return;
    if (sender == btnClose)
        RequestClose();
    else if (sender == btnMax)
        ToggleMaximize();
    else if (sender == btnMin)
        Minimize();
    else if (sender == btnAbout)
        ShowAbout();
    else if (sender == btnSettings)
        ShowSettings();
    else if (sender == btnAdd) {
        if (fileList != nullptr)
            fileList->AddFiles();
    } else if (sender == btnStart)
        StartNextItem();
    else if (sender == btnStartAll)
        StartAllItems();
    else if (sender == btnSave)
        SaveResults();
}

void MainWindow::AddFiles(const std::vector<std::string>& paths, const char* origin)
{
    if (closing || fileList == nullptr)
        return;
    std::vector<std::string> files;
    for (const std::string& path : paths) {
        std::error_code error;
        if (std::filesystem::is_regular_file(path, error))
            files.push_back(path);
        else
            WriteLog(Warning, LogTag::kMainWindowAddFiles, "%s", ("not a file that can be added: " + path).c_str());
    }
    const int added = fileList->AddPaths(files);
    WriteLog(Info, LogTag::kMainWindowAddFiles, "%s gave %zu files, added %d", origin, paths.size(), added);
}

void MainWindow::ToggleMaximize()
{
    if (btnMax == nullptr)
        return;
    if (IsMaximized()) {
        Restore();
        btnMax->SetNormalImage(L"restore_normal.png");
        btnMax->SetHotImage(L"restore_over.png");
        btnMax->SetPushedImage(L"restore_over.png");
    } else {
        Maximize();
        btnMax->SetNormalImage(L"max_normal.png");
        btnMax->SetHotImage(L"max_over.png");
        btnMax->SetPushedImage(L"max_over.png");
    }
}

void MainWindow::ShowAbout()
{
    if (about == nullptr)
        return;
    if (about->IsWindow()) {
        about->BringToTop();
        return;
    }
    if (!about->Create(nullptr, L"", WS_OVERLAPPEDWINDOW, 0, 0, 0, 600, 400))
        return;
    about->CenterWindow();
    about->ShowWindow(true, true);
}

void MainWindow::ShowSettings()
{
    if (closing || settings == nullptr)
        return;
    settings->ShowDialog();
}

void MainWindow::ApplySettings()
{
    if (closing || jobs == nullptr)
        return;
    // One job manager for the window's whole life: it holds every file's results, done ones
    // included, so replacing it would lose them. The new recognizer goes only to files started
    // from now on; each file already started keeps the recognizer it started with until it ends
    // (the manager keeps it with the file), so a running file finishes as it began and nothing
    // it has recognised is lost or mixed with another recognizer's text.
    jobs->SetRecognizer(MakeRecognizer(ReadRecognizerSetting()), ReadJobOptions());
    ShowRecognizerTitle();
    WriteLog(Info, LogTag::kMainWindowApplySettings, "files started from now on go to the recognizer %s",
             RecognizerSettingName(jobs->GetRecognizerKind()));
}

bool MainWindow::StartItem(int index)
{
    if (closing || Files() == nullptr || !Files()->Start(index))
        return false;
    fileList->Refresh();
    ++batchRows;
    return true;
}

void MainWindow::StartNextItem()
{
    if (closing || fileList == nullptr)
        return;
    for (int i = 0; i < fileList->GetCount(); ++i) {
        if (fileList->GetItemStatus(i) != ItemIdle)
            continue;
        // One click starts at most one file; a refused file is tried again by the next click.
        StartItem(i);
        return;
    }
}

void MainWindow::StartAllItems()
{
    if (closing || fileList == nullptr)
        return;
    for (int i = 0; i < fileList->GetCount(); ++i) {
        if (fileList->GetItemStatus(i) == ItemIdle)
            StartItem(i);
    }
}

std::string MainWindow::PaneText(int row) const
{
    return closing || Files() == nullptr ? std::string() : Files()->Text(row, true);
}

void MainWindow::RefreshResultText()
{
    if (closing || fileList == nullptr || textPane == nullptr)
        return;
    int row = fileList->GetCurSel();
    if (row < 0) {
        if (fileList->GetCount() == 0)
            return;
        fileList->SelectItem(0, false);
        row = 0;
    }
    ShowResultText(row);
}

void MainWindow::ShowResultText(int row)
{
    if (textPane == nullptr || fileList == nullptr || Files() == nullptr)
        return;
    // A failed file's line is the program's own text, in the user's language; a text heard is
    // shown as it was heard.
    const ShownText failure = Files()->FailureText(row);
    textPane->SetText(*failure.source != '\0' ? EngineTexts::Translate(failure).toStdWString() : Shown(PaneText(row)));
}

void MainWindow::SaveResults()
{
    if (closing || Files() == nullptr)
        return;
    const std::vector<std::string> done = Files()->DoneFiles();
    if (done.empty()) {
        ShowNotice(tr("暂无需要保存的内容!"));
        return;
    }
    const std::string folder = Chosen(BrowseForFolder(this, tr("选择保存目录").toStdWString()));
    // The window may have been closed while the folder chooser was open.
    if (folder.empty() || closing)
        return;
    // The times make a long recording's text easier to use, but change the file's form: only
    // when asked for.
    const bool timed = ReadConfigInt("SaveTimestamps", 0) == 1;
    SaveInto(folder, timed ? ResultForm::TimedText : ResultForm::Text, LogTag::kMainWindowOnClick, done);
}

void MainWindow::SaveInto(const std::string& folder, ResultForm form, const char* logTag,
                          const std::vector<std::string>& files)
{
    // Files already in the folder keep their content: the texts take names still free there.
    ResultFolder into(folder, form, logTag);
    const std::vector<SavedResult> results = Files()->Save(into, files);
    ShowNotice(EngineTexts::Translate(SaveSummary(results)));
}

void MainWindow::Close()
{
    if (closing)
        return;
    closing = true;
    WriteLog(Info, LogTag::kMainWindowClose, "main close");
    tick.stop();
    ShowWindow(false);
    closeQuestion.reset();
    // The About and settings windows go with their objects; the job manager's workers finish
    // without effect.
    about.reset();
    settings.reset();
    if (fileList != nullptr)
        fileList->Files().SetJobs(nullptr);
    jobs.reset();
    if (exitSequence)
        exitSequence();
    // The window goes last: its close ends the message loop.
    if (!WindowBase::Close(0))
        WriteLog(Warning, LogTag::kApplicationExit, "%s", "no main window took the close command");
}

void MainWindow::CloseWindowNow()
{
    if (!IsWindow())
        return;
    if (!closing)
        Close();
    CloseNow(0);
}

void MainWindow::OnFinalMessage()
{
    tick.stop();
    // The controls went with the window.
    btnMin = btnMax = btnClose = btnAbout = btnSettings = btnAdd = btnStart = btnStartAll = btnSave = nullptr;
    fileList = nullptr;
    textPane = nullptr;
    WindowBase::OnFinalMessage();
    UiToolkit::PostQuitMessage(0);
}

void MainWindow::OnDesktopClose()
{
    if (!closing && HasUnsavedWork()) {
        // The window stays until the user answers.
        RequestClose();
        return;
    }
    // A close from the desktop (its close button, Alt+F4) releases the jobs and ends the
    // application just like the close button does.
    CloseWindowNow();
}

bool MainWindow::OnKeyPress(const QKeyEvent& event)
{
    const bool control = event.modifiers().testFlag(Qt::ControlModifier);
    const bool shift = event.modifiers().testFlag(Qt::ShiftModifier);
    if (event.key() == Qt::Key_L && control && shift) {
        UiToolkit::ShellOpen(Shown(AppPaths::GetAppDataDir()));
        return false;
    }
    return OnKeyDown(event.key(), control, shift);
}

void MainWindow::OnUpdateReport(const UpdateReport& notice)
{
    const UpdateReportKind kind = notice.kind;
    if (kind == kUpdateCheckFailed) {
        WriteLog(Warning, LogTag::kMainWindowMessageHandler, "check update version failed");
    } else if (kind == kUpdateNeeded) {
        UpdateCheck& checker = *updateChecker;
        if (checker.IsUpdateAvailable())
            WriteLog(Info, LogTag::kMainWindowMessageHandler, "has no must update version");
        if (checker.IsUpdateRequired()) {
            WriteLog(Info, LogTag::kMainWindowMessageHandler, "find must update version. start update");
            if (!closing) {
                LaunchUpdater();
                // The same orderly shutdown as the close button.
                Close();
            }
        }
    }
    WriteLog(Info, LogTag::kMainWindowMessageHandler, "update msg: %d, %s", static_cast<int>(kind), notice.value.c_str());
}

void MainWindow::OnListPress(int row, const QPoint& point)
{
    if (closing || fileList == nullptr || jobs == nullptr)
        return;
    Control* element = fileList->GetItemAt(row);
    if (element == nullptr)
        return;
    if (fileList->HitTestColumn(element, point.x(), point.y(), false))
        DeleteItem(row);
    else if (fileList->HitTestColumn(element, point.x(), point.y(), true))
        StartItem(row);  // an idle or failed row (from scratch); others stay as they are
}

void MainWindow::OnSegmentDone(uint64_t id)
{
    if (closing || Files() == nullptr)
        return;
    const FileList::Progress progress = Files()->OnSegmentDone(id);
    if (progress.row < 0)
        return;
    fileList->Refresh();
    const std::string file = fileList->GetItemFile(progress.row);
    if (progress.complete)
        WriteLog(Info, LogTag::kMainWindowMessageHandler, "%s", ("recognition finished: " + file).c_str());
    TellBatchEnd();

    int row = fileList->GetCurSel();
    if (row < 0 && fileList->GetCount() > 0) {
        fileList->SelectItem(0, false);
        row = fileList->GetCurSel();
    }
    if (row >= 0 && fileList->GetItemFile(row) == file)
        RefreshResultText();
}

void MainWindow::OnWarning(const ShownText& text)
{
    // It stays until clicked, and deletes itself when its window is gone.
    auto* box = new MessageBox(1, 0);
    box->SetButtons(tr("确定").toStdWString(), tr("取消").toStdWString(), false);
    box->SetMessage(EngineTexts::Translate(text).toStdWString());
    box->ShowBox(IsWindow() ? this : nullptr, nullptr, 0);
}

void MainWindow::OnStartFailed(const std::string& file, const std::string& reason)
{
    // Stale news (the row was stopped, removed or started again meanwhile) is not the user's
    // business any more.
    if (closing || Files() == nullptr || Files()->StartFailed(file) < 0)
        return;
    fileList->Refresh();
    if (batchRows > 0)
        --batchRows;
    ShowStartFailed(reason);
}

void MainWindow::ShowStartFailed(const std::string& reason)
{
    // The box counts down and deletes itself once its window is gone.
    constexpr int kCountdownSeconds = 5;
    auto* box = new MessageBox(1, kCountdownSeconds);
    box->SetButtons(tr("确定").toStdWString(), tr("取消").toStdWString(), false);
    box->SetMessage(EngineTexts::Translate(reason).toStdWString());
    box->ShowBox(IsWindow() ? this : nullptr, nullptr, 0);
}

void MainWindow::ShowNotice(const QString& text)
{
    // The box deletes itself once its window is gone.
    auto* box = new MessageBox(1, kNoticeSeconds);
    box->SetButtons(tr("确定").toStdWString(), L"", false);
    box->SetMessage(text.toStdWString());
    box->ShowBox(IsWindow() ? this : nullptr, nullptr, 0);
}

void MainWindow::ShowFolderDrop(const FileListView::FolderDrop& drop)
{
    if (closing || (drop.skipped == 0 && drop.subfolders == 0))
        return;
    QString text = tr("已添加 %1 个文件").arg(drop.added);
    if (drop.skipped > 0)
        text += tr("，跳过 %1 个文件（不是音频或视频文件、已在列表中，或超出 %2 个文件的上限）").arg(drop.skipped).arg(FileList::kMaxRows);
    if (drop.subfolders > 0)
        text += tr("，文件夹中的 %1 个子文件夹未打开").arg(drop.subfolders);
    ShowNotice(text + tr("。"));
}

void MainWindow::TellBatchEnd()
{
    if (Files() == nullptr || batchRows == 0 || Files()->IsRecognizing())
        return;
    const int finished = batchRows;
    batchRows = 0;
    // In front of the user the list itself shows that it is over.
    QWidget* widget = GetWidget();
    if (widget != nullptr && widget->isActiveWindow())
        return;
    const bool sent = DesktopNotice::Show(tr("识别完成: %1 个文件").arg(finished).toStdWString(), L"Talvora");
    WriteLog(Info, LogTag::kMainWindowTellBatchEnd, "batch of %d files ended, desktop notice %s", finished,
             sent ? "sent" : "not sent (no session bus)");
}

bool MainWindow::HasUnsavedWork() const
{
    return Files() != nullptr && Files()->HasUnsavedWork();
}

void MainWindow::RequestClose()
{
    if (closing)
        return;
    if (!HasUnsavedWork()) {
        Close();
        return;
    }
    // Asked once: a second close while the question is open only brings it forward.
    if (closeQuestion != nullptr && closeQuestion->IsWindow()) {
        closeQuestion->BringToTop();
        return;
    }
    closeQuestion = std::make_unique<MessageBox>(0, 0);
    closeQuestion->SetButtons(tr("确定").toStdWString(), tr("取消").toStdWString(), true);
    closeQuestion->SetMessage(tr("有未保存的识别结果，确定退出吗?").toStdWString());
    closeQuestion->ShowBox(this, [this](int result, uint32_t) {
        // Later: the close releases the question box whose click is being handled. The
        // program's own close does not ask again.
        if (result == 1)
            later([this] { CloseWindowNow(); });
    }, 0);
}

bool MainWindow::OnKeyDown(int key, bool control, bool shift)
{
    if (closing || fileList == nullptr)
        return false;
    if (control && !shift && key == Qt::Key_O) {
        fileList->AddFiles();
        return true;
    }
    if (control && !shift && key == Qt::Key_S) {
        SaveResults();
        return true;
    }
    if (control && !shift && key == Qt::Key_Comma) {
        ShowSettings();
        return true;
    }
    if (control)
        return false;
    // In the text pane the keys keep their meaning there (its own menu, selecting text).
    QWidget* focus = GetWidget() != nullptr ? GetWidget()->focusWidget() : nullptr;
    QWidget* pane = textPane != nullptr ? textPane->GetWidget() : nullptr;
    if (focus != nullptr && pane != nullptr && (focus == pane || pane->isAncestorOf(focus)))
        return false;
    const int row = fileList->GetCurSel();
    if (key == Qt::Key_Delete && !shift) {
        if (row >= 0)
            DeleteItem(row);
        return row >= 0;
    }
    if ((key == Qt::Key_Return || key == Qt::Key_Enter) && !shift) {
        // A button showing the focus takes Enter itself.
        if (auto* button = dynamic_cast<Button*>(focus); button != nullptr && button->IsFocusVisible())
            return false;
        if (row >= 0 && fileList->GetItemStatus(row) == ItemIdle)
            StartItem(row);
        return row >= 0;
    }
    if (key == Qt::Key_Menu || (key == Qt::Key_F10 && shift)) {
        if (row < 0)
            return false;
        const UiRect rect = fileList->GetRowRect(row);
        ShowRowMenu(row, rect.left + rect.Width() / 3, (rect.top + rect.bottom) / 2);
        return true;
    }
    return false;
}

void MainWindow::DeleteItem(int index)
{
    if (closing || Files() == nullptr || Files()->Row(index) == nullptr)
        return;
    if (!Files()->CanDelete(index)) {
        ShowNotice(tr("当前文件正在识别中，无法删除!"));
        return;
    }
    fileList->RemoveAt(index);
}

int MainWindow::FindItem(const std::string& file)
{
    return Files() != nullptr ? Files()->Find(file) : -1;
}

std::set<RowMenu::Action> MainWindow::RowActions(int row)
{
    std::set<RowMenu::Action> actions;
    if (closing || fileList == nullptr || row < 0 || row >= fileList->GetCount())
        return actions;
    const std::string file = fileList->GetItemFile(row);
    const std::string text = PaneText(row);
    const int status = fileList->GetItemStatus(row);
    if (status == ItemRecognizing)
        actions.insert(RowMenu::Stop);
    if (Files()->IsRecognizing())
        actions.insert(RowMenu::StopAll);
    if (status == ItemDone || status == ItemFailed)
        actions.insert(RowMenu::Retry);
    if (status != ItemFailed && !text.empty())
        actions.insert(RowMenu::CopyText);
    std::error_code error;
    if (std::filesystem::is_directory(std::filesystem::path(file).parent_path(), error))
        actions.insert(RowMenu::OpenFolder);
    if (status == ItemDone) {
        actions.insert(RowMenu::ExportSubtitles);
        actions.insert(RowMenu::ExportWebVtt);
    }
    return actions;
}

void MainWindow::ShowRowMenu(int row, int x, int y)
{
    if (closing || fileList == nullptr || row < 0 || row >= fileList->GetCount() || GetWidget() == nullptr)
        return;
    // The row is named by its file: rows may come and go while the menu is open.
    const std::string file = fileList->GetItemFile(row);
    RowMenu::Popup(GetWidget(), GetWidget()->mapToGlobal(QPoint(x, y)), RowActions(row),
                   [this, file](RowMenu::Action action) { RunRowAction(FindItem(file), action); });
}

void MainWindow::RunRowAction(int row, RowMenu::Action action)
{
    if (closing || fileList == nullptr || row < 0 || row >= fileList->GetCount())
        return;
    // The state may have changed since the menu was shown.
    if (RowActions(row).count(action) == 0)
        return;
    switch (action) {
    case RowMenu::Stop:
        StopItem(row);
        break;
    case RowMenu::StopAll:
        StopAllItems();
        break;
    case RowMenu::Retry:
        RetryItem(row);
        break;
    case RowMenu::CopyText: {
        // The pane's text ends its lines in CR LF; programs on this desktop pasting it expect LF.
        QString text = QString::fromStdString(PaneText(row));
        text.replace(QStringLiteral("\r\n"), QStringLiteral("\n")).replace(QLatin1Char('\r'), QLatin1Char('\n'));
        QApplication::clipboard()->setText(text);
        break;
    }
    case RowMenu::OpenFolder:
        OpenItemFolder(row);
        break;
    case RowMenu::ExportSubtitles:
        ExportSubtitles(row, ResultForm::Srt);
        break;
    case RowMenu::ExportWebVtt:
        ExportSubtitles(row, ResultForm::Vtt);
        break;
    default:
        break;
    }
}

void MainWindow::StopItem(int index)
{
    const std::string file = fileList->GetItemFile(index);
    // Queued segments go with the records; an attempt still running finishes without effect.
    if (!Files()->Stop(index))
        return;
    fileList->Refresh();
    if (batchRows > 0)
        --batchRows;
    WriteLog(Info, LogTag::kMainWindowStopItem, "%s", ("recognition stopped: " + file).c_str());
    if (fileList->GetCurSel() == index)
        ShowResultText(index);
}

void MainWindow::StopAllItems()
{
    int stopped = 0;
    for (int i = 0; i < fileList->GetCount(); ++i) {
        if (fileList->GetItemStatus(i) == ItemRecognizing) {
            StopItem(i);
            stopped += fileList->GetItemStatus(i) == ItemIdle;
        }
    }
    WriteLog(Info, LogTag::kMainWindowStopItem, "recognition stopped for all %d files", stopped);
}

void MainWindow::RetryItem(int index)
{
    const std::string file = fileList->GetItemFile(index);
    // From scratch: the earlier attempt's records and text go first.
    const int status = fileList->GetItemStatus(index);
    if (status != ItemDone && status != ItemFailed)
        return;
    if (Files()->Retry(index))
        ++batchRows;
    fileList->Refresh();
    WriteLog(Info, LogTag::kMainWindowRetryItem, "%s", ("recognition again: " + file).c_str());
    if (fileList->GetCurSel() == index)
        ShowResultText(index);
}

void MainWindow::OpenItemFolder(int index)
{
    const std::string folder = std::filesystem::path(fileList->GetItemFile(index)).parent_path().string();
    if (!QDesktopServices::openUrl(QUrl::fromLocalFile(QString::fromStdString(folder))))
        WriteLog(Warning, LogTag::kMainWindowOpenItemFolder, "%s", ("the desktop cannot open " + folder).c_str());
}

void MainWindow::ExportSubtitles(int index, ResultForm form)
{
    const std::string file = fileList->GetItemFile(index);
    const std::string folder = Chosen(BrowseForFolder(this, tr("选择保存目录").toStdWString()));
    // The window may have been closed, or the row changed, while the folder chooser was open.
    if (folder.empty() || closing || Files() == nullptr)
        return;
    const int row = FindItem(file);
    if (row < 0 || fileList->GetItemStatus(row) != ItemDone)
        return;
    SaveInto(folder, form, LogTag::kMainWindowExportSubtitles, {file});
}
