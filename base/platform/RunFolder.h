#pragma once

#include <string>

// Folders of one run of the program each, side by side in one parent: the window, a transcriber
// and a second window of another desktop session may all run on one data folder, and each may
// only ever move or delete what is its own. A run marks its folder as alive with a lock held for
// as long as it keeps the folder; the system drops the lock when the run ends, however it ends.
namespace Platform {

class RunFolder {
public:
    RunFolder() = default;
    ~RunFolder();
    RunFolder(const RunFolder&) = delete;
    RunFolder& operator=(const RunFolder&) = delete;

    // Makes a new folder of this run's own (mode 0700) inside `parent`, which is made (0700) when
    // missing, and locks it. False (with nothing held) when that cannot be done.
    bool Make(const std::string& parent);
    // The folder, empty when none is held.
    const std::string& Path() const { return path_; }
    // Lets go of the folder (it stays where it is, no longer marked alive).
    void Release();
    // Lets go of the folder after it was moved to `movedTo`, where its mark is no longer needed.
    void ReleaseMoved(const std::string& movedTo);

    // Deletes the folders inside `parent` whose runs have ended, except `keep`. A folder without
    // a lock (left by an older version) counts as ended.
    static void SweepEnded(const std::string& parent, const std::string& keep);

private:
    std::string path_;
    int lockFd_ = -1;
};

}  // namespace Platform
