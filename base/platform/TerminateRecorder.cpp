#include "base/platform/TerminateRecorder.h"

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <cxxabi.h>
#include <exception>
#include <typeinfo>

namespace Platform {
namespace {

constexpr size_t kTextSize = 1024;

char g_text[kTextSize];
constinit std::atomic<bool> g_claimed{false};
constinit std::atomic<bool> g_ready{false};
constinit std::atomic<std::terminate_handler> g_next{nullptr};

void Append(size_t& used, const char* text)
{
    if (text == nullptr)
        return;
    const size_t length = std::strlen(text);
    const size_t room = kTextSize - 1 - used;
    const size_t take = length < room ? length : room;
    std::memcpy(g_text + used, text, take);
    used += take;
    g_text[used] = '\0';
}

void AppendTypeName(size_t& used, const std::type_info* type)
{
    if (type == nullptr) {
        Append(used, "unknown type");
        return;
    }
    int status = 0;
    char* readable = abi::__cxa_demangle(type->name(), nullptr, nullptr, &status);
    Append(used, status == 0 && readable != nullptr ? readable : type->name());
    std::free(readable);
}

void Record()
{
    size_t used = 0;
    g_text[0] = '\0';
    const std::exception_ptr current = std::current_exception();
    if (!current) {
        Append(used, "std::terminate called without an active exception");
        return;
    }
    AppendTypeName(used, abi::__cxa_current_exception_type());
    try {
        std::rethrow_exception(current);
    } catch (const std::exception& error) {
        Append(used, ": ");
        Append(used, error.what());
    } catch (...) {
    }
}

[[noreturn]] void OnTerminate()
{
    // Only the first thread to get here records; a second one must not overwrite the text
    // while the report may be reading it.
    bool expected = false;
    if (g_claimed.compare_exchange_strong(expected, true)) {
        Record();
        g_ready.store(true);
    }
    if (const std::terminate_handler next = g_next.load())
        next();
    std::abort();
}

}  // namespace

void InstallTerminateRecorder()
{
    const std::terminate_handler previous = std::set_terminate(&OnTerminate);
    if (previous != &OnTerminate)
        g_next.store(previous);
}

const char* UncaughtExceptionText()
{
    return g_ready.load() ? g_text : nullptr;
}

}  // namespace Platform
