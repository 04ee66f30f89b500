#pragma once

#include <string>

// A notification on the desktop (org.freedesktop.Notifications on the session bus), for news
// the user should see while the window is in the background. Sent without waiting for an
// answer; without a session bus or a notification service nothing is shown and nothing fails.
// UI thread.
namespace DesktopNotice {

// False when there is no session bus to send it on.
bool Show(const std::wstring& summary, const std::wstring& body);

}  // namespace DesktopNotice
