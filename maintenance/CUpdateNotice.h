#pragma once

#include <string>

// Payload of WM_USER_UPDATE. The check thread allocates it; the window that receives the
// message owns it and deletes it.
struct CUpdateNotice {
    std::wstring Text;  // an error text
    std::string Value;  // a folder path or a version
};

// Report kinds, the wParam of WM_USER_UPDATE.
enum UpdateReportKind {
    kUpdateScanningFolder = 0,
    kUpdateVersionKnown = 1,
    kUpdateCheckFailed = 2,
    kUpdateNotNeeded = 3,
    kUpdateNeeded = 4,
};
