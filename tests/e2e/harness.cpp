#include "e2e/harness.h"

#include <gtest/gtest.h>

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <fcntl.h>
#include <ftw.h>
#include <png.h>
#include <poll.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>
#include <thread>

extern char** environ;

namespace e2e {

namespace fs = std::filesystem;

void SleepMs(int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

// --- images ---------------------------------------------------------------

Image::Pixel Image::At(int x, int y) const {
    Pixel p;
    if (x < 0 || y < 0 || x >= width || y >= height) return p;
    const std::size_t i = (static_cast<std::size_t>(y) * width + x) * 3;
    p.r = rgb[i];
    p.g = rgb[i + 1];
    p.b = rgb[i + 2];
    return p;
}

Image Image::Crop(int x, int y, int w, int h) const {
    Image out;
    if (w <= 0 || h <= 0) return out;
    out.width = w;
    out.height = h;
    out.rgb.assign(static_cast<std::size_t>(w) * h * 3, 0);
    for (int row = 0; row < h; ++row)
        for (int col = 0; col < w; ++col) {
            const Pixel p = At(x + col, y + row);
            const std::size_t i = (static_cast<std::size_t>(row) * w + col) * 3;
            out.rgb[i] = static_cast<std::uint8_t>(p.r);
            out.rgb[i + 1] = static_cast<std::uint8_t>(p.g);
            out.rgb[i + 2] = static_cast<std::uint8_t>(p.b);
        }
    return out;
}

bool Near(const Image::Pixel& p, int r, int g, int b, int tolerance) {
    return std::abs(p.r - r) <= tolerance && std::abs(p.g - g) <= tolerance &&
           std::abs(p.b - b) <= tolerance;
}

bool Is(const Image& shot, int x, int y, Colour c, int tolerance) {
    return Near(shot.At(x, y), c.r, c.g, c.b, tolerance);
}

bool WriteImage(const std::string& path, int size, const std::function<Colour(int x, int y)>& texel) {
    std::vector<std::uint8_t> rgba;
    rgba.reserve(std::size_t(size) * size * 4);
    for (int y = 0; y < size; ++y)
        for (int x = 0; x < size; ++x) {
            const Colour c = texel(x, y);
            rgba.insert(rgba.end(), {static_cast<std::uint8_t>(c.r), static_cast<std::uint8_t>(c.g),
                                     static_cast<std::uint8_t>(c.b), 255});
        }
    return WritePngRgba(path, size, size, rgba);
}

bool WriteSolid(const std::string& path, int size, Colour c) {
    return WriteImage(path, size, [c](int, int) { return c; });
}

bool WriteQuadrants(const std::string& path, int size) {
    return WriteImage(path, size, [size](int x, int y) {
        const bool right = x >= size / 2, bottom = y >= size / 2;
        return bottom ? (right ? kBottomRight : kBottomLeft) : (right ? kTopRight : kTopLeft);
    });
}

std::string DescribePixel(const Image& image, int x, int y) {
    const Image::Pixel p = image.At(x, y);
    std::ostringstream out;
    out << "(" << x << "," << y << ") = " << p.r << "," << p.g << "," << p.b;
    return out.str();
}

std::vector<std::string> SplitLines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

namespace {

// libpng reports errors by longjmp; these wrappers keep that local.
bool WriteRows(const std::string& path, int width, int height, int colourType,
               const std::vector<std::uint8_t>& pixels, int channels) {
    FILE* file = std::fopen(path.c_str(), "wb");
    if (!file) return false;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    bool ok = false;
    if (png && info && setjmp(png_jmpbuf(png)) == 0) {
        png_init_io(png, file);
        png_set_IHDR(png, info, static_cast<png_uint_32>(width), static_cast<png_uint_32>(height), 8,
                     colourType, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                     PNG_FILTER_TYPE_DEFAULT);
        png_write_info(png, info);
        for (int y = 0; y < height; ++y)
            png_write_row(png, pixels.data() + static_cast<std::size_t>(y) * width * channels);
        png_write_end(png, nullptr);
        ok = true;
    }
    png_destroy_write_struct(&png, &info);
    std::fclose(file);
    return ok;
}

}  // namespace

bool WritePngRgba(const std::string& path, int width, int height,
                  const std::vector<std::uint8_t>& rgba) {
    if (width <= 0 || height <= 0 || rgba.size() != static_cast<std::size_t>(width) * height * 4)
        return false;
    return WriteRows(path, width, height, PNG_COLOR_TYPE_RGB_ALPHA, rgba, 4);
}

bool WritePng(const std::string& path, const Image& image) {
    if (!image.Valid()) return false;
    return WriteRows(path, image.width, image.height, PNG_COLOR_TYPE_RGB, image.rgb, 3);
}

Image ReadPng(const std::string& path) {
    Image out;
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&image, path.c_str())) return out;
    image.format = PNG_FORMAT_RGB;
    std::vector<std::uint8_t> pixels(PNG_IMAGE_SIZE(image));
    if (!png_image_finish_read(&image, nullptr, pixels.data(), 0, nullptr)) {
        png_image_free(&image);
        return out;
    }
    out.width = static_cast<int>(image.width);
    out.height = static_cast<int>(image.height);
    out.rgb = std::move(pixels);
    return out;
}

// --- Process --------------------------------------------------------------

namespace {

std::vector<std::string> MergedEnv(const std::map<std::string, std::string>& overrides) {
    std::vector<std::string> out;
    for (char** e = environ; e && *e; ++e) {
        const std::string entry(*e);
        const std::string key = entry.substr(0, entry.find('='));
        if (overrides.count(key) == 0) out.push_back(entry);
    }
    for (const auto& [key, value] : overrides)
        if (!value.empty()) out.push_back(key + "=" + value);
    return out;
}

std::vector<char*> Pointers(std::vector<std::string>& strings) {
    std::vector<char*> out;
    for (std::string& s : strings) out.push_back(s.data());
    out.push_back(nullptr);
    return out;
}

int DecodeStatus(int status) {
    if (WIFEXITED(status)) return WEXITSTATUS(status);
    if (WIFSIGNALED(status)) return 128 + WTERMSIG(status);
    return -1;
}

}  // namespace

Process::~Process() { Stop(); }

bool Process::Start(const std::vector<std::string>& argv,
                    const std::map<std::string, std::string>& env, const std::string& workDir,
                    const std::string& logPath, int keepFd) {
    if ((pid_ > 0 && !reaped_) || argv.empty()) return false;
    std::vector<std::string> args = argv;
    std::vector<std::string> envStrings = MergedEnv(env);
    std::vector<char*> argp = Pointers(args);
    std::vector<char*> envp = Pointers(envStrings);
    const std::string log = logPath.empty() ? std::string("/dev/null") : logPath;
    const pid_t pid = fork();
    if (pid < 0) return false;
    if (pid == 0) {
        // Child: only async-signal-safe calls until exec.
        setpgid(0, 0);
        const int out = open(log.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0600);
        const int in = open("/dev/null", O_RDONLY);
        if (out >= 0) {
            dup2(out, 1);
            dup2(out, 2);
        }
        if (in >= 0) dup2(in, 0);
        for (int fd = 3; fd < 1024; ++fd)
            if (fd != keepFd) close(fd);
        if (!workDir.empty() && chdir(workDir.c_str()) != 0) _exit(126);
        execve(argp[0], argp.data(), envp.data());
        // Not a path: search PATH as a shell would.
        execvpe(argp[0], argp.data(), envp.data());
        _exit(127);
    }
    setpgid(pid, pid);
    pid_ = pid;
    reaped_ = false;
    stopped_ = false;
    status_.reset();
    return true;
}

std::optional<int> Process::Wait(int timeoutMs) {
    if (pid_ <= 0) return status_;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!reaped_) {
        int status = 0;
        const pid_t done = waitpid(pid_, &status, WNOHANG);
        if (done == pid_) {
            reaped_ = true;
            status_ = DecodeStatus(status);
            break;
        }
        if (done < 0 && errno != EINTR) {
            reaped_ = true;
            break;
        }
        if (std::chrono::steady_clock::now() >= deadline) return std::nullopt;
        SleepMs(20);
    }
    return status_;
}

bool Process::Running() { return pid_ > 0 && !reaped_ && !Wait(0).has_value(); }

bool Process::GroupGone() const { return pid_ <= 0 || (kill(-pid_, 0) != 0 && errno == ESRCH); }

void Process::Stop(int graceMs) {
    if (pid_ <= 0 || stopped_) return;
    stopped_ = true;
    if (!reaped_) {
        kill(-pid_, SIGTERM);
        kill(pid_, SIGTERM);
        if (!Wait(graceMs)) {
            kill(-pid_, SIGKILL);
            kill(pid_, SIGKILL);
            Wait(5000);
        }
    }
    // Whatever the child left in its group goes too.
    kill(-pid_, SIGKILL);
}

CommandResult RunCommand(const std::vector<std::string>& argv,
                         const std::map<std::string, std::string>& env, int timeoutMs) {
    CommandResult result;
    TempDir scratch("zintra-cmd-");
    if (!scratch.Valid()) return result;
    const std::string out = scratch.str() + "/out";
    Process process;
    if (!process.Start(argv, env, std::string(), out)) return result;
    const std::optional<int> status = process.Wait(timeoutMs);
    if (!status) {
        process.Stop(200);
        return result;
    }
    result.status = *status;
    std::ifstream in(out);
    std::stringstream text;
    text << in.rdbuf();
    result.output = text.str();
    return result;
}

// --- Xvfb -----------------------------------------------------------------

bool Xvfb::Start(int width, int height) {
    int fds[2];
    if (pipe(fds) != 0) return false;
    const std::string screen = std::to_string(width) + "x" + std::to_string(height) + "x24";
    // -displayfd: the server picks a free display and reports its number.
    const bool started =
        process_.Start({"Xvfb", "-displayfd", std::to_string(fds[1]), "-screen", "0", screen,
                        "-nolisten", "tcp", "-noreset"},
                       {}, std::string(), std::string(), fds[1]);
    close(fds[1]);
    std::string number;
    if (started) {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(15);
        while (std::chrono::steady_clock::now() < deadline) {
            pollfd p{fds[0], POLLIN, 0};
            if (poll(&p, 1, 100) <= 0) continue;
            char c = 0;
            if (read(fds[0], &c, 1) != 1) break;
            if (c == '\n') break;
            number.push_back(c);
        }
    }
    close(fds[0]);
    if (number.empty()) {
        process_.Stop(500);
        return false;
    }
    display_ = ":" + number;
    return true;
}

// --- Settings -------------------------------------------------------------

std::string Settings::Text() const {
    const char* eol = crlf ? "\r\n" : "\n";
    std::ostringstream out;
    out << editor << eol << textureDir << eol << (showHud ? 1 : 0) << eol << (autoRefresh ? 1 : 0)
        << eol << left << eol << top << eol << right << eol << bottom << eol;
    return out.str();
}

// --- Session --------------------------------------------------------------

namespace {

// Xlib aborts the process on protocol errors by default; a vanished
// window must only fail the call.
int IgnoreXErrors(Display*, XErrorEvent*) { return 0; }

class XConnection {
public:
    explicit XConnection(const std::string& name) {
        XSetErrorHandler(IgnoreXErrors);
        display_ = XOpenDisplay(name.c_str());
    }
    ~XConnection() {
        if (display_) XCloseDisplay(display_);
    }
    XConnection(const XConnection&) = delete;
    XConnection& operator=(const XConnection&) = delete;
    Display* Get() const { return display_; }

private:
    Display* display_ = nullptr;
};

struct Found {
    ::Window window = 0;
    long area = -1;
};

void LargestViewableChild(Display* display, ::Window parent, int depth, Found* best) {
    ::Window root = 0, parentOut = 0;
    ::Window* children = nullptr;
    unsigned count = 0;
    if (!XQueryTree(display, parent, &root, &parentOut, &children, &count)) return;
    for (unsigned i = 0; i < count; ++i) {
        XWindowAttributes attributes{};
        if (!XGetWindowAttributes(display, children[i], &attributes)) continue;
        if (attributes.map_state != IsViewable || attributes.c_class != InputOutput) continue;
        const long area = static_cast<long>(attributes.width) * attributes.height;
        if (area >= best->area) {
            best->window = children[i];
            best->area = area;
        }
        if (depth < 4) LargestViewableChild(display, children[i], depth + 1, best);
    }
    if (children) XFree(children);
}

std::optional<Rect> RootRect(Display* display, ::Window window) {
    XWindowAttributes attributes{};
    if (!XGetWindowAttributes(display, window, &attributes)) return std::nullopt;
    int x = 0, y = 0;
    ::Window child = 0;
    if (!XTranslateCoordinates(display, window, DefaultRootWindow(display), 0, 0, &x, &y, &child))
        return std::nullopt;
    return Rect{x, y, attributes.width, attributes.height};
}

int MaskShift(unsigned long mask) {
    int shift = 0;
    while (mask && !(mask & 1)) {
        mask >>= 1;
        ++shift;
    }
    return shift;
}

}  // namespace

std::string Session::WindowsBuild() {
    const char* exe = std::getenv("ZINTRA_WINE_EXE");
    return exe ? exe : "";
}

std::string Session::WindowsPath(const std::string& path) {
    std::string out = "Z:" + path;
    for (char& c : out)
        if (c == '/') c = '\\';
    return out;
}

namespace {

std::string WinePrefix() {
    const char* prefix = std::getenv("ZINTRA_WINEPREFIX");
    return prefix ? prefix : std::string(ZINTRA_SOURCE_DIR) + "/build-windows/wineprefix";
}

}  // namespace

Session::Session(Target target) : target_(target), dir_("zintra-e2e-") {
    if (!runtime_.Valid() || !dir_.Valid()) return;
    chmod(runtime_.str().c_str(), 0700);
    const bool windows = target_ == Target::Windows;
    if (windows && WindowsBuild().empty()) return;
    if (!xvfb_.Start()) return;
    std::error_code error;
    const fs::path exe = fs::path(dir_.str()) / (windows ? "zintra.exe" : "zintra");
    fs::copy_file(windows ? WindowsBuild() : std::string(ZINTRA_EXE), exe,
                  fs::copy_options::overwrite_existing, error);
    if (error) return;
    fs::permissions(exe, fs::perms::owner_all, fs::perm_options::add, error);
    const fs::path images = fs::path(ZINTRA_SOURCE_DIR) / "data" / "system";
    if (fs::is_directory(images)) {
        fs::create_directories(fs::path(dir_.str()) / "system", error);
        for (const auto& entry : fs::directory_iterator(images, error))
            if (entry.path().extension() == ".png")
                fs::copy_file(entry.path(), fs::path(dir_.str()) / "system" / entry.path().filename(),
                              fs::copy_options::overwrite_existing, error);
    }
    ready_ = true;
}

Session::~Session() {
    program_.Stop();
    // Wine's server would outlive this X server and serve the next session
    // with a dead display.
    if (target_ == Target::Windows && ready_)
        RunCommand({"wineserver", "-k"}, Env(), 10000);
    // Xvfb goes after the program (members are destroyed in reverse order).
}

std::map<std::string, std::string> Session::Env() const {
    return {{"DISPLAY", xvfb_.Display()},
            {"XDG_RUNTIME_DIR", runtime_.str()},
            {"QT_QPA_PLATFORM", "xcb"},
            // Keep the program off any desktop bus of the host.
            {"DBUS_SESSION_BUS_ADDRESS", ""},
            {"WAYLAND_DISPLAY", ""},
            {"WINEPREFIX", WinePrefix()}};
}

std::string Session::Log() const {
    std::ifstream in(LogPath());
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

void Session::ReportFailure(const std::string& name) const {
    const std::string path = ::testing::TempDir() + name + ".png";
    if (WritePng(path, Screenshot())) std::cerr << "screenshot: " << path << "\n";
    std::cerr << "program log:\n" << Log() << "\n";
}

bool Session::WriteSettings(const Settings& settings) {
    std::ofstream out(SettingsPath(), std::ios::binary | std::ios::trunc);
    out << settings.Text();
    return static_cast<bool>(out);
}

std::string Session::ReadSettingsFile() const {
    std::ifstream in(SettingsPath(), std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

bool Session::Launch(const std::map<std::string, std::string>& env) {
    if (!ready_) return false;
    window_ = 0;
    std::map<std::string, std::string> all = Env();
    for (const auto& [name, value] : env) all[name] = value;
    if (target_ == Target::Windows)
        return program_.Start({std::string(ZINTRA_SOURCE_DIR) + "/scripts/wine-run", Dir() + "/zintra.exe"},
                              all, Dir(), LogPath());
    return program_.Start({Dir() + "/zintra"}, all, Dir(), LogPath());
}

bool Session::StartWindowManager() {
    if (!ready_) return false;
    // Fonts every X server has (twm's own may be missing), and a place for
    // each new window: by default twm grabs the server until a user clicks.
    const std::string config = runtime_.str() + "/twmrc";
    {
        std::ofstream out(config);
        out << "TitleFont \"fixed\"\nResizeFont \"fixed\"\nMenuFont \"fixed\"\n"
               "IconFont \"fixed\"\nIconManagerFont \"fixed\"\nRandomPlacement\n";
        if (!out) return false;
    }
    if (!windowManager_.Start({"twm", "-f", config}, Env(), std::string(), runtime_.str() + "/twm.log"))
        return false;
    // It manages windows once it holds the root's substructure redirection.
    for (int waited = 0; waited <= 10000; waited += 50) {
        XConnection x(xvfb_.Display());
        XWindowAttributes root{};
        if (x.Get() && XGetWindowAttributes(x.Get(), DefaultRootWindow(x.Get()), &root) &&
            (root.all_event_masks & SubstructureRedirectMask))
            return true;
        if (!windowManager_.Running()) return false;
        SleepMs(50);
    }
    return false;
}

unsigned long Session::WaitForWindow(int timeoutMs) {
    for (int waited = 0; waited <= timeoutMs; waited += 100) {
        // The title goes on with the file on show.
        const unsigned long id = WaitForTitleMatching(std::string("^") + kTitle + "( .*)?$", 0);
        if (id != 0) {
            window_ = id;
            // The program moves the window to its saved place right after
            // showing it: let it settle before anyone measures it.
            std::optional<Rect> last = WindowRect();
            for (int settle = 0; settle < 20; ++settle) {
                SleepMs(150);
                const std::optional<Rect> now = WindowRect();
                const bool same = now && last && now->x == last->x && now->y == last->y &&
                                  now->width == last->width && now->height == last->height;
                last = now;
                if (same) break;
            }
            return id;
        }
        if (!program_.Running()) return 0;
        SleepMs(100);
    }
    return 0;
}

unsigned long Session::WaitForTitle(const std::string& title, int timeoutMs) const {
    return WaitForTitleMatching("^" + title + "$", timeoutMs);
}

std::string Session::Title() const {
    if (!window_) return std::string();
    CommandResult result = RunCommand({"xdotool", "getwindowname", std::to_string(window_)}, Env());
    if (result.status != 0) return std::string();
    while (!result.output.empty() && result.output.back() == '\n') result.output.pop_back();
    return result.output;
}

std::string Session::WaitForTitleText(const std::string& title, int timeoutMs) const {
    std::string now;
    for (int waited = 0; waited <= timeoutMs; waited += 100) {
        now = Title();
        if (now == title) break;
        SleepMs(100);
    }
    return now;
}

unsigned long Session::WaitForTitleMatching(const std::string& pattern, int timeoutMs) const {
    for (int waited = 0;; waited += 100) {
        const CommandResult found =
            RunCommand({"xdotool", "search", "--onlyvisible", "--name", pattern}, Env(), 5000);
        if (found.status == 0) {
            std::istringstream lines(found.output);
            for (std::string line; std::getline(lines, line);) {
                const unsigned long id = std::strtoul(line.c_str(), nullptr, 10);
                if (id != 0) return id;
            }
        }
        if (waited >= timeoutMs) return 0;
        SleepMs(100);
    }
}

bool Session::FocusWindow(unsigned long window) const {
    if (!window) return false;
    return RunCommand({"xdotool", "windowfocus", "--sync", std::to_string(window)}, Env()).status == 0;
}

bool Session::Keys(const std::vector<std::string>& chords, int delayMs) {
    for (const std::string& chord : chords) {
        if (RunCommand({"xdotool", "key", chord}, Env()).status != 0) return false;
        SleepMs(delayMs);
    }
    return true;
}

bool Session::Focus() { return FocusWindow(window_); }

bool Session::Key(const std::string& keysym, int holdMs) {
    if (RunCommand({"xdotool", "keydown", keysym}, Env()).status != 0) return false;
    SleepMs(holdMs);
    return RunCommand({"xdotool", "keyup", keysym}, Env()).status == 0;
}

bool Session::MoveMouse(int screenX, int screenY) {
    {
        // `mousemove --sync` waits for a motion that never comes when the
        // pointer is already there.
        XConnection x(xvfb_.Display());
        ::Window root = 0, child = 0;
        int rootX = -1, rootY = -1, winX = 0, winY = 0;
        unsigned mask = 0;
        if (x.Get() && XQueryPointer(x.Get(), DefaultRootWindow(x.Get()), &root, &child, &rootX, &rootY,
                                     &winX, &winY, &mask) &&
            rootX == screenX && rootY == screenY)
            return true;
    }
    return RunCommand({"xdotool", "mousemove", "--sync", std::to_string(screenX), std::to_string(screenY)},
                      Env())
               .status == 0;
}

bool Session::Click(int button, int holdMs) {
    if (RunCommand({"xdotool", "mousedown", std::to_string(button)}, Env()).status != 0) return false;
    SleepMs(holdMs);
    return RunCommand({"xdotool", "mouseup", std::to_string(button)}, Env()).status == 0;
}

bool Session::RequestClose() {
    XConnection x(xvfb_.Display());
    ::Display* display = x.Get();
    if (!display || !window_) return false;
    XEvent event{};
    event.xclient.type = ClientMessage;
    event.xclient.window = window_;
    event.xclient.message_type = XInternAtom(display, "WM_PROTOCOLS", False);
    event.xclient.format = 32;
    event.xclient.data.l[0] = static_cast<long>(XInternAtom(display, "WM_DELETE_WINDOW", False));
    event.xclient.data.l[1] = CurrentTime;
    const Status sent = XSendEvent(display, window_, False, NoEventMask, &event);
    XSync(display, False);
    return sent != 0;
}

bool Session::DestroyWindow() {
    XConnection x(xvfb_.Display());
    if (!x.Get() || !window_) return false;
    XDestroyWindow(x.Get(), window_);
    XSync(x.Get(), False);
    return true;
}

std::optional<Rect> Session::OuterRect() const {
    XConnection x(xvfb_.Display());
    ::Display* display = x.Get();
    if (!display || !window_) return std::nullopt;
    // The ancestor that is a child of the root: the frame, or the window.
    ::Window top = window_;
    for (;;) {
        ::Window root = 0, parent = 0;
        ::Window* children = nullptr;
        unsigned count = 0;
        if (!XQueryTree(display, top, &root, &parent, &children, &count)) return std::nullopt;
        if (children) XFree(children);
        if (parent == root || parent == 0) break;
        top = parent;
    }
    XWindowAttributes attributes{};
    if (!XGetWindowAttributes(display, top, &attributes)) return std::nullopt;
    // A child of the root: x and y are the border's outer corner.
    const int border = 2 * attributes.border_width;
    return Rect{attributes.x, attributes.y, attributes.width + border, attributes.height + border};
}

std::optional<Rect> Session::WindowRect() const {
    XConnection x(xvfb_.Display());
    if (!x.Get() || !window_) return std::nullopt;
    return RootRect(x.Get(), window_);
}

std::optional<Rect> Session::GLArea() const {
    XConnection x(xvfb_.Display());
    if (!x.Get() || !window_) return std::nullopt;
    Found best;
    LargestViewableChild(x.Get(), window_, 0, &best);
    return RootRect(x.Get(), best.window ? best.window : window_);
}

Image Session::Screenshot() const {
    Image out;
    XConnection x(xvfb_.Display());
    ::Display* display = x.Get();
    if (!display) return out;
    const ::Window root = DefaultRootWindow(display);
    XWindowAttributes attributes{};
    if (!XGetWindowAttributes(display, root, &attributes)) return out;
    XImage* image = XGetImage(display, root, 0, 0, static_cast<unsigned>(attributes.width),
                              static_cast<unsigned>(attributes.height), AllPlanes, ZPixmap);
    if (!image) return out;
    const int rs = MaskShift(image->red_mask), gs = MaskShift(image->green_mask),
              bs = MaskShift(image->blue_mask);
    out.width = image->width;
    out.height = image->height;
    out.rgb.resize(static_cast<std::size_t>(out.width) * out.height * 3);
    for (int y = 0; y < out.height; ++y)
        for (int x2 = 0; x2 < out.width; ++x2) {
            const unsigned long pixel = XGetPixel(image, x2, y);
            const std::size_t i = (static_cast<std::size_t>(y) * out.width + x2) * 3;
            out.rgb[i] = static_cast<std::uint8_t>((pixel & image->red_mask) >> rs);
            out.rgb[i + 1] = static_cast<std::uint8_t>((pixel & image->green_mask) >> gs);
            out.rgb[i + 2] = static_cast<std::uint8_t>((pixel & image->blue_mask) >> bs);
        }
    XDestroyImage(image);
    return out;
}

// --- SessionTest ----------------------------------------------------------

SessionTest::SessionTest(Session::Target t) : target(t), session(t) {
    if (target == Session::Target::Windows) {
        windowTimeoutMs = 60000;
        exitTimeoutMs = 20000;
    }
}

void SessionTest::SetUp() {
    const bool windows = target == Session::Target::Windows;
    if (windows && Session::WindowsBuild().empty()) GTEST_SKIP() << "ZINTRA_WINE_EXE is not set";
    ASSERT_TRUE(session.Ready()) << "Xvfb or the program's folder could not be set up";
    textureDir = session.Dir() + "/my textures";
    ASSERT_TRUE(fs::create_directory(textureDir));
    settings.textureDir = windows ? Session::WindowsPath(textureDir) : textureDir;
    // The HUD would cover pixels the tests look at.
    settings.showHud = false;
    settings.crlf = windows;
}

void SessionTest::TearDown() {
    if (!HasFailure()) return;
    const ::testing::TestInfo* test = ::testing::UnitTest::GetInstance()->current_test_info();
    session.ReportFailure(std::string("zintra-") + test->test_suite_name() + "." + test->name());
}

void SessionTest::Start() {
    ASSERT_TRUE(session.WriteSettings(settings));
    ASSERT_NO_FATAL_FAILURE(Restart());
}

void SessionTest::Restart() {
    ASSERT_TRUE(session.Launch());
    ASSERT_NE(0u, session.WaitForWindow(windowTimeoutMs)) << "no visible window titled " << Session::kTitle;
    ASSERT_TRUE(session.Focus());
    const std::optional<Rect> area = session.GLArea();
    ASSERT_TRUE(area.has_value());
    gl = *area;
}

void SessionTest::ExpectExitZero() {
    const std::optional<int> status = session.WaitExit(exitTimeoutMs);
    ASSERT_TRUE(status.has_value()) << "the program did not end";
    EXPECT_EQ(0, *status);
    // Wine's helpers of a program may end a moment after it.
    for (int waited = 0; !session.ProgramGroupGone() && waited < 3000; waited += 50) SleepMs(50);
    std::string left;
    if (!session.ProgramGroupGone())
        left = RunCommand({"ps", "-o", "pid,stat,etime,cmd", "-g", std::to_string(session.ProgramPid())},
                          {}, 5000).output;
    EXPECT_TRUE(session.ProgramGroupGone()) << "a process of the program is still running:\n" << left;
}

void SessionTest::QuitWithEscape() {
    ASSERT_TRUE(session.Focus());
    ASSERT_TRUE(session.Key("Escape"));
    ExpectExitZero();
}

}  // namespace e2e
