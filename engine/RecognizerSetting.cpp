#include "engine/RecognizerSetting.h"

#include "base/AppPaths.h"
#include "base/Config.h"
#include "base/LogFile.h"
#include "base/LogTags.h"
#include "base/TextUtils.h"
#include "base/platform/ReplaceFile.h"
#include "engine/TranscriptionJobs.h"
#include "engine/CloudRecognizer.h"
#include "engine/CredentialPool.h"
#include "engine/CredentialsFile.h"
#include "engine/LocalRecognizer.h"
#include "engine/SpeechEndpoints.h"
#include "engine/WhisperRecognizer.h"

#include <cerrno>
#include <fstream>
#include <sys/stat.h>
#include <unistd.h>

namespace {
// A folder path does not fit the 50 characters the other settings are read with.
constexpr int kPathSize = 4096;
constexpr char kWhisperKeyFile[] = "whisper-api-key";
}  // namespace

RecognizerKind ReadRecognizerSetting()
{
    const std::string value = ReadConfigString("Recognizer", "cloud", 50);
    for (const RecognizerKind kind : {RecognizerKind::LocalEnglish, RecognizerKind::WhisperApi}) {
        if (value == RecognizerSettingName(kind))
            return kind;
    }
    // An empty value is a key written without one: the default, like no key at all.
    if (value != "cloud" && !value.empty())
        WriteLog(Warning, LogTag::kRecognizerSettingRead, "%s",
                 ("unknown Recognizer \"" + value + "\" in config.ini; the cloud service is used").c_str());
    return RecognizerKind::Cloud;
}

const char* RecognizerSettingName(RecognizerKind kind)
{
    switch (kind) {
    case RecognizerKind::LocalEnglish:
        return "local-en";
    case RecognizerKind::WhisperApi:
        return "whisper-api";
    case RecognizerKind::Cloud:
        break;
    }
    return "cloud";
}

std::string ReadLocalModelDir()
{
    const std::string value = ReadConfigString("LocalModelDir", "", kPathSize);
    return value.empty() ? std::string(TALVORA_POCKETSPHINX_MODELDIR) : value;
}

bool IsLanguageCode(const std::string& code)
{
    const auto letter = [](char c) { return c >= 'a' && c <= 'z'; };
    return code.empty() || (code.size() == 2 && letter(code[0]) && letter(code[1]));
}

std::string ReadLanguageSetting()
{
    const std::string value = ReadConfigString("Language", "", 50);
    if (IsLanguageCode(value))
        return value;
    WriteLog(Warning, LogTag::kRecognizerSettingRead, "%s",
             ("unknown Language \"" + TextUtils::EscapeControls(value) + "\" in config.ini; each recognizer's default is used").c_str());
    return {};
}

std::string WhisperApiKeyPath()
{
    return AppPaths::GetAppDataDir() + "/" + kWhisperKeyFile;
}

std::string ReadWhisperApiKey()
{
    const std::string path = WhisperApiKeyPath();
    std::ifstream file(path);
    std::string key;
    if (!file || !std::getline(file, key))
        return {};
    const size_t first = key.find_first_not_of(" \t\r");
    key = first == std::string::npos ? std::string() : key.substr(first, key.find_last_not_of(" \t\r") - first + 1);
    struct stat info{};
    if (!key.empty() && stat(path.c_str(), &info) == 0 && (info.st_mode & (S_IRWXG | S_IRWXO)) != 0)
        WriteLog(Warning, LogTag::kRecognizerSettingRead, "%s",
                 (path + " may be read by other users of this machine; it holds a secret, chmod 600 it").c_str());
    return key;
}

bool WriteWhisperApiKey(const std::string& key)
{
    const std::string path = WhisperApiKeyPath();
    if (key.empty())
        return unlink(path.c_str()) == 0 || errno == ENOENT;
    return Platform::ReplaceFile(path, key + "\n", 0600);
}

WhisperServerSetting ReadWhisperServerSetting()
{
    constexpr char kDefaultModel[] = "whisper-1";
    WhisperServerSetting setting{ReadConfigString("WhisperApiUrl", "", kPathSize), ReadConfigString("WhisperModel", kDefaultModel, 200)};
    if (setting.model.empty())
        setting.model = kDefaultModel;
    return setting;
}

std::shared_ptr<Recognizer> MakeRecognizer(RecognizerKind kind, const std::optional<std::string>& chosen)
{
    const std::string language = chosen.has_value() ? *chosen : ReadLanguageSetting();
    if (kind == RecognizerKind::LocalEnglish)
        return std::make_shared<LocalRecognizer>(ReadLocalModelDir(), nullptr, language);
    if (kind == RecognizerKind::WhisperApi) {
        WhisperRecognizer::Settings settings;
        const WhisperServerSetting server = ReadWhisperServerSetting();
        settings.url = server.url;
        settings.model = server.model;
        settings.language = language;
        // Whisper knows Cantonese by its ISO-639-3 code.
        if (settings.language == "ct")
            settings.language = "yue";
        settings.apiKey = ReadWhisperApiKey();
        settings.caFile = CurrentSpeechEndpoints().caFile;
        return std::make_shared<WhisperRecognizer>(std::move(settings));
    }
    auto credentials = std::make_shared<CredentialPool>();
    CredentialsFile::Apply(*credentials, CredentialsFile::DefaultPath());
    return std::make_shared<CloudRecognizer>(std::move(credentials), language);
}

JobOptions ReadJobOptions()
{
    JobOptions options;
    options.showFfmpegOutput = ReadConfigInt("Debug", 0) != 0;
    return options;
}
