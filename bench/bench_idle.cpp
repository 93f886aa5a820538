// The real program left alone on a folder with one 512² picture, Auto
// Refresh on: the CPU seconds it takes per second of wall time, and how
// often its main thread wakes, after it settled. Needs an X display
// (scripts/bench starts Xvfb).
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "bench_support.h"
#include "support/process_cpu.h"

namespace {

constexpr double kSettleMs = 2000;
constexpr double kMeasureMs = 10000;

// Windows come and go while the program starts (Qt makes short-lived
// helpers): errors about them are expected.
int IgnoreErrors(Display*, XErrorEvent*) { return 0; }

// Whether a top-level window's name holds `name`.
bool TitleShown(Display* display, const std::string& name) {
    Window root = 0, parent = 0;
    Window* children = nullptr;
    unsigned count = 0;
    if (!XQueryTree(display, DefaultRootWindow(display), &root, &parent, &children, &count))
        return false;
    bool found = false;
    const Atom netName = XInternAtom(display, "_NET_WM_NAME", False);
    const Atom utf8 = XInternAtom(display, "UTF8_STRING", False);
    for (unsigned i = 0; i < count && !found; ++i) {
        Atom type = None;
        int format = 0;
        unsigned long length = 0, after = 0;
        unsigned char* data = nullptr;
        if (XGetWindowProperty(display, children[i], netName, 0, 1024, False, utf8, &type, &format,
                               &length, &after, &data) == Success &&
            data) {
            found = std::string(reinterpret_cast<char*>(data), length).find(name) != std::string::npos;
            XFree(data);
        }
    }
    if (children) XFree(children);
    return found;
}


void SleepMs(double ms) { usleep(static_cast<useconds_t>(ms * 1000)); }

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::printf("usage: zintra_bench_idle PROGRAM\n");
        return 1;
    }
    bench::TempFolder folder;
    if (!folder.ok()) return 1;
    const std::string file = folder.path() + "/painted_512.png";
    if (!bench::WriteTexturePng(file, 512, 512, bench::Content::Painted)) return 1;
    const std::string config = folder.path() + "/config";

    Display* display = XOpenDisplay(nullptr);
    if (!display) {
        std::printf("  no X display (is DISPLAY set?)\n");
        bench::Report("idle_cpu", 1e9, 0.02);
        bench::Report("idle_wakeups", 1e9, 0);
        return 3;
    }
    XSetErrorHandler(IgnoreErrors);

    const pid_t pid = fork();
    if (pid == 0) {
        setenv("XDG_CONFIG_HOME", config.c_str(), 1);
        execl(argv[1], argv[1], folder.path().c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    if (pid < 0) return 1;
    bool shown = false;
    for (const double start = bench::NowMs(); !shown && bench::NowMs() - start < 20000;) {
        shown = TitleShown(display, "painted_512.png");
        if (!shown) SleepMs(50);
    }
    XCloseDisplay(display);

    double cpu = -1, wall = 0;
    long wakeups = -1;
    if (shown) {
        SleepMs(kSettleMs);
        const double cpuStart = ProcessCpuSeconds(pid), wallStart = bench::NowMs();
        const long wakeStart = MainThreadWakeups(pid);
        SleepMs(kMeasureMs);
        const double cpuEnd = ProcessCpuSeconds(pid);
        const long wakeEnd = MainThreadWakeups(pid);
        wall = (bench::NowMs() - wallStart) / 1000.0;
        if (cpuStart >= 0 && cpuEnd >= 0) cpu = cpuEnd - cpuStart;
        if (wakeStart >= 0 && wakeEnd >= 0) wakeups = wakeEnd - wakeStart;
    }
    kill(pid, SIGKILL);
    waitpid(pid, nullptr, 0);
    if (cpu < 0) {
        std::printf("  the program did not show the file\n");
        bench::Report("idle_cpu", 1e9, 0.02);
        bench::Report("idle_wakeups", 1e9, 0);
        return 3;
    }
    std::printf("  idle: %.3f CPU seconds, %ld main-thread wake-ups over %.1f s\n", cpu, wakeups,
                wall);
    const bool cpuOk = bench::Report("idle_cpu", cpu / wall, 0.02);
    const bool wakeOk = bench::Report("idle_wakeups", wakeups < 0 ? 1e9 : wakeups / wall, 0);
    return cpuOk && wakeOk ? 0 : 3;
}
