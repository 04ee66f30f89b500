#pragma once

#include "base/platform/WindowHandle.h"

#include <string>
#include <utility>

// Payload of WM_USER_UPDATE, posted with PostOwned: the message owns it.
struct CUpdateNotice : WindowPayload {
    CUpdateNotice(std::wstring text, std::string value) : Text(std::move(text)), Value(std::move(value)) {}

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
