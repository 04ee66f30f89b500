#pragma once

#include <string>

// How the engine tells the user that a file could not be started. The user interface shows it
// in the program's own message box; without one set, the engine logs it.
class TaskNotice {
public:
    virtual ~TaskNotice() = default;
    // Called on the UI thread; must not block.
    virtual void ShowTaskFailed(const std::wstring& message) = 0;
};
