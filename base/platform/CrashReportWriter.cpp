#include "base/platform/CrashReportWriter.h"

#include "base/platform/SignalSafeWriter.h"
#include "base/platform/TerminateRecorder.h"

#include <cerrno>
#include <cstdint>
#include <execinfo.h>
#include <fcntl.h>
#include <sys/prctl.h>
#include <unistd.h>

namespace Platform {
namespace {

constexpr int kMaxFrames = 128;
// Each of the two backtrace steps (walking the stack, naming the frames) may take this long.
constexpr unsigned kStepSeconds = 3;

struct CodeName {
    int code;
    const char* name;
};

const char* SignalName(int signal)
{
    switch (signal) {
    case SIGSEGV: return "SIGSEGV (invalid memory access)";
    case SIGBUS: return "SIGBUS (bus error)";
    case SIGILL: return "SIGILL (illegal instruction)";
    case SIGFPE: return "SIGFPE (arithmetic fault)";
    case SIGABRT: return "SIGABRT (abort)";
    default: return "unexpected signal";
    }
}

const char* CodeNameOf(int signal, int code)
{
    static const CodeName kGeneral[] = {{SI_USER, "SI_USER (sent by kill)"}, {SI_KERNEL, "SI_KERNEL"},
                                        {SI_QUEUE, "SI_QUEUE"}, {SI_TIMER, "SI_TIMER"},
                                        {SI_MESGQ, "SI_MESGQ"}, {SI_ASYNCIO, "SI_ASYNCIO"},
                                        {SI_SIGIO, "SI_SIGIO"}, {SI_TKILL, "SI_TKILL (raise, abort or tgkill)"}};
    static const CodeName kSegv[] = {{SEGV_MAPERR, "SEGV_MAPERR (address not mapped)"},
                                     {SEGV_ACCERR, "SEGV_ACCERR (no permission for the access)"}};
    static const CodeName kBus[] = {{BUS_ADRALN, "BUS_ADRALN (misaligned address)"},
                                    {BUS_ADRERR, "BUS_ADRERR (no such physical address, e.g. past the end of a mapped file)"},
                                    {BUS_OBJERR, "BUS_OBJERR (object-specific hardware error)"}};
    static const CodeName kIll[] = {{ILL_ILLOPC, "ILL_ILLOPC (illegal opcode)"}, {ILL_ILLOPN, "ILL_ILLOPN (illegal operand)"},
                                    {ILL_ILLADR, "ILL_ILLADR (illegal addressing mode)"}, {ILL_ILLTRP, "ILL_ILLTRP (illegal trap)"},
                                    {ILL_PRVOPC, "ILL_PRVOPC (privileged opcode)"}, {ILL_PRVREG, "ILL_PRVREG (privileged register)"},
                                    {ILL_COPROC, "ILL_COPROC (coprocessor error)"}, {ILL_BADSTK, "ILL_BADSTK (internal stack error)"}};
    static const CodeName kFpe[] = {{FPE_INTDIV, "FPE_INTDIV (integer divide by zero)"}, {FPE_INTOVF, "FPE_INTOVF (integer overflow)"},
                                    {FPE_FLTDIV, "FPE_FLTDIV (floating-point divide by zero)"}, {FPE_FLTOVF, "FPE_FLTOVF (floating-point overflow)"},
                                    {FPE_FLTUND, "FPE_FLTUND (floating-point underflow)"}, {FPE_FLTRES, "FPE_FLTRES (inexact result)"},
                                    {FPE_FLTINV, "FPE_FLTINV (invalid floating-point operation)"}, {FPE_FLTSUB, "FPE_FLTSUB (subscript out of range)"}};
    auto find = [code](const CodeName* table, size_t count) -> const char* {
        for (size_t i = 0; i < count; ++i) {
            if (table[i].code == code)
                return table[i].name;
        }
        return nullptr;
    };
    if (code <= 0 || code == SI_KERNEL)
        return find(kGeneral, sizeof kGeneral / sizeof kGeneral[0]);
    switch (signal) {
    case SIGSEGV: return find(kSegv, sizeof kSegv / sizeof kSegv[0]);
    case SIGBUS: return find(kBus, sizeof kBus / sizeof kBus[0]);
    case SIGILL: return find(kIll, sizeof kIll / sizeof kIll[0]);
    case SIGFPE: return find(kFpe, sizeof kFpe / sizeof kFpe[0]);
    default: return nullptr;
    }
}

// The program counter at the fault, from the saved registers; 0 when unknown.
uintptr_t FaultPc(const ucontext_t* context)
{
    if (context == nullptr)
        return 0;
#if defined(__x86_64__)
    return static_cast<uintptr_t>(context->uc_mcontext.gregs[REG_RIP]);
#elif defined(__aarch64__)
    return static_cast<uintptr_t>(context->uc_mcontext.pc);
#else
    return 0;
#endif
}

void WriteRegisters(SignalSafeWriter& out, const ucontext_t* context)
{
    out.Text("\nregisters:\n");
    if (context == nullptr) {
        out.Text("  not available\n");
        return;
    }
#if defined(__x86_64__)
    static const struct {
        const char* name;
        int index;
    } kRegisters[] = {{"rax", REG_RAX}, {"rbx", REG_RBX}, {"rcx", REG_RCX}, {"rdx", REG_RDX}, {"rsi", REG_RSI},
                      {"rdi", REG_RDI}, {"rbp", REG_RBP}, {"rsp", REG_RSP}, {"r8 ", REG_R8},  {"r9 ", REG_R9},
                      {"r10", REG_R10}, {"r11", REG_R11}, {"r12", REG_R12}, {"r13", REG_R13}, {"r14", REG_R14},
                      {"r15", REG_R15}, {"rip", REG_RIP}, {"efl", REG_EFL}, {"err", REG_ERR}, {"trp", REG_TRAPNO},
                      {"cr2", REG_CR2}};
    int column = 0;
    for (const auto& reg : kRegisters) {
        out.Text("  ").Text(reg.name).Text(" ").Hex(static_cast<uint64_t>(context->uc_mcontext.gregs[reg.index]));
        if (++column % 3 == 0)
            out.Text("\n");
    }
    if (column % 3 != 0)
        out.Text("\n");
#elif defined(__aarch64__)
    for (int i = 0; i < 31; ++i) {
        out.Text("  x").Decimal(i).Text(i < 10 ? "  " : " ").Hex(context->uc_mcontext.regs[i]);
        if (i % 3 == 2)
            out.Text("\n");
    }
    out.Text("  sp  ").Hex(context->uc_mcontext.sp).Text("  pc  ").Hex(context->uc_mcontext.pc);
    out.Text("  pstate ").Hex(context->uc_mcontext.pstate).Text("\n");
#else
    out.Text("  not collected on this architecture\n");
#endif
}

// The frames of the faulting thread. Global, as a step may be abandoned half-way: zeroed
// first, the frames found so far are the leading non-null entries.
void* g_frames[kMaxFrames];
int g_frameCount = 0;

struct NamingStep {
    SignalSafeWriter* out;
    int fd;
    int first;
    int count;
    int next;  // the first frame not yet written
};

void WriteStopReason(SignalSafeWriter& out, int ended)
{
    if (ended == SIGALRM)
        out.Text("it took too long");
    else
        out.Text("a fault, signal ").Decimal(ended);
}

void WriteBacktrace(SignalSafeWriter& out, int fd, const ucontext_t* context)
{
    out.Text("\nbacktrace of the faulting thread:\n");
    for (void*& frame : g_frames)
        frame = nullptr;
    g_frameCount = 0;
    // Walking a corrupted stack can fault; naming frames waits for the loader's lock, which
    // another thread may hold for good. Either only costs the backtrace its rest.
    const int walkEnded = RunGuardedStep([](void*) { g_frameCount = backtrace(g_frames, kMaxFrames); }, kStepSeconds, nullptr);
    int count = g_frameCount;
    if (walkEnded != 0) {
        count = 0;
        while (count < kMaxFrames && g_frames[count] != nullptr)
            ++count;
    }
    // The first frames are the handler's own; the faulting function is the frame whose address
    // is the saved program counter. Without it, everything is shown.
    const uintptr_t pc = FaultPc(context);
    int first = 0;
    if (pc != 0) {
        for (int i = 0; i < count; ++i) {
            if (reinterpret_cast<uintptr_t>(g_frames[i]) == pc) {
                first = i;
                break;
            }
        }
        if (first == 0)
            out.Text("  (the fault address is not among the frames; the first frames are the crash handler's)\n");
    }

    NamingStep naming{&out, fd, first, count, first};
    out.Flush();
    const int namingEnded = RunGuardedStep(
        [](void* user) {
            auto* step = static_cast<NamingStep*>(user);
            for (; step->next < step->count; ++step->next) {
                step->out->Text("  #").Decimal(step->next - step->first).Text(" ");
                step->out->Flush();
                // One frame at a time, so each line carries its number.
                backtrace_symbols_fd(&g_frames[step->next], 1, step->fd);
            }
        },
        kStepSeconds, &naming);
    if (namingEnded != 0) {
        out.Text("\n  (naming the frames stopped: ");
        WriteStopReason(out, namingEnded);
        out.Text("; the rest as plain addresses)\n");
        for (int i = naming.next; i < count; ++i)
            out.Text("  #").Decimal(i - first).Text(" ").Hex(reinterpret_cast<uintptr_t>(g_frames[i])).Text("\n");
    }
    if (walkEnded != 0) {
        out.Text("  (walking the stack stopped: ");
        WriteStopReason(out, walkEnded);
        out.Text("; the older frames are lost)\n");
    } else if (count == kMaxFrames) {
        out.Text("  ... (older frames not shown)\n");
    }
}

void WriteMemoryMap(SignalSafeWriter& out)
{
    out.Text("\nmemory map:\n");
    const int maps = open("/proc/self/maps", O_RDONLY | O_CLOEXEC);
    if (maps < 0) {
        out.Text("  not readable, errno ").Decimal(errno).Text("\n");
        return;
    }
    char chunk[4096];
    for (;;) {
        const ssize_t got = read(maps, chunk, sizeof chunk);
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            break;
        out.Text(chunk, static_cast<size_t>(got));
    }
    close(maps);
}

}  // namespace

void PrepareCrashReports()
{
    // The first backtrace() loads libgcc_s with dlopen, and the first calls bind their symbols;
    // both take loader locks that a faulting thread might hold, so they happen now.
    void* frames[4];
    const int count = backtrace(frames, 4);
    const int sink = open("/dev/null", O_WRONLY | O_CLOEXEC);
    if (sink >= 0) {
        backtrace_symbols_fd(frames, count, sink);
        close(sink);
    }
}

bool WriteCrashReport(int fd, const ExceptionPointers& pointers, const CrashReportHeader& header, int& error)
{
    SignalSafeWriter out(fd);
    out.Text("Talvora crash report\n");
    out.Text("version: ").Text(header.version).Text("\n");
    out.Text("time: ").Text(header.stamp).Text(" (local)\n");
    out.Text("executable: ").Text(header.executable).Text("\n");
    out.Text("process: ").Decimal(getpid()).Text("\n");
    char threadName[17] = {};
    prctl(PR_GET_NAME, threadName, 0, 0, 0);
    out.Text("thread: ").Decimal(gettid()).Text(" \"").Text(threadName).Text("\"\n");

    const siginfo_t* info = pointers.info;
    out.Text("signal: ").Decimal(pointers.signal).Text(" ").Text(SignalName(pointers.signal)).Text("\n");
    if (info != nullptr) {
        const char* codeName = CodeNameOf(pointers.signal, info->si_code);
        out.Text("code: ").Decimal(info->si_code);
        if (codeName != nullptr)
            out.Text(" ").Text(codeName);
        out.Text("\n");
        if (info->si_code > 0 && pointers.signal != SIGABRT) {
            out.Text("fault address: ").Hex(reinterpret_cast<uintptr_t>(info->si_addr)).Text("\n");
        } else {
            out.Text("fault address: none (sent by process ").Decimal(info->si_pid).Text(", user ").Decimal(info->si_uid).Text(")\n");
        }
    }
    out.Text("program counter: ").Hex(FaultPc(pointers.context)).Text("\n");
    if (const char* uncaught = UncaughtExceptionText())
        out.Text("uncaught exception: ").Text(uncaught).Text("\n");

    WriteRegisters(out, pointers.context);
    // The parts above are the most useful; get them onto the disk before the unwinder runs.
    out.Flush();
    WriteBacktrace(out, fd, pointers.context);
    WriteMemoryMap(out);
    out.Text("\nend of report\n");
    const bool written = out.Flush();
    error = out.Error();
    return written;
}

}  // namespace Platform
