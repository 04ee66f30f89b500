#include "base/BackgroundThread.h"

#include "base/CrashReporter.h"
#include "base/LiveThreads.h"

#include <pthread.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <string>

namespace {

struct Start {
    std::string name;
    std::function<void()> body;
    bool waitedFor = true;
};

void* Entry(void* argument)
{
    const std::unique_ptr<Start> start(static_cast<Start*>(argument));
    pthread_setname_np(pthread_self(), start->name.c_str());
    // Without its own signal stack a thread's stack overflow could not be reported.
    CrashReporter::PrepareThread();
    start->body();
    // What the body captured goes before the thread stops counting: it may hold the last
    // reference to something that logs or talks to libcurl as it goes.
    start->body = nullptr;
    if (start->waitedFor)
        LiveThreads::Leave();
    return nullptr;
}

}  // namespace

bool StartBackgroundThread(const char* name, std::function<void()> body, bool waitedFor)
{
    auto start = std::make_unique<Start>();
    // The kernel keeps 15 bytes of a thread's name and refuses longer ones.
    start->name = std::string(name != nullptr ? name : "", 0, std::min<size_t>(15, name != nullptr ? std::strlen(name) : 0));
    start->body = std::move(body);
    start->waitedFor = waitedFor;
    pthread_attr_t attributes;
    pthread_attr_init(&attributes);
    pthread_attr_setdetachstate(&attributes, PTHREAD_CREATE_DETACHED);
    if (waitedFor)
        LiveThreads::Enter();
    pthread_t thread;
    const int error = pthread_create(&thread, &attributes, &Entry, start.get());
    pthread_attr_destroy(&attributes);
    if (error != 0) {
        if (waitedFor)
            LiveThreads::Leave();
        return false;
    }
    start.release();  // the thread's now
    return true;
}
