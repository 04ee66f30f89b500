#pragma once

#include <string>

// Report kinds of the update check, in the order its steps give them.
enum UpdateReportKind {
    kUpdateScanningFolder = 0,
    kUpdateVersionKnown = 1,
    kUpdateCheckFailed = 2,
    kUpdateNotNeeded = 3,
    kUpdateNeeded = 4,
};

// One report of the update check.
struct UpdateReport {
    UpdateReportKind kind = kUpdateScanningFolder;
    std::string text;   // an error text, UTF-8
    std::string value;  // a folder path or a version
};
