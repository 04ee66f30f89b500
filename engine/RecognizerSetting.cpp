#include "engine/RecognizerSetting.h"

#include "base/Config.h"
#include "base/LogFile.h"
#include "base/LogTags.h"
#include "engine/TranscriptionJobs.h"
#include "engine/CloudRecognizer.h"
#include "engine/CredentialPool.h"
#include "engine/CredentialsFile.h"
#include "engine/LocalRecognizer.h"

namespace {
// A folder path does not fit the 50 characters the other settings are read with.
constexpr int kPathSize = 4096;
}  // namespace

RecognizerKind ReadRecognizerSetting()
{
    const std::string value = ReadConfigString("Recognizer", "cloud", 50);
    if (value == "local-en")
        return RecognizerKind::LocalEnglish;
    // An empty value is a key written without one: the default, like no key at all.
    if (value != "cloud" && !value.empty())
        WriteLog(Warning, LogTag::kRecognizerSettingRead, "%s",
                 ("unknown Recognizer \"" + value + "\" in config.ini; the cloud service is used").c_str());
    return RecognizerKind::Cloud;
}

std::string ReadLocalModelDir()
{
    const std::string value = ReadConfigString("LocalModelDir", "", kPathSize);
    return value.empty() ? std::string(TALVORA_POCKETSPHINX_MODELDIR) : value;
}

std::shared_ptr<Recognizer> MakeRecognizer(RecognizerKind kind)
{
    if (kind == RecognizerKind::LocalEnglish)
        return std::make_shared<LocalRecognizer>(ReadLocalModelDir());
    auto credentials = std::make_shared<CredentialPool>();
    CredentialsFile::Apply(*credentials, CredentialsFile::DefaultPath());
    return std::make_shared<CloudRecognizer>(std::move(credentials));
}

JobOptions ReadJobOptions()
{
    JobOptions options;
    options.showFfmpegOutput = ReadConfigInt("Debug", 0) != 0;
    return options;
}
