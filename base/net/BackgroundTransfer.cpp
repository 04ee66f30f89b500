#include "base/net/BackgroundTransfer.h"

#include "base/LiveThreads.h"

#include <cstdio>

BackgroundTransfer::BackgroundTransfer(CURL* curl, Limits limits) : curl_(curl), limits_(limits)
{
    curl_easy_setopt(curl_, CURLOPT_ERRORBUFFER, errorText_);
    // libcurl's own low-speed limit cannot tell a stalled upload from a server that is busy with
    // what it received; the progress callback can.
    curl_easy_setopt(curl_, CURLOPT_NOPROGRESS, 0L);
    curl_easy_setopt(curl_, CURLOPT_XFERINFOFUNCTION, &BackgroundTransfer::OnProgress);
    curl_easy_setopt(curl_, CURLOPT_XFERINFODATA, this);
}

CURLcode BackgroundTransfer::Perform()
{
    errorText_[0] = '\0';
    overdue_ = std::chrono::milliseconds::zero();
    lastDown_ = 0;
    lastUp_ = 0;
    lastMove_ = std::chrono::steady_clock::now();
    const CURLcode result = curl_easy_perform(curl_);
    if (result != CURLE_ABORTED_BY_CALLBACK || overdue_.count() == 0)
        return result;
    // In place of libcurl's "Callback aborted".
    std::snprintf(errorText_, sizeof errorText_,
                  overdueAwaitingReply_ ? "no reply within %lld seconds after the request was sent"
                                        : "no data moved for %lld seconds",
                  static_cast<long long>(std::chrono::duration_cast<std::chrono::seconds>(overdue_).count()));
    return CURLE_OPERATION_TIMEDOUT;
}

int BackgroundTransfer::OnProgress(void* self, curl_off_t, curl_off_t downNow, curl_off_t upTotal, curl_off_t upNow)
{
    if (LiveThreads::Ending())
        return 1;
    return static_cast<BackgroundTransfer*>(self)->Overdue(downNow, upTotal, upNow) ? 1 : 0;
}

bool BackgroundTransfer::Overdue(curl_off_t downNow, curl_off_t upTotal, curl_off_t upNow)
{
    const auto now = std::chrono::steady_clock::now();
    // The reply's header lines count as bytes moved too: libcurl counts only the body in
    // downNow, and the status line of a slow answer arrives long after the last byte sent.
    long headerBytes = 0;
    curl_easy_getinfo(curl_, CURLINFO_HEADER_SIZE, &headerBytes);
    const curl_off_t received = downNow + headerBytes;
    if (received != lastDown_ || upNow != lastUp_) {
        lastDown_ = received;
        lastUp_ = upNow;
        lastMove_ = now;
        return false;
    }
    // A reply has begun with its first byte of body or its final status line (an interim
    // "100 Continue" is not the reply).
    long status = 0;
    curl_easy_getinfo(curl_, CURLINFO_RESPONSE_CODE, &status);
    const bool replyBegun = downNow > 0 || status >= 200;
    const bool requestSent = upNow >= upTotal;
    const bool awaitingReply = requestSent && !replyBegun;
    const std::chrono::milliseconds limit = awaitingReply ? limits_.replyWait : limits_.stall;
    if (now - lastMove_ < limit)
        return false;
    overdue_ = limit;
    overdueAwaitingReply_ = awaitingReply;
    return true;
}
