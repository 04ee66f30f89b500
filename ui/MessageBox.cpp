#include "ui/MessageBox.h"

#include "base/LogFile.h"
#include "base/LogTags.h"
#include "ui/toolkit/Button.h"
#include "ui/toolkit/Label.h"

#include <QWidget>

namespace {

constexpr int kCountdownPeriodMs = 1000;
constexpr int kResultOk = 1;
constexpr int kResultCancel = 2;

}  // namespace

MessageBox::MessageBox(int autoDelete, int countdownSeconds)
    : title(tr("提示").toStdWString()),
      okText(tr("确定").toStdWString()),
      cancelText(tr("取消").toStdWString()),
      autoDelete(autoDelete != 0),
      countdownSeconds(countdownSeconds)
{
    countdown.setInterval(kCountdownPeriodMs);
    QObject::connect(&countdown, &QTimer::timeout, &countdown, [this] { OnCountdownTick(); });
}

std::wstring MessageBox::GetWindowClassName() const
{
    return L"CMessageWnd";
}

void MessageBox::OnFinalMessage()
{
    countdown.stop();
    WindowBase::OnFinalMessage();
    if (autoDelete)
        delete this;
}

MessageBox::~MessageBox() = default;

void MessageBox::InitWindow()
{
    titleLabel = FindControl<Label>(L"TitleTxtLab");
    btnClose = FindControl<Button>(L"btnClose");
    iconLabel = FindControl<Label>(L"MainIconLab");
    textLabel = FindControl<TextLabel>(L"MainTxtLab");
    btnOK = FindControl<Button>(L"btnOK");
    btnCancel = FindControl<Button>(L"btnCancel");

    if (titleLabel != nullptr) {
        titleLabel->SetText(title);
        titleLabel->SetFont(0);
    }
    if (textLabel != nullptr) {
        textLabel->SetText(messageText);
        textLabel->SetFont(1);
    }
    // What a screen reader says as the box comes up.
    if (QWidget* widget = GetWidget(); widget != nullptr) {
        widget->setAccessibleName(QString::fromStdWString(title));
        widget->setAccessibleDescription(QString::fromStdWString(messageText));
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
            WriteLog(Warning, LogTag::kMessageBoxInitWindow, "%s", "no close button; the countdown cannot run");
        else
            countdown.start();
    }
}

void MessageBox::OnClick(Notification& message)
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

std::wstring MessageBox::GetSkinFile() const
{
    return L"MessageWnd.xml";
}

void MessageBox::OnCountdownTick()
{
    if (!IsWindow())
        return;
    --countdownSeconds;
    if (countdownSeconds <= 0) {
        countdown.stop();
        Close(kResultCancel);
    }
}

void MessageBox::SetButtons(const std::wstring& okText, const std::wstring& cancelText, bool showCancel)
{
    this->okText = okText;
    this->cancelText = cancelText;
    this->showCancel = showCancel;
}

void MessageBox::SetMessage(const std::wstring& text)
{
    messageText = text;
}

void MessageBox::ShowBox(WindowBase* parent, MessageBoxCallback callback, uint32_t userData)
{
    this->callback = callback;
    this->userData = userData;
    // Shown only once it stands at its place; WS_VISIBLE would show it at the origin first.
    const uint32_t style = WS_POPUP | WS_CLIPSIBLINGS | WS_CLIPCHILDREN | WS_CAPTION | WS_SYSMENU;
    if (!Create(parent, L"", style, 0, 0, 0, 0, 0)) {
        // The final message follows from the message loop (and deletes an autoDelete box).
        WriteLog(Error, LogTag::kMessageBoxShow, "%s", "the message box cannot be created");
        return;
    }
    Position(parent);
    ShowWindow(true, true);
    BringToTop();
}

void MessageBox::Position(WindowBase* parent)
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
