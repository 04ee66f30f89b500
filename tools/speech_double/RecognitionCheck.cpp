#include "speech_double/RecognitionCheck.h"

#include "base/net/JsonText.h"

#include "speech_double/StrictBase64.h"
#include "speech_double/ToneDetector.h"

#include <json/value.h>

#include <memory>

namespace SpeechDouble {

namespace {

constexpr int kParamInvalid = 3300;
constexpr int kSpeechQuality = 3301;
constexpr int kAuthentication = 3302;
constexpr int kTooLong = 3310;
constexpr int kAudioLength = 3314;

}  // namespace

RecognitionVerdict CheckRecognition(const std::string& contentType, const std::string& body, size_t maxAudioBytes,
                                    const std::function<bool(const std::string& token)>& tokenValid)
{
    RecognitionVerdict verdict;
    Json::Value request;
    if (contentType.rfind("application/json", 0) != 0 || !ParseJson(body, request) || !request.isObject()) {
        verdict.errNo = kParamInvalid;
        return verdict;
    }
    for (const char* name : {"channel", "cuid", "format", "lan", "rate", "speech", "token"}) {
        if (!request.isMember(name) || !request[name].isString()) {
            verdict.errNo = kParamInvalid;
            return verdict;
        }
    }
    const Json::Value& len = request["len"];
    if (len.type() != Json::intValue && len.type() != Json::uintValue) {
        verdict.errNo = kParamInvalid;
        return verdict;
    }

    // Decode first so that every request whose audio is readable carries its text, which lets
    // fault rules pick requests by content even when they are refused for other reasons.
    std::string audio;
    const bool decoded = DecodeBase64Strict(request["speech"].asString(), audio);
    if (decoded) {
        verdict.audioBytes = audio.size();
        if (!audio.empty()) {
            const ToneEstimate tone = EstimateTone(audio);
            verdict.frequency = tone.frequency;
            verdict.rms = tone.rms;
            verdict.text = ToneText(tone);
        }
    }

    if (!tokenValid(request["token"].asString()))
        verdict.errNo = kAuthentication;
    else if (len.isUInt64() && len.asUInt64() > maxAudioBytes)
        verdict.errNo = kTooLong;
    else if (!decoded || !len.isUInt64() || len.asUInt64() != audio.size() || request["format"].asString() != "pcm" ||
             request["rate"].asString() != "16000" || request["channel"].asString() != "1")
        verdict.errNo = kParamInvalid;
    else if (audio.empty() || audio.size() % 2 != 0)
        verdict.errNo = kAudioLength;
    else if (verdict.rms < kSilenceRms)
        verdict.errNo = kSpeechQuality;
    return verdict;
}

}  // namespace SpeechDouble
