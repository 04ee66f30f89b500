// The speech service double as a program of its own, for trying the whole application by hand
// and for benchmarks. It prints the base URL and the environment lines that point the program
// at it (and TALVORA_WHISPER_URL, its Whisper transcription endpoint), logs one line per
// request on standard error, and runs until SIGINT or SIGTERM.
#include "speech_double/SpeechDouble.h"

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

void Usage(const char* program)
{
    std::fprintf(stderr,
                 "usage: %s [options]\n"
                 "  --http                    plain HTTP instead of HTTPS\n"
                 "  --host ADDRESS            listen address (default 127.0.0.1)\n"
                 "  --port N                  port (default: a free one)\n"
                 "  --folder DIR              where the certificate files go (default: a temporary folder)\n"
                 "  --credential KEY:SECRET   accept this credential pair as well (repeatable)\n"
                 "  --token-lifetime SECONDS  \"expires_in\" of issued tokens (default 2592000)\n"
                 "  --whisper-key KEY         the transcription endpoint wants \"Authorization: Bearer KEY\"\n"
                 "                            (default: any or none will do)\n"
                 "  --latency MS              wait this long before every reply\n"
                 "  --fault ENDPOINT:N:KIND[:ARG]\n"
                 "                            ENDPOINT token, recognition or transcription; N the request number\n"
                 "                            (0: every request); KIND refuse, stall, server-error, html,\n"
                 "                            truncated, cut, no-err-no, err-no (ARG the number), text (ARG the\n"
                 "                            text), http (ARG STATUS[:RETRY_AFTER_SECONDS]), oversized (ARG the\n"
                 "                            length of the reply's text in bytes)\n"
                 "  --quiet                   no line per request\n",
                 program);
}

// Digits only, at most nine of them.
bool ParseCount(const std::string& text, long& value)
{
    if (text.empty() || text.size() > 9 || text.find_first_not_of("0123456789") != std::string::npos)
        return false;
    value = std::atol(text.c_str());
    return true;
}

// "STATUS[:RETRY_AFTER_SECONDS]", with a message of the kind the API gives for that status.
bool ParseHttpError(const std::string& argument, SpeechDouble::Fault& fault)
{
    const size_t colon = argument.find(':');
    long status = 0;
    long retryAfter = -1;
    if (!ParseCount(argument.substr(0, colon), status) || status < 100 || status > 599)
        return false;
    if (colon != std::string::npos && !ParseCount(argument.substr(colon + 1), retryAfter))
        return false;
    std::string message = "The request failed with HTTP status " + std::to_string(status) + ".";
    if (status == 429)
        message = "Rate limit reached for requests.";
    else if (status >= 500)
        message = "The server had an error while processing your request.";
    fault = SpeechDouble::Fault::HttpError(static_cast<int>(status), message, static_cast<int>(retryAfter));
    return true;
}

bool ParseFault(const std::string& given, SpeechDouble::FaultRule& rule)
{
    using SpeechDouble::Fault;
    const size_t first = given.find(':');
    const size_t second = first == std::string::npos ? first : given.find(':', first + 1);
    if (second == std::string::npos)
        return false;
    const std::string endpoint = given.substr(0, first);
    const std::string number = given.substr(first + 1, second - first - 1);
    std::string kind = given.substr(second + 1);
    std::string argument;
    if (const size_t colon = kind.find(':'); colon != std::string::npos) {
        argument = kind.substr(colon + 1);
        kind.resize(colon);
    }
    if (endpoint == "token")
        rule.endpoint = SpeechDouble::Endpoint::Token;
    else if (endpoint == "recognition")
        rule.endpoint = SpeechDouble::Endpoint::Recognition;
    else if (endpoint == "transcription")
        rule.endpoint = SpeechDouble::Endpoint::Transcription;
    else
        return false;
    char* end = nullptr;
    rule.requestNumber = static_cast<int>(std::strtol(number.c_str(), &end, 10));
    if (number.empty() || *end != '\0' || rule.requestNumber < 0)
        return false;
    rule.times = rule.requestNumber == 0 ? -1 : 1;
    const int code = std::atoi(argument.c_str());
    long count = 0;
    if (kind == "refuse")
        rule.fault = Fault::Refuse();
    else if (kind == "stall")
        rule.fault = Fault::Stall();
    else if (kind == "server-error")
        rule.fault = Fault::ServerError(argument.empty() ? 3303 : code);
    else if (kind == "html")
        rule.fault = Fault::HtmlPage();
    else if (kind == "truncated")
        rule.fault = Fault::TruncatedBody();
    else if (kind == "cut")
        rule.fault = Fault::CutConnection();
    else if (kind == "no-err-no")
        rule.fault = Fault::MissingErrNo();
    else if (kind == "err-no" && !argument.empty())
        rule.fault = Fault::ErrNo(code);
    else if (kind == "text")
        rule.fault = Fault::Text(argument);
    else if (kind == "http")
        return ParseHttpError(argument, rule.fault);
    else if (kind == "oversized" && ParseCount(argument, count))
        rule.fault = Fault::Oversized(static_cast<size_t>(count));
    else
        return false;
    return true;
}

const char* EndpointName(SpeechDouble::Endpoint endpoint)
{
    switch (endpoint) {
    case SpeechDouble::Endpoint::Token: return "token";
    case SpeechDouble::Endpoint::Recognition: return "recognition";
    case SpeechDouble::Endpoint::Transcription: return "transcription";
    case SpeechDouble::Endpoint::Other: break;
    }
    return "other";
}

}  // namespace

int main(int argc, char** argv)
{
    SpeechDouble::Options options;
    std::vector<SpeechDouble::FaultRule> faults;
    long latency = 0;
    bool quiet = false;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const bool hasValue = i + 1 < argc;
        if (arg == "--http") {
            options.https = false;
        } else if (arg == "--quiet") {
            quiet = true;
        } else if (arg == "--host" && hasValue) {
            options.host = argv[++i];
            options.certificateNames = {options.host, "localhost"};
        } else if (arg == "--port" && hasValue) {
            options.port = std::atoi(argv[++i]);
        } else if (arg == "--folder" && hasValue) {
            options.folder = argv[++i];
        } else if (arg == "--credential" && hasValue) {
            const std::string pair = argv[++i];
            const size_t colon = pair.find(':');
            if (colon == std::string::npos) {
                Usage(argv[0]);
                return 2;
            }
            options.credentials.emplace_back(pair.substr(0, colon), pair.substr(colon + 1));
        } else if (arg == "--token-lifetime" && hasValue) {
            options.tokenLifetimeSeconds = std::atoll(argv[++i]);
        } else if (arg == "--whisper-key" && hasValue) {
            options.whisperApiKey = argv[++i];
        } else if (arg == "--latency" && hasValue) {
            latency = std::atol(argv[++i]);
        } else if (arg == "--fault" && hasValue) {
            SpeechDouble::FaultRule rule;
            if (!ParseFault(argv[++i], rule)) {
                std::fprintf(stderr, "bad fault: %s\n", argv[i]);
                Usage(argv[0]);
                return 2;
            }
            faults.push_back(rule);
        } else {
            Usage(argv[0]);
            return arg == "--help" || arg == "-h" ? 0 : 2;
        }
    }

    // Every thread the double starts inherits this mask, so the signals reach sigwait below.
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGINT);
    sigaddset(&signals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &signals, nullptr);

    std::string error;
    auto server = SpeechDouble::Server::Start(options, &error);
    if (!server) {
        std::fprintf(stderr, "speech double: %s\n", error.c_str());
        return 1;
    }
    for (const auto& rule : faults)
        server->AddFault(rule);
    server->SetLatency(std::chrono::milliseconds(latency));
    if (!quiet) {
        server->SetObserver([](const SpeechDouble::RecordedRequest& request) {
            std::fprintf(stderr, "%s #%d: HTTP %d, err_no %d, %s%s%s(%zu bytes, %.1f ms)\n",
                         EndpointName(request.endpoint), request.number, request.status, request.errNo,
                         request.text.empty() ? "" : request.text.c_str(), request.text.empty() ? "" : ", ",
                         request.fault == SpeechDouble::FaultKind::None
                             ? ""
                             : (std::string("fault ") + SpeechDouble::FaultKindName(request.fault) + ", ").c_str(),
                         request.bodyBytes, request.busyMilliseconds);
        });
    }

    std::printf("speech double listening on %s\n", server->BaseUrl().c_str());
    for (const auto& [name, value] : server->Environment())
        std::printf("export %s=%s\n", name.c_str(), value.c_str());
    std::printf("export TALVORA_WHISPER_URL=%s\n", server->TranscriptionUrl().c_str());
    std::printf("accepted credential: %s %s\n", SpeechDouble::kTestApiKey, SpeechDouble::kTestSecretKey);
    std::fflush(stdout);

    int received = 0;
    sigwait(&signals, &received);
    std::fprintf(stderr, "speech double: stopping on signal %d\n", received);
    server->Stop();
    return 0;
}
