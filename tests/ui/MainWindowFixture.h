#pragma once

// The main window under test: a real MainWindow with its real job manager, recognising through
// the speech double on loopback HTTPS, cutting generated audio files with the real ffmpeg. The
// double's answers can be held back per recognised text ("tone 440") until the test lets them go.
#include "app/ApplicationExit.h"
#include "base/AppPaths.h"
#include "base/Config.h"
#include "base/TextConvert.h"
#include "engine/TranscriptionJobs.h"
#include "engine/CloudRecognizer.h"
#include "engine/CredentialPool.h"
#include "speech_double/LoopbackPort.h"
#include "speech_double/SpeechDouble.h"
#include "support/AudioFiles.h"
#include "support/TestSupport.h"
#include "tests/ui/UiTestSupport.h"
#include "ui/FileListView.h"
#include "ui/MainWindow.h"
#include "ui/toolkit/Button.h"
#include "ui/toolkit/ListHeader.h"
#include "ui/toolkit/ListRowsView.h"
#include "ui/toolkit/TextPane.h"

#include <QAction>
#include <QApplication>
#include <QFileDialog>
#include <QMenu>
#include <QLineEdit>
#include <QTest>
#include <QTimer>
#include <QWidget>
#include <QWindow>

#include <gtest/gtest.h>

#include <condition_variable>
#include <fstream>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <vector>

namespace MainWindowTesting {

// Holds the double's recognition answers back until their text is let through.
class AnswerGate {
public:
    SpeechDouble::Fault Pass(const SpeechDouble::RequestInfo& info)
    {
        if (info.endpoint != SpeechDouble::Endpoint::Recognition)
            return SpeechDouble::Fault::Normal();
        std::unique_lock<std::mutex> guard(lock_);
        ++waiting_;
        changed_.notify_all();
        changed_.wait(guard, [&] { return all_ || open_.count(info.text) != 0; });
        --waiting_;
        return SpeechDouble::Fault::Normal();
    }
    void Open(const std::string& text)
    {
        std::lock_guard<std::mutex> guard(lock_);
        open_.insert(text);
        changed_.notify_all();
    }
    void OpenAll()
    {
        std::lock_guard<std::mutex> guard(lock_);
        all_ = true;
        changed_.notify_all();
    }
    int Waiting()
    {
        std::lock_guard<std::mutex> guard(lock_);
        return waiting_;
    }

private:
    std::mutex lock_;
    std::condition_variable changed_;
    std::set<std::string> open_;
    bool all_ = false;
    int waiting_ = 0;
};

// Answers the next file dialog or folder chooser that opens as a user would: goes to `folder`
// and, when `typed` is given, types it as the file name (several names in double quotes), then
// accepts; cancels when `folder` is empty.
class FolderChooserAnswer {
public:
    explicit FolderChooserAnswer(QString folder, QString typed = {}) : folder_(std::move(folder)), typed_(std::move(typed))
    {
        timer_.setInterval(10);
        QObject::connect(&timer_, &QTimer::timeout, [this] {
            auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
            if (dialog == nullptr)
                return;
            timer_.stop();
            title_ = dialog->windowTitle();
            if (folder_.isEmpty()) {
                dialog->reject();
            } else {
                dialog->setDirectory(folder_);
                if (!typed_.isEmpty()) {
                    if (auto* name = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit")))
                        name->setText(typed_);
                }
                // QFileDialog's own accept (checks and takes the folder), through the public base.
                static_cast<QDialog*>(dialog)->accept();
            }
            answered_ = true;
        });
        timer_.start();
    }
    bool Answered() const { return answered_; }
    QString Title() const { return title_; }

private:
    QString folder_;
    QString typed_;
    QString title_;
    QTimer timer_;
    bool answered_ = false;
};

class MainWindowTest : public testing::Test {
protected:
    void SetUp() override
    {
        // Each window starts the update check: it goes to a port nobody listens on and fails at
        // once. Written before the context (and its checker) first exists.
        WriteConfigString("UpdateUrl", UpdateUrl());
        std::string error;
        speech_ = SpeechDouble::Server::Start({}, &error);
        ASSERT_TRUE(speech_) << error;
        speech_->ExportEnvironment();
        speech_->SetFaultSelector([this](const SpeechDouble::RequestInfo& info) { return gate_.Pass(info); });
        logStart_ = TestSupport::ReadFile(LogPath()).size();
        UiTest::ClearDiagnostics();

        auto keys = std::make_shared<CredentialPool>();
        keys->Replace({{SpeechDouble::kTestApiKey, SpeechDouble::kTestSecretKey}});
        player_ = std::make_unique<MainWindow>(std::make_shared<CloudRecognizer>(keys));
        // The program's own exit, counted.
        player_->SetExitSequence([this] {
            ++exits_;
            LeaveApplication();
        });
        ASSERT_TRUE(player_->Create(nullptr, L"", WS_OVERLAPPEDWINDOW, 0, 0, 0, 800, 600));
        ASSERT_TRUE(player_->IsVisible());
        list_ = player_->GetFileListView();
        ASSERT_NE(list_, nullptr);
        // The window's update check has ended before the test goes on: its thread is nobody's to
        // wait for, and it must not still run when the test process exits.
        ASSERT_TRUE(UiTest::WaitFor([&] { return UpdateCheckDone(Log()); }, std::chrono::seconds(30))) << Log();
        UiTest::ProcessEvents();
    }

    // Whether the log shows the last report of the window's update check.
    virtual bool UpdateCheckDone(const std::string& log) { return Occurrences(log, "update msg: 2, ") >= 2; }

    void TearDown() override
    {
        gate_.OpenAll();
        // Workers still running finish against the double before it goes.
        if (player_ != nullptr && player_->GetJobs() != nullptr) {
            EXPECT_TRUE(UiTest::WaitFor([&] { return player_->GetJobs()->RunningCount() == 0; },
                                        std::chrono::seconds(60)));
        }
        player_.reset();
        UiTest::ProcessEvents();
        speech_.reset();
    }

    // Where the windows' update check goes: by default a port nobody listens on.
    virtual std::string UpdateUrl()
    {
        return "http://127.0.0.1:" + std::to_string(SpeechDouble::UnusedLoopbackPort());
    }

    static std::string LogPath() { return AppPaths::GetAppDataDir() + "/Talvora.log"; }
    // What this test wrote to the log.
    std::string Log() const { return TestSupport::ReadFile(LogPath()).substr(logStart_); }
    // Waits until `count` workers have reached the end of their recognition (their last log
    // entry before their completion).
    bool WaitForWorkersDone(size_t count)
    {
        return UiTest::WaitFor([&] { return Occurrences(Log(), TestSupport::LogEntryStart("CAudioTask::Run", "speech text size: ")) >= count; },
                               std::chrono::seconds(60));
    }
    static size_t Occurrences(const std::string& text, const std::string& part)
    {
        return TestSupport::CountOccurrences(text, part);
    }

    // A generated audio file of `seconds` whose segment i carries tones[i] ("tone <Hz>").
    std::string MakeAudio(const std::string& name, int seconds, const std::vector<int>& tones)
    {
        const std::string path = dir_ / name;
        EXPECT_TRUE(TestSupport::MakeToneFile(path, seconds, tones, 120)) << path;
        return path;
    }
    void Add(const std::string& path)
    {
        list_->AddItem(path);
        EXPECT_TRUE(UiTest::DurationsProbed(list_->Files()));
    }
    // The file's text as it is saved.
    std::string ResultText(const std::string& file) { return list_->Files().Text(list_->Files().Find(file), false); }

    std::wstring Cell(int row, int column)
    {
        Control* element = list_->GetItemAt(row);
        if (element == nullptr)
            return L"<no row>";
        const wchar_t* text = list_->GetItemText(element, row, column);
        return text != nullptr ? std::wstring(text) : std::wstring();
    }
    int Status(int row) { return list_->GetItemStatus(row); }
    bool WaitStatus(int row, int status, std::chrono::milliseconds timeout = std::chrono::seconds(60))
    {
        return UiTest::WaitFor([&] { return Status(row) == status; }, timeout);
    }

    QWindow* Native() const { return player_->GetWidget()->windowHandle(); }
    static QPoint Centre(const UiRect& rect) { return QPoint((rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2); }
    // A real click of the left button on a control, through the window system's input.
    void ClickControl(const wchar_t* name)
    {
        Control* control = player_->FindControl(name);
        ASSERT_NE(control, nullptr);
        QTest::mouseClick(Native(), Qt::LeftButton, Qt::NoModifier, Centre(control->GetPos()));
    }
    QPoint CellPoint(int row, int column)
    {
        const UiRect columnRect = list_->GetHeader()->GetColumnRect(column);
        const UiRect rowRect = list_->GetRowRect(row);
        return QPoint((columnRect.left + columnRect.right) / 2, (rowRect.top + rowRect.bottom) / 2);
    }
    void ClickCell(int row, int column)
    {
        QTest::mouseClick(Native(), Qt::LeftButton, Qt::NoModifier, CellPoint(row, column));
    }
    std::wstring PaneText()
    {
        auto* pane = player_->FindControl<TextPane>(L"edtText");
        return pane != nullptr ? pane->GetText() : L"<no pane>";
    }

    // The message boxes on screen, by their text.
    static std::vector<std::wstring> MessageBoxTexts()
    {
        std::vector<std::wstring> texts;
        for (QWidget* widget : QApplication::topLevelWidgets()) {
            if (widget->objectName() != QStringLiteral("CMessageWnd") || !widget->isVisible())
                continue;
            for (QObject* child : widget->findChildren<QObject*>()) {
                if (auto* control = dynamic_cast<Control*>(child); control != nullptr &&
                                                                       control->GetName() == L"MainTxtLab")
                    texts.push_back(control->GetText());
            }
        }
        return texts;
    }
    // Closes every message box on screen, as the desktop's close would.
    static void CloseBoxes()
    {
        for (QWidget* widget : QApplication::topLevelWidgets()) {
            if (widget->objectName() == QStringLiteral("CMessageWnd") && widget->isVisible())
                widget->close();
        }
        UiTest::WaitFor([] { return MessageBoxTexts().empty(); });
    }
    // Clicks OK (or Cancel) of the message box on screen that shows `text`, as a user would.
    static bool AnswerBox(const std::wstring& text, bool ok)
    {
        for (QWidget* widget : QApplication::topLevelWidgets()) {
            if (widget->objectName() != QStringLiteral("CMessageWnd") || !widget->isVisible())
                continue;
            Control* button = nullptr;
            bool shows = false;
            for (QObject* child : widget->findChildren<QObject*>()) {
                auto* control = dynamic_cast<Control*>(child);
                if (control == nullptr)
                    continue;
                shows = shows || (control->GetName() == L"MainTxtLab" && control->GetText() == text);
                if (control->GetName() == (ok ? L"btnOK" : L"btnCancel"))
                    button = control;
            }
            if (shows && button != nullptr) {
                QTest::mouseClick(widget->windowHandle(), Qt::LeftButton, Qt::NoModifier, Centre(button->GetPos()));
                return true;
            }
        }
        return false;
    }
    // The row menu on screen, once it is up.
    static QMenu* OpenMenu()
    {
        QMenu* menu = nullptr;
        UiTest::WaitFor([&] {
            menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
            return menu != nullptr && menu->isVisible();
        });
        return menu;
    }
    // The row menu of a row, opened with the right button as a user would.
    QMenu* RightClickRow(int row)
    {
        QTest::mouseClick(Native(), Qt::RightButton, Qt::NoModifier, CellPoint(row, FileListView::kColumnFile));
        return OpenMenu();
    }
    // Enabled state of the menu's items by their text, in menu order ("+停止", "-重新识别").
    static std::vector<std::wstring> MenuItems(QMenu* menu)
    {
        std::vector<std::wstring> items;
        for (QAction* action : menu->actions())
            items.push_back((action->isEnabled() ? L"+" : L"-") + action->text().toStdWString());
        return items;
    }
    // Chooses an item by its text with the keyboard's Enter, once the menu is up.
    static void Choose(QMenu* menu, const QString& text)
    {
        for (QAction* action : menu->actions()) {
            if (action->text() == text)
                menu->setActiveAction(action);
        }
        QTest::keyClick(menu, Qt::Key_Return);
        UiTest::WaitFor([] { return QApplication::activePopupWidget() == nullptr; });
        UiTest::ProcessEvents();
    }
    static size_t CountBoxes(const std::wstring& text)
    {
        size_t count = 0;
        for (const std::wstring& each : MessageBoxTexts())
            count += each == text;
        return count;
    }

    AnswerGate gate_;
    std::unique_ptr<SpeechDouble::Server> speech_;
    TestSupport::TempDir dir_;
    std::unique_ptr<MainWindow> player_;
    int exits_ = 0;
    FileListView* list_ = nullptr;
    size_t logStart_ = 0;
};

}  // namespace MainWindowTesting
