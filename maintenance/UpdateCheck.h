#pragma once

#include "maintenance/UpdateFileInfo.h"
#include "maintenance/UpdateReport.h"

#include <json/value.h>

#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>



// The once-per-run update check. A background thread asks the update server for the newest
// version, compares it with the installed version from the local manifest "ver", and when the
// server's is newer compares the server's file manifest with the installed files (SHA-1). It
// reports each step through the report function (kinds in UpdateReport.h), on its own thread.
//
// Version strings are opaque and compared byte by byte ("1.0.9.json" sorts after "1.0.10").
// The queries may be called from any thread at any time and see either the old or the new value
// of each version string.
class UpdateCheck {
public:
    UpdateCheck();
    ~UpdateCheck();

    UpdateCheck(const UpdateCheck&) = delete;
    UpdateCheck& operator=(const UpdateCheck&) = delete;

    // Where the steps are reported; called on the check's thread, so it hands them on.
    using Report = std::function<void(UpdateReport)>;
    void SetReport(Report report);

    // Starts the check thread; nobody waits for it. The thread keeps what it works on alive by
    // itself, so the checker may be destroyed while it runs. False, with nothing started or
    // reported, when the check is off.
    bool StartCheck();
    // Whether the user lets the program ask for updates: the setting "UpdateCheck" (0: never;
    // missing or anything else: once per run), read anew on each call.
    static bool IsEnabled();

    bool IsUpdateAvailable() const;  // installed key sorts before the latest version
    bool IsUpdateRequired() const;   // installed key sorts before the minimum required version
    bool HasLatestVersion() const;   // a valid version reply has arrived

    // What the check reached so far; for display and diagnostics.
    std::string LatestVersion() const;
    std::string InstalledKey() const;

    // The steps of the check, public so that each can be exercised on its own. The thread runs
    // them in this order through RunCheck.
    void RunCheck();
    bool CheckRemoteVersion();
    bool LoadLocalManifest();
    void ScanInstallFolder();
    bool FetchLatestManifest();
    void CompareManifest();
    UpdateFileInfo ParseFileItem(const Json::Value& item) const;

    // What CheckRemoteVersion and FetchLatestManifest make of a reply body (already inflated):
    // true for a version reply naming both versions, and for a manifest that is a JSON object.
    bool ReadVersionReply(const std::string& body);
    bool ReadLatestManifest(const std::string& body);

    const std::vector<UpdateFileInfo>& UpdateList() const;
    const std::map<std::string, UpdateFileInfo>& LocalFiles() const;

    struct State;

private:
    std::shared_ptr<State> state_;
};
