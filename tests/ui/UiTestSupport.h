#pragma once

#include "ui/toolkit/WindowBase.h"

class FileList;

#include <QPoint>

#include <chrono>
#include <functional>
#include <map>
#include <string>
#include <vector>

// Helpers of the widget tests. The test process runs a QApplication on the offscreen platform
// (set up once per process) with the embedded skin and a diagnostic hook that records.
namespace UiTest {

// The diagnostic hook the test process installs.
void RecordDiagnostic(const std::string& message);
// Every diagnostic of the toolkit since the last ClearDiagnostics, as it reached the hook.
const std::vector<std::string>& Diagnostics();
void ClearDiagnostics();
// Whether some diagnostic contains `part`.
bool HasDiagnostic(const std::string& part);

// Runs the event loop until `condition` holds or `timeout` passes; returns whether it held.
bool WaitFor(const std::function<bool()>& condition, std::chrono::milliseconds timeout = std::chrono::seconds(10));
// Handles what is queued now, deferred deletions included.
void ProcessEvents();
// Runs the event loop until every row of the list shows its duration (they are probed off the
// window's thread).
bool DurationsProbed(const FileList& files);

// A zip archive (deflated entries) with these files, built in memory.
std::string MakeZip(const std::map<std::string, std::string>& files);
// Installs a skin archive for one test; the embedded skin comes back when it goes.
class ScopedSkin {
public:
    explicit ScopedSkin(const std::map<std::string, std::string>& files);
    ~ScopedSkin();
    ScopedSkin(const ScopedSkin&) = delete;
    ScopedSkin& operator=(const ScopedSkin&) = delete;
    bool Installed() const { return installed_; }

private:
    std::string bytes_;
    bool installed_ = false;
};
// A small valid PNG image of the given size and colour (ARGB).
std::string MakePng(int width, int height, uint32_t argb);

// A window for tests: its layout file and control factory are chosen by the test, and it keeps
// what it was told.
class TestWindow : public WindowBase {
public:
    explicit TestWindow(std::wstring skinFile = L"test.xml") : skinFile_(std::move(skinFile)) {}

    std::wstring GetWindowClassName() const override { return L"TestWindow"; }
    std::wstring GetSkinFile() const override { return skinFile_; }
    void InitWindow() override;
    void Notify(Notification& message) override;
    void OnClick(Notification& message) override;
    Control* CreateControl(const std::wstring& className) override;
    bool OnKeyPress(const QKeyEvent& event) override;
    void OnDesktopClose() override;
    void OnFinalMessage() override;

    struct Key {
        int key;
        Qt::KeyboardModifiers modifiers;
        bool operator==(const Key&) const = default;
    };
    struct Note {
        std::wstring type;
        Control* sender;
        int row;
        int previousRow;
        int column;
        QPoint point;
    };

    std::vector<Key> keys;
    int desktopCloses = 0;
    std::vector<Note> notes;
    std::vector<Control*> clicks;
    std::vector<std::wstring> factoryAsked;
    int initCount = 0;
    int finalCount = 0;
    std::function<Control*(const std::wstring&)> factory;
    std::function<void(TestWindow&)> onInit;
    std::function<void(Notification&)> onNotify;
    // Whether the window takes a key (none by default).
    std::function<bool(const QKeyEvent&)> takeKey;
    // Whether the desktop's close closes the window (it does by default).
    bool closesOnDesktopClose = true;

    std::vector<Note> NotesOfType(const std::wstring& type) const;

private:
    std::wstring skinFile_;
};

// Creates `window` with the default arguments of a top-level window and shows it.
bool CreateShown(WindowBase& window, WindowBase* parent = nullptr, int x = 0, int y = 0);

}  // namespace UiTest
