#pragma once

#include <chrono>
#include <functional>
#include <string>

namespace SpeechDouble {

// The two endpoints of the service; Other is anything else that reached the double.
enum class Endpoint { Token, Recognition, Other };

enum class FaultKind {
    None,           // answer as the real service would
    Refuse,         // reset the connection (TCP RST) without any reply: a failed transfer for the client
    Stall,          // no reply until the client gives up, the double stops, or Options::stallLimit passes
    ServerError,    // HTTP 500 with a JSON body: {"err_no": errNo, "err_msg": ...}
                    //   (token endpoint: {"error": "server_error", ...})
    HtmlPage,       // HTTP 502 with an HTML error page
    TruncatedBody,  // the reply's JSON text cut in the middle; the HTTP message itself is complete
    CutConnection,  // the headers announce the whole reply, half of it is sent, then the connection closes
    MissingErrNo,   // a well-formed reply without "err_no" (token endpoint: without "access_token")
    ErrNo,          // HTTP 200 with the service error errNo and its message
                    //   (token endpoint: HTTP 401 with an OAuth "invalid_client" error object)
    Text,           // success with `text` as the recognised text (token endpoint: `text` issued as the token)
    Raw,            // exactly `status`, `contentType` and `body`
};

// What the double does with one request.
struct Fault {
    FaultKind kind = FaultKind::None;
    int errNo = 3303;                       // ServerError, ErrNo
    std::string text{};                     // Text: the text; ErrNo: the message (empty: the service's own)
    int status = 200;                       // Raw
    std::string contentType = "application/json";  // Raw
    std::string body{};                     // Raw
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
};

// A fault for the requests that match: all the given conditions hold. Rules are tried in the
// order they were added; the first one that matches and has hits left applies.
struct FaultRule {
    Endpoint endpoint = Endpoint::Recognition;
    int requestNumber = 0;  // only the n-th request (1-based) to that endpoint; 0: any
    std::string text{};     // only recognition requests whose audio reads as this ("tone 440"); empty: any
    int times = 1;          // how many requests the rule hits; -1: no limit
    Fault fault{};
};

// What a fault selector learns about a request before it is answered.
struct RequestInfo {
    Endpoint endpoint = Endpoint::Other;
    int number = 0;          // 1-based, per endpoint
    std::string text{};      // recognition: what the audio reads as ("tone 440"), empty when it does not decode
    int textOccurrence = 0;  // recognition: how many requests so far (this one included) carried that text
};

// Consulted (on a server thread) for requests no rule matched.
using FaultSelector = std::function<Fault(const RequestInfo&)>;

const char* FaultKindName(FaultKind kind);

}  // namespace SpeechDouble
