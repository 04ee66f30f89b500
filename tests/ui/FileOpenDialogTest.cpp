// The open-file dialog wrapper: its filter limit, the size of its result, the order of the
// chosen paths, and the real dialog answered as a user would.
#include "support/TestSupport.h"
#include "tests/ui/UiTestSupport.h"
#include "tests/ui/FileDialogDriver.h"
#include "ui/OpenFilesDialog.h"

#include <QApplication>
#include <QComboBox>
#include <QFileDialog>
#include <QLineEdit>
#include <QListView>

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <memory>

namespace {

std::vector<std::wstring> Drain(OpenFilesDialog& dialog)
{
    std::vector<std::wstring> paths;
    std::wstring path;
    while (dialog.GetNextPathName(path))
        paths.push_back(path);
    return paths;
}

TEST(FileOpenDialogTest, ResultSizeFollowsTheRequest)
{
    OpenFilesDialog dialog;
    EXPECT_EQ(dialog.GetBufferSize(), 1024u);
    dialog.SetBufferSize(26000);
    EXPECT_EQ(dialog.GetBufferSize(), 26000u);
    dialog.SetBufferSize(1025);
    EXPECT_EQ(dialog.GetBufferSize(), 1025u);
    // A request the built-in result covers (or a nonsensical one) falls back to 260 characters.
    dialog.SetBufferSize(1024);
    EXPECT_EQ(dialog.GetBufferSize(), 260u);
    dialog.SetBufferSize(0);
    EXPECT_EQ(dialog.GetBufferSize(), 260u);
}

TEST(FileOpenDialogTest, ChoicesBeyondTheResultSizeAreDroppedKeepingTheFirst)
{
    OpenFilesDialog dialog;
    dialog.SetBufferSize(0);  // 260 characters
    const std::wstring hundred(99, L'x');
    dialog.SetResult({L"/a/" + hundred, L"/b/" + hundred, L"/c/" + hundred});
    // Each path with its terminator, and the closing one: two fit, the third does not.
    EXPECT_EQ(Drain(dialog), (std::vector<std::wstring>{L"/a/" + hundred, L"/b/" + hundred}));
    EXPECT_EQ(dialog.GetPathNames().size(), 2u);

    dialog.SetBufferSize(26000);
    std::vector<std::wstring> many;
    for (int i = 0; i < 150; ++i)
        many.push_back(L"/音频/录音 " + std::to_wstring(i) + L".mp3");
    dialog.SetResult(many);
    EXPECT_EQ(Drain(dialog), many);
    std::wstring after;
    EXPECT_FALSE(dialog.GetNextPathName(after));
}

TEST(FileOpenDialogTest, FilterKeepsToItsLimit)
{
    OpenFilesDialog dialog;
    // 511 characters at most, each entry and its terminators counted.
    EXPECT_TRUE(dialog.AddFilter(L"audio files", std::wstring(480, L'a')));  // 11+1+480+1 = 493
    EXPECT_FALSE(dialog.AddFilter(L"all files(*.*)", L"*.*"));              // would be 512
    EXPECT_TRUE(dialog.AddFilter(L"some", L"*.wav;*.m"));                   // 493+5+10 = 508
    EXPECT_FALSE(dialog.AddFilter(L"", L"*.*"));
    EXPECT_FALSE(dialog.AddFilter(L"x", L""));
}

TEST(FileOpenDialogTest, TheRealDialogGivesItsChoicesInOrder)
{
    TestSupport::TempDir dir;
    TestSupport::WriteFile(dir / "a one.wav", "a");
    TestSupport::WriteFile(dir / "b 二.mp3", "b");
    TestSupport::WriteFile(dir / "c.txt", "c");

    OpenFilesDialog dialog;
    dialog.SetTitle(L"选择文件");
    dialog.AddFilter(L"audio files", L"*.wav;*.mp3");
    dialog.AddFilter(L"all files(*.*)", L"*.*");
    dialog.SetFlags(OpenFilesDialog::kExplorer | OpenFilesDialog::kAllowMultiSelect);
    dialog.SetBufferSize(26000);

    QStringList filters;
    QStringList chosen;
    QString title;
    FileDialogDriver driver([&](QFileDialog& shown) {
        title = shown.windowTitle();
        filters = shown.nameFilters();
        shown.setDirectory(QString::fromStdString(dir.Path()));
        auto* edit = shown.findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
        ASSERT_NE(edit, nullptr);
        edit->setText(QStringLiteral("\"a one.wav\" \"b 二.mp3\""));
        chosen = shown.selectedFiles();
        static_cast<QDialog&>(shown).accept();
    });
    ASSERT_TRUE(dialog.DoModal());
    EXPECT_EQ(title, QStringLiteral("选择文件"));
    EXPECT_EQ(filters, (QStringList{QStringLiteral("audio files (*.wav *.mp3)"), QStringLiteral("all files(*.*) (*)")}));
    std::vector<std::wstring> expected;
    for (const QString& file : chosen)
        expected.push_back(file.toStdWString());
    ASSERT_EQ(expected.size(), 2u);
    EXPECT_EQ(Drain(dialog), expected);

    // One file only without the multiple-selection flag.
    OpenFilesDialog single;
    single.SetFlags(OpenFilesDialog::kExplorer);
    bool onlyOne = false;
    FileDialogDriver second([&](QFileDialog& shown) {
        onlyOne = shown.fileMode() == QFileDialog::ExistingFile;
        shown.setDirectory(QString::fromStdString(dir.Path()));
        shown.findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))->setText(QStringLiteral("c.txt"));
        static_cast<QDialog&>(shown).accept();
    });
    ASSERT_TRUE(single.DoModal());
    EXPECT_TRUE(onlyOne);
    EXPECT_EQ(Drain(single), (std::vector<std::wstring>{std::filesystem::path(dir / "c.txt").wstring()}));
}

// The names the dialog lists in its current folder now (it reads the folder in the background).
QStringList Listed(QFileDialog& shown)
{
    QStringList names;
    auto* view = shown.findChild<QListView*>(QStringLiteral("listView"));
    if (view == nullptr || view->model() == nullptr)
        return names;
    const QModelIndex root = view->rootIndex();
    for (int row = 0; row < view->model()->rowCount(root); ++row)
        names << view->model()->index(row, 0, root).data().toString();
    return names;
}

TEST(FileOpenDialogTest, AllFilesListsEveryFileAndEachFilterShowsItsDescription)
{
    TestSupport::TempDir dir;
    TestSupport::WriteFile(dir / "talk.wav", "a");
    TestSupport::WriteFile(dir / "录音", "b");
    TestSupport::WriteFile(dir / "notes.txt", "c");

    OpenFilesDialog dialog;
    dialog.AddFilter(L"audio files", L"*.wav;*.mp3");
    dialog.AddFilter(L"all files(*.*)", L"*.*");
    QStringList shownFilters;
    QStringList audioListed;
    QStringList allListed;
    int ticks = 0;
    FileDialogDriver driver([&](QFileDialog& shown) {
        if (ticks++ == 0) {
            if (auto* combo = shown.findChild<QComboBox*>(QStringLiteral("fileTypeCombo"))) {
                for (int i = 0; i < combo->count(); ++i)
                    shownFilters << combo->itemText(i);
            }
            shown.setDirectory(QString::fromStdString(dir.Path()));
        }
        const QStringList listed = Listed(shown);
        if (audioListed.isEmpty()) {
            // The audio filter first, as the dialog opens; then every file.
            if (listed.contains(QStringLiteral("talk.wav"))) {
                audioListed = listed;
                shown.selectNameFilter(shown.nameFilters().value(1));
            }
        } else if (listed.size() >= 3 || ticks > 500) {
            allListed = listed;
            shown.reject();
        }
        if (ticks > 1000)
            shown.reject();
    });
    EXPECT_FALSE(dialog.DoModal());
    EXPECT_EQ(shownFilters, (QStringList{QStringLiteral("audio files"), QStringLiteral("all files(*.*)")}));
    EXPECT_EQ(audioListed, QStringList{QStringLiteral("talk.wav")});
    allListed.sort();
    EXPECT_EQ(allListed, (QStringList{QStringLiteral("notes.txt"), QStringLiteral("talk.wav"), QStringLiteral("录音")}));
}

TEST(FileOpenDialogTest, CancelledDialogHasNoChoices)
{
    OpenFilesDialog dialog;
    dialog.SetResult({L"/left/over.wav"});
    FileDialogDriver driver([](QFileDialog& shown) { shown.reject(); });
    EXPECT_FALSE(dialog.DoModal());
    std::wstring path;
    EXPECT_FALSE(dialog.GetNextPathName(path));
}

}  // namespace
