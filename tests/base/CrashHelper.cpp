// Child process for the crash report tests: arms the crash handler and then faults in the way
// the arguments ask. Commands run in order; each fault command ends the process. Prints
// "name=value" lines (flushed at once, as the process may not get to exit normally).
#include "base/CrashReporter.h"

#include <atomic>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dlfcn.h>
#include <ctime>
#include <fcntl.h>
#include <memory>
#include <stdexcept>
#include <string>
#include <sys/mman.h>
#include <sys/resource.h>
#include <thread>
#include <unistd.h>
#include <vector>

// Globals the compiler cannot see through, so the faults below really happen where written.
volatile uintptr_t g_badAddress = 0x10;
volatile int g_zero = 0;
volatile int g_seven = 7;
volatile bool g_stopRecursion = false;

extern "C" {

// Named, exported and not inlined, so the tests can find them in the report's backtrace.
__attribute__((noinline)) void TalvoraHelperWriteToBadAddress()
{
    *reinterpret_cast<volatile int*>(g_badAddress) = 42;
}

// The same fault as an atomic store, for two threads faulting at once: the thread sanitizer
// would otherwise report the two writes as a race before the processor traps either of them.
__attribute__((noinline)) void TalvoraHelperAtomicWriteToBadAddress()
{
    __atomic_store_n(reinterpret_cast<int*>(g_badAddress), 42, __ATOMIC_RELAXED);
}

__attribute__((noinline)) int TalvoraHelperRecurse(int depth)
{
    volatile char pad[2048];
    pad[0] = static_cast<char>(depth);
    if (g_stopRecursion)
        return pad[0];
    return TalvoraHelperRecurse(depth + 1) + pad[0];
}

// Called by the hanging library's constructor, which holds the loader lock from then on.
std::atomic<bool> g_libraryLoading{false};
void TalvoraHelperLibraryLoading()
{
    g_libraryLoading.store(true);
}

__attribute__((noinline)) void TalvoraHelperThrow()
{
    throw std::runtime_error("helper failure");
}

}  // extern "C"

namespace {

void Print(const std::string& name, const std::string& value)
{
    std::printf("%s=%s\n", name.c_str(), value.c_str());
    std::fflush(stdout);
}

void PrintLocalStamp(const char* name)
{
    const time_t now = time(nullptr);
    tm local{};
    localtime_r(&now, &local);
    char stamp[32];
    strftime(stamp, sizeof stamp, "%Y%m%d%H%M%S", &local);
    Print(name, stamp);
}

// Runs `body` on a new thread prepared the way the program prepares its threads, and waits.
template <typename Body>
void OnWorker(Body body)
{
    std::thread worker([body] {
        CrashReporter::PrepareThread();
        Print("worker-tid", std::to_string(gettid()));
        body();
    });
    worker.join();
}

void TwoThreadsAtOnce()
{
    std::atomic<int> arrived{0};
    auto fault = [&arrived] {
        CrashReporter::PrepareThread();
        Print("fault-tid", std::to_string(gettid()));
        arrived.fetch_add(1);
        while (arrived.load() < 2) {
        }
        TalvoraHelperAtomicWriteToBadAddress();
    };
    std::thread first(fault);
    std::thread second(fault);
    first.join();
    second.join();
}

void BusError(const std::string& path)
{
    const int fd = open(path.c_str(), O_RDWR | O_CREAT | O_TRUNC, 0600);
    const long page = sysconf(_SC_PAGESIZE);
    if (fd < 0 || ftruncate(fd, page) != 0)
        std::exit(3);
    auto* mapped = static_cast<volatile char*>(mmap(nullptr, static_cast<size_t>(page), PROT_READ, MAP_SHARED, fd, 0));
    if (mapped == MAP_FAILED || ftruncate(fd, 0) != 0)
        std::exit(3);
    Print("read", std::to_string(mapped[0]));
}

// Corrupts the stack pointer before faulting: the handler still runs on its own stack, but
// walking the faulting thread's stack then faults inside the handler.
// A fault while another thread is inside dlopen(): naming the backtrace's functions then waits
// for the loader lock, which is never released.
void FaultWhileLibraryLoads(const std::string& library)
{
    std::thread loader([library] { dlopen(library.c_str(), RTLD_NOW); });
    loader.detach();
    while (!g_libraryLoading.load()) {
    }
    Print("library-loading", "1");
    TalvoraHelperWriteToBadAddress();
}

[[noreturn]] void FaultWithBrokenStack()
{
#if defined(__x86_64__)
    asm volatile("movq $0x10, %%rsp\n\tmovq $0x10, %%rbp\n\tmovq $0, (%%rsp)" ::: "memory");
#endif
    std::abort();
}

}  // namespace

int main(int argc, char** argv)
{
    // The tests provoke crashes on purpose; core files would only litter the build tree.
    rlimit noCore{0, 0};
    setrlimit(RLIMIT_CORE, &noCore);

    std::unique_ptr<CrashReporter> handler;
    for (int i = 1; i < argc; ++i) {
        const std::string command = argv[i];
        const bool hasArgument = i + 1 < argc;
        if ((command == "arm" || command == "arm-messages") && hasArgument) {
            handler = std::make_unique<CrashReporter>(command == "arm-messages", argv[++i]);
        } else if (command == "arm-none") {
            handler = std::make_unique<CrashReporter>(false, std::string());
        } else if (command == "disarm") {
            CrashReporter::Disarm();
        } else if (command == "destroy") {
            handler.reset();
        } else if (command == "armed") {
            Print("armed", CrashReporter::IsArmed() ? "1" : "0");
        } else if (command == "remove-folder" && hasArgument) {
            if (rmdir(argv[++i]) != 0)
                return 3;
        } else if (command == "stderr-to-stdout") {
            dup2(STDOUT_FILENO, STDERR_FILENO);
        } else if (command == "stamp") {
            PrintLocalStamp("stamp");
        } else if (command == "segv-main") {
            TalvoraHelperWriteToBadAddress();
        } else if (command == "segv-worker") {
            OnWorker([] { TalvoraHelperWriteToBadAddress(); });
        } else if (command == "overflow-main") {
            Print("depth", std::to_string(TalvoraHelperRecurse(0)));
        } else if (command == "overflow-worker") {
            OnWorker([] { Print("depth", std::to_string(TalvoraHelperRecurse(0))); });
        } else if (command == "throw-worker") {
            OnWorker([] { TalvoraHelperThrow(); });
        } else if (command == "abort") {
            std::abort();
        } else if (command == "fpe") {
            Print("quotient", std::to_string(g_seven / g_zero));
        } else if (command == "ill") {
            __builtin_trap();
        } else if (command == "bus" && hasArgument) {
            BusError(argv[++i]);
        } else if (command == "kill-self") {
            kill(getpid(), SIGSEGV);
        } else if (command == "two-threads") {
            TwoThreadsAtOnce();
        } else if (command == "fault-while-loading" && hasArgument) {
            FaultWhileLibraryLoads(argv[++i]);
        } else if (command == "broken-stack") {
            OnWorker([] { FaultWithBrokenStack(); });
        } else {
            std::fprintf(stderr, "unknown command %s\n", command.c_str());
            return 2;
        }
    }
    Print("finished", "1");
    return 0;
}
