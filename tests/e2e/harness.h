// End-to-end harness: the real program in its own Xvfb, driven with
// xdotool and checked through screenshots, files and its exit status.
// Everything started here is killed and reaped by its owner's destructor.
#pragma once

#include <gtest/gtest.h>
#include <sys/types.h>

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "support/temp_dir.h"

namespace e2e {

// RGB8 pixels, row-major, top row first.
struct Image {
    int width = 0;
    int height = 0;
    std::vector<std::uint8_t> rgb;

    bool Valid() const { return width > 0 && height > 0; }
    struct Pixel {
        int r = 0, g = 0, b = 0;
    };
    Pixel At(int x, int y) const;
    Image Crop(int x, int y, int w, int h) const;
};

bool Near(const Image::Pixel& p, int r, int g, int b, int tolerance = 12);

struct Colour {
    int r, g, b;
};
// Whether the pixel at (x, y) shows `c`, within `tolerance` per channel.
bool Is(const Image& shot, int x, int y, Colour c, int tolerance = 12);
// An opaque size x size PNG, texel by texel or in one colour.
bool WriteImage(const std::string& path, int size, const std::function<Colour(int x, int y)>& texel);
bool WriteSolid(const std::string& path, int size, Colour c);
// Four solid quadrants, to locate every tile on screen.
constexpr Colour kTopLeft{220, 40, 40};
constexpr Colour kTopRight{40, 200, 40};
constexpr Colour kBottomLeft{40, 60, 220};
constexpr Colour kBottomRight{230, 220, 40};
bool WriteQuadrants(const std::string& path, int size);
// "(x,y) = r,g,b", for failure messages.
std::string DescribePixel(const Image& image, int x, int y);
// Lines split at line feeds; a last line without one still counts.
std::vector<std::string> SplitLines(const std::string& text);

// RGBA8 input; false on any libpng failure.
bool WritePngRgba(const std::string& path, int width, int height,
                  const std::vector<std::uint8_t>& rgba);
bool WritePng(const std::string& path, const Image& image);
// Any PNG libpng reads, as RGB8; invalid image on failure.
Image ReadPng(const std::string& path);


// A child process in its own process group; the destructor ends the group.
class Process {
public:
    Process() = default;
    ~Process();
    Process(const Process&) = delete;
    Process& operator=(const Process&) = delete;

    // `env` overrides (empty value: unset). Output goes to `logPath`
    // (or /dev/null). `keepFd` stays open in the child.
    bool Start(const std::vector<std::string>& argv, const std::map<std::string, std::string>& env,
               const std::string& workDir = std::string(), const std::string& logPath = std::string(),
               int keepFd = -1);
    // Exit status (128 + signal when killed by one); nullopt on timeout.
    // Once the child is reaped, Start may run the next one.
    std::optional<int> Wait(int timeoutMs);
    bool Running();
    // SIGTERM, then SIGKILL after a grace period; reaps the child.
    void Stop(int graceMs = 2000);
    // True when no process of its group is left.
    bool GroupGone() const;
    pid_t Pid() const { return pid_; }

private:
    pid_t pid_ = -1;
    bool reaped_ = true;
    bool stopped_ = false;
    std::optional<int> status_;
};

struct CommandResult {
    int status = -1;  // -1: could not run or timed out
    std::string output;
};
CommandResult RunCommand(const std::vector<std::string>& argv,
                         const std::map<std::string, std::string>& env, int timeoutMs = 10000);

// A private X server on a free display number.
class Xvfb {
public:
    Xvfb() = default;
    ~Xvfb() = default;
    bool Start(int width = 1280, int height = 1024);
    const std::string& Display() const { return display_; }

private:
    Process process_;
    std::string display_;
};

struct Rect {
    int x = 0, y = 0, width = 0, height = 0;
    int CentreX() const { return x + width / 2; }
    int CentreY() const { return y + height / 2; }
};

// The eight lines of zintra.cfg.
struct Settings {
    std::string editor = "NULL";
    std::string textureDir = "NULL";
    bool showHud = true;
    bool autoRefresh = true;
    int left = 100, top = 100, right = 612, bottom = 612;
    bool crlf = false;  // as the Windows build writes it
    std::string Text() const;
};

// One program under test: its X server, its folder and its process.
class Session {
public:
    static constexpr const char* kTitle = "Zintra - Zintra";

    // Native: the Linux build. Windows: the Windows build under Wine, from
    // the path in ZINTRA_WINE_EXE (see WindowsBuild()).
    enum class Target { Native, Windows };
    // The Windows build to test, or empty when none was given.
    static std::string WindowsBuild();

    explicit Session(Target target = Target::Native);
    ~Session();
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;

    // Whether the X server and the program's folder are ready.
    bool Ready() const { return ready_; }
    std::string Dir() const { return dir_.str(); }
    std::string SettingsPath() const { return Dir() + "/zintra.cfg"; }
    std::string LogPath() const { return Dir() + "/program.log"; }
    std::string Log() const;
    // For a failed test: a screenshot under the test temp folder as
    // `name`.png, and the program's log, both reported on stderr.
    void ReportFailure(const std::string& name) const;
    const std::string& Display() const { return xvfb_.Display(); }

    bool WriteSettings(const Settings& settings);
    std::string ReadSettingsFile() const;

    // Starts the program; again once the last run has ended. `env`
    // overrides Env() (another window system, say).
    bool Launch(const std::map<std::string, std::string>& env = {});
    // Starts twm on this X server and waits until it manages windows.
    bool StartWindowManager();
    // Waits for the visible window with the exact title; 0 on timeout.
    unsigned long WaitForWindow(int timeoutMs = 15000);
    unsigned long Window() const { return window_; }

    // Gives the window the keyboard focus (no window manager runs).
    bool Focus();
    // Key down, a short hold, key up: the viewer polls its key table.
    bool Key(const std::string& keysym, int holdMs = 60);
    // Each chord (e.g. "alt+o") pressed and released in turn.
    bool Keys(const std::vector<std::string>& chords, int delayMs = 80);
    // Any visible window whose whole title is `title`; 0 on timeout.
    unsigned long WaitForTitle(const std::string& title, int timeoutMs = 10000) const;
    // A visible window whose title matches the extended regular expression.
    unsigned long WaitForTitleMatching(const std::string& pattern, int timeoutMs = 10000) const;
    // The program window's title now; the last one seen when it never
    // became `title` within the timeout.
    std::string Title() const;
    std::string WaitForTitleText(const std::string& title, int timeoutMs = 5000) const;
    bool FocusWindow(unsigned long window) const;
    bool MoveMouse(int screenX, int screenY);
    bool Click(int button, int holdMs = 40);
    // Asks the window to close as a window manager does (WM_DELETE_WINDOW).
    bool RequestClose();

    // Destroys the window as any X client may, without asking it first.
    bool DestroyWindow();

    // The window itself (the client area of a framed window).
    std::optional<Rect> WindowRect() const;
    // What the screen shows of it: its window manager's frame, border
    // included, or the window itself when nothing framed it.
    std::optional<Rect> OuterRect() const;
    // The GL area: the largest visible native child of the window.
    std::optional<Rect> GLArea() const;
    Image Screenshot() const;
    // Polls screenshots until `accept` holds or the timeout passes.
    template <typename Pred>
    Image WaitForScreen(Pred accept, int timeoutMs = 10000) const;

    std::optional<int> WaitExit(int timeoutMs = 10000) { return program_.Wait(timeoutMs); }
    bool ProgramRunning() { return program_.Running(); }
    bool ProgramGroupGone() const { return program_.GroupGone(); }
    pid_t ProgramPid() const { return program_.Pid(); }

    std::map<std::string, std::string> Env() const;

    // A path of this machine as the Windows build sees it (Z:\...).
    static std::string WindowsPath(const std::string& path);

private:
    Target target_;
    TempDir runtime_{"zintra-xdg-"};
    TempDir dir_{"zintra-e2e-"};
    Xvfb xvfb_;
    Process windowManager_;
    Process program_;
    unsigned long window_ = 0;
    bool ready_ = false;
};

void SleepMs(int ms);

// A test with one session: its texture folder ("my textures", a blank on
// purpose), the settings to start with, and the GL area once started.
class SessionTest : public ::testing::Test {
protected:
    explicit SessionTest(Session::Target target = Session::Target::Native);
    // Skips the Windows target when no build was given.
    void SetUp() override;
    // Screenshot and log of a failed test, named after it.
    void TearDown() override;
    // Writes the settings, launches, waits for the window and focuses it.
    void Start();
    // The same with the settings the last run left.
    void Restart();
    // The program ends with status 0 and leaves no process behind.
    void ExpectExitZero();
    void QuitWithEscape();

    const Session::Target target;
    Session session;
    Settings settings;
    std::string textureDir;
    Rect gl;
    // Wine starts and ends slowly, and so does a sanitizer build.
    int windowTimeoutMs = 15000;
    int exitTimeoutMs = 15000;
};

template <typename Pred>
Image Session::WaitForScreen(Pred accept, int timeoutMs) const {
    Image shot;
    for (int waited = 0;; waited += 100) {
        shot = Screenshot();
        if (shot.Valid() && accept(shot)) return shot;
        if (waited >= timeoutMs) return shot;
        SleepMs(100);
    }
}

}  // namespace e2e
