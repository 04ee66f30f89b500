#include "ui/ProgramSettings.h"

#include "base/AppPaths.h"
#include "base/Config.h"
#include "base/platform/SystemInfo.h"
#include "engine/CredentialsFile.h"
#include "engine/RecognizerSetting.h"
#include "maintenance/UpdateCheck.h"

#include <QString>
#include <QUrl>

#include <cerrno>
#include <utility>

namespace {

// The engine takes a URL only by these exact beginnings.
bool IsWebAddress(const std::string& url)
{
    if (url.rfind("http://", 0) != 0 && url.rfind("https://", 0) != 0)
        return false;
    const QUrl parsed(QString::fromStdString(url), QUrl::StrictMode);
    return parsed.isValid() && !parsed.host().isEmpty();
}

const char* Flag(bool on)
{
    return on ? "1" : "0";
}

}  // namespace

ProgramSettings::Check ProgramSettings::Validate() const
{
    for (size_t i = 0; i < pairs.size(); ++i) {
        const int number = static_cast<int>(i + 1);
        if (pairs[i].apiKey.empty())
            return {Problem::EmptyApiKey, number};
        if (pairs[i].secretKey.empty())
            return {Problem::EmptySecretKey, number};
    }
    // A URL for a recognizer not chosen is kept as it is: it may be filled in later.
    if (recognizer == RecognizerKind::WhisperApi && !IsWebAddress(whisperUrl))
        return {Problem::WhisperUrl, 0};
    if (!IsLanguageCode(language))
        return {Problem::Language, 0};
    return {};
}

ProgramSettings ProgramSettings::Read()
{
    ProgramSettings settings;
    settings.recognizer = ReadRecognizerSetting();
    const WhisperServerSetting server = ReadWhisperServerSetting();
    settings.whisperUrl = server.url;
    settings.whisperModel = server.model;
    settings.whisperKey = ReadWhisperApiKey();
    settings.language = ReadLanguageSetting();
    settings.pairsUnreadable =
        CredentialsFile::Read(CredentialsFile::DefaultPath(), settings.pairs) == CredentialsFile::Result::Invalid;
    settings.saveTimestamps = ReadConfigInt("SaveTimestamps", 0) == 1;
    settings.updateCheck = UpdateCheck::IsEnabled();
    settings.debug = ReadConfigInt("Debug", 0) != 0;
    return settings;
}

bool ProgramSettings::Write(const ProgramSettings& before, std::string& failure) const
{
    std::string problem;
    if (pairs != before.pairs && !CredentialsFile::Write(CredentialsFile::DefaultPath(), pairs, &problem)) {
        failure = CredentialsFile::DefaultPath() + ": " + problem;
        return false;
    }
    if (whisperKey != before.whisperKey && !WriteWhisperApiKey(whisperKey)) {
        failure = WhisperApiKeyPath() + ": " + Platform::ErrorText(errno);
        return false;
    }
    std::vector<std::pair<std::string, std::string>> changed;
    const auto note = [&changed](const char* key, const std::string& now, const std::string& was) {
        if (now != was)
            changed.emplace_back(key, now);
    };
    note("Recognizer", RecognizerSettingName(recognizer), RecognizerSettingName(before.recognizer));
    note("WhisperApiUrl", whisperUrl, before.whisperUrl);
    note("WhisperModel", whisperModel, before.whisperModel);
    note("Language", language, before.language);
    note("SaveTimestamps", Flag(saveTimestamps), Flag(before.saveTimestamps));
    note("UpdateCheck", Flag(updateCheck), Flag(before.updateCheck));
    note("Debug", Flag(debug), Flag(before.debug));
    if (!changed.empty() && !WriteConfigStrings(changed)) {
        // The settings file's own writer keeps errno as it was: there is no reason to give.
        failure = AppPaths::GetConfigPath(false);
        return false;
    }
    return true;
}
