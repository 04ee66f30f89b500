#pragma once

#include "engine/TaskNotice.h"

// Shows the job manager's "task failed" notice in the program's own message box over the main
// window; it closes itself after five seconds.
class MessageWndTaskNotice : public TaskNotice {
public:
    void ShowTaskFailed(const std::wstring& message) override;

    static constexpr int kCountdownSeconds = 5;
};
