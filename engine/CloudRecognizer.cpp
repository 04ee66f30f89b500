#include "engine/CloudRecognizer.h"

#include "base/LogFile.h"
#include "base/LogTags.h"
#include "engine/CredentialPool.h"
#include "engine/EstimatedPieces.h"
#include "engine/SpeechClient.h"
#include "engine/SpeechReplies.h"

#include <map>

namespace {

std::string LanOf(const std::string& language)
{
    if (language.empty() || language == "zh")
        return "ZH";
    if (language == "en")
        return "EN";
    if (language == "ct")
        return "CT";
    return {};
}

}  // namespace

CloudRecognizer::CloudRecognizer(std::shared_ptr<CredentialPool> pool, std::string chosen)
    : credentials(pool != nullptr ? std::move(pool) : std::make_shared<CredentialPool>()), language(std::move(chosen)),
      lan(LanOf(language))
{
}

// The log lines keep the worker's tag: they are the worker's outcome as it has always been told.
RecognitionOutcome CloudRecognizer::Recognize(const std::string& audio)
{
    if (lan.empty()) {
        RecognitionOutcome refused = LanguageRefused("the cloud service", language, "zh, en and ct");
        WriteLog(Warning, LogTag::kSegmentAttemptRun, "%s", refused.message.c_str());
        return refused;
    }
    const CredentialPair key = credentials->Next();
    SpeechClient client(key.apiKey, key.secretKey);
    client.SetConnectTimeout(kConnectTimeoutMs);
    client.SetRequestTimeout(kRequestTimeoutMs);
    client.SetStallTimeout(kStallTimeoutMs);
    const std::map<std::string, std::string> options{{"lan", lan}};

    RecognitionOutcome outcome;
    const RecognitionReply reply = ReadRecognitionReply(client.RecognizePcm(audio, "pcm", 16000, options));
    outcome.code = reply.resultCode;
    outcome.message = reply.errorMessage;
    outcome.text = reply.text;
    if (!reply.answered) {
        WriteLog(Warning, LogTag::kSegmentAttemptRun, "%s", ("speech curl error: " + outcome.message).c_str());
        return outcome;
    }
    if (outcome.code != 0) {
        WriteLog(Warning, LogTag::kSegmentAttemptRun, "%s",
                 ("speech error. key:" + key.apiKey + ",code:" + std::to_string(outcome.code) + ",msg:" + outcome.message).c_str());
        return outcome;
    }
    if (reply.receivedTextBytes > outcome.text.size())
        WriteLog(Warning, LogTag::kSegmentAttemptRun, "speech text of %zu bytes cut to %zu", reply.receivedTextBytes, outcome.text.size());
    WriteLog(Info, LogTag::kSegmentAttemptRun, "speech text size: %d", static_cast<int>(outcome.text.size()));
    // The service says what was said, not when: its sentences are placed where speech sounds.
    outcome.pieces = EstimatedPieces::Place(outcome.text, audio);
    return outcome;
}
