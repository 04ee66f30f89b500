#pragma once

// A local double of the cloud speech-recognition service and of a Whisper transcription server,
// for tests (in-process) and for trying the whole program by hand (the speech_double program).
// It speaks HTTPS with a certificate made when it starts, or plain HTTP, on a loopback port:
//
//   GET  /oauth/2.0/token  grant_type=client_credentials, client_id, client_secret. Known pair:
//        200 {"refresh_token", "expires_in", "session_key", "access_token", "scope", ...};
//        unknown id or wrong secret: 401 {"error":"invalid_client","error_description":...};
//        another grant type: 400 {"error":"unsupported_grant_type",...}.
//   POST /server_api       the eight-member JSON request, checked like the real service (see
//        RecognitionCheck.h): 200 {"err_no":0,"err_msg":"success.","result":["tone 440"],"sn":...,
//        "corpus_no":...} where the text names the audio's dominant frequency in whole hertz, or
//        200 {"err_no":33xx,"err_msg":...,"sn":...}: 3300 malformed request, 3302 unknown or
//        expired token, 3310 audio above Options::maxAudioBytes, 3314 empty or odd length, 3301
//        silence. There is no 60-second limit.
//   POST /v1/audio/transcriptions  the Whisper transcription API, a multipart form checked
//        strictly (see TranscriptionCheck.h): "file", a WAV file of 16 kHz 16-bit mono PCM with
//        the plain 44-byte header; "model"; optional "language" (two lowercase letters),
//        "response_format" (json, verbose_json or text) and "timestamp_granularities[]". The
//        audio reads as its runs of steady tone (ToneRuns.h), each one segment: 200
//        {"text":"tone 440 tone 550"}; verbose_json {"task":"transcribe","language":...,
//        "duration":...,"text":...,"segments":[{"id":0,"start":0.3,"end":1.01,"text":" tone 440",
//        ...},...]}; text: the text alone. Silence: "" and no segments. A malformed form: 400
//        {"error":{"message":...,"type":"invalid_request_error"}}; with Options::whisperApiKey
//        set, a request without "Authorization: Bearer <key>": 401 (code "invalid_api_key").
//   GET  /double/stats     the double's own counters as JSON (not part of the service).
//
// In a test:
//
//   auto speech = SpeechDouble::Server::Start();          // HTTPS on 127.0.0.1, a free port
//   ASSERT_TRUE(speech);
//   speech->ExportEnvironment();   // TALVORA_TOKEN_URL, TALVORA_SPEECH_URL, TALVORA_CA_FILE, for
//                                  // clients made from here on (before any worker thread starts)
//   SpeechClient client(SpeechDouble::kTestApiKey, SpeechDouble::kTestSecretKey);
//   speech->AddFault({.endpoint = SpeechDouble::Endpoint::Recognition, .requestNumber = 2,
//                     .fault = SpeechDouble::Fault::ErrNo(3303)});
//   speech->AddFault({.text = "tone 550", .times = 3, .fault = SpeechDouble::Fault::Refuse()});
//   ... run the code under test ...
//   EXPECT_EQ(speech->RequestCount(SpeechDouble::Endpoint::Recognition), 3);
//   EXPECT_EQ(speech->Requests(SpeechDouble::Endpoint::Recognition)[0]->text, "tone 440");
//
//   speech->AddFault({.endpoint = SpeechDouble::Endpoint::Transcription, .requestNumber = 1,
//                     .fault = SpeechDouble::Fault::HttpError(429, "Rate limit reached.", 2)});
//   ... a Whisper client sent to speech->TranscriptionUrl(), trusting speech->CaFile() ...
//
// Helpers beside it: SinePcm (TonePcm.h) makes test audio, EstimateTone/ToneText
// (ToneDetector.h) name a PCM buffer's tone the way the double does, FindToneRuns (ToneRuns.h)
// finds its tones, and where each starts and ends, the way the transcription endpoint does,
// UnusedLoopbackPort (LoopbackPort.h) gives a port where connections are refused, and
// DecodeBase64Strict (StrictBase64.h) is an independent Base64 decoder.
//
// For a child process, pass Environment() to it instead. All methods are safe from any thread;
// selectors and observers run on the double's server threads. The double stops (and removes
// the folder it made) when the object goes away; a stalled request ends when the double stops.

#include "speech_double/SpeechFaults.h"

#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace SpeechDouble {

// A credential pair every double accepts besides the program's built-in one.
inline constexpr const char* kTestApiKey = "double-api-key";
inline constexpr const char* kTestSecretKey = "double-secret-key";

struct Options {
    bool https = true;
    std::string host = "127.0.0.1";
    int port = 0;  // 0: a free port
    // Names the server certificate is issued for.
    std::vector<std::string> certificateNames = {"127.0.0.1", "localhost"};
    // Where the certificate files go (made if missing, kept at Stop); empty: a fresh folder under
    // $TMPDIR, removed at Stop.
    std::string folder{};
    // Credential pairs (API key, secret key) the token endpoint accepts; the program's built-in
    // pair and kTestApiKey/kTestSecretKey are always accepted as well.
    std::vector<std::pair<std::string, std::string>> credentials{};
    int64_t tokenLifetimeSeconds = 2592000;  // 30 days, like the real service
    size_t maxAudioBytes = 7680000;          // 240 seconds of 16 kHz 16-bit mono
    // The bearer key the transcription endpoint wants; empty: any Authorization, or none, will do.
    std::string whisperApiKey{};
    bool recordBodies = true;                // keep every request body for Requests()
    std::chrono::milliseconds stallLimit{std::chrono::minutes(5)};
};

// One request the double answered (or refused), as a test reads it back.
struct RecordedRequest {
    Endpoint endpoint = Endpoint::Other;
    int number = 0;                  // 1-based, per endpoint
    std::string method;
    std::string target;              // path and query as sent
    std::multimap<std::string, std::string> params;   // decoded query parameters
    std::multimap<std::string, std::string> headers;  // names as sent
    std::string body;                // empty when Options::recordBodies is false
    size_t bodyBytes = 0;
    std::multimap<std::string, std::string> form;     // transcription: the text fields by name
    std::string fileName;            // transcription: the filename of the "file" part
    int wavSampleRate = 0;           // transcription: the sample rate the WAV header gives; 0: no header
    std::string text;                // recognition: what the audio reads as ("tone 440"), when it decoded;
                                     // transcription: its tones' texts joined ("tone 440 tone 550")
    size_t audioBytes = 0;           // recognition: decoded audio length; transcription: the file's
                                     // bytes after its 44-byte header
    double frequency = 0;            // recognition: dominant frequency in hertz
    int errNo = -1;                  // recognition: the err_no answered; -1 when the reply carried none
    int status = 0;                  // HTTP status answered (0 when the connection was reset)
    FaultKind fault = FaultKind::None;
    double busyMilliseconds = 0;     // time spent answering, injected latency and stalls left out
};

class Server {
public:
    // Starts a double; nullptr (and `error` filled) when it cannot.
    static std::unique_ptr<Server> Start(const Options& options = {}, std::string* error = nullptr);
    ~Server();
    Server(const Server&) = delete;
    Server& operator=(const Server&) = delete;
    // Ends stalls and latencies, closes every connection and stops the threads. Idempotent.
    void Stop();

    int Port() const;
    std::string BaseUrl() const;   // "https://127.0.0.1:<port>"
    std::string TokenUrl() const;  // BaseUrl() + "/oauth/2.0/token"
    std::string SpeechUrl() const; // BaseUrl() + "/server_api"
    std::string TranscriptionUrl() const;  // BaseUrl() + "/v1/audio/transcriptions"
    std::string CaFile() const;    // the CA certificate (PEM) a client must trust; empty for HTTP
    std::string ServerCertificateFile() const;
    std::string ServerKeyFile() const;
    // TALVORA_TOKEN_URL, TALVORA_SPEECH_URL and TALVORA_CA_FILE for this double.
    std::map<std::string, std::string> Environment() const;
    // Sets those variables in this process (setenv must not race with other threads' getenv).
    void ExportEnvironment() const;

    void AddCredential(const std::string& apiKey, const std::string& secretKey);
    // Lifetime ("expires_in") of tokens issued from now on.
    void SetTokenLifetime(int64_t seconds);
    // Every token issued so far stops being accepted (3302), as after a server-side expiry.
    void ExpireTokens();
    // The bearer key the transcription endpoint wants from now on; empty: none.
    void SetWhisperApiKey(std::string key);

    // Faults: rules (tried in order), then the selector, then the endpoint's default.
    void AddFault(const FaultRule& rule);
    void SetDefaultFault(Endpoint endpoint, const Fault& fault);
    void SetFaultSelector(FaultSelector selector);
    void ClearFaults();
    // Waited before every reply, on top of a fault's own latency.
    void SetLatency(std::chrono::milliseconds latency);

    // Requests to `endpoint` that have arrived (counted before they are answered).
    int RequestCount(Endpoint endpoint) const;
    // Waits until `count` requests to `endpoint` have arrived; false on time-out.
    bool WaitForArrivals(Endpoint endpoint, int count,
                         std::chrono::milliseconds timeout = std::chrono::seconds(30)) const;
    // Recorded requests in the order their answers were settled (all endpoints, or one).
    std::vector<std::shared_ptr<const RecordedRequest>> Requests() const;
    std::vector<std::shared_ptr<const RecordedRequest>> Requests(Endpoint endpoint) const;
    // Waits until `count` requests to `endpoint` have been answered (or refused); false on time-out.
    bool WaitForRequests(Endpoint endpoint, int count,
                         std::chrono::milliseconds timeout = std::chrono::seconds(30)) const;
    // Total time spent answering (RecordedRequest::busyMilliseconds summed).
    double BusyMilliseconds() const;
    // The largest number of requests to `endpoint` that were being answered at the same time.
    int PeakConcurrency(Endpoint endpoint) const;
    // Forgets recorded requests, counters and peaks; request numbers start again at 1.
    void ClearRequests();
    // Called on a server thread with every request once it is answered.
    void SetObserver(std::function<void(const RecordedRequest&)> observer);

private:
    struct State;
    explicit Server(std::unique_ptr<State> state);
    std::unique_ptr<State> state_;
};

}  // namespace SpeechDouble
