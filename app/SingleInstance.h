#pragma once

#include <functional>
#include <string>
#include <vector>

// One running instance per user. The first start holds a lock file in the application data
// folder for its whole life (the kernel drops it when the process ends, however it ends) and
// listens on a local socket named after the same name, the user and that folder. A later start
// finds the lock taken, connects to the socket, which asks the running instance to restore and
// raise its main window, and goes away; the only thing it sends is the files it was started with,
// which the running instance adds to its list.
namespace PubUtils {

// True when this process is the first instance and may go on; false when another one runs
// (after it has been asked to come forward). A lock that cannot be set up at all counts as
// "first instance". `windowClass` names the main window the running instance brings forward;
// `files` (absolute paths) go to the running instance when there is one.
bool CheckSingleInstance(const std::wstring& mutexName, const std::wstring& windowClass,
                         const std::vector<std::string>& files = {});

// In the first instance, once the application object exists: from now on a later start's
// request restores and raises the visible top-level window whose class is the `windowClass`
// given above, after handing the files it sent, if any, to `onFiles`. Requests made before
// this call wait in the socket's queue.
void ListenForLaterInstances(std::function<void(const std::vector<std::wstring>&)> onFiles = {});

}  // namespace PubUtils
