#include "engine/SimpleThread.h"

#include "base/CMiniDumpHandler.h"
#include "base/LiveThreads.h"
#include "base/LogFile.h"
#include "base/PrintTime.h"

#include <cerrno>
#include <ctime>
#include <cxxabi.h>
#include <cstdlib>
#include <string>
#include <typeinfo>

namespace {

std::string ClassName(const SimpleThread& object)
{
    const char* mangled = typeid(object).name();
    int status = 0;
    char* readable = abi::__cxa_demangle(mangled, nullptr, nullptr, &status);
    std::string name = status == 0 && readable != nullptr ? readable : mangled;
    std::free(readable);
    return name;
}

}  // namespace

bool SimpleThread::IsStopped() const
{
    return stopped.load();
}

void SimpleThread::Stop()
{
    stopped.store(true);
}

bool SimpleThread::Start()
{
    stopped.store(false);
    LiveThreads::Enter();
    const std::lock_guard<std::mutex> recording(startLock);
    pthread_t thread;
    if (pthread_create(&thread, nullptr, &SimpleThread::ThreadEntry, this) != 0) {
        LiveThreads::Leave();
        return false;
    }
    threadHandle = thread;
    hasThread = true;
    return true;
}

void SimpleThread::Join(int32_t milliseconds)
{
    PrintTime timer(ClassName(*this));
    if (!hasThread)
        return;
    int result;
    if (milliseconds < 0) {
        result = pthread_join(threadHandle, nullptr);
    } else {
        timespec deadline{};
        clock_gettime(CLOCK_REALTIME, &deadline);
        deadline.tv_sec += milliseconds / 1000;
        deadline.tv_nsec += static_cast<long>(milliseconds % 1000) * 1000000L;
        if (deadline.tv_nsec >= 1000000000L) {
            deadline.tv_sec += 1;
            deadline.tv_nsec -= 1000000000L;
        }
        result = pthread_timedjoin_np(threadHandle, nullptr, &deadline);
    }
    if (result == ETIMEDOUT) {
        WriteLog(Info, "SimpleThread::Join", "wait thread exit time out: %d, %p", milliseconds, static_cast<void*>(this));
        pthread_detach(threadHandle);
    }
    hasThread = false;
}

void SimpleThread::DetachSelf()
{
    pthread_detach(pthread_self());
}

void* SimpleThread::ThreadEntry(void* object)
{
    // Without its own signal stack a thread's stack overflow could not be reported.
    CMiniDumpHandler::PrepareThread();
    auto* self = static_cast<SimpleThread*>(object);
    {
        const std::lock_guard<std::mutex> startDone(self->startLock);
    }
    self->Run();
    // The object may be gone by now (a worker's completion destroys it).
    LiveThreads::Leave();
    return nullptr;
}
