#pragma once

#include <functional>
#include <string>
#include <vector>

// One running instance per user. The first start holds a lock file in the application data
// folder for its whole life (the kernel drops it when the process ends, however it ends) and
// listens on a local socket named after the same name, the user and that folder. A later start
// finds the lock taken, connects to the socket, which asks the running instance to restore and
// raise its main window, and goes away once the instance has said it took the request; the only
// thing it sends is the files it was started with, which the running instance adds to its list.
// Both ends check that the other runs as the same user: the socket's name is no secret.
namespace SingleInstance {

enum class InstanceRole {
    kFirst,        // this process is the instance and goes on (also when no lock can be set up)
    kHandedOver,   // the running instance took the request and the files
    kUnreachable,  // an instance holds the lock but did not take the request in time (logged)
};

// Which role this start has. A start that finds the lock taken hands its request over; while
// the instance is still setting up its listener it tries again, for a bounded time, and when
// the lock's holder ends meanwhile it becomes the instance itself. `windowClass` names the main
// window the running instance brings forward; `files` (absolute paths, at most 100 are sent) go
// to the running instance when there is one.
InstanceRole CheckSingleInstance(const std::string& mutexName, const std::string& windowClass,
                                 const std::vector<std::string>& files = {});

// In the first instance, once the application object exists: from now on a later start's
// request restores and raises the visible top-level window whose class is the `windowClass`
// given above, after handing the files it sent, if any, to `onFiles` (only paths of regular
// files; the others are left out with one warning per request). Requests made before this call
// wait in the socket's queue. Another user's connection is refused with a warning, and what
// one request and one second of requests may cost is bounded.
void ListenForLaterInstances(std::function<void(const std::vector<std::string>&)> onFiles = {});

}  // namespace SingleInstance
