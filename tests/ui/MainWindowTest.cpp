// The main window: its layout, the toolbar and title-bar commands, starting rows, the tick, the
// result text of a file, the About window, what screen readers see and press, and folders dropped
// on the list.
#include "tests/ui/MainWindowFixture.h"

#include "ui/toolkit/Label.h"

#include <QAccessible>
#include <QClipboard>
#include <QDropEvent>
#include <QFontMetrics>
#include <QMimeData>

#include <filesystem>

using namespace MainWindowTesting;
using SpeechDouble::Endpoint;

namespace {

const wchar_t* const kButtons[] = {L"btnMin",  L"btnMax",   L"btnClose",    L"btnAbout",
                                   L"btnAdd",  L"btnStart", L"btnStartAll", L"btnSave"};

// Every interface under `node`, depth first, as a screen reader walks the window.
void Walk(QAccessibleInterface* node, std::vector<QAccessibleInterface*>& all)
{
    all.push_back(node);
    for (int i = 0; i < node->childCount(); ++i) {
        if (QAccessibleInterface* child = node->child(i))
            Walk(child, all);
    }
}

QAccessibleInterface* FindAccessible(QWidget* window, QAccessible::Role role, const QString& name)
{
    std::vector<QAccessibleInterface*> all;
    Walk(QAccessible::queryAccessibleInterface(window), all);
    for (QAccessibleInterface* each : all) {
        if (each->role() == role && each->text(QAccessible::Name) == name)
            return each;
    }
    return nullptr;
}

int AboutWindows()
{
    int count = 0;
    for (QWidget* widget : QApplication::topLevelWidgets())
        count += widget->objectName() == QStringLiteral("CAboutAppDlg") && widget->isVisible();
    return count;
}

TEST_F(MainWindowTest, TheLayoutHoldsTheTitleBarToolbarListAndTextPane)
{
    EXPECT_EQ(player_->GetWindowClassName(), L"Talvora");
    EXPECT_EQ(player_->GetSkinFile(), L"RtmpPlayer.xml");
    EXPECT_TRUE(UiTest::Diagnostics().empty()) << UiTest::Diagnostics().front();
    for (const wchar_t* name : kButtons)
        EXPECT_NE(player_->FindControl<Button>(name), nullptr) << QString::fromWCharArray(name).toStdString();
    auto* pane = player_->FindControl<TextPane>(L"edtText");
    ASSERT_NE(pane, nullptr);
    EXPECT_TRUE(pane->IsReadOnly());

    const UiRect window = player_->GetWindowRect();
    EXPECT_EQ(window.Width(), 800);
    EXPECT_EQ(window.Height(), 600);
    EXPECT_EQ(player_->GetWidget()->minimumSize(), QSize(800, 600));

    // Toolbar: four buttons and a spacer share the width equally.
    const UiRect add = player_->FindControl(L"btnAdd")->GetPos();
    const UiRect save = player_->FindControl(L"btnSave")->GetPos();
    EXPECT_EQ(add.Height(), 30);
    EXPECT_NEAR(add.Width(), save.Width(), 1);
    EXPECT_NEAR(add.Width(), (796 - 4 * 10) / 5, 1);
    EXPECT_EQ(player_->FindControl<Button>(L"btnAdd")->GetText(), L"添加音频");
    EXPECT_EQ(player_->FindControl<Button>(L"btnStart")->GetText(), L"开始识别");
    EXPECT_EQ(player_->FindControl<Button>(L"btnStartAll")->GetText(), L"批量识别");
    EXPECT_EQ(player_->FindControl<Button>(L"btnSave")->GetText(), L"保存结果");
    EXPECT_EQ(add.top, 2 + 50);
    // With the cloud service the title bar says nothing about the recognizer.
    ASSERT_NE(player_->FindControl<Label>(L"labRecognizer"), nullptr);
    EXPECT_EQ(player_->FindControl<Label>(L"labRecognizer")->GetText(), L"");

    // The list area (toolbar and list) and the text area share the height under the title bar.
    const UiRect list = list_->GetPos();
    const UiRect text = pane->GetPos();
    EXPECT_NEAR((list.bottom - add.top), (text.bottom + 5) - (text.top - 5), 2);

    // Seven columns; the first takes the width the others leave.
    ListHeader* header = list_->GetHeader();
    ASSERT_EQ(header->GetColumnCount(), 7);
    const wchar_t* const titles[] = {L"文件", L"时间", L"类型", L"进度", L"用时", L"操作", L"删除"};
    const int widths[] = {0, 100, 60, 80, 80, 80, 80};
    for (int column = 0; column < 7; ++column) {
        EXPECT_EQ(header->GetColumnText(column), titles[column]);
        if (widths[column] > 0) {
            EXPECT_EQ(header->GetColumnRect(column).Width(), widths[column]) << column;
        }
    }
    EXPECT_GT(header->GetColumnRect(0).Width(), 200);

    // The empty list says what to do; the brand label holds its whole text in the shipped font.
    EXPECT_EQ(list_->GetEmptyText(), L"拖入音频文件，或点击「添加音频」");
    Control* brand = nullptr;
    for (QObject* child : player_->GetWidget()->findChildren<QObject*>()) {
        if (auto* control = dynamic_cast<Control*>(child); control != nullptr && control->GetText() == L"Quenby")
            brand = control;
    }
    ASSERT_NE(brand, nullptr);
    const QFontMetrics metrics(player_->GetFont(brand->GetFont()));
    // The italic's slant reaches past the last letter's advance.
    EXPECT_LE(metrics.boundingRect(QStringLiteral("Quenby")).width() + metrics.height() / 4, brand->GetPos().Width());
}

TEST_F(MainWindowTest, TheRowMenuStopsARecognisingFileAndStartsAFinishedOneAgain)
{
    const std::string file = MakeAudio("talk.wav", 20, {440});
    Add(file);
    ClickControl(L"btnStart");
    ASSERT_TRUE(UiTest::WaitFor([&] { return gate_.Waiting() == 1; }, std::chrono::seconds(30)));

    // Recognising: only stop, copy (nothing to copy yet) and the folder apply.
    QMenu* menu = RightClickRow(0);
    ASSERT_NE(menu, nullptr);
    EXPECT_EQ(list_->GetCurSel(), 0);
    EXPECT_EQ(MenuItems(menu), (std::vector<std::wstring>{L"+停止", L"+停止全部", L"-重新识别", L"-复制文本",
                                                          L"+打开所在文件夹", L"-导出字幕", L"-导出字幕 (WebVTT)"}));
    Choose(menu, QStringLiteral("停止"));
    EXPECT_EQ(Status(0), ItemIdle);
    EXPECT_EQ(Cell(0, FileListView::kColumnAction), L"开始");
    EXPECT_EQ(Cell(0, FileListView::kColumnProgress), L"0");
    EXPECT_EQ(Cell(0, FileListView::kColumnElapsed), L"00:00");
    // The running segment finishes without effect.
    gate_.Open("tone 440");
    ASSERT_TRUE(WaitForWorkersDone(1));
    EXPECT_TRUE(UiTest::WaitFor([&] { return player_->GetJobs()->RunningCount() == 0; }));
    UiTest::ProcessEvents();
    EXPECT_EQ(Status(0), ItemIdle);
    EXPECT_EQ(PaneText(), L"");
    EXPECT_EQ(speech_->RequestCount(Endpoint::Recognition), 1);

    // Enter starts the selected idle row again; this time it finishes.
    gate_.OpenAll();
    QTest::keyClick(Native(), Qt::Key_Return);
    EXPECT_EQ(Status(0), ItemRecognizing);
    ASSERT_TRUE(WaitStatus(0, ItemDone));
    ASSERT_TRUE(UiTest::WaitFor([&] { return PaneText() == L"tone 440"; }));

    menu = RightClickRow(0);
    ASSERT_NE(menu, nullptr);
    EXPECT_EQ(MenuItems(menu), (std::vector<std::wstring>{L"-停止", L"-停止全部", L"+重新识别", L"+复制文本",
                                                          L"+打开所在文件夹", L"+导出字幕", L"+导出字幕 (WebVTT)"}));
    Choose(menu, QStringLiteral("复制文本"));
    EXPECT_EQ(QApplication::clipboard()->text().toStdWString(), L"tone 440");

    // The Menu key opens the same menu for the selected row; the finished row starts over.
    QTest::keyClick(Native(), Qt::Key_Menu);
    menu = OpenMenu();
    ASSERT_NE(menu, nullptr);
    Choose(menu, QStringLiteral("重新识别"));
    EXPECT_EQ(Status(0), ItemRecognizing);
    EXPECT_EQ(Cell(0, FileListView::kColumnProgress), L"0");
    ASSERT_TRUE(WaitStatus(0, ItemDone));
    EXPECT_EQ(speech_->RequestCount(Endpoint::Recognition), 3);
    EXPECT_EQ(ResultText(file), "tone 440");
}

TEST_F(MainWindowTest, StopAllStopsEveryRecognisingFile)
{
    Add(MakeAudio("a.wav", 20, {440}));
    Add(MakeAudio("b.wav", 20, {550}));
    Add(MakeAudio("c.wav", 20, {660}));
    ClickCell(0, FileListView::kColumnAction);
    ClickCell(2, FileListView::kColumnAction);
    ASSERT_TRUE(UiTest::WaitFor([&] { return gate_.Waiting() == 2; }, std::chrono::seconds(30)));

    // From the menu of any row, the idle one too.
    QMenu* menu = RightClickRow(1);
    ASSERT_NE(menu, nullptr);
    EXPECT_EQ(MenuItems(menu)[1], L"+停止全部");
    Choose(menu, QStringLiteral("停止全部"));
    for (int row = 0; row < 3; ++row) {
        EXPECT_EQ(Status(row), ItemIdle) << row;
        EXPECT_EQ(Cell(row, FileListView::kColumnAction), L"开始");
    }
    EXPECT_EQ(Occurrences(Log(), "recognition stopped: "), 2u);
    menu = RightClickRow(0);
    ASSERT_NE(menu, nullptr);
    EXPECT_EQ(MenuItems(menu)[1], L"-停止全部");
    menu->close();
}

TEST_F(MainWindowTest, CopyTextPutsTheLinesOnTheClipboardWithLfEnds)
{
    Add(MakeAudio("talk.wav", 240, {440, 550}));
    gate_.OpenAll();
    ClickControl(L"btnStart");
    ASSERT_TRUE(WaitStatus(0, ItemDone));
    ASSERT_NE(player_->PaneText(0).find("\r\n"), std::string::npos);
    QMenu* menu = RightClickRow(0);
    ASSERT_NE(menu, nullptr);
    Choose(menu, QStringLiteral("复制文本"));
    EXPECT_EQ(QApplication::clipboard()->text(), QStringLiteral("[00:00:00] tone 440\n[00:02:00] tone 550"));
}

TEST_F(MainWindowTest, ScreenReadersReadTheControlsAndPressTheButtonsAndCells)
{
    const std::string a = MakeAudio("a.wav", 20, {440});
    const std::string b = MakeAudio("b.wav", 20, {550});
    Add(a);
    Add(b);
    QWidget* window = player_->GetWidget();
    EXPECT_EQ(QAccessible::queryAccessibleInterface(window)->role(), QAccessible::Window);
    EXPECT_EQ(QAccessible::queryAccessibleInterface(window)->text(QAccessible::Name), QStringLiteral("Talvora 语音转文字"));

    // The buttons drawn as images alone are read by their tooltips, the others by their texts.
    const std::pair<const wchar_t*, QString> icons[] = {{L"btnAbout", QStringLiteral("关于")},
                                                        {L"btnMin", QStringLiteral("最小化")},
                                                        {L"btnMax", QStringLiteral("最大化/还原")},
                                                        {L"btnClose", QStringLiteral("关闭")}};
    for (const auto& [name, tip] : icons) {
        auto* button = player_->FindControl<Button>(name);
        ASSERT_NE(button, nullptr);
        EXPECT_EQ(button->toolTip(), tip);
        EXPECT_EQ(FindAccessible(window, QAccessible::Button, tip), QAccessible::queryAccessibleInterface(button))
            << tip.toStdString();
    }
    for (const char* text : {"添加音频", "开始识别", "批量识别", "保存结果"})
        EXPECT_NE(FindAccessible(window, QAccessible::Button, QString::fromUtf8(text)), nullptr) << text;
    EXPECT_NE(FindAccessible(window, QAccessible::StaticText, QStringLiteral("语音转文字")), nullptr);
    QAccessibleInterface* pane = FindAccessible(window, QAccessible::EditableText, QStringLiteral("识别结果"));
    ASSERT_NE(pane, nullptr);
    EXPECT_TRUE(pane->state().readOnly);
    player_->FindControl<TextPane>(L"edtText")->SetText(L"tone 440");
    ASSERT_NE(pane->textInterface(), nullptr);
    EXPECT_EQ(pane->textInterface()->text(0, pane->textInterface()->characterCount()), QStringLiteral("tone 440"));

    // The list: a table under its column titles, each row's cells read as drawn.
    QAccessibleInterface* table = FindAccessible(window, QAccessible::Table, QStringLiteral("文件列表"));
    ASSERT_NE(table, nullptr);
    QAccessibleTableInterface* cells = table->tableInterface();
    ASSERT_EQ(cells->rowCount(), 2);
    QStringList titles;
    for (int column = 0; column < cells->columnCount(); ++column)
        titles << table->child(column)->text(QAccessible::Name);
    EXPECT_EQ(titles, QStringList({"文件", "时间", "类型", "进度", "用时", "操作", "删除"}));
    QStringList row;
    for (int column = 0; column < cells->columnCount(); ++column)
        row << cells->cellAt(0, column)->text(QAccessible::Name);
    EXPECT_EQ(row, QStringList({QString::fromStdString(a), "00:20", ".wav", "0", "00:00", "开始", "删除"}));

    // Pressing "开始" starts the row; a row being recognised has nothing to press there.
    QAccessibleInterface* start = cells->cellAt(1, FileListView::kColumnAction);
    ASSERT_EQ(start->actionInterface()->actionNames().value(0), QAccessibleActionInterface::pressAction());
    start->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
    EXPECT_EQ(Status(1), ItemRecognizing);
    EXPECT_EQ(start->text(QAccessible::Name), QStringLiteral("识别中"));
    EXPECT_FALSE(start->actionInterface()->actionNames().contains(QAccessibleActionInterface::pressAction()));
    cells->cellAt(0, FileListView::kColumnDelete)->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
    ASSERT_EQ(list_->GetCount(), 1);
    EXPECT_EQ(list_->GetItemFile(0), b);

    // The About button, pressed through the screen reader.
    QAccessibleInterface* about = FindAccessible(window, QAccessible::Button, QStringLiteral("关于"));
    ASSERT_NE(about, nullptr);
    about->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
    EXPECT_TRUE(UiTest::WaitFor([] { return AboutWindows() == 1; }));
    gate_.OpenAll();
    EXPECT_TRUE(WaitStatus(0, ItemDone));
}

TEST_F(MainWindowTest, ADroppedFolderAddsItsAudioFilesAndSaysHowManyWereSkipped)
{
    const std::string folder = dir_ / "recordings";
    std::filesystem::create_directories(folder + "/older");
    ASSERT_TRUE(TestSupport::MakeToneFile(folder + "/one.wav", 1, {440}, 1));
    ASSERT_TRUE(TestSupport::MakeToneFile(folder + "/two.mp3", 1, {440}, 1));
    ASSERT_TRUE(TestSupport::MakeToneFile(folder + "/older/three.wav", 1, {440}, 1));
    TestSupport::WriteFile(folder + "/notes.txt", "not audio");

    QMimeData mime;
    mime.setUrls({QUrl::fromLocalFile(QString::fromStdString(folder))});
    const QPoint at(list_->width() / 2, list_->height() / 2);
    QDragEnterEvent enter(at, Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(list_, &enter);
    ASSERT_TRUE(enter.isAccepted());
    QDropEvent drop(QPointF(at), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(list_, &drop);
    EXPECT_TRUE(drop.isAccepted());

    ASSERT_EQ(list_->GetCount(), 2);
    EXPECT_EQ(list_->GetItemFile(0), folder + "/one.wav");
    EXPECT_EQ(list_->GetItemFile(1), folder + "/two.mp3");
    const std::wstring notice = L"已添加 2 个文件，跳过 1 个文件（不是音频或视频文件、已在列表中，或超出 100 个文件的上限），"
                                L"文件夹中的 1 个子文件夹未打开。";
    ASSERT_TRUE(UiTest::WaitFor([&] { return CountBoxes(notice) == 1; }))
        << (MessageBoxTexts().empty() ? std::string("no box") : QString::fromStdWString(MessageBoxTexts()[0]).toStdString());
    // A screen reader meets the notice as a dialog over the window that says it.
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        if (widget->objectName() != QStringLiteral("CMessageWnd") || !widget->isVisible())
            continue;
        QAccessibleInterface* box = QAccessible::queryAccessibleInterface(widget);
        EXPECT_EQ(box->role(), QAccessible::Dialog);
        EXPECT_EQ(box->text(QAccessible::Description), QString::fromStdWString(notice));
    }
}

TEST_F(MainWindowTest, KeysShowTheirFocusAndActOnTheSelectedRow)
{
    const std::string a = MakeAudio("a.wav", 20, {440});
    const std::string b = MakeAudio("b.wav", 20, {550});
    Add(a);
    Add(b);
    gate_.Open("tone 440");
    UiTest::WaitFor([&] { return Native()->isActive(); });

    // A focus the window handed out by itself does not press anything.
    auto* startAll = player_->FindControl<Button>(L"btnStartAll");
    ASSERT_NE(startAll, nullptr);
    startAll->setFocus(Qt::ActiveWindowFocusReason);
    QTest::keyClick(Native(), Qt::Key_Space);
    UiTest::ProcessEvents();
    EXPECT_FALSE(startAll->IsFocusVisible());
    EXPECT_EQ(Status(0), ItemIdle);
    EXPECT_EQ(Status(1), ItemIdle);

    // Tab shows where the focus is, and then Space presses that button.
    auto* add = player_->FindControl<Button>(L"btnAdd");
    add->setFocus(Qt::ActiveWindowFocusReason);
    QTest::keyClick(Native(), Qt::Key_Tab);
    ASSERT_TRUE(UiTest::WaitFor([&] { return player_->FindControl<Button>(L"btnStart")->IsFocusVisible(); }));
    QTest::keyClick(Native(), Qt::Key_Space);
    EXPECT_EQ(Status(0), ItemRecognizing);
    EXPECT_EQ(Status(1), ItemIdle);
    ASSERT_TRUE(WaitStatus(0, ItemDone));

    // On the list: Enter starts the selected idle row, Delete removes a row that is not
    // recognising and refuses one that is.
    ClickCell(1, FileListView::kColumnFile);
    EXPECT_TRUE(list_->View()->hasFocus());
    QTest::keyClick(Native(), Qt::Key_Return);
    EXPECT_EQ(Status(1), ItemRecognizing);
    QTest::keyClick(Native(), Qt::Key_Delete);
    EXPECT_TRUE(UiTest::WaitFor([] { return CountBoxes(L"当前文件正在识别中，无法删除!") == 1; }));
    EXPECT_EQ(list_->GetCount(), 2);
    list_->SelectItem(0, true);
    QTest::keyClick(Native(), Qt::Key_Delete);
    ASSERT_EQ(list_->GetCount(), 1);
    EXPECT_EQ(list_->GetItemFile(0), b);

    // Ctrl+O adds files, Ctrl+S saves.
    {
        FolderChooserAnswer answer(QString::fromStdString(dir_.Path()), QStringLiteral("\"a.wav\""));
        QTest::keyClick(Native(), Qt::Key_O, Qt::ControlModifier);
        ASSERT_TRUE(answer.Answered());
        EXPECT_EQ(answer.Title(), QStringLiteral("选择文件"));
    }
    EXPECT_EQ(list_->GetCount(), 2);
    {
        FolderChooserAnswer answer({});
        QTest::keyClick(Native(), Qt::Key_S, Qt::ControlModifier);
        EXPECT_TRUE(UiTest::WaitFor([] { return CountBoxes(L"暂无需要保存的内容!") == 1; }));
    }
    gate_.OpenAll();
}

TEST_F(MainWindowTest, TheTextPaneAndAButtonShowingItsFocusKeepTheirKeys)
{
    const std::string a = MakeAudio("a.wav", 20, {440});
    const std::string b = MakeAudio("b.wav", 20, {550});
    Add(a);
    Add(b);
    ASSERT_TRUE(UiTest::WaitFor([&] { return Native()->isActive(); }));
    list_->SelectItem(1, false);

    // In the text pane Delete and Enter are the pane's, not the selected row's.
    auto* pane = player_->FindControl<TextPane>(L"edtText");
    ASSERT_NE(pane, nullptr);
    pane->setFocus(Qt::MouseFocusReason);
    ASSERT_TRUE(UiTest::WaitFor([&] { return pane->hasFocus(); }));
    QTest::keyClick(Native(), Qt::Key_Delete);
    QTest::keyClick(Native(), Qt::Key_Return);
    UiTest::ProcessEvents();
    EXPECT_EQ(list_->GetCount(), 2);
    EXPECT_EQ(Status(0), ItemIdle);
    EXPECT_EQ(Status(1), ItemIdle);

    // A button that shows its focus takes Enter itself: the start button starts the first idle
    // row, not the selected one.
    player_->FindControl<Button>(L"btnAdd")->setFocus(Qt::ActiveWindowFocusReason);
    QTest::keyClick(Native(), Qt::Key_Tab);
    ASSERT_TRUE(UiTest::WaitFor([&] { return player_->FindControl<Button>(L"btnStart")->IsFocusVisible(); }));
    QTest::keyClick(Native(), Qt::Key_Return);
    EXPECT_EQ(Status(0), ItemRecognizing);
    EXPECT_EQ(Status(1), ItemIdle);
    gate_.OpenAll();
    ASSERT_TRUE(WaitStatus(0, ItemDone));
}

TEST_F(MainWindowTest, AddedFilesAreScrolledIntoView)
{
    std::vector<std::string> first;
    std::vector<std::string> more;
    for (int i = 0; i < 30; ++i)
        first.push_back(dir_ / ("a" + std::to_string(i) + ".wav"));
    for (int i = 0; i < 5; ++i)
        more.push_back(dir_ / ("b" + std::to_string(i) + ".wav"));
    ASSERT_EQ(list_->AddPaths(first), 30);
    list_->EnsureVisible(0);
    UiTest::ProcessEvents();
    ASSERT_EQ(list_->AddPaths(more), 5);
    UiTest::ProcessEvents();
    const UiRect shown = list_->GetPos();
    const UiRect row = list_->GetRowRect(30);
    EXPECT_GE(row.top, shown.top);
    EXPECT_LE(row.bottom, shown.bottom);
}

TEST_F(MainWindowTest, TheWindowTicksEverySecond)
{
    EXPECT_TRUE(player_->GetTick().isActive());
    EXPECT_EQ(player_->GetTick().interval(), 1000);
    // The update check started with the window and reported its failure to it.
    EXPECT_NE(Log().find("warning>>> "), std::string::npos);
    EXPECT_NE(Log().find(TestSupport::LogEntry("RtmpPlayer::MessageHandler", "check update version failed")), std::string::npos);
    // The close stops it.
    player_->Close();
    EXPECT_FALSE(player_->GetTick().isActive());
    EXPECT_TRUE(UiTest::WaitFor([&] { return !player_->IsWindow(); }));
}

TEST_F(MainWindowTest, AddOpensTheFileDialogAndListsTheChosenFilesOnce)
{
    const std::string a = MakeAudio("b talk.wav", 20, {440});
    const std::string b = MakeAudio("a memo.wav", 130, {550});
    {
        FolderChooserAnswer answer(QString::fromStdString(dir_.Path()), QStringLiteral("\"b talk.wav\" \"a memo.wav\""));
        ClickControl(L"btnAdd");
        ASSERT_TRUE(answer.Answered());
        EXPECT_EQ(answer.Title(), QStringLiteral("选择文件"));
    }
    ASSERT_EQ(list_->GetCount(), 2);
    ASSERT_TRUE(UiTest::DurationsProbed(list_->Files()));
    // In the order chosen, with their durations.
    EXPECT_EQ(list_->GetItemFile(0), a);
    EXPECT_EQ(list_->GetItemFile(1), b);
    EXPECT_EQ(Cell(1, FileListView::kColumnDuration), L"02:10");
    EXPECT_EQ(list_->GetItemDuration(1), 130);

    // The same file again is not listed twice.
    {
        FolderChooserAnswer answer(QString::fromStdString(dir_.Path()), QStringLiteral("\"a memo.wav\""));
        ClickControl(L"btnAdd");
        ASSERT_TRUE(answer.Answered());
    }
    EXPECT_EQ(list_->GetCount(), 2);
}

TEST_F(MainWindowTest, StartTakesTheFirstIdleRowEachTimeAndSkipsDoneRows)
{
    const std::string a = MakeAudio("a.wav", 20, {440});
    const std::string b = MakeAudio("b.wav", 20, {550});
    const std::string c = MakeAudio("c.wav", 20, {660});
    Add(a);
    Add(b);
    Add(c);
    gate_.OpenAll();

    // The middle row first, through its action cell: idle, done, idle.
    ClickCell(1, FileListView::kColumnAction);
    EXPECT_EQ(Status(1), ItemRecognizing);
    ASSERT_TRUE(WaitStatus(1, ItemDone));
    EXPECT_EQ(Status(0), ItemIdle);
    EXPECT_EQ(Status(2), ItemIdle);

    ClickControl(L"btnStart");
    EXPECT_EQ(Status(0), ItemRecognizing);
    EXPECT_EQ(Status(2), ItemIdle);
    ClickControl(L"btnStart");
    EXPECT_EQ(Status(2), ItemRecognizing);
    ASSERT_TRUE(WaitStatus(0, ItemDone));
    ASSERT_TRUE(WaitStatus(2, ItemDone));

    // Nothing idle is left: further clicks start nothing.
    ClickControl(L"btnStart");
    ClickControl(L"btnStartAll");
    ClickCell(0, FileListView::kColumnAction);
    UiTest::ProcessEvents();
    EXPECT_EQ(speech_->RequestCount(Endpoint::Recognition), 3);
    for (int row = 0; row < 3; ++row) {
        EXPECT_EQ(Cell(row, FileListView::kColumnProgress), L"100%");
        EXPECT_EQ(Cell(row, FileListView::kColumnAction), L"完成");
    }
}

TEST_F(MainWindowTest, ARefusedFirstRowHoldsStartButNotStartAll)
{
    const std::string missing = dir_ / "gone.wav";
    const std::string b = MakeAudio("b.wav", 20, {550});
    const std::string c = MakeAudio("c.wav", 20, {660});
    Add(missing);
    Add(b);
    Add(c);

    // The job manager cannot copy a missing file: it says so, and the row is idle again.
    ClickControl(L"btnStart");
    EXPECT_EQ(Status(1), ItemIdle);
    EXPECT_TRUE(UiTest::WaitFor([] { return CountBoxes(L"任务失败，请确保任务文件未被其他程序占用.") == 1; }));
    EXPECT_EQ(Status(0), ItemIdle);
    ClickControl(L"btnStart");
    EXPECT_TRUE(UiTest::WaitFor([] { return CountBoxes(L"任务失败，请确保任务文件未被其他程序占用.") == 2; }));
    EXPECT_EQ(Status(0), ItemIdle);
    EXPECT_EQ(Status(1), ItemIdle);
    EXPECT_EQ(Status(2), ItemIdle);

    ClickControl(L"btnStartAll");
    EXPECT_EQ(Status(1), ItemRecognizing);
    EXPECT_EQ(Status(2), ItemRecognizing);
    EXPECT_TRUE(WaitStatus(0, ItemIdle));
    gate_.OpenAll();
    ASSERT_TRUE(WaitStatus(1, ItemDone));
    ASSERT_TRUE(WaitStatus(2, ItemDone));
}

TEST_F(MainWindowTest, ProgressElapsedTimeAndTextFollowTheSegmentsAsTheyFinish)
{
    // Three segments of two minutes; each answer is let through on its own.
    const std::string file = MakeAudio("talk.wav", 360, {440, 550, 660});
    Add(file);
    EXPECT_EQ(Cell(0, FileListView::kColumnDuration), L"06:00");
    EXPECT_EQ(Cell(0, FileListView::kColumnType), L".wav");
    EXPECT_EQ(Cell(0, FileListView::kColumnProgress), L"0");
    EXPECT_EQ(Cell(0, FileListView::kColumnElapsed), L"00:00");
    EXPECT_EQ(Cell(0, FileListView::kColumnAction), L"开始");

    ClickControl(L"btnStart");
    EXPECT_EQ(Cell(0, FileListView::kColumnAction), L"识别中");
    EXPECT_EQ(Cell(0, FileListView::kColumnProgress), L"0");
    // The one-second tick dispatches the other two segments and counts the time.
    ASSERT_TRUE(UiTest::WaitFor([&] { return gate_.Waiting() == 3; }, std::chrono::seconds(30)));
    ASSERT_TRUE(UiTest::WaitFor([&] { return Cell(0, FileListView::kColumnElapsed) != L"00:00"; }));

    // With no row selected, the first result selects row 0 and shows its text.
    EXPECT_EQ(list_->GetCurSel(), -1);
    gate_.Open("tone 550");
    ASSERT_TRUE(UiTest::WaitFor([&] { return Cell(0, FileListView::kColumnProgress) == L"33%"; }));
    EXPECT_EQ(list_->GetCurSel(), 0);
    // Segment 0 is missing: the text of segment 1 comes after a line break.
    EXPECT_EQ(ResultText(file), "\r\ntone 550");
    EXPECT_EQ(PaneText().find(L"tone 550") != std::wstring::npos, true);

    gate_.Open("tone 660");
    ASSERT_TRUE(UiTest::WaitFor([&] { return Cell(0, FileListView::kColumnProgress) == L"66%"; }));
    // Every record after the gap comes after a line break of its own.
    EXPECT_EQ(ResultText(file), "\r\ntone 550\r\ntone 660");
    EXPECT_EQ(Status(0), ItemRecognizing);

    gate_.Open("tone 440");
    ASSERT_TRUE(WaitStatus(0, ItemDone));
    EXPECT_EQ(Cell(0, FileListView::kColumnProgress), L"100%");
    EXPECT_EQ(Cell(0, FileListView::kColumnAction), L"完成");
    EXPECT_EQ(ResultText(file), "tone 440 tone 550 tone 660");
    // The pane shows each segment after its start time.
    EXPECT_TRUE(UiTest::WaitFor(
        [&] { return PaneText() == L"[00:00:00] tone 440\n[00:02:00] tone 550\n[00:04:00] tone 660"; }))
        << QString::fromStdWString(PaneText()).toStdString();

    // A finished row's time stands still.
    const std::wstring elapsed = Cell(0, FileListView::kColumnElapsed);
    player_->Tick();
    player_->Tick();
    EXPECT_EQ(Cell(0, FileListView::kColumnElapsed), elapsed);
}

TEST_F(MainWindowTest, FourSegmentsShowThreeQuartersThenCompletion)
{
    const std::string file = MakeAudio("long.wav", 480, {440, 550, 660, 770});
    Add(file);
    gate_.Open("tone 440");
    gate_.Open("tone 550");
    gate_.Open("tone 660");
    ClickControl(L"btnStart");
    ASSERT_TRUE(UiTest::WaitFor([&] { return Cell(0, FileListView::kColumnProgress) == L"75%"; },
                                std::chrono::seconds(60)));
    EXPECT_EQ(Status(0), ItemRecognizing);
    gate_.Open("tone 770");
    ASSERT_TRUE(WaitStatus(0, ItemDone));
    EXPECT_EQ(ResultText(file), "tone 440 tone 550 tone 660 tone 770");
}

TEST_F(MainWindowTest, ASegmentThatFailsForGoodLeavesNoGapAndWarnsOnce)
{
    // Segment 2 of 4 is refused by the service every time: ten dispatches, then it is final.
    speech_->AddFault({.text = "tone 660", .times = -1, .fault = SpeechDouble::Fault::ErrNo(3301)});
    gate_.OpenAll();
    const std::string file = MakeAudio("noisy.wav", 480, {440, 550, 660, 770});
    Add(file);
    ClickControl(L"btnStart");
    ASSERT_TRUE(WaitStatus(0, ItemDone, std::chrono::seconds(90)));
    EXPECT_EQ(Cell(0, FileListView::kColumnAction), L"完成");
    EXPECT_EQ(ResultText(file), "tone 440 tone 550 tone 770");

    const std::wstring warning = AnsiToWide(file) + L",音频质量太差，部分内容无法识别。";
    ASSERT_TRUE(UiTest::WaitFor([&] { return CountBoxes(warning) == 1; }));
    // Showing the file's text again does not warn again.
    list_->SelectItem(0);
    player_->RefreshResultText();
    ResultText(file);
    UiTest::ProcessEvents();
    EXPECT_EQ(CountBoxes(warning), 1u);
    EXPECT_EQ(PaneText(), L"[00:00:00] tone 440\n[00:02:00] tone 550\n[00:06:00] tone 770");
}

TEST_F(MainWindowTest, TheSelectedFilesTextStaysWhenAnotherFileProgresses)
{
    const std::string a = MakeAudio("a.wav", 20, {440});
    const std::string b = MakeAudio("b.wav", 20, {550});
    Add(a);
    Add(b);
    gate_.Open("tone 440");
    list_->SelectItem(0);
    ClickCell(0, FileListView::kColumnAction);
    ASSERT_TRUE(WaitStatus(0, ItemDone));
    ASSERT_TRUE(UiTest::WaitFor([&] { return PaneText() == L"tone 440"; }));

    // The toolbar starts the next idle row and leaves the selection alone.
    ClickControl(L"btnStart");
    EXPECT_EQ(Status(1), ItemRecognizing);
    gate_.Open("tone 550");
    ASSERT_TRUE(WaitStatus(1, ItemDone));
    UiTest::ProcessEvents();
    EXPECT_EQ(list_->GetCurSel(), 0);
    EXPECT_EQ(PaneText(), L"tone 440");

    // Selecting the other row shows its text.
    ClickCell(1, FileListView::kColumnFile);
    EXPECT_TRUE(UiTest::WaitFor([&] { return list_->GetCurSel() == 1; }));
    EXPECT_TRUE(UiTest::WaitFor([&] { return PaneText() == L"tone 550"; }));
}

TEST_F(MainWindowTest, MaximiseAndRestoreSwapTheButtonImages)
{
    auto* max = player_->FindControl<Button>(L"btnMax");
    ASSERT_NE(max, nullptr);
    EXPECT_EQ(max->GetNormalImage(), L"max_normal.png");
    ClickControl(L"btnMax");
    ASSERT_TRUE(UiTest::WaitFor([&] { return player_->IsMaximized(); }));
    EXPECT_EQ(max->GetNormalImage(), L"max_normal.png");
    EXPECT_EQ(max->GetHotImage(), L"max_over.png");
    EXPECT_EQ(max->GetPushedImage(), L"max_over.png");

    ClickControl(L"btnMax");
    ASSERT_TRUE(UiTest::WaitFor([&] { return !player_->IsMaximized(); }));
    EXPECT_EQ(max->GetNormalImage(), L"restore_normal.png");
    EXPECT_EQ(max->GetHotImage(), L"restore_over.png");
    EXPECT_EQ(max->GetPushedImage(), L"restore_over.png");

    ClickControl(L"btnMin");
    EXPECT_TRUE(UiTest::WaitFor([&] { return player_->IsMinimized(); }));
}

TEST_F(MainWindowTest, AboutOpensOnceAndIsRaisedWhenAskedAgain)
{
    ClickControl(L"btnAbout");
    ASSERT_TRUE(UiTest::WaitFor([&] { return AboutWindows() == 1; }));
    ClickControl(L"btnAbout");
    UiTest::ProcessEvents();
    EXPECT_EQ(AboutWindows(), 1);
}

TEST_F(MainWindowTest, TheTitleBarNamesTheRecognizerAndAWhisperServersPiecesShowTimed)
{
    // The job manager reads the choice when the window makes it.
    player_.reset();
    UiTest::ProcessEvents();
    WriteConfigString("Recognizer", "local-en");
    player_ = std::make_unique<MainWindow>();
    WriteConfigString("Recognizer", "");
    ASSERT_TRUE(player_->Create(nullptr, L"", WS_OVERLAPPEDWINDOW, 0, 0, 0, 800, 600));
    // The new window's own update check has ended too (two reports per window).
    ASSERT_TRUE(UiTest::WaitFor([&] { return Occurrences(Log(), "update msg: 2, ") >= 4; }, std::chrono::seconds(30)));
    EXPECT_EQ(player_->GetJobs()->GetRecognizerKind(), RecognizerKind::LocalEnglish);
    EXPECT_EQ(player_->FindControl<Label>(L"labRecognizer")->GetText(), L"本地英文识别");

    // A Whisper-compatible server: named too, and the pane reads its pieces at their times.
    player_.reset();
    UiTest::ProcessEvents();
    gate_.OpenAll();
    WriteConfigString("Recognizer", "whisper-api");
    WriteConfigString("WhisperApiUrl", speech_->TranscriptionUrl());
    player_ = std::make_unique<MainWindow>();
    WriteConfigString("Recognizer", "");
    WriteConfigString("WhisperApiUrl", "");
    ASSERT_TRUE(player_->Create(nullptr, L"", WS_OVERLAPPEDWINDOW, 0, 0, 0, 800, 600));
    ASSERT_TRUE(UiTest::WaitFor([&] { return Occurrences(Log(), "update msg: 2, ") >= 6; }, std::chrono::seconds(30)));
    EXPECT_EQ(player_->FindControl<Label>(L"labRecognizer")->GetText(), L"Whisper 服务识别");
    list_ = player_->GetFileListView();
    const std::string file = dir_ / "runs.wav";
    ASSERT_TRUE(TestSupport::MakeToneRunsFile(file, 30, {{0.5, 6.25, 440}, {6.25, 20.0, 550}}));
    Add(file);
    ClickControl(L"btnStart");
    ASSERT_TRUE(WaitStatus(0, ItemDone));
    ASSERT_TRUE(UiTest::WaitFor([&] { return PaneText() == L"[00:00:00] tone 440\n[00:00:06] tone 550"; })) << QString::fromStdWString(PaneText()).toStdString();
    EXPECT_EQ(ResultText(file), "tone 440 tone 550");
    EXPECT_EQ(speech_->RequestCount(Endpoint::Transcription), 1);
}

}  // namespace
