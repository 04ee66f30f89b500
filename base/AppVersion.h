#pragma once

// The version the program reports in its log, its About dialog and to the update server.
inline constexpr wchar_t kAppVersion[] = L"v1.0.8";
