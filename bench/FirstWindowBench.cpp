// Time from exec to the first window mapped on an X display, for the program against a minimal
// Qt Widgets program that shows one 800 x 600 window on the same display:
//   first_window_bench <runs> <program> <reference program>
// Runs each program <runs> times, alternately, and prints every time and the medians. Each run
// ends its program with SIGTERM once the window is up. Needs DISPLAY (bench/first_window.sh
// starts an Xvfb display and a data folder of its own).
#include <X11/Xlib.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <vector>

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;

// Milliseconds from the spawn to the first mapped top-level window of at least 200 x 200
// (Qt maps nothing smaller for a main window); -1 when none came within 30 seconds.
double TimeToFirstWindow(Display* display, const char* program)
{
    const Window root = DefaultRootWindow(display);
    XSelectInput(display, root, SubstructureNotifyMask);
    XSync(display, True);
    char* argv[] = {const_cast<char*>(program), nullptr};
    pid_t pid = 0;
    const auto start = Clock::now();
    if (posix_spawn(&pid, program, nullptr, nullptr, argv, environ) != 0)
        return -1;
    double elapsed = -1;
    const int fd = ConnectionNumber(display);
    while (Clock::now() - start < std::chrono::seconds(30) && elapsed < 0) {
        if (XPending(display) == 0) {
            fd_set ready;
            FD_ZERO(&ready);
            FD_SET(fd, &ready);
            timeval wait{0, 100000};
            select(fd + 1, &ready, nullptr, nullptr, &wait);
            continue;
        }
        XEvent event;
        XNextEvent(display, &event);
        if (event.type != MapNotify)
            continue;
        XWindowAttributes attributes{};
        if (XGetWindowAttributes(display, event.xmap.window, &attributes) && attributes.width >= 200 &&
            attributes.height >= 200)
            elapsed = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
    }
    kill(pid, SIGTERM);
    int status = 0;
    waitpid(pid, &status, 0);
    XSelectInput(display, root, NoEventMask);
    return elapsed;
}

double Median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    const size_t n = values.size();
    return n == 0 ? -1 : (n % 2 == 1 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2);
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc < 4) {
        std::fprintf(stderr, "usage: first_window_bench <runs> <program> <reference program>\n");
        return 2;
    }
    const int runs = std::max(1, std::atoi(argv[1]));
    Display* display = XOpenDisplay(nullptr);
    if (display == nullptr) {
        std::fprintf(stderr, "no X display\n");
        return 1;
    }
    std::vector<double> program;
    std::vector<double> reference;
    for (int run = 1; run <= runs; ++run) {
        program.push_back(TimeToFirstWindow(display, argv[2]));
        reference.push_back(TimeToFirstWindow(display, argv[3]));
        std::printf("run %d: program %.1f ms, minimal Qt window %.1f ms\n", run, program.back(), reference.back());
    }
    const double ratio = Median(program) / Median(reference);
    std::printf("medians: program %.1f ms, minimal Qt window %.1f ms, ratio %.2f (target <= 1.15)\n", Median(program),
                Median(reference), ratio);
    XCloseDisplay(display);
    return 0;
}
