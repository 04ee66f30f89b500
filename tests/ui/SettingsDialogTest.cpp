// The settings window as a user meets it: values changed with clicks and typed keys, 确定 writes
// config.ini and the key files (each replaced whole, the key files for the user alone), the
// window shows them when it opens again; 取消, the close button and Esc change nothing; values the
// program could not use are refused with the reason, and nothing is written.
#include "base/AppPaths.h"
#include "base/Config.h"
#include "engine/CredentialsFile.h"
#include "engine/RecognizerSetting.h"
#include "support/TestSupport.h"
#include "tests/ui/SettingsDriver.h"
#include "tests/ui/UiTestSupport.h"
#include "ui/SettingsDialog.h"
#include "ui/toolkit/CheckBox.h"
#include "ui/toolkit/ComboBox.h"
#include "ui/toolkit/Edit.h"
#include "ui/toolkit/Option.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <sys/stat.h>

using TestSupport::ReadFile;
using TestSupport::WriteFile;
namespace Drive = SettingsDriver;
namespace fs = std::filesystem;

namespace {

// What config.ini holds before each test: nothing the window edits, and an update server
// nobody answers at (the window itself never asks one).
constexpr char kStartConfig[] = "[Talvora]\nUpdateUrl=http://127.0.0.1:9\n";

class SettingsDialogTest : public testing::Test {
protected:
    void SetUp() override
    {
        WriteFile(ConfigPath(), kStartConfig);
        fs::remove(CredentialsFile::DefaultPath());
        fs::remove(WhisperApiKeyPath());
    }
    void TearDown() override
    {
        dialog_.reset();
        UiTest::ProcessEvents();
    }

    static std::string ConfigPath() { return AppPaths::GetConfigPath(false); }
    static std::string Setting(const char* key) { return ReadConfigString(key, "<none>", 4096); }
    static int Mode(const std::string& path)
    {
        struct stat info{};
        return stat(path.c_str(), &info) == 0 ? static_cast<int>(info.st_mode & 0777) : -1;
    }
    // Files of the data folder other than the log: a write leaves no temporary file behind.
    static std::set<std::string> DataFiles()
    {
        std::set<std::string> names;
        for (const auto& entry : fs::directory_iterator(AppPaths::GetAppDataDir())) {
            if (entry.path().filename() != "Talvora.log" && entry.is_regular_file())
                names.insert(entry.path().filename().string());
        }
        return names;
    }

    void Open()
    {
        dialog_->ShowDialog();
        ASSERT_TRUE(UiTest::WaitFor([] { return Drive::Window() != nullptr; }));
        UiTest::ProcessEvents();
    }
    bool WaitClosed()
    {
        return UiTest::WaitFor([] { return Drive::Window() == nullptr; });
    }
    template <class T>
    T* Find(const wchar_t* name)
    {
        return Drive::Find<T>(name);
    }

    int applied_ = 0;
    std::unique_ptr<SettingsDialog> dialog_ = std::make_unique<SettingsDialog>([this] { ++applied_; });
};

TEST_F(SettingsDialogTest, OkWritesWhatChangedAndTheWindowShowsItWhenOpenedAgain)
{
    Open();
    // What is in effect with nothing set.
    EXPECT_TRUE(Find<Option>(L"optCloud")->IsSelected());
    EXPECT_FALSE(Find<Edit>(L"edtWhisperUrl")->isEnabled());
    EXPECT_EQ(Drive::Text(L"edtWhisperModel"), L"whisper-1");
    EXPECT_EQ(Find<ComboBox>(L"cmbLanguage")->GetValue(), L"");
    EXPECT_EQ(Find<ComboBox>(L"cmbPairs")->GetCount(), 0);
    EXPECT_FALSE(Find<Edit>(L"edtApiKey")->isEnabled());
    EXPECT_TRUE(Find<CheckBox>(L"chkUpdateCheck")->IsSelected());
    EXPECT_FALSE(Find<CheckBox>(L"chkTimestamps")->IsSelected());
    EXPECT_FALSE(Find<CheckBox>(L"chkDebug")->IsSelected());

    ASSERT_TRUE(Drive::Click(L"optWhisper"));
    EXPECT_TRUE(Find<Edit>(L"edtWhisperUrl")->isEnabled());
    Drive::Type(L"edtWhisperUrl", QStringLiteral(" https://127.0.0.1:8080/v1/audio/transcriptions "));
    Drive::Type(L"edtWhisperModel", QStringLiteral("large-v3"));
    Drive::Type(L"edtWhisperKey", QStringLiteral("sk-whisper"));
    Drive::Type(L"cmbLanguage", QStringLiteral("de"));
    ASSERT_TRUE(Drive::Press(L"btnAddPair"));
    Drive::Type(L"edtApiKey", QStringLiteral("ak-one"));
    Drive::Type(L"edtSecretKey", QStringLiteral("sk-one"));
    ASSERT_TRUE(Drive::Press(L"btnAddPair"));
    Drive::Type(L"edtApiKey", QStringLiteral("ak-two"));
    Drive::Type(L"edtSecretKey", QStringLiteral("sk-two"));
    EXPECT_EQ(Find<ComboBox>(L"cmbPairs")->itemText(1), QStringLiteral("第 2 组  ak-two"));
    Drive::Click(L"chkTimestamps");
    Drive::Click(L"chkUpdateCheck");
    Drive::Click(L"chkDebug");
    ASSERT_TRUE(Drive::Press(L"btnOK"));
    ASSERT_TRUE(WaitClosed());
    EXPECT_EQ(applied_, 1);
    EXPECT_EQ(dialog_->GetCloseResult(), 1);

    EXPECT_EQ(Setting("Recognizer"), "whisper-api");
    EXPECT_EQ(Setting("WhisperApiUrl"), "https://127.0.0.1:8080/v1/audio/transcriptions");
    EXPECT_EQ(Setting("WhisperModel"), "large-v3");
    EXPECT_EQ(Setting("Language"), "de");
    EXPECT_EQ(Setting("SaveTimestamps"), "1");
    EXPECT_EQ(Setting("UpdateCheck"), "0");
    EXPECT_EQ(Setting("Debug"), "1");
    EXPECT_EQ(Setting("UpdateUrl"), "http://127.0.0.1:9");
    EXPECT_EQ(ReadFile(WhisperApiKeyPath()), "sk-whisper\n");
    EXPECT_EQ(ReadWhisperApiKey(), "sk-whisper");
    EXPECT_EQ(Mode(WhisperApiKeyPath()), 0600);
    std::vector<CredentialPair> pairs;
    ASSERT_EQ(CredentialsFile::Read(CredentialsFile::DefaultPath(), pairs), CredentialsFile::Result::Loaded);
    ASSERT_EQ(pairs.size(), 2u);
    EXPECT_EQ(pairs[0].apiKey, "ak-one");
    EXPECT_EQ(pairs[0].secretKey, "sk-one");
    EXPECT_EQ(pairs[1].apiKey, "ak-two");
    EXPECT_EQ(pairs[1].secretKey, "sk-two");
    EXPECT_EQ(Mode(CredentialsFile::DefaultPath()), 0600);
    EXPECT_EQ(DataFiles(), (std::set<std::string>{"config.ini", "credentials.json", "whisper-api-key"}));

    // Opened again, it shows them; the secrets stay masked.
    Open();
    EXPECT_TRUE(Find<Option>(L"optWhisper")->IsSelected());
    EXPECT_EQ(Drive::Text(L"edtWhisperUrl"), L"https://127.0.0.1:8080/v1/audio/transcriptions");
    EXPECT_EQ(Drive::Text(L"edtWhisperModel"), L"large-v3");
    EXPECT_EQ(Drive::Text(L"edtWhisperKey"), L"sk-whisper");
    EXPECT_TRUE(Find<Edit>(L"edtWhisperKey")->IsPassword());
    EXPECT_EQ(Find<ComboBox>(L"cmbLanguage")->GetValue(), L"de");
    ASSERT_EQ(Find<ComboBox>(L"cmbPairs")->GetCount(), 2);
    EXPECT_EQ(Drive::Text(L"edtApiKey"), L"ak-one");
    EXPECT_EQ(Drive::Text(L"edtSecretKey"), L"sk-one");
    EXPECT_TRUE(Find<Edit>(L"edtSecretKey")->IsPassword());
    EXPECT_TRUE(Find<CheckBox>(L"chkTimestamps")->IsSelected());
    EXPECT_FALSE(Find<CheckBox>(L"chkUpdateCheck")->IsSelected());
    EXPECT_TRUE(Find<CheckBox>(L"chkDebug")->IsSelected());

    // Both pairs removed, the key cleared and a listed language chosen: the key files go, so the
    // built-in pair and no key are used again.
    ASSERT_TRUE(Drive::Press(L"btnRemovePair"));
    EXPECT_EQ(Drive::Text(L"edtApiKey"), L"ak-two");
    ASSERT_TRUE(Drive::Press(L"btnRemovePair"));
    EXPECT_FALSE(Find<Edit>(L"edtApiKey")->isEnabled());
    Drive::Type(L"edtWhisperKey", QString());
    Find<ComboBox>(L"cmbLanguage")->SelectItem(1);
    Drive::Click(L"optLocal");
    ASSERT_TRUE(Drive::Press(L"btnOK"));
    ASSERT_TRUE(WaitClosed());
    EXPECT_EQ(Setting("Recognizer"), "local-en");
    EXPECT_EQ(Setting("Language"), "zh");
    EXPECT_FALSE(fs::exists(CredentialsFile::DefaultPath()));
    EXPECT_FALSE(fs::exists(WhisperApiKeyPath()));
    EXPECT_EQ(applied_, 2);
}

TEST_F(SettingsDialogTest, CancelTheCloseButtonAndEscapeChangeNothing)
{
    WriteFile(CredentialsFile::DefaultPath(), R"([{"api_key": "kept", "secret_key": "kept too"}])");
    const std::string credentials = ReadFile(CredentialsFile::DefaultPath());
    for (const char* way : {"btnCancel", "btnClose", "Esc"}) {
        SCOPED_TRACE(way);
        Open();
        EXPECT_EQ(Drive::Text(L"edtApiKey"), L"kept");
        Drive::Click(L"optLocal");
        Drive::Type(L"edtApiKey", QStringLiteral("changed"));
        Drive::Click(L"chkDebug");
        if (std::string(way) == "Esc")
            QTest::keyClick(Find<Edit>(L"edtApiKey"), Qt::Key_Escape);
        else
            ASSERT_TRUE(Drive::Press(QString::fromLatin1(way).toStdWString()));
        ASSERT_TRUE(WaitClosed());
        EXPECT_EQ(ReadFile(ConfigPath()), kStartConfig);
        EXPECT_EQ(ReadFile(CredentialsFile::DefaultPath()), credentials);
        EXPECT_FALSE(fs::exists(WhisperApiKeyPath()));
    }
    EXPECT_EQ(applied_, 0);
}

TEST_F(SettingsDialogTest, ValuesTheProgramCouldNotUseAreRefusedWithTheReasonAndNothingIsWritten)
{
    Open();
    auto refused = [&](const std::wstring& reason) {
        EXPECT_TRUE(Drive::Press(L"btnOK"));
        UiTest::ProcessEvents();
        EXPECT_NE(Drive::Window(), nullptr);
        EXPECT_EQ(Drive::Text(L"labError"), reason);
        EXPECT_EQ(ReadFile(ConfigPath()), kStartConfig);
        EXPECT_FALSE(fs::exists(CredentialsFile::DefaultPath()));
        EXPECT_FALSE(fs::exists(WhisperApiKeyPath()));
        EXPECT_EQ(applied_, 0);
    };
    Drive::Click(L"optWhisper");
    Drive::Type(L"edtWhisperKey", QStringLiteral("sk-whisper"));
    ASSERT_TRUE(Drive::Press(L"btnAddPair"));
    Drive::Type(L"edtApiKey", QStringLiteral("ak-one"));
    Drive::Type(L"edtSecretKey", QStringLiteral("sk-one"));
    ASSERT_TRUE(Drive::Press(L"btnAddPair"));
    Drive::Type(L"edtApiKey", QStringLiteral("ak-two"));
    // Blanks alone are no secret.
    Drive::Type(L"edtSecretKey", QStringLiteral("   "));
    Find<ComboBox>(L"cmbPairs")->SelectItem(0);
    refused(L"第 2 组密钥的 Secret Key 为空");
    // The pair in question came up to be mended.
    EXPECT_EQ(Find<ComboBox>(L"cmbPairs")->GetCurSel(), 1);
    Drive::Type(L"edtSecretKey", QStringLiteral("sk-two"));
    Drive::Type(L"edtApiKey", QString());
    refused(L"第 2 组密钥的 API Key 为空");
    Drive::Type(L"edtApiKey", QStringLiteral("ak-two"));

    for (const QString& url : {QString(), QStringLiteral("ftp://127.0.0.1/v1"), QStringLiteral("127.0.0.1:8080"),
                               QStringLiteral("HTTP://127.0.0.1:8080"), QStringLiteral("http://")}) {
        SCOPED_TRACE(url.toStdString());
        Drive::Type(L"edtWhisperUrl", url);
        refused(L"Whisper 服务地址须是 http:// 或 https:// 开头的网址");
    }
    Drive::Type(L"edtWhisperUrl", QStringLiteral("http://127.0.0.1:8080/v1/audio/transcriptions"));

    for (const QString& language : {QStringLiteral("ZH"), QStringLiteral("deu"), QStringLiteral("d1")}) {
        SCOPED_TRACE(language.toStdString());
        Drive::Type(L"cmbLanguage", language);
        refused(L"语言须留空 (自动/默认) 或是两个小写字母, 如 de");
    }
    Drive::Type(L"cmbLanguage", QStringLiteral("fr"));

    // Mended, it goes through; a URL that is wrong for a recognizer not chosen is kept as typed.
    ASSERT_TRUE(Drive::Press(L"btnOK"));
    ASSERT_TRUE(WaitClosed());
    EXPECT_EQ(Setting("Recognizer"), "whisper-api");
    EXPECT_EQ(Setting("Language"), "fr");
    EXPECT_EQ(applied_, 1);
    Open();
    Drive::Type(L"edtWhisperUrl", QStringLiteral("not yet"));
    Drive::Click(L"optCloud");
    ASSERT_TRUE(Drive::Press(L"btnOK"));
    ASSERT_TRUE(WaitClosed());
    EXPECT_EQ(Setting("Recognizer"), "cloud");
    EXPECT_EQ(Setting("WhisperApiUrl"), "not yet");
}

TEST_F(SettingsDialogTest, AnUnusableCredentialsFileIsSaidAndLeftAloneUntilThePairsChange)
{
    WriteFile(CredentialsFile::DefaultPath(), "[{\"api_key\": \"a\"}]");
    Open();
    EXPECT_EQ(Find<ComboBox>(L"cmbPairs")->GetCount(), 0);
    EXPECT_EQ(Drive::Text(L"labPairsNote"), L"credentials.json 无法使用 (见日志); 改动密钥后将替换它");
    Drive::Click(L"chkDebug");
    ASSERT_TRUE(Drive::Press(L"btnOK"));
    ASSERT_TRUE(WaitClosed());
    EXPECT_EQ(ReadFile(CredentialsFile::DefaultPath()), "[{\"api_key\": \"a\"}]");
    EXPECT_EQ(Setting("Debug"), "1");
}

}  // namespace
