#pragma once

#include "base/platform/WindowHandle.h"
#include "engine/CredentialPair.h"

#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

class CUpdateChecker;
class DecoderPool;

// The application context: the main window, the pool of speech-service credentials and the
// concurrency limit, reached from the UI thread and the recognition workers alike, and the one
// orderly way to end the application.
class CData {
public:
    // The one context of the process, created on the first call (on the UI thread, before any
    // worker exists). It is never destroyed, so a detached worker that asks for a key while
    // the process exits still finds it.
    static CData& Instance();

    // An empty pool. Instance() is what the program uses; separate contexts are for tests.
    CData();
    ~CData();
    CData(const CData&) = delete;
    CData& operator=(const CData&) = delete;

    void SetMainWnd(std::shared_ptr<WindowHandle> wnd);
    std::shared_ptr<WindowHandle> GetMainWnd() const;

    // Replaces the pool. An empty list is logged as a warning, and the built-in pair is used
    // from then on.
    void AddKey(const std::vector<CredentialPair>& keys);

    // The next pair round-robin; the position advances before it is used, so a fresh pool of
    // three gives 1, 2, 0, 1, ... The built-in pair while the pool is empty. Any thread.
    CredentialPair GetKey();

    // The once-per-run update check, created with the context.
    CUpdateChecker& GetUpdateChecker();

    // The most segment workers that may run at once.
    int32_t GetMaxTasks() const;

    // The local recognizer's decoders, one per core at most, shared by every job manager of
    // the process; none is loaded before a local recognition needs it.
    DecoderPool& GetDecoderPool();

    // Ends the application: logs "app exit", disarms the crash handler (a crash during shutdown
    // leaves no report), moves the temporary folder away and asks the main window to close.
    void PostAppExit();

private:
    mutable std::mutex wndLock;
    std::shared_ptr<WindowHandle> mainWnd;
    std::unique_ptr<CUpdateChecker> updateChecker;
    std::unique_ptr<DecoderPool> decoderPool;

    std::vector<CredentialPair> keyPool;
    int32_t keyIndex = 0;
    std::mutex keyLock;
};
