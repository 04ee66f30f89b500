// The windows in the language of the system they start on. This file is built twice, into a
// program whose process runs under LC_ALL=zh_CN.UTF-8 and one under LC_ALL=en_US.UTF-8
// (tests/CMakeLists.txt): each sets the language up as the program does and finds the main
// window, Qt's open-file dialog and the text pane's menu in its language.
#include "tests/ui/FileDialogDriver.h"
#include "tests/ui/MainWindowFixture.h"

#include "engine/ResultFolder.h"
#include "ui/EngineTexts.h"
#include "ui/MessageBox.h"
#include "ui/RowMenu.h"
#include "ui/UiLanguage.h"
#include "ui/toolkit/Label.h"

#include <QDialogButtonBox>
#include <QFontMetrics>
#include <QRegularExpression>
#include <QPushButton>
#include <QTextEdit>

using namespace MainWindowTesting;

namespace {

// What each language shows; the Chinese is what the windows always said.
struct Texts {
    const char* code;
    const wchar_t* addButton;
    const wchar_t* firstColumn;
    const wchar_t* emptyList;
    const wchar_t* idleAction;
    const wchar_t* deleteCell;
    const wchar_t* boxTitle;
    const wchar_t* ok;
    const wchar_t* cancel;
    const wchar_t* stop;
    const char* dialogTitle;
    const char* openButton;
    const char* cancelButton;
    const char* copyAction;
    const char* saved;
};

#if !defined(TALVORA_TEST_LANGUAGE) || !defined(TALVORA_TEST_LOCALE)
#error "TALVORA_TEST_LANGUAGE and TALVORA_TEST_LOCALE name the language the program runs in"
#endif

// The process's system language, whatever the shell that started it had: set before the
// application object exists, as if the process had started with it. LANGUAGE would come first.
const bool g_locale = [] {
    qunsetenv("LANGUAGE");
    qputenv("LC_ALL", TALVORA_TEST_LOCALE);
    return true;
}();

constexpr Texts kChinese{"zh",       L"添加音频", L"文件",   L"拖入音频文件，或点击「添加音频」",
                         L"开始",    L"删除",     L"提示",   L"确定",
                         L"取消",    L"停止",     "选择文件", "打开(&O)",
                         "取消",     "复制(&C)",  "成功保存 2 个结果"};
constexpr Texts kEnglish{"en",         L"Add audio", L"File",   L"Drop audio files here, or click \"Add audio\"",
                         L"Start",     L"Delete",    L"Notice", L"OK",
                         L"Cancel",    L"Stop",      "Choose files", "&Open",
                         "Cancel",     "&Copy",      "Results saved: 2"};
const Texts& kExpected = std::string_view(TALVORA_TEST_LANGUAGE) == "en" ? kEnglish : kChinese;

class WindowLanguageTest : public MainWindowTest {
protected:
    // Once per process, before the first window, as the program's start does it.
    static void SetUpTestSuite()
    {
        static const UiLanguage::Kind chosen = UiLanguage::SetUp();
        language_ = chosen;
    }
    void SetUp() override
    {
        ASSERT_TRUE(g_locale);
        ASSERT_STREQ(UiLanguage::Code(language_), kExpected.code) << "under LC_ALL=" << TALVORA_TEST_LOCALE;
        MainWindowTest::SetUp();
    }

    static UiLanguage::Kind language_;
};

UiLanguage::Kind WindowLanguageTest::language_ = UiLanguage::Chinese;

// Every control of a window with a fixed width and a text shows the whole text.
void ExpectTextsFit(QWidget* window)
{
    static const QRegularExpression markup(QStringLiteral("<[^>]*>"));
    int checked = 0;
    for (QObject* child : window->findChildren<QObject*>()) {
        auto* control = dynamic_cast<Control*>(child);
        if (control == nullptr || control->GetFixedWidth() == 0 || control->GetText().empty() || !control->IsVisible())
            continue;
        const QFont font = control->GetWindow()->GetFont(control->GetFont());
        const QFontMetrics metrics(font);
        const QString text = QString::fromStdWString(control->GetText()).remove(markup);
        // An italic's slant reaches past the last letter's advance.
        const int slant = font.italic() ? metrics.height() / 4 : 0;
        const UiRect padding = control->GetTextPadding();
        EXPECT_LE(metrics.horizontalAdvance(text) + slant + padding.left + padding.right, control->GetPos().Width())
            << text.toStdString();
        ++checked;
    }
    EXPECT_GT(checked, 0);
}

TEST_F(WindowLanguageTest, TheMainWindowSpeaksTheSystemsLanguage)
{
    EXPECT_EQ(player_->FindControl<Button>(L"btnAdd")->GetText(), kExpected.addButton);
    EXPECT_EQ(list_->GetHeader()->GetColumnText(0), kExpected.firstColumn);
    EXPECT_EQ(list_->GetEmptyText(), kExpected.emptyList);
    Add(MakeAudio("talk.wav", 2, {440}));
    EXPECT_EQ(Cell(0, FileListView::kColumnAction), kExpected.idleAction);
    EXPECT_EQ(Cell(0, FileListView::kColumnDelete), kExpected.deleteCell);
    EXPECT_EQ(RowMenu::Text(RowMenu::Stop).toStdWString(), kExpected.stop);
    SavedResult saved;
    saved.saved = true;
    EXPECT_EQ(EngineTexts::Translate(SaveSummary({saved, saved})).toStdString(), kExpected.saved);

    // Texts of a fixed width fit it: the windows do not grow with a longer language.
    ExpectTextsFit(player_->GetWidget());
    player_->ShowAbout();
    QWidget* about = nullptr;
    ASSERT_TRUE(UiTest::WaitFor([&] {
        for (QWidget* widget : QApplication::topLevelWidgets()) {
            if (widget->objectName() == QStringLiteral("CAboutAppDlg") && widget->isVisible())
                about = widget;
        }
        return about != nullptr;
    }));
    ExpectTextsFit(about);
    about->close();

    auto* box = new MessageBox(1, 0);
    box->SetMessage(L"?");
    box->ShowBox(player_.get(), nullptr, 0);
    ASSERT_TRUE(box->IsWindow());
    EXPECT_EQ(box->FindControl<Label>(L"TitleTxtLab")->GetText(), kExpected.boxTitle);
    EXPECT_EQ(box->FindControl<Button>(L"btnOK")->GetText(), kExpected.ok);
    EXPECT_EQ(box->FindControl<Button>(L"btnCancel")->GetText(), kExpected.cancel);
    CloseBoxes();
}

TEST_F(WindowLanguageTest, QtsOpenFileDialogAndTheTextPanesMenuSpeakItToo)
{
    QString title;
    QStringList buttons;
    FileDialogDriver driver([&](QFileDialog& dialog) {
        title = dialog.windowTitle();
        if (auto* box = dialog.findChild<QDialogButtonBox*>()) {
            for (QAbstractButton* button : box->buttons())
                buttons << button->text();
        }
        dialog.reject();
    });
    list_->AddFiles();
    ASSERT_TRUE(driver.Answered());
    EXPECT_EQ(title.toStdString(), kExpected.dialogTitle);
    EXPECT_TRUE(buttons.contains(QString::fromUtf8(kExpected.openButton))) << buttons.join(u'|').toStdString();
    EXPECT_TRUE(buttons.contains(QString::fromUtf8(kExpected.cancelButton))) << buttons.join(u'|').toStdString();

    auto* pane = qobject_cast<QTextEdit*>(player_->FindControl<TextPane>(L"edtText")->GetWidget());
    ASSERT_NE(pane, nullptr);
    pane->setPlainText(QStringLiteral("text"));
    pane->selectAll();
    std::unique_ptr<QMenu> menu(pane->createStandardContextMenu());
    QStringList items;
    for (QAction* action : menu->actions())
        items << action->text();
    EXPECT_TRUE(items.filter(QString::fromUtf8(kExpected.copyAction)).size() == 1) << items.join(u'|').toStdString();
}

TEST_F(WindowLanguageTest, TheSettingOverridesTheSystem)
{
    const bool english = std::string_view(kExpected.code) == "en";
    WriteConfigString("UiLanguage", english ? "zh" : "en");
    EXPECT_EQ(UiLanguage::FromSettings(), english ? UiLanguage::Chinese : UiLanguage::English);
    WriteConfigString("UiLanguage", "");
    EXPECT_EQ(UiLanguage::FromSettings(), language_);
}

TEST(UiLanguageChoiceTest, EnglishSystemsGetEnglishAndEveryOtherChinese)
{
    EXPECT_EQ(UiLanguage::Choose("", {"en-US", "en"}), UiLanguage::English);
    EXPECT_EQ(UiLanguage::Choose("", {"en-GB"}), UiLanguage::English);
    EXPECT_EQ(UiLanguage::Choose("", {"zh-CN", "zh"}), UiLanguage::Chinese);
    EXPECT_EQ(UiLanguage::Choose("", {"zh-TW"}), UiLanguage::Chinese);
    EXPECT_EQ(UiLanguage::Choose("", {"de-DE"}), UiLanguage::Chinese);
    EXPECT_EQ(UiLanguage::Choose("", {"C"}), UiLanguage::Chinese);
    EXPECT_EQ(UiLanguage::Choose("", {}), UiLanguage::Chinese);
    // Only the first language counts: it is the one the user wants most.
    EXPECT_EQ(UiLanguage::Choose("", {"de-DE", "en-US"}), UiLanguage::Chinese);
    EXPECT_EQ(UiLanguage::Choose("en", {"zh-CN"}), UiLanguage::English);
    EXPECT_EQ(UiLanguage::Choose("zh", {"en-US"}), UiLanguage::Chinese);
    EXPECT_EQ(UiLanguage::Choose("fr", {"en-US"}), UiLanguage::English);
}

}  // namespace
