#include "ui/MessageWndTaskNotice.h"

#include "engine/CData.h"
#include "ui/CMessageWnd.h"

void MessageWndTaskNotice::ShowTaskFailed(const std::wstring& message)
{
    // The box deletes itself once its window is gone.
    auto* box = new CMessageWnd(1, kCountdownSeconds);
    box->SetButtons(L"确定", L"取消", false);
    box->SetMessage(message);
    box->ShowMessageWnd(CWindowBase::FromHandle(CData::Instance().GetMainWnd().get()), nullptr, 0);
}
