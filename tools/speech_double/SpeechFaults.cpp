#include "speech_double/SpeechFaults.h"

namespace SpeechDouble {

namespace {

Fault OfKind(FaultKind kind)
{
    Fault fault;
    fault.kind = kind;
    return fault;
}

}  // namespace

Fault Fault::Delay(std::chrono::milliseconds latency)
{
    Fault fault;
    fault.latency = latency;
    return fault;
}

Fault Fault::Refuse() { return OfKind(FaultKind::Refuse); }
Fault Fault::Stall() { return OfKind(FaultKind::Stall); }
Fault Fault::HtmlPage() { return OfKind(FaultKind::HtmlPage); }
Fault Fault::TruncatedBody() { return OfKind(FaultKind::TruncatedBody); }
Fault Fault::CutConnection() { return OfKind(FaultKind::CutConnection); }
Fault Fault::MissingErrNo() { return OfKind(FaultKind::MissingErrNo); }

Fault Fault::ServerError(int errNo)
{
    Fault fault = OfKind(FaultKind::ServerError);
    fault.errNo = errNo;
    return fault;
}

Fault Fault::ErrNo(int errNo, std::string message)
{
    Fault fault = OfKind(FaultKind::ErrNo);
    fault.errNo = errNo;
    fault.text = std::move(message);
    return fault;
}

Fault Fault::Text(std::string text)
{
    Fault fault = OfKind(FaultKind::Text);
    fault.text = std::move(text);
    return fault;
}

Fault Fault::Raw(int status, std::string contentType, std::string body)
{
    Fault fault = OfKind(FaultKind::Raw);
    fault.status = status;
    fault.contentType = std::move(contentType);
    fault.body = std::move(body);
    return fault;
}

Fault Fault::HttpError(int status, std::string message, int retryAfterSeconds)
{
    Fault fault = OfKind(FaultKind::HttpError);
    fault.status = status;
    fault.text = std::move(message);
    fault.retryAfterSeconds = retryAfterSeconds;
    return fault;
}

Fault Fault::Oversized(size_t bytes)
{
    Fault fault = OfKind(FaultKind::Oversized);
    fault.bytes = bytes;
    return fault;
}

const char* FaultKindName(FaultKind kind)
{
    switch (kind) {
    case FaultKind::None: return "none";
    case FaultKind::Refuse: return "refuse";
    case FaultKind::Stall: return "stall";
    case FaultKind::ServerError: return "server-error";
    case FaultKind::HtmlPage: return "html";
    case FaultKind::TruncatedBody: return "truncated";
    case FaultKind::CutConnection: return "cut";
    case FaultKind::MissingErrNo: return "no-err-no";
    case FaultKind::ErrNo: return "err-no";
    case FaultKind::Text: return "text";
    case FaultKind::Raw: return "raw";
    case FaultKind::HttpError: return "http";
    case FaultKind::Oversized: return "oversized";
    }
    return "?";
}

}  // namespace SpeechDouble
