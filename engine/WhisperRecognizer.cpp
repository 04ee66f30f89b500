#include "engine/WhisperRecognizer.h"

#include "base/LogFile.h"
#include "base/LogTags.h"
#include "base/net/HttpRequest.h"
#include "engine/WavBody.h"
#include "engine/WhisperReply.h"

namespace {

std::string ProblemOf(const std::string& url)
{
    if (url.empty())
        return "WhisperApiUrl is not set in config.ini: there is no Whisper server to send the audio to";
    if (url.rfind("http://", 0) != 0 && url.rfind("https://", 0) != 0)
        return "WhisperApiUrl in config.ini is no http:// or https:// URL";
    return {};
}

// What a refusal status means to the user, before the server's own words.
std::string StatusText(int32_t status)
{
    if (status == 401 || status == 403)
        return "the server refused the key (whisper-api-key)";
    if (status == 429)
        return "the server is busy (too many requests)";
    if (status == 503)
        return "the server is unavailable";
    return "the server refused the request";
}

}  // namespace

WhisperRecognizer::WhisperRecognizer(Settings chosen) : settings(std::move(chosen)), problem(ProblemOf(settings.url))
{
}

RecognitionOutcome WhisperRecognizer::NoServer()
{
    // Every segment fails the same way until the setting is mended: the log says it once.
    if (!problemTold.exchange(true))
        WriteLog(Warning, LogTag::kWhisperRecognizerRecognize, "%s", problem.c_str());
    RecognitionOutcome outcome;
    outcome.code = kNoServerCode;
    outcome.message = problem;
    return outcome;
}

RecognitionOutcome WhisperRecognizer::Recognize(const std::string& audio)
{
    if (!problem.empty())
        return NoServer();
    const std::string host = HttpRequest::HostOf(settings.url);
    RecognitionOutcome outcome;
    try {
        WavBody wav(audio);
        HttpForm form{HttpFormPart::File("file", wav, "segment.wav", "audio/wav"),
                      HttpFormPart::Text("model", settings.model)};
        if (!settings.language.empty())
            form.push_back(HttpFormPart::Text("language", settings.language));
        form.push_back(HttpFormPart::Text("response_format", "verbose_json"));
        form.push_back(HttpFormPart::Text("timestamp_granularities[]", "segment"));
        HttpFields headers;
        if (!settings.apiKey.empty())
            headers["Authorization"] = "Bearer " + settings.apiKey;

        HttpRequest http;
        http.SetConnectTimeout(kConnectTimeoutMs);
        http.SetTimeout(kRequestTimeoutMs);
        http.SetStallTimeout(kStallTimeoutMs);
        http.SetCaFile(settings.caFile);
        http.SetReplyCap(kMaxReplyBytes, HttpRequest::Overflow::kFail);
        std::string reply;
        const int32_t code = http.PostForm(settings.url, form, &headers, &reply);
        const int32_t status = http.LastStatus();

        if (code != 0 && !http.ReplyTooLarge()) {
            outcome.code = -1;
            outcome.message = http.Stalled() ? "the server stalled: not one byte moved in " + std::to_string(kStallTimeoutMs / 1000) + " s"
                                             : "curl error " + std::to_string(code) + " (" + curl_easy_strerror(static_cast<CURLcode>(code)) + ")";
        } else if (status < 200 || status > 299) {
            outcome.code = status;
            const std::string said = http.ReplyTooLarge() ? std::string() : ReadWhisperError(reply);
            outcome.message = "HTTP " + std::to_string(status) + ": " + StatusText(status) + (said.empty() ? "" : " (" + said + ")");
            if (status == 429 || status == 503)
                outcome.retryAfterSeconds = ReadRetryAfter(http.ReplyHeader("Retry-After"));
        } else if (http.ReplyTooLarge()) {
            outcome.code = kBadReplyCode;
            outcome.message = "the server's reply is larger than " + std::to_string(kMaxReplyBytes >> 20) + " MB";
        } else if (auto transcription = ReadWhisperTranscription(reply)) {
            outcome.code = 0;
            outcome.message = "success";
            outcome.text = std::move(transcription->text);
            outcome.pieces = std::move(transcription->pieces);
            WriteLog(Info, LogTag::kSegmentAttemptRun, "speech text size: %d", static_cast<int>(outcome.text.size()));
            return outcome;
        } else {
            outcome.code = kBadReplyCode;
            outcome.message = "the server's reply is no transcription (" + std::to_string(reply.size()) + " bytes)";
        }
    } catch (const std::exception& e) {
        // Only memory exhaustion gets here: a failed attempt like a failed transfer.
        outcome.code = -1;
        outcome.message = e.what();
    }
    WriteLog(Warning, LogTag::kWhisperRecognizerRecognize, "%s", ("request to " + host + " failed: " + outcome.message).c_str());
    return outcome;
}
