#include "engine/CData.h"

#include "base/AppPaths.h"
#include "base/CMiniDumpHandler.h"
#include "base/LogFile.h"
#include "base/platform/WindowMessages.h"
#include "engine/DecoderPool.h"
#include "maintenance/CUpdateChecker.h"

#include <thread>
#include <utility>

CData& CData::Instance()
{
    static CData* const instance = new CData();
    return *instance;
}

CData::CData()
    : updateChecker(std::make_unique<CUpdateChecker>()),
      decoderPool(std::make_unique<DecoderPool>(std::thread::hardware_concurrency()))
{
}

CData::~CData() = default;

CUpdateChecker& CData::GetUpdateChecker()
{
    return *updateChecker;
}

void CData::SetMainWnd(std::shared_ptr<WindowHandle> wnd)
{
    std::lock_guard<std::mutex> guard(wndLock);
    mainWnd = std::move(wnd);
}

std::shared_ptr<WindowHandle> CData::GetMainWnd() const
{
    std::lock_guard<std::mutex> guard(wndLock);
    return mainWnd;
}

void CData::AddKey(const std::vector<CredentialPair>& keys)
{
    if (keys.empty())
        WriteLog(Warning, "CData::AddKey", "get ServerKey size is null");
    std::lock_guard<std::mutex> guard(keyLock);
    keyPool = keys;
}

CredentialPair CData::GetKey()
{
    std::lock_guard<std::mutex> guard(keyLock);
    if (keyPool.empty())
        return BuiltInCredential();
    // The index is kept across pool replacements; one past the new end starts again at 0.
    ++keyIndex;
    if (keyIndex < 0 || static_cast<size_t>(keyIndex) >= keyPool.size())
        keyIndex = 0;
    return keyPool[static_cast<size_t>(keyIndex)];
}

DecoderPool& CData::GetDecoderPool()
{
    return *decoderPool;
}

int32_t CData::GetMaxTasks() const
{
    return 10;
}

void CData::PostAppExit()
{
    WriteLog(Info, "CData::PostAppExit", "app exit");
    CMiniDumpHandler::Disarm();
    PubUtils::ClearTempDir();
    const std::shared_ptr<WindowHandle> wnd = GetMainWnd();
    if (wnd == nullptr || !wnd->PostMessage(WM_SYSCOMMAND, SC_CLOSE, 0))
        WriteLog(Warning, "CData::PostAppExit", "%s", "no main window took the close command");
}
