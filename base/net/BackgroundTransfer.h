#pragma once

#include <curl/curl.h>

#include <chrono>

// The time limits of a request of the maintenance threads (the log upload, the update check),
// set by HttpRequest on its easy handle: an end for a transfer whose server stopped answering,
// which would otherwise hold its thread for the rest of the run.
//
// The rule: while the request goes out, and while the reply comes in, the transfer ends after
// `stall` without a byte moving either way. Between the two, once the request has gone out in
// full and no reply has begun, the server may take up to `replyWait` (it may be storing or
// checking what it received), so a delivered upload is not called failed for a slow answer.
struct BackgroundTransferLimits {
    std::chrono::milliseconds stall = std::chrono::seconds(60);
    std::chrono::milliseconds replyWait = std::chrono::seconds(600);
};

class BackgroundTransfer {
public:
    using Limits = BackgroundTransferLimits;

    // Sets the options on `curl`, which must outlive this object; the caller sets the rest.
    explicit BackgroundTransfer(CURL* curl, Limits limits = {});
    BackgroundTransfer(const BackgroundTransfer&) = delete;
    BackgroundTransfer& operator=(const BackgroundTransfer&) = delete;

    // curl_easy_perform. A transfer ended by the rule above gives CURLE_OPERATION_TIMEDOUT, like
    // libcurl's own time-outs.
    CURLcode Perform();
    // libcurl's text for the last failure, or the rule's; empty after a success.
    const char* ErrorText() const { return errorText_; }

private:
    static int OnProgress(void* self, curl_off_t downTotal, curl_off_t downNow, curl_off_t upTotal, curl_off_t upNow);
    bool Overdue(curl_off_t downNow, curl_off_t upTotal, curl_off_t upNow);

    CURL* curl_;
    Limits limits_;
    std::chrono::steady_clock::time_point lastMove_;
    curl_off_t lastDown_ = 0;  // reply bytes, header lines included
    curl_off_t lastUp_ = 0;
    std::chrono::milliseconds overdue_{0};  // the limit that ended the transfer, if one did
    bool overdueAwaitingReply_ = false;
    char errorText_[CURL_ERROR_SIZE] = {};
};
