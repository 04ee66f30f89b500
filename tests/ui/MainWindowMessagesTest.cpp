// What reaches the main window besides its buttons: presses on the list's action and delete
// cells, the keyboard shortcut, the update check's reports, the close from the desktop, and
// engine results that arrive while or after their records go away.
#include "maintenance/UpdateReport.h"
#include "support/LoopbackHttpServer.h"
#include "tests/ui/MainWindowFixture.h"

#include <QDesktopServices>
#include <QUrl>

using namespace MainWindowTesting;
using SpeechDouble::Endpoint;

namespace {

// Stands in for the desktop's opener, so nothing is launched.
class OpenerDouble : public QObject {
    Q_OBJECT
public:
    QList<QUrl> opened;

public slots:
    void Open(const QUrl& url) { opened.append(url); }
};

TEST_F(MainWindowTest, TheDeleteCellRemovesIdleAndDoneRowsButNotOneBeingRecognised)
{
    const std::string a = MakeAudio("a.wav", 20, {440});
    const std::string b = MakeAudio("b.wav", 20, {550});
    const std::string c = MakeAudio("c.wav", 20, {660});
    Add(a);
    Add(b);
    Add(c);

    // A done row: its results go with it.
    gate_.Open("tone 440");
    ClickCell(0, FileListView::kColumnAction);
    ASSERT_TRUE(WaitStatus(0, ItemDone));
    ASSERT_EQ(player_->GetJobs()->GetFinishedSegments(a).size(), 1u);
    ClickCell(0, FileListView::kColumnDelete);
    ASSERT_EQ(list_->GetCount(), 2);
    EXPECT_EQ(list_->GetItemFile(0), b);
    EXPECT_TRUE(player_->GetJobs()->GetFinishedSegments(a).empty());

    // A row being recognised stays, with a notice.
    ClickCell(0, FileListView::kColumnAction);
    ASSERT_EQ(Status(0), ItemRecognizing);
    ClickCell(0, FileListView::kColumnDelete);
    EXPECT_EQ(list_->GetCount(), 2);
    EXPECT_TRUE(UiTest::WaitFor([] { return CountBoxes(L"当前文件正在识别中，无法删除!") == 1; }));
    // Its action cell does nothing either.
    ClickCell(0, FileListView::kColumnAction);
    EXPECT_TRUE(speech_->WaitForArrivals(Endpoint::Recognition, 2));
    EXPECT_EQ(Status(0), ItemRecognizing);

    // An idle row simply goes.
    ClickCell(1, FileListView::kColumnDelete);
    ASSERT_EQ(list_->GetCount(), 1);
    EXPECT_EQ(list_->GetItemFile(0), b);

    gate_.OpenAll();
    ASSERT_TRUE(WaitStatus(0, ItemDone));
    EXPECT_EQ(speech_->RequestCount(Endpoint::Recognition), 2);
}

TEST_F(MainWindowTest, ClicksOutsideTheActionAndDeleteCellsOnlySelect)
{
    const std::string a = MakeAudio("a.wav", 20, {440});
    Add(a);
    ClickCell(0, FileListView::kColumnFile);
    ClickCell(0, FileListView::kColumnProgress);
    // Between the rows' end and the list's bottom there is no row.
    const UiRect listRect = list_->GetPos();
    QTest::mouseClick(Native(), Qt::LeftButton, Qt::NoModifier,
                      QPoint((listRect.left + listRect.right) / 2, listRect.bottom - 5));
    UiTest::ProcessEvents();
    EXPECT_EQ(list_->GetCount(), 1);
    EXPECT_EQ(Status(0), ItemIdle);
    EXPECT_EQ(list_->GetCurSel(), 0);
    EXPECT_EQ(speech_->RequestCount(Endpoint::Recognition), 0);
}

TEST_F(MainWindowTest, CtrlShiftLOpensTheDataFolderAndNothingElseDoes)
{
    OpenerDouble opener;
    QDesktopServices::setUrlHandler(QStringLiteral("file"), &opener, "Open");
    QTest::keyClick(Native(), Qt::Key_L, Qt::ControlModifier);
    QTest::keyClick(Native(), Qt::Key_L, Qt::ShiftModifier);
    QTest::keyClick(Native(), Qt::Key_K, Qt::ControlModifier | Qt::ShiftModifier);
    QTest::keyClick(Native(), Qt::Key_L);
    EXPECT_TRUE(opener.opened.isEmpty());
    QTest::keyClick(Native(), Qt::Key_L, Qt::ControlModifier | Qt::ShiftModifier);
    QDesktopServices::unsetUrlHandler(QStringLiteral("file"));
    ASSERT_EQ(opener.opened.size(), 1);
    EXPECT_EQ(opener.opened[0].toLocalFile().toStdString(), AppPaths::GetAppDataDir());
}

TEST_F(MainWindowTest, UpdateReportsAreLogged)
{
    // The window's own check has failed already (see SetUp); its reports are out of the way.
    logStart_ = TestSupport::ReadFile(LogPath()).size();
    player_->OnUpdateReport(UpdateReport{kUpdateCheckFailed, "", ""});
    player_->OnUpdateReport(UpdateReport{kUpdateVersionKnown, "", "1.0.9"});
    // Nothing is known about a newer version in this test: a report of kind 4 only logs.
    player_->OnUpdateReport(UpdateReport{kUpdateNeeded, "", "x"});
    ASSERT_TRUE(UiTest::WaitFor([&] { return Log().find("update msg: 4, x\r\n") != std::string::npos; }));
    const std::string log = Log();
    EXPECT_NE(log.find("warning>>> "), std::string::npos);
    EXPECT_NE(log.find(TestSupport::LogEntry("RtmpPlayer::MessageHandler", "check update version failed")), std::string::npos);
    EXPECT_NE(log.find(TestSupport::LogEntry("RtmpPlayer::MessageHandler", "update msg: 2, ")), std::string::npos);
    EXPECT_NE(log.find(TestSupport::LogEntry("RtmpPlayer::MessageHandler", "update msg: 1, 1.0.9")), std::string::npos);
    EXPECT_EQ(log.find("must update"), std::string::npos);
    EXPECT_TRUE(player_->IsVisible());

    player_->Close();
    UiTest::ProcessEvents();
    EXPECT_TRUE(UiTest::WaitFor([&] { return !player_->IsWindow(); }));
}

// The windows' update check asks an update server of the test's own.
class MainWindowUpdateTest : public MainWindowTest {
protected:
    void SetUp() override
    {
        server_.Server().Get("/version/Talvora", [this](const httplib::Request&, httplib::Response& res) {
            res.set_content(R"({"latest-version":"1.0.9","minimum-required":")" + minimum_ + R"("})",
                            "application/json");
        });
        server_.Server().Get("/latest/Talvora", [](const httplib::Request&, httplib::Response& res) {
            res.set_content(R"({"files":[{"path":"a","size":1,"digest":"86f7e437faa5a7fce15d1ddcb9eaeaea377667b8"}]})",
                            "application/json");
        });
        server_.Start();
        TestSupport::WriteFile(AppPaths::GetUpdateDataDir() + "/ver", R"({"version":"1.0.8","files":[]})");
        MainWindowTest::SetUp();
    }
    std::string UpdateUrl() override { return server_.Url(); }
    bool UpdateCheckDone(const std::string& log) override { return log.find("update msg: 4, ") != std::string::npos; }

    TestSupport::LoopbackHttpServer server_;
    std::string minimum_ = "0";
};

TEST_F(MainWindowUpdateTest, AnAvailableUpdateThatIsNotRequiredIsOnlyLogged)
{
    const std::string log = Log();
    EXPECT_EQ(Occurrences(log, TestSupport::LogEntry("RtmpPlayer::MessageHandler", "has no must update version")), 1u);
    EXPECT_NE(log.find(TestSupport::LogEntry("RtmpPlayer::MessageHandler", "update msg: 1, 1.0.9")), std::string::npos);
    EXPECT_EQ(log.find("find must update version"), std::string::npos);
    EXPECT_TRUE(player_->IsVisible());
    EXPECT_TRUE(MessageBoxTexts().empty());
}

class MainWindowRequiredUpdateTest : public MainWindowUpdateTest {
protected:
    void SetUp() override
    {
        minimum_ = "1.0.9";
        MainWindowUpdateTest::SetUp();
    }
};

TEST_F(MainWindowRequiredUpdateTest, ARequiredUpdateStartsTheUpdaterAndClosesInOrder)
{
    ASSERT_TRUE(UiTest::WaitFor([&] { return !player_->IsWindow(); }));
    const std::string log = Log();
    const size_t found = log.find(TestSupport::LogEntry("RtmpPlayer::MessageHandler", "find must update version. start update"));
    const size_t updater = log.find(TestSupport::LogEntryStart("LaunchUpdater", "cannot start "));
    const size_t close = log.find(TestSupport::LogEntry("RtmpPlayer::Close", "main close"));
    const size_t exit = log.find(TestSupport::LogEntry("CData::PostAppExit", "app exit"));
    ASSERT_NE(found, std::string::npos) << log;
    ASSERT_NE(updater, std::string::npos) << log;
    ASSERT_NE(close, std::string::npos);
    ASSERT_NE(exit, std::string::npos);
    EXPECT_LT(found, updater);
    EXPECT_LT(updater, close);
    EXPECT_LT(close, exit);
    EXPECT_EQ(player_->GetJobs(), nullptr);
}

TEST_F(MainWindowTest, CloseWithWorkInFlightReleasesEverythingAndLateResultsGoNowhere)
{
    const std::string a = MakeAudio("a.wav", 240, {440, 550});
    const std::string b = MakeAudio("b.wav", 20, {660});
    Add(a);
    Add(b);
    ClickControl(L"btnStartAll");
    ASSERT_TRUE(UiTest::WaitFor([&] { return gate_.Waiting() == 3; }, std::chrono::seconds(30)));

    // Work would be lost: the close asks first, once; Cancel keeps the window running.
    const std::wstring question = L"有未保存的识别结果，确定退出吗?";
    ClickControl(L"btnClose");
    ASSERT_TRUE(UiTest::WaitFor([&] { return CountBoxes(question) == 1; }));
    ClickControl(L"btnClose");
    UiTest::ProcessEvents();
    EXPECT_EQ(CountBoxes(question), 1u);
    EXPECT_FALSE(player_->IsClosing());
    ASSERT_TRUE(AnswerBox(question, false));
    ASSERT_TRUE(UiTest::WaitFor([&] { return CountBoxes(question) == 0; }));
    EXPECT_FALSE(player_->IsClosing());
    EXPECT_TRUE(player_->IsVisible());

    ClickControl(L"btnClose");
    ASSERT_TRUE(UiTest::WaitFor([&] { return CountBoxes(question) == 1; }));
    ASSERT_TRUE(AnswerBox(question, true));
    ASSERT_TRUE(UiTest::WaitFor([&] { return player_->IsClosing(); }));
    EXPECT_FALSE(player_->IsVisible());
    EXPECT_EQ(player_->GetJobs(), nullptr);
    ASSERT_TRUE(UiTest::WaitFor([&] { return !player_->IsWindow(); }));
    const std::string log = Log();
    const size_t close = log.find(TestSupport::LogEntry("RtmpPlayer::Close", "main close"));
    const size_t exit = log.find(TestSupport::LogEntry("CData::PostAppExit", "app exit"));
    ASSERT_NE(close, std::string::npos);
    ASSERT_NE(exit, std::string::npos);
    EXPECT_LT(close, exit);
    EXPECT_EQ(log.find("no main window took the close command"), std::string::npos);

    // The workers finish now; their results reach no window.
    gate_.OpenAll();
    ASSERT_TRUE(speech_->WaitForRequests(Endpoint::Recognition, 3));
    EXPECT_TRUE(WaitForWorkersDone(3));
    UiTest::ProcessEvents();
    // A second close does nothing.
    player_->Close();
    EXPECT_EQ(Occurrences(Log(), "main close"), 1u);
}

TEST_F(MainWindowTest, TheDesktopsCloseRunsTheSameCloseSequence)
{
    const std::string a = MakeAudio("a.wav", 20, {440});
    Add(a);
    ClickControl(L"btnStart");
    ASSERT_TRUE(UiTest::WaitFor([&] { return gate_.Waiting() == 1; }, std::chrono::seconds(30)));

    // The window system's close (its close button, Alt+F4) arrives as a close event; with a
    // file recognising it asks first.
    const std::wstring question = L"有未保存的识别结果，确定退出吗?";
    player_->GetWidget()->close();
    ASSERT_TRUE(UiTest::WaitFor([&] { return CountBoxes(question) == 1; }));
    EXPECT_TRUE(player_->IsWindow());
    EXPECT_FALSE(player_->IsClosing());
    ASSERT_TRUE(AnswerBox(question, true));
    ASSERT_TRUE(UiTest::WaitFor([&] { return !player_->IsWindow(); }));
    EXPECT_EQ(player_->GetJobs(), nullptr);
    const std::string log = Log();
    EXPECT_EQ(Occurrences(log, TestSupport::LogEntry("RtmpPlayer::Close", "main close")), 1u);
    EXPECT_EQ(Occurrences(log, TestSupport::LogEntry("CData::PostAppExit", "app exit")), 1u);
    gate_.OpenAll();
    ASSERT_TRUE(speech_->WaitForRequests(Endpoint::Recognition, 1));
    EXPECT_TRUE(WaitForWorkersDone(1));
}

TEST_F(MainWindowTest, AResultQueuedWhenCloseBeginsIsDroppedUnread)
{
    const std::string a = MakeAudio("a.wav", 20, {440});
    Add(a);
    gate_.OpenAll();
    ClickControl(L"btnStart");
    ASSERT_TRUE(WaitStatus(0, ItemDone));
    const std::vector<SegmentRecord*> records = player_->GetJobs()->GetFinishedSegments(a);
    ASSERT_EQ(records.size(), 1u);
    // Handed on like a worker's news, then the window closes before it is taken: the record is
    // freed with the job manager, and reading it would be caught by the sanitizers.
    const uint64_t id = records[0]->id;
    QMetaObject::invokeMethod(qApp, [this, id] { player_->OnSegmentDone(id); }, Qt::QueuedConnection);
    player_->Close();
    ASSERT_TRUE(UiTest::WaitFor([&] { return !player_->IsWindow(); }));
    EXPECT_EQ(Log().find("UpdateItemStatus"), std::string::npos);
}

TEST_F(MainWindowTest, AResultOfARemovedFileIsDroppedUnread)
{
    const std::string a = MakeAudio("a.wav", 20, {440});
    Add(a);
    gate_.OpenAll();
    ClickControl(L"btnStart");
    ASSERT_TRUE(WaitStatus(0, ItemDone));
    const std::vector<SegmentRecord*> records = player_->GetJobs()->GetFinishedSegments(a);
    ASSERT_EQ(records.size(), 1u);
    const uint64_t id = records[0]->id;
    QMetaObject::invokeMethod(qApp, [this, id] { player_->OnSegmentDone(id); }, Qt::QueuedConnection);
    // The row is deleted (and its records freed) before the news is taken.
    ClickCell(0, FileListView::kColumnDelete);
    ASSERT_EQ(list_->GetCount(), 0);
    UiTest::ProcessEvents();
    EXPECT_EQ(Log().find("UpdateItemStatus no found"), std::string::npos);
    EXPECT_TRUE(player_->IsVisible());
}

}  // namespace

#include "MainWindowMessagesTest.moc"
