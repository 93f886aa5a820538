// From launch to the first frame of the real program showing a 4096²
// file named on its command line, against a bare libpng decode of that
// file; runs alternate. Needs an X display (scripts/bench starts Xvfb).
// The frame is taken as shown when the window's title names the file: the
// title is set as the picture is ready, and the frame follows in the same
// pass of the loop.
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "bench_support.h"

namespace {

constexpr int kRepetitions = 5;

// Windows come and go while the program starts (Qt makes short-lived
// helpers): errors about them are expected.
int IgnoreErrors(Display*, XErrorEvent*) { return 0; }

std::string TitleOf(Display* display, Window window) {
    const Atom name = XInternAtom(display, "_NET_WM_NAME", False);
    const Atom utf8 = XInternAtom(display, "UTF8_STRING", False);
    Atom type = None;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* data = nullptr;
    std::string title;
    if (XGetWindowProperty(display, window, name, 0, 1024, False, utf8, &type, &format, &count,
                           &after, &data) == Success &&
        data) {
        title.assign(reinterpret_cast<char*>(data), count);
        XFree(data);
    }
    return title;
}

// Launches the program on `file` and waits for a window titled with
// `name`; returns the milliseconds taken, or a negative number.
double LaunchToPicture(const std::string& program, const std::string& file,
                       const std::string& name, const std::string& config) {
    Display* display = XOpenDisplay(nullptr);
    if (!display) return -1;
    XSetErrorHandler(IgnoreErrors);
    const Window root = DefaultRootWindow(display);
    XSelectInput(display, root, SubstructureNotifyMask);
    XSync(display, False);

    const double start = bench::NowMs();
    const pid_t pid = fork();
    if (pid == 0) {
        setenv("XDG_CONFIG_HOME", config.c_str(), 1);
        execl(program.c_str(), program.c_str(), file.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    double taken = -1;
    std::vector<Window> watched;
    while (pid > 0 && bench::NowMs() - start < 20000) {
        while (XPending(display)) {
            XEvent event;
            XNextEvent(display, &event);
            Window window = None;
            if (event.type == CreateNotify) {
                window = event.xcreatewindow.window;
                XSelectInput(display, window, PropertyChangeMask);
                watched.push_back(window);
            } else if (event.type == PropertyNotify) {
                window = event.xproperty.window;
            }
            if (window != None && TitleOf(display, window).find(name) != std::string::npos)
                taken = bench::NowMs() - start;
        }
        if (taken >= 0) break;
        usleep(500);
    }
    if (pid > 0) {
        kill(pid, SIGKILL);
        waitpid(pid, nullptr, 0);
    }
    XCloseDisplay(display);
    return taken;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::printf("usage: zintra_bench_start PROGRAM\n");
        return 1;
    }
    bench::TempFolder folder;
    if (!folder.ok()) return 1;
    const std::string file = folder.path() + "/painted_4096.png";
    if (!bench::WriteTexturePng(file, 4096, 4096, bench::Content::Painted)) return 1;
    const std::string config = folder.path() + "/config";

    std::vector<double> starts, bare;
    for (int i = 0; i < kRepetitions; ++i) {
        const double taken = LaunchToPicture(argv[1], file, "painted_4096.png", config);
        if (taken < 0) {
            std::printf("  the program did not show the file (is DISPLAY set?)\n");
            bench::Report("start_4096", 1e9, 1.5);
            return 3;
        }
        starts.push_back(taken);
        bench::Decoded decoded;
        const double start = bench::NowMs();
        bench::BareDecode(file.c_str(), &decoded);
        bare.push_back(bench::NowMs() - start);
    }
    const double s = bench::Median(starts), b = bench::Median(bare);
    std::printf("  launch to the 4096 x 4096 picture %.1f ms; bare decode %.1f ms\n", s, b);
    return bench::Report("start_4096", s / b, 1.5) ? 0 : 3;
}
