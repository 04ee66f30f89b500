#include "ui/CMessageWnd.h"

#include "base/LogFile.h"
#include "ui/toolkit/CButtonUI.h"
#include "ui/toolkit/CLabelUI.h"

namespace {

constexpr int kCountdownPeriodMs = 1000;
constexpr int kResultOk = 1;
constexpr int kResultCancel = 2;

}  // namespace

CMessageWnd::CMessageWnd(int autoDelete, int countdownSeconds)
    : autoDelete(autoDelete != 0), countdownSeconds(countdownSeconds)
{
    countdown.setInterval(kCountdownPeriodMs);
    QObject::connect(&countdown, &QTimer::timeout, &countdown, [this] { OnCountdownTick(); });
}

std::wstring CMessageWnd::GetWindowClassName() const
{
    return L"CMessageWnd";
}

void CMessageWnd::OnFinalMessage()
{
    countdown.stop();
    CWindowBase::OnFinalMessage();
    if (autoDelete)
        delete this;
}

CMessageWnd::~CMessageWnd() = default;

void CMessageWnd::InitWindow()
{
    titleLabel = FindControl<CLabelUI>(L"TitleTxtLab");
    btnClose = FindControl<CButtonUI>(L"btnClose");
    iconLabel = FindControl<CLabelUI>(L"MainIconLab");
    textLabel = FindControl<CTextUI>(L"MainTxtLab");
    btnOK = FindControl<CButtonUI>(L"btnOK");
    btnCancel = FindControl<CButtonUI>(L"btnCancel");

    if (titleLabel != nullptr) {
        titleLabel->SetText(title);
        titleLabel->SetFont(0);
    }
    if (textLabel != nullptr) {
        textLabel->SetText(messageText);
        textLabel->SetFont(1);
    }
    if (btnOK != nullptr)
        btnOK->SetText(okText);
    if (btnCancel != nullptr) {
        btnCancel->SetText(cancelText);
        btnCancel->SetVisible(showCancel);
    }
    if (countdownSeconds >= 1) {
        // A box without its close button stays until it is clicked.
        if (btnClose == nullptr)
            WriteLog(Warning, "CMessageWnd::InitWindow", "%s", "no close button; the countdown cannot run");
        else
            countdown.start();
    }
}

void CMessageWnd::OnClick(TNotifyUI& message)
{
    if (message.sender == nullptr)
        return;
    if (message.sender == btnOK || message.sender == btnClose || message.sender == btnCancel)
        countdown.stop();
    if (message.sender == btnOK) {
        if (callback != nullptr)
            callback(kResultOk, userData);
        Close(kResultOk);
    } else if (message.sender == btnClose || message.sender == btnCancel) {
        if (callback != nullptr)
            callback(kResultCancel, userData);
        Close(kResultCancel);
    }
}

std::wstring CMessageWnd::GetSkinFile() const
{
    return L"MessageWnd.xml";
}

void CMessageWnd::OnCountdownTick()
{
    if (!IsWindow())
        return;
    --countdownSeconds;
    if (countdownSeconds <= 0) {
        countdown.stop();
        Close(kResultCancel);
    }
}

void CMessageWnd::SetButtons(const std::wstring& okText, const std::wstring& cancelText, bool showCancel)
{
    this->okText = okText;
    this->cancelText = cancelText;
    this->showCancel = showCancel;
}

void CMessageWnd::SetMessage(const std::wstring& text)
{
    messageText = text;
}

void CMessageWnd::ShowMessageWnd(CWindowBase* parent, MessageWndCallback callback, uint32_t userData)
{
    this->callback = callback;
    this->userData = userData;
    // Shown only once it stands at its place; WS_VISIBLE would show it at the origin first.
    const uint32_t style = WS_POPUP | WS_CLIPSIBLINGS | WS_CLIPCHILDREN | WS_CAPTION | WS_SYSMENU;
    if (!Create(parent, L"", style, 0, 0, 0, 0, 0)) {
        // The final message follows from the message loop (and deletes an autoDelete box).
        WriteLog(Error, "CMessageWnd::ShowMessageWnd", "%s", "the message box cannot be created");
        return;
    }
    Position(parent);
    ShowWindow(true, true);
    BringToTop();
}

void CMessageWnd::Position(CWindowBase* parent)
{
    const UiRect self = GetWindowRect();
    const int width = self.Width();
    const int height = self.Height();
    const bool useParent = parent != nullptr && parent->IsWindow() && !parent->IsMinimized();
    const UiRect parentRect = parent != nullptr && parent->IsWindow() ? parent->GetWindowRect() : self;
    const UiRect work = GetWorkArea(parentRect);
    const UiRect around = useParent ? parentRect : work;

    int x = (around.left + around.right) / 2 - width / 2;
    int y = (around.top + around.bottom) / 2 - height / 2;
    if (x < work.left)
        x = work.left;
    else if (x + width > work.right)
        x = work.right - width;
    if (y < work.top)
        y = work.top;
    else if (y + height > work.bottom)
        y = work.bottom - height;
    SetWindowPos(x, y);
}
