#pragma once

// Set-up shared by the targets that read what the windows read: the layouts and the skin archive.
#include "tests/fuzz/FuzzSupport.h"
#include "ui/toolkit/UiToolkit.h"

#include <QApplication>

#include <cstdlib>

namespace Fuzz {

// An offscreen application for the toolkit, whose diagnostics (expected for broken input) are
// not printed. The application is never destroyed: the process ends with the fuzzer.
inline void SetUpOffscreenUi(int* argc, char*** argv)
{
    SetUp();
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    new QApplication(*argc, *argv);
    UiToolkit::EnsureInitialized();
    UiToolkit::SetDiagnosticHook([](const std::string&) {});
}

}  // namespace Fuzz
