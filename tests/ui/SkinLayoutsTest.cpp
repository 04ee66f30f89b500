// The embedded skin: what the archive holds, the About dialog's layout, markup texts, Chinese
// text drawn with real glyphs, and the English of every text the windows show.
#include "skin/EmbeddedSkin.h"
#include "tests/ui/UiTestSupport.h"
#include "ui/toolkit/Button.h"
#include "ui/toolkit/Label.h"
#include "ui/toolkit/LayoutTexts.h"
#include "ui/toolkit/UiToolkit.h"
#include "ui/UiLanguage.h"

#include <QDir>
#include <QFile>
#include <QSet>
#include <QTranslator>
#include <QXmlStreamReader>

#include <QGlyphRun>
#include <QImage>
#include <QRegularExpression>
#include <QTextLayout>
#include <QWidget>

#include <gtest/gtest.h>

using UiTest::TestWindow;

namespace {

// Every image a layout of the archive names.
QStringList ImagesNamedIn(const QByteArray& xml)
{
    static const QRegularExpression attribute(QStringLiteral("image=\"([^\"]+)\""));
    static const QRegularExpression file(QStringLiteral("file='([^']+)'"));
    QStringList names;
    auto matches = attribute.globalMatch(QString::fromUtf8(xml));
    while (matches.hasNext()) {
        const QString value = matches.next().captured(1);
        const QRegularExpressionMatch inner = file.match(value);
        names << (inner.hasMatch() ? inner.captured(1) : value);
    }
    return names;
}

// Whether every glyph of `text` in `font` is a real one (no glyph index 0, the missing glyph).
bool AllGlyphsFound(const QString& text, const QFont& font)
{
    QTextLayout layout(text, font);
    layout.beginLayout();
    layout.createLine();
    layout.endLayout();
    int glyphs = 0;
    for (const QGlyphRun& run : layout.glyphRuns()) {
        for (quint32 index : run.glyphIndexes()) {
            if (index == 0)
                return false;
            ++glyphs;
        }
    }
    return glyphs >= text.size();
}

TEST(SkinArchiveTest, TheEmbeddedArchiveHoldsBothLayoutsAndEveryImageTheyName)
{
    ASSERT_GT(EmbeddedSkinSize(), 1000u);
    UiTest::ClearDiagnostics();
    ASSERT_TRUE(InstallEmbeddedSkin());
    for (const char* layout : {"MessageWnd.xml", "AboutAppDlg.xml"}) {
        QByteArray xml;
        ASSERT_TRUE(UiToolkit::ReadSkinFile(layout, xml)) << layout;
        const QStringList images = ImagesNamedIn(xml);
        EXPECT_FALSE(images.isEmpty());
        for (const QString& image : images)
            EXPECT_FALSE(UiToolkit::GetImage(image.toStdWString()).isNull()) << image.toStdString();
    }
    EXPECT_TRUE(UiTest::Diagnostics().empty());
}

TEST(SkinArchiveTest, TheMainWindowsImagesAreThereToo)
{
    const char* const names[] = {
        "about.png", "min_normal.png", "min_over.png", "max_normal.png", "max_over.png", "max_down.png",
        "restore_normal.png", "restore_over.png", "close_normal.png", "close_over.png", "close_down.png",
        "list_header_bg.png", "list_header_sep.png", "v2scrollbar_arrowup_normal.png",
        "v2scrollbar_arrowup_highlight.png", "v2scrollbar_arrowup_down.png", "v2scrollbar_down_normal.png",
        "v2scrollbar_down_highlight.png", "v2scrollbar_down_down.png", "v2scrollbar_bar_normal.png",
        "v2scrollbar_bar_highlight.png", "v2scrollbar_bar_down.png", "v2scrollbar_bkg.png",
    };
    for (const char* name : names) {
        const QPixmap image = UiToolkit::GetImage(QString::fromLatin1(name).toStdWString());
        EXPECT_FALSE(image.isNull()) << name;
    }
    EXPECT_EQ(UiToolkit::GetImage(L"v2scrollbar_bkg.png").width(), 14);
}

TEST(SkinArchiveTest, AFileMissingFromTheArchiveIsReportedOnce)
{
    UiTest::ClearDiagnostics();
    EXPECT_TRUE(UiToolkit::GetImage(L"no_such.png").isNull());
    EXPECT_TRUE(UiToolkit::GetImage(L"no_such.png").isNull());
    ASSERT_EQ(UiTest::Diagnostics().size(), 1u);
    EXPECT_NE(UiTest::Diagnostics()[0].find("no_such.png"), std::string::npos);
    QByteArray bytes;
    EXPECT_TRUE(UiToolkit::ReadSkinFile("messagewnd.XML", bytes)) << "names are found whatever their letter case";
}

TEST(AboutLayoutTest, TheAboutLayoutHasItsControlsSizesAndColours)
{
    UiTest::ClearDiagnostics();
    TestWindow window(L"AboutAppDlg.xml");
    ASSERT_TRUE(window.Create(nullptr, L"", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 0, 600, 400));
    EXPECT_TRUE(UiTest::Diagnostics().empty());
    EXPECT_EQ(window.GetWidget()->size(), QSize(520, 360)) << "the layout's size, not Create's 600 x 400";

    auto* close = window.FindControl<Button>(L"btnClose");
    auto* ok = window.FindControl<Button>(L"btnOK");
    auto* site = window.FindControl<Button>(L"btnAppUrl");
    auto* version = window.FindControl<Label>(L"labVersion");
    auto* info = window.FindControl<Label>(L"labVerInfo");
    auto* support = window.FindControl<Button>(L"btnTelHelp");
    ASSERT_TRUE(close && ok && site && version && info && support);

    EXPECT_EQ(close->GetPos(), (UiRect{520 - 8 - 10 - 26, 5 + 5, 520 - 8 - 10, 5 + 5 + 26}));
    EXPECT_EQ(ok->GetPos().Width(), 120);
    EXPECT_EQ(ok->GetPos().Height(), 33);
    EXPECT_NEAR((ok->GetPos().left + ok->GetPos().right) / 2.0, 260.0, 1.0);
    EXPECT_EQ(ok->GetPos().bottom, 360 - 10 - 10);
    EXPECT_EQ(site->GetPos(), (UiRect{48, 155, 248, 175}));
    EXPECT_EQ(support->GetPos(), (UiRect{48, 185, 520 - 8 - 50, 205}));
    EXPECT_EQ(version->GetPos(), (UiRect{48, 125, 168, 145}));
    EXPECT_EQ(info->GetPos().left, 173);
    EXPECT_EQ(info->GetText(), L"已是最新版本");
    EXPECT_EQ(info->GetTextColor(), QColor::fromRgba(0xFF999999));
    EXPECT_EQ(site->GetTextColor(), QColor::fromRgba(0xFF008AFF));
    EXPECT_EQ(ok->font().pixelSize(), 18);
    EXPECT_EQ(site->font().pixelSize(), 16);
    EXPECT_EQ(site->GetAlign() & Qt::AlignHorizontal_Mask, Qt::AlignLeft);
    EXPECT_EQ(close->toolTip(), QStringLiteral("关闭"));
    EXPECT_EQ(close->accessibleName(), QStringLiteral("关闭"));
    EXPECT_EQ(ok->accessibleName(), QStringLiteral("确定"));

    // What the dialog does at run time: texts, a colour and markup.
    info->SetText(L"发现新的版本");
    info->SetTextColor(QColor::fromRgba(0xFFFF3333));
    EXPECT_EQ(info->palette().color(QPalette::WindowText), QColor(0xFF, 0x33, 0x33));
    ok->SetText(L"立即更新");
    EXPECT_EQ(ok->GetText(), L"立即更新");
}

// The longest run of dark pixels in one row of an image.
int LongestDarkRun(const QImage& image)
{
    int best = 0;
    for (int y = 0; y < image.height(); ++y) {
        int run = 0;
        for (int x = 0; x < image.width(); ++x) {
            const QColor c = image.pixelColor(x, y);
            run = c.alpha() > 0 && c.lightness() < 200 ? run + 1 : 0;
            best = std::max(best, run);
        }
    }
    return best;
}

TEST(AboutLayoutTest, MarkupUnderlinesTheWholeLinkCaption)
{
    TestWindow window(L"AboutAppDlg.xml");
    ASSERT_TRUE(UiTest::CreateShown(window));
    auto* site = window.FindControl<Button>(L"btnAppUrl");
    ASSERT_NE(site, nullptr);
    site->SetText(L"<u>Quenby官网: x</u>");
    site->SetShowHtml(false);
    const QImage plain = site->grab().toImage();
    site->SetShowHtml(true);
    const QImage marked = site->grab().toImage();
    EXPECT_NE(plain, marked);
    EXPECT_GE(LongestDarkRun(marked), 60) << "an underline runs under the whole caption";
    EXPECT_LT(LongestDarkRun(plain), 40) << "plain text shows the tags, not a line";

    // Blanks stay as written in markup too.
    site->SetText(L"<u>a b</u>");
    const int one = LongestDarkRun(site->grab().toImage());
    site->SetText(L"<u>a    b</u>");
    const int four = LongestDarkRun(site->grab().toImage());
    EXPECT_GE(four - one, 9) << "three more blanks of at least 3 pixels each";
}

TEST(FontTest, ChineseTextOfTheLayoutsFindsRealGlyphs)
{
    const QString texts[] = {
        QStringLiteral("提示确定取消"), QStringLiteral("关于Quenby已是最新版本"),
        QStringLiteral("更新失败,有问题请联系客服!"), QStringLiteral("语音转文字添加音频开始识别批量识别保存结果"),
    };
    for (int size : {14, 16, 18, 22, 28}) {
        const QFont font = UiToolkit::MakeFont(L"微软雅黑", size, false, false, false);
        for (const QString& text : texts)
            EXPECT_TRUE(AllGlyphsFound(text, font)) << size << " " << text.toStdString();
    }
}

TEST(FontTest, ALabelDrawsChineseTextAsInk)
{
    TestWindow window(L"MessageWnd.xml");
    ASSERT_TRUE(UiTest::CreateShown(window));
    auto* title = window.FindControl<Label>(L"TitleTxtLab");
    ASSERT_NE(title, nullptr);
    EXPECT_TRUE(AllGlyphsFound(QStringLiteral("提示"), title->font()));
    const QImage image = title->grab().toImage();
    int ink = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x)
            ink += image.pixelColor(x, y).lightness() < 80 ? 1 : 0;
    }
    EXPECT_GT(ink, 30) << "the two characters leave dark pixels";
}

// Every layout file of the skin, by name, with its content.
std::vector<std::pair<QString, QByteArray>> Layouts()
{
    std::vector<std::pair<QString, QByteArray>> layouts;
    const QDir folder(QStringLiteral(TALVORA_SKIN_RES));
    for (const QString& name : folder.entryList({QStringLiteral("*.xml")}, QDir::Files, QDir::Name)) {
        QFile file(folder.filePath(name));
        EXPECT_TRUE(file.open(QIODevice::ReadOnly)) << name.toStdString();
        layouts.emplace_back(name, file.readAll());
    }
    EXPECT_GE(layouts.size(), 3u);
    return layouts;
}

// The places (%1, %2, ...) a text has.
QSet<QString> Places(const QString& text)
{
    static const QRegularExpression place(QStringLiteral("%[1-9]"));
    QSet<QString> places;
    for (auto matches = place.globalMatch(text); matches.hasNext();)
        places.insert(matches.next().captured());
    return places;
}

TEST(TranslationTest, EveryTextOfEveryLayoutHasItsEnglish)
{
    QTranslator english;
    ASSERT_TRUE(english.load(QString::fromLatin1(UiLanguage::kEnglishTranslation)));
    for (const auto& [name, xml] : Layouts()) {
        const QString context = LayoutTexts::Context(name.toStdWString());
        for (const LayoutTexts::Entry& entry : LayoutTexts::Collect(xml)) {
            EXPECT_FALSE(english.translate(context.toUtf8().constData(), entry.text.toUtf8().constData()).isEmpty())
                << name.toStdString() << ": <" << entry.element.toStdString() << " name=\"" << entry.name.toStdString()
                << "\"> " << entry.attribute.toStdString() << "=\"" << entry.text.toStdString()
                << "\" has no English: cmake --build build --target talvora_lupdate, then translate it in "
                   "ui/translations/talvora_en.ts";
        }
        // A text in an attribute the builder does not translate would stay Chinese.
        for (const LayoutTexts::Entry& entry : LayoutTexts::Untranslated(xml)) {
            ADD_FAILURE() << name.toStdString() << ": <" << entry.element.toStdString() << "> " << entry.attribute.toStdString()
                          << "=\"" << entry.text.toStdString() << "\" is no translated attribute (LayoutTexts::IsText)";
        }
    }
}

TEST(TranslationTest, EveryEntryOfTheEnglishIsTranslatedAndKeepsItsPlaces)
{
    QFile file(QStringLiteral(TALVORA_TS_FILE));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    QXmlStreamReader reader(&file);
    QString context;
    QString source;
    int messages = 0;
    while (!reader.atEnd()) {
        if (reader.readNext() != QXmlStreamReader::StartElement)
            continue;
        if (reader.name() == QLatin1String("name")) {
            context = reader.readElementText();
        } else if (reader.name() == QLatin1String("source")) {
            source = reader.readElementText();
        } else if (reader.name() == QLatin1String("translation")) {
            const QString type = reader.attributes().value(QStringLiteral("type")).toString();
            const QString translation = reader.readElementText();
            const std::string where = context.toStdString() + ": " + source.toStdString();
            EXPECT_TRUE(type.isEmpty()) << where << " is " << type.toStdString();
            EXPECT_FALSE(translation.isEmpty()) << where << " has no English";
            EXPECT_EQ(Places(translation), Places(source)) << where;
            ++messages;
        }
    }
    EXPECT_FALSE(reader.hasError()) << reader.errorString().toStdString();
    EXPECT_GT(messages, 50);
}

}  // namespace
