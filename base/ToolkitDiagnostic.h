#pragma once

#include <string>

// The UI toolkit's diagnostic hook: each message (a skin file, image or archive that cannot be
// loaded, an unknown element name) arrives as one UTF-8 text and is logged as a warning.
void LogToolkitDiagnostic(const std::string& message);
