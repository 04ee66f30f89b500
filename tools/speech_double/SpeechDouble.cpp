#include "speech_double/SpeechDouble.h"

#include "engine/CredentialPair.h"
#include "speech_double/DoubleCertificates.h"
#include "speech_double/FaultPlan.h"
#include "speech_double/FrontDoor.h"
#include "speech_double/RecognitionCheck.h"
#include "speech_double/ServiceReplies.h"
#include "speech_double/TranscriptionCheck.h"
#include "speech_double/TranscriptionReplies.h"

#include <httplib.h>

#include <algorithm>
#include <cinttypes>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <mutex>
#include <thread>

#if defined(__SANITIZE_THREAD__)
// The HTTP server library is a prebuilt, uninstrumented shared library: ThreadSanitizer sees its
// memcpy/memcmp calls but not the atomic operations its threads synchronise with (reference
// counts inside the standard library), and reports races between its own worker threads. Our
// code is instrumented and still fully checked. Weak, so a test program's own list wins.
extern "C" __attribute__((weak)) const char* __tsan_default_suppressions()
{
    return "called_from_lib:libcpp-httplib.so\n";
}
#endif

namespace SpeechDouble {

namespace {

using Clock = std::chrono::steady_clock;

constexpr const char* kTokenPath = "/oauth/2.0/token";
constexpr const char* kSpeechPath = "/server_api";
constexpr const char* kTranscriptionPath = "/v1/audio/transcriptions";
constexpr size_t kServerThreads = 32;
constexpr size_t kMaxPayload = 64u << 20;

int64_t Now()
{
    return static_cast<int64_t>(time(nullptr));
}

std::string MakeFolder(std::string* error)
{
    const char* tmp = std::getenv("TMPDIR");
    std::string pattern = std::string(tmp != nullptr && tmp[0] == '/' ? tmp : "/tmp") + "/speech-double-XXXXXX";
    if (mkdtemp(pattern.data()) == nullptr) {
        if (error != nullptr)
            *error = "cannot make a folder from " + pattern;
        return {};
    }
    return pattern;
}

// The reply the double is about to give.
struct Reply {
    int status = 200;
    std::string contentType = "application/json";
    std::string body;
    int errNo = -1;
    int retryAfterSeconds = -1;  // below 0: no Retry-After header
};

}  // namespace

struct Server::State {
    Options options;
    std::string folder;
    bool ownFolder = false;
    std::unique_ptr<DoubleCertificates> certificates;
    std::unique_ptr<httplib::Server> http;
    std::thread listenThread;
    FrontDoor front;
    FaultPlan faults;

    mutable std::mutex mutex;
    mutable std::condition_variable changed;
    bool stopping = false;
    bool stopped = false;
    std::map<std::string, std::string> credentials;  // API key -> secret key
    int64_t tokenLifetime = 0;
    std::map<std::string, int64_t> tokens;           // token -> expiry, seconds since 1970
    std::string whisperApiKey;
    uint64_t serial = 0;
    std::chrono::milliseconds latency{0};
    std::map<Endpoint, int> arrivals;
    std::map<Endpoint, int> answered;
    std::map<Endpoint, int> active;
    std::map<Endpoint, int> peak;
    std::map<std::string, int> textsSeen;
    std::vector<std::shared_ptr<const RecordedRequest>> records;
    double busyMilliseconds = 0;
    std::function<void(const RecordedRequest&)> observer;

    void Handle(Endpoint endpoint, const httplib::Request& request, const std::string& body,
                httplib::Response& response);
    Reply TokenReply(const httplib::Request& request, const Fault& fault);
    static Reply TranscriptionReply(const TranscriptionVerdict& verdict, const Fault& fault);
    std::string IssueToken(const std::string& token = {});
    bool TokenValid(const std::string& token) const;
    std::string NextSerial(const char* prefix);
    // Waits until `done` holds, the double stops or `deadline` passes; false when it stopped.
    template <typename Done>
    bool WaitUntil(Clock::time_point deadline, Done done);
    std::string StatsJson() const;
};

std::string Server::State::NextSerial(const char* prefix)
{
    std::lock_guard lock(mutex);
    char text[48];
    std::snprintf(text, sizeof text, "%s%016" PRIX64, prefix, ++serial);
    return text;
}

std::string Server::State::IssueToken(const std::string& chosen)
{
    const std::string token = chosen.empty() ? NextSerial("24.double.") : chosen;
    std::lock_guard lock(mutex);
    tokens[token] = Now() + tokenLifetime;
    return token;
}

bool Server::State::TokenValid(const std::string& token) const
{
    std::lock_guard lock(mutex);
    const auto found = tokens.find(token);
    return found != tokens.end() && Now() < found->second;
}

template <typename Done>
bool Server::State::WaitUntil(Clock::time_point deadline, Done done)
{
    std::unique_lock lock(mutex);
    changed.wait_until(lock, deadline, [&] { return stopping || done(); });
    return !stopping;
}

Reply Server::State::TokenReply(const httplib::Request& request, const Fault& fault)
{
    Reply reply;
    int64_t lifetime;
    bool known;
    bool secretMatches;
    {
        std::lock_guard lock(mutex);
        lifetime = tokenLifetime;
        const auto found = credentials.find(request.get_param_value("client_id"));
        known = found != credentials.end();
        secretMatches = known && found->second == request.get_param_value("client_secret");
    }
    if (fault.kind == FaultKind::Text) {
        reply.body = TokenSuccess(IssueToken(fault.text), lifetime);
    } else if (request.get_param_value("grant_type") != "client_credentials") {
        reply.status = 400;
        reply.body = OAuthError("unsupported_grant_type", "The authorization grant type is not supported");
    } else if (!known) {
        reply.status = 401;
        reply.body = OAuthError("invalid_client", "unknown client id");
    } else if (!secretMatches) {
        reply.status = 401;
        reply.body = OAuthError("invalid_client", "Client authentication failed");
    } else if (fault.kind == FaultKind::MissingErrNo) {
        reply.body = TokenSuccess({}, lifetime, false);
    } else {
        reply.body = TokenSuccess(IssueToken(), lifetime);
    }
    return reply;
}

Reply Server::State::TranscriptionReply(const TranscriptionVerdict& verdict, const Fault& fault)
{
    Reply reply;
    const auto answer = [&](const std::string& text, const std::vector<ToneRun>& segments, bool withText) {
        if (verdict.responseFormat == "text") {
            reply.contentType = "text/plain; charset=utf-8";
            reply.body = text;
        } else if (verdict.responseFormat == "verbose_json") {
            reply.body = TranscriptionVerboseJson(verdict.language.empty() ? "english" : verdict.language,
                                                  verdict.duration, text, segments, withText);
        } else {
            reply.body = TranscriptionJson(text, withText);
        }
    };
    if (fault.kind == FaultKind::Text) {
        std::vector<ToneRun> segments;
        if (!fault.text.empty())
            segments.push_back({0, verdict.duration, 0, fault.text});
        answer(fault.text, segments, true);
    } else if (fault.kind == FaultKind::ServerError) {
        reply.status = 500;
        reply.body = WhisperError("The server had an error while processing your request.", "server_error");
    } else if (fault.kind == FaultKind::ErrNo) {
        reply.status = 400;
        reply.body = WhisperError(fault.text.empty() ? "error " + std::to_string(fault.errNo) + "." : fault.text,
                                  "invalid_request_error");
    } else if (verdict.status == 401) {
        reply.status = 401;
        reply.body = WhisperError(verdict.message, "invalid_request_error", "invalid_api_key");
    } else if (verdict.status != 200) {
        reply.status = verdict.status;
        reply.body = WhisperError(verdict.message, "invalid_request_error");
    } else {
        answer(verdict.text, verdict.runs, fault.kind != FaultKind::MissingErrNo);
    }
    return reply;
}

void Server::State::Handle(Endpoint endpoint, const httplib::Request& request, const std::string& body,
                           httplib::Response& response)
{
    const auto started = Clock::now();
    auto record = std::make_shared<RecordedRequest>();
    record->endpoint = endpoint;
    record->method = request.method;
    record->target = request.target;
    record->params.insert(request.params.begin(), request.params.end());
    record->headers.insert(request.headers.begin(), request.headers.end());
    record->bodyBytes = body.size();
    if (options.recordBodies)
        record->body = body;

    RequestInfo info;
    info.endpoint = endpoint;
    {
        std::lock_guard lock(mutex);
        info.number = ++arrivals[endpoint];
        peak[endpoint] = std::max(peak[endpoint], ++active[endpoint]);
        changed.notify_all();
    }
    record->number = info.number;

    // The service's own judgement comes first, so that rules can pick requests by content.
    RecognitionVerdict verdict;
    TranscriptionVerdict transcription;
    if (endpoint == Endpoint::Recognition) {
        verdict = CheckRecognition(request.get_header_value("Content-Type"), body, options.maxAudioBytes,
                                   [this](const std::string& token) { return TokenValid(token); });
        record->text = verdict.text;
        record->audioBytes = verdict.audioBytes;
        record->frequency = verdict.frequency;
        info.text = verdict.text;
    } else if (endpoint == Endpoint::Transcription) {
        std::string apiKey;
        {
            std::lock_guard lock(mutex);
            apiKey = whisperApiKey;
        }
        transcription = CheckTranscription(request.get_header_value("Content-Type"),
                                           request.get_header_value("Authorization"), body, apiKey);
        record->form = transcription.form;
        record->fileName = transcription.fileName;
        record->wavSampleRate = transcription.wavSampleRate;
        record->audioBytes = transcription.audioBytes;
        record->text = transcription.text;
        info.text = transcription.text;
    }
    if (!info.text.empty()) {
        std::lock_guard lock(mutex);
        info.textOccurrence = ++textsSeen[info.text];
    }
    const Fault fault = faults.Choose(info);
    record->fault = fault.kind;

    Reply reply;
    if (endpoint == Endpoint::Token) {
        reply = TokenReply(request, fault);
    } else if (endpoint == Endpoint::Transcription) {
        reply = TranscriptionReply(transcription, fault);
    } else {
        const std::string sn = NextSerial("");
        const std::string corpus = "6" + NextSerial("").substr(0, 18);
        switch (fault.kind) {
        case FaultKind::Text:
            reply.body = RecognitionSuccess(fault.text, sn, corpus);
            reply.errNo = 0;
            break;
        case FaultKind::ErrNo:
            reply.errNo = fault.errNo;
            reply.body = RecognitionError(fault.errNo, fault.text.empty() ? ServiceErrorMessage(fault.errNo) : fault.text,
                                          sn);
            break;
        case FaultKind::ServerError:
            reply.status = 500;
            reply.errNo = fault.errNo;
            reply.body = RecognitionError(fault.errNo, ServiceErrorMessage(fault.errNo), sn);
            break;
        case FaultKind::MissingErrNo:
            reply.body = RecognitionWithoutErrNo(verdict.text, sn, corpus);
            break;
        default:
            reply.errNo = verdict.errNo;
            reply.body = verdict.errNo == 0 ? RecognitionSuccess(verdict.text, sn, corpus)
                                            : RecognitionError(verdict.errNo, ServiceErrorMessage(verdict.errNo), sn);
            break;
        }
    }
    switch (fault.kind) {
    case FaultKind::ServerError:
        reply.status = 500;
        if (endpoint == Endpoint::Token)
            reply.body = OAuthError("server_error", "internal server error");
        break;
    case FaultKind::ErrNo:
        if (endpoint == Endpoint::Token) {
            reply.status = 401;
            reply.body = OAuthError("invalid_client", "unknown client id");
        }
        break;
    case FaultKind::HtmlPage:
        reply = Reply{502, "text/html", HtmlErrorPage(), -1};
        break;
    case FaultKind::TruncatedBody:
        reply.body.resize(reply.body.size() / 2);
        reply.errNo = -1;
        break;
    case FaultKind::Raw:
        reply = Reply{fault.status, fault.contentType, fault.body, -1};
        break;
    case FaultKind::CutConnection:
        reply.errNo = -1;
        break;
    case FaultKind::HttpError:
        reply = Reply{fault.status, "application/json", WhisperError(fault.text, WhisperErrorType(fault.status)), -1,
                      fault.retryAfterSeconds};
        break;
    case FaultKind::Oversized:
        reply = Reply{200, "application/json", OversizedTranscription(fault.bytes), -1};
        break;
    default:
        break;
    }
    record->busyMilliseconds = std::chrono::duration<double, std::milli>(Clock::now() - started).count();

    std::chrono::milliseconds wait = fault.latency;
    {
        std::lock_guard lock(mutex);
        wait += latency;
    }
    if (wait.count() > 0)
        WaitUntil(Clock::now() + wait, [] { return false; });

    const int port = request.remote_port;
    if (fault.kind == FaultKind::Refuse) {
        front.Reset(port);
        WaitUntil(Clock::now() + std::chrono::seconds(30), [&] { return !front.ClientConnected(port); });
        reply.status = 0;
        reply.errNo = -1;
    } else if (fault.kind == FaultKind::Stall) {
        WaitUntil(Clock::now() + options.stallLimit, [&] { return !front.ClientConnected(port); });
    }

    record->status = reply.status;
    record->errNo = endpoint == Endpoint::Recognition ? reply.errNo : -1;
    response.status = reply.status == 0 ? 500 : reply.status;
    if (reply.retryAfterSeconds >= 0)
        response.set_header("Retry-After", std::to_string(reply.retryAfterSeconds));
    if (fault.kind == FaultKind::CutConnection) {
        const auto body = std::make_shared<std::string>(std::move(reply.body));
        response.set_content_provider(body->size(), reply.contentType,
                                      [body](size_t offset, size_t, httplib::DataSink& sink) {
                                          if (offset != 0)
                                              return false;
                                          sink.write(body->data(), body->size() / 2);
                                          return true;
                                      });
    } else {
        response.set_content(reply.body, reply.contentType.c_str());
    }

    std::function<void(const RecordedRequest&)> notify;
    {
        std::lock_guard lock(mutex);
        --active[endpoint];
        ++answered[endpoint];
        busyMilliseconds += record->busyMilliseconds;
        records.push_back(record);
        notify = observer;
        changed.notify_all();
    }
    if (notify)
        notify(*record);
}

std::string Server::State::StatsJson() const
{
    std::lock_guard lock(mutex);
    auto count = [](const std::map<Endpoint, int>& counts, Endpoint endpoint) {
        const auto found = counts.find(endpoint);
        return found != counts.end() ? found->second : 0;
    };
    double lastBusy = 0;
    for (auto it = records.rbegin(); it != records.rend(); ++it) {
        if ((*it)->endpoint == Endpoint::Recognition) {
            lastBusy = (*it)->busyMilliseconds;
            break;
        }
    }
    char text[384];
    std::snprintf(text, sizeof text,
                  "{\"token_requests\":%d,\"recognition_requests\":%d,\"transcription_requests\":%d,"
                  "\"busy_ms\":%.3f,\"last_recognition_busy_ms\":%.3f,\"peak_recognition_concurrency\":%d,"
                  "\"peak_transcription_concurrency\":%d}",
                  count(arrivals, Endpoint::Token), count(arrivals, Endpoint::Recognition),
                  count(arrivals, Endpoint::Transcription), busyMilliseconds, lastBusy,
                  count(peak, Endpoint::Recognition), count(peak, Endpoint::Transcription));
    return text;
}

std::unique_ptr<Server> Server::Start(const Options& options, std::string* error)
{
    auto state = std::make_unique<State>();
    state->options = options;
    state->tokenLifetime = options.tokenLifetimeSeconds;
    state->whisperApiKey = options.whisperApiKey;
    state->credentials[BuiltInCredential().apiKey] = BuiltInCredential().secretKey;
    state->credentials[kTestApiKey] = kTestSecretKey;
    for (const auto& [apiKey, secretKey] : options.credentials)
        state->credentials[apiKey] = secretKey;

    if (options.https) {
        state->folder = options.folder;
        if (!state->folder.empty()) {
            std::error_code ignored;
            std::filesystem::create_directories(state->folder, ignored);
        } else {
            state->folder = MakeFolder(error);
            if (state->folder.empty())
                return nullptr;
            state->ownFolder = true;
        }
        state->certificates = DoubleCertificates::Make(state->folder, options.certificateNames, error);
        if (!state->certificates)
            return nullptr;
        state->http = std::make_unique<httplib::SSLServer>(state->certificates->ServerCertificate(),
                                                           state->certificates->ServerKey());
    } else {
        state->http = std::make_unique<httplib::Server>();
    }
    auto server = std::unique_ptr<Server>(new Server(std::move(state)));
    State* s = server->state_.get();
    if (!s->http->is_valid()) {
        if (error != nullptr)
            *error = "the HTTPS server could not be set up";
        return nullptr;
    }

    s->http->new_task_queue = [] { return new httplib::ThreadPool(kServerThreads); };
    s->http->set_payload_max_length(kMaxPayload);
    s->http->set_tcp_nodelay(true);
    s->http->set_read_timeout(std::chrono::seconds(60));
    s->http->set_write_timeout(std::chrono::seconds(60));
    s->http->Get(kTokenPath, [s](const httplib::Request& request, httplib::Response& response) {
        s->Handle(Endpoint::Token, request, request.body, response);
    });
    // Reading the body itself keeps the server library from refusing a large body sent with
    // a form content type (413) before the double can answer it the service's way (3300).
    s->http->Post(kSpeechPath, [s](const httplib::Request& request, httplib::Response& response,
                                   const httplib::ContentReader& reader) {
        std::string body;
        reader([&body](const char* data, size_t length) {
            body.append(data, length);
            return true;
        });
        s->Handle(Endpoint::Recognition, request, body, response);
    });
    // The server library splits a multipart body into its parts as it reads it and keeps none of
    // the bytes around them; the double reads the body whole instead, to check the form itself
    // and to record it as sent. The library picks its way of reading by the Content-Type at the
    // moment of reading, so the header is out of its sight meanwhile (the request is the
    // library's own object, only handed out as const).
    s->http->Post(kTranscriptionPath, [s](const httplib::Request& request, httplib::Response& response,
                                          const httplib::ContentReader& reader) {
        auto& headers = const_cast<httplib::Headers&>(request.headers);
        const auto contentType = headers.find("Content-Type");
        std::string sent;
        if (contentType != headers.end()) {
            sent = std::move(contentType->second);
            contentType->second = "application/octet-stream";
        }
        std::string body;
        reader([&body](const char* data, size_t length) {
            body.append(data, length);
            return true;
        });
        if (contentType != headers.end())
            contentType->second = std::move(sent);
        s->Handle(Endpoint::Transcription, request, body, response);
    });
    s->http->Get("/double/stats", [s](const httplib::Request&, httplib::Response& response) {
        response.set_content(s->StatsJson(), "application/json");
    });

    const int backPort = s->http->bind_to_any_port(options.host);
    if (backPort <= 0) {
        if (error != nullptr)
            *error = "cannot listen on " + options.host;
        return nullptr;
    }
    s->listenThread = std::thread([s] { s->http->listen_after_bind(); });
    // stop() only takes effect once the listener runs; until then it would be lost.
    const auto deadline = Clock::now() + std::chrono::seconds(30);
    while (!s->http->is_running() && Clock::now() < deadline)
        std::this_thread::yield();

    s->front.SetClientGoneListener([s] {
        std::lock_guard lock(s->mutex);
        s->changed.notify_all();
    });
    if (!s->http->is_running() || !s->front.Open(options.host, options.port, backPort, error))
        return nullptr;  // the destructor stops what was started
    return server;
}

Server::Server(std::unique_ptr<State> state) : state_(std::move(state)) {}

Server::~Server()
{
    Stop();
}

void Server::Stop()
{
    State& s = *state_;
    {
        std::lock_guard lock(s.mutex);
        if (s.stopped)
            return;
        s.stopped = true;
    }
    // Connections go first, so that a request held in a stall or a latency gets no reply.
    s.front.Close();
    {
        std::lock_guard lock(s.mutex);
        s.stopping = true;
        s.changed.notify_all();
    }
    if (s.listenThread.joinable()) {
        s.http->stop();
        s.listenThread.join();
    }
    if (s.ownFolder) {
        std::error_code ignored;
        std::filesystem::remove_all(s.folder, ignored);
    }
}

int Server::Port() const
{
    return state_->front.Port();
}

std::string Server::BaseUrl() const
{
    const std::string& host = state_->options.host;
    const std::string shown = host.find(':') != std::string::npos ? "[" + host + "]" : host;
    return std::string(state_->options.https ? "https://" : "http://") + shown + ":" + std::to_string(Port());
}

std::string Server::TokenUrl() const
{
    return BaseUrl() + kTokenPath;
}

std::string Server::SpeechUrl() const
{
    return BaseUrl() + kSpeechPath;
}

std::string Server::TranscriptionUrl() const
{
    return BaseUrl() + kTranscriptionPath;
}

std::string Server::CaFile() const
{
    return state_->certificates ? state_->certificates->CaFile() : std::string();
}

std::string Server::ServerCertificateFile() const
{
    return state_->certificates ? state_->certificates->ServerCertificateFile() : std::string();
}

std::string Server::ServerKeyFile() const
{
    return state_->certificates ? state_->certificates->ServerKeyFile() : std::string();
}

std::map<std::string, std::string> Server::Environment() const
{
    return {{"TALVORA_TOKEN_URL", TokenUrl()}, {"TALVORA_SPEECH_URL", SpeechUrl()}, {"TALVORA_CA_FILE", CaFile()}};
}

void Server::ExportEnvironment() const
{
    for (const auto& [name, value] : Environment()) {
        if (value.empty())
            unsetenv(name.c_str());
        else
            setenv(name.c_str(), value.c_str(), 1);
    }
}

void Server::AddCredential(const std::string& apiKey, const std::string& secretKey)
{
    std::lock_guard lock(state_->mutex);
    state_->credentials[apiKey] = secretKey;
}

void Server::SetTokenLifetime(int64_t seconds)
{
    std::lock_guard lock(state_->mutex);
    state_->tokenLifetime = seconds;
}

void Server::ExpireTokens()
{
    std::lock_guard lock(state_->mutex);
    state_->tokens.clear();
}

void Server::SetWhisperApiKey(std::string key)
{
    std::lock_guard lock(state_->mutex);
    state_->whisperApiKey = std::move(key);
}

void Server::AddFault(const FaultRule& rule)
{
    state_->faults.AddRule(rule);
}

void Server::SetDefaultFault(Endpoint endpoint, const Fault& fault)
{
    state_->faults.SetDefault(endpoint, fault);
}

void Server::SetFaultSelector(FaultSelector selector)
{
    state_->faults.SetSelector(std::move(selector));
}

void Server::ClearFaults()
{
    state_->faults.Clear();
}

void Server::SetLatency(std::chrono::milliseconds latency)
{
    std::lock_guard lock(state_->mutex);
    state_->latency = latency;
}

int Server::RequestCount(Endpoint endpoint) const
{
    std::lock_guard lock(state_->mutex);
    const auto found = state_->arrivals.find(endpoint);
    return found != state_->arrivals.end() ? found->second : 0;
}

bool Server::WaitForArrivals(Endpoint endpoint, int count, std::chrono::milliseconds timeout) const
{
    std::unique_lock lock(state_->mutex);
    return state_->changed.wait_for(lock, timeout, [&] { return state_->arrivals[endpoint] >= count; });
}

std::vector<std::shared_ptr<const RecordedRequest>> Server::Requests() const
{
    std::lock_guard lock(state_->mutex);
    return state_->records;
}

std::vector<std::shared_ptr<const RecordedRequest>> Server::Requests(Endpoint endpoint) const
{
    std::lock_guard lock(state_->mutex);
    std::vector<std::shared_ptr<const RecordedRequest>> chosen;
    for (const auto& record : state_->records) {
        if (record->endpoint == endpoint)
            chosen.push_back(record);
    }
    return chosen;
}

bool Server::WaitForRequests(Endpoint endpoint, int count, std::chrono::milliseconds timeout) const
{
    std::unique_lock lock(state_->mutex);
    return state_->changed.wait_for(lock, timeout, [&] { return state_->answered[endpoint] >= count; });
}

double Server::BusyMilliseconds() const
{
    std::lock_guard lock(state_->mutex);
    return state_->busyMilliseconds;
}

int Server::PeakConcurrency(Endpoint endpoint) const
{
    std::lock_guard lock(state_->mutex);
    const auto found = state_->peak.find(endpoint);
    return found != state_->peak.end() ? found->second : 0;
}

void Server::ClearRequests()
{
    std::lock_guard lock(state_->mutex);
    state_->arrivals.clear();
    state_->answered.clear();
    state_->peak.clear();
    state_->textsSeen.clear();
    state_->records.clear();
    state_->busyMilliseconds = 0;
    for (const auto& [endpoint, running] : state_->active)
        state_->peak[endpoint] = running;
}

void Server::SetObserver(std::function<void(const RecordedRequest&)> observer)
{
    std::lock_guard lock(state_->mutex);
    state_->observer = std::move(observer);
}

}  // namespace SpeechDouble
