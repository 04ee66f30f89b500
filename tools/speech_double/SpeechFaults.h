#pragma once

#include <chrono>
#include <cstddef>
#include <functional>
#include <string>

namespace SpeechDouble {

// The two endpoints of the service and the Whisper transcription API's one; Other is anything
// else that reached the double.
enum class Endpoint { Token, Recognition, Transcription, Other };

enum class FaultKind {
    None,           // answer as the real service would
    Refuse,         // reset the connection (TCP RST) without any reply: a failed transfer for the client
    Stall,          // no reply until the client gives up, the double stops, or Options::stallLimit passes
    ServerError,    // HTTP 500 with a JSON body: {"err_no": errNo, "err_msg": ...}
                    //   (token endpoint: {"error": "server_error", ...}; transcription:
                    //   {"error": {"message": ..., "type": "server_error"}})
    HtmlPage,       // HTTP 502 with an HTML error page
    TruncatedBody,  // the reply's JSON text cut in the middle; the HTTP message itself is complete
    CutConnection,  // the headers announce the whole reply, half of it is sent, then the connection closes
    MissingErrNo,   // a well-formed reply without "err_no" (token endpoint: without "access_token";
                    //   transcription: without "text")
    ErrNo,          // HTTP 200 with the service error errNo and its message
                    //   (token endpoint: HTTP 401 with an OAuth "invalid_client" error object;
                    //   transcription: HTTP 400 with `text`, or "error <errNo>.", as the message)
    Text,           // success with `text` as the recognised text (token endpoint: `text` issued as the token;
                    //   transcription: the text and one segment over the whole audio, none for "")
    Raw,            // exactly `status`, `contentType` and `body`
    HttpError,      // HTTP `status` with {"error": {"message": text, "type": ...}} (WhisperErrorType),
                    //   and "Retry-After: <retryAfterSeconds>" when that is 0 or more; any endpoint
    Oversized,      // HTTP 200, application/json: {"text": "xx...x"} with a text of `bytes` bytes; any endpoint
};

// What the double does with one request.
struct Fault {
    FaultKind kind = FaultKind::None;
    int errNo = 3303;                       // ServerError, ErrNo
    std::string text{};                     // Text: the text; ErrNo: the message (empty: the service's own);
                                            // HttpError: the message
    int status = 200;                       // Raw, HttpError
    std::string contentType = "application/json";  // Raw
    std::string body{};                     // Raw
    int retryAfterSeconds = -1;             // HttpError; below 0: no Retry-After header
    size_t bytes = 0;                       // Oversized
    std::chrono::milliseconds latency{0};   // waited before the reply, whatever the kind

    static Fault Normal() { return {}; }
    static Fault Delay(std::chrono::milliseconds latency);
    static Fault Refuse();
    static Fault Stall();
    static Fault ServerError(int errNo = 3303);
    static Fault HtmlPage();
    static Fault TruncatedBody();
    static Fault CutConnection();
    static Fault MissingErrNo();
    static Fault ErrNo(int errNo, std::string message = {});
    static Fault Text(std::string text);
    static Fault Raw(int status, std::string contentType, std::string body);
    static Fault HttpError(int status, std::string message, int retryAfterSeconds = -1);
    static Fault Oversized(size_t bytes);
};

// A fault for the requests that match: all the given conditions hold. Rules are tried in the
// order they were added; the first one that matches and has hits left applies.
struct FaultRule {
    Endpoint endpoint = Endpoint::Recognition;
    int requestNumber = 0;  // only the n-th request (1-based) to that endpoint; 0: any
    std::string text{};     // only requests whose audio reads as this ("tone 440"; transcription: the
                            // tones joined with spaces, "tone 440 tone 550"); empty: any
    int times = 1;          // how many requests the rule hits; -1: no limit
    Fault fault{};
};

// What a fault selector learns about a request before it is answered.
struct RequestInfo {
    Endpoint endpoint = Endpoint::Other;
    int number = 0;          // 1-based, per endpoint
    std::string text{};      // recognition, transcription: what the audio reads as ("tone 440"), empty
                             // when it does not decode
    int textOccurrence = 0;  // how many requests so far (this one included) carried that text
};

// Consulted (on a server thread) for requests no rule matched.
using FaultSelector = std::function<Fault(const RequestInfo&)>;

const char* FaultKindName(FaultKind kind);

}  // namespace SpeechDouble
