#include "base/platform/DebugOutput.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>

namespace Platform {
namespace {

// Constant-initialised, so the channel works before and after dynamic initialisation.
constinit std::mutex g_sinkLock;
constinit DebugSink g_sink = nullptr;
constinit void* g_sinkUser = nullptr;

bool DefaultSinkEnabled()
{
    const char* value = std::getenv("TALVORA_DEBUG_OUTPUT");
    return value != nullptr && std::strcmp(value, "1") == 0;
}

}  // namespace

void SetDebugSink(DebugSink sink, void* user)
{
    std::lock_guard<std::mutex> guard(g_sinkLock);
    g_sink = sink;
    g_sinkUser = user;
}

void OutputDebugText(const char* text)
{
    if (text == nullptr)
        return;
    std::lock_guard<std::mutex> guard(g_sinkLock);
    if (g_sink != nullptr) {
        g_sink(text, g_sinkUser);
        return;
    }
    if (DefaultSinkEnabled())
        std::fputs(text, stderr);
}

}  // namespace Platform
