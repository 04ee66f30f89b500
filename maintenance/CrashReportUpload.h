#pragma once

#include "base/net/BackgroundTransfer.h"

#include <string>

// One upload of a crash-report archive to the log server, run on the crash-report upload's thread.
class CrashReportUpload {
public:
    // `limits` are the background transfers' own; tests shorten them.
    CrashReportUpload(std::string zipPath, std::string uploadUrl, BackgroundTransfer::Limits limits = {});

    // Posts the archive as multipart form data: "reqformat" = "plain", then "file" = the archive.
    // True when the server took it (an HTTP 2xx answer); only then may its reports go.
    bool DoWork();

private:
    std::string zipPath_;
    std::string uploadUrl_;
    BackgroundTransfer::Limits limits_;
    std::string userAgent_;  // the text of curl_version()
};
