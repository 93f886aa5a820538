// Program entry: the command line's own questions first, answered without
// a window (or a display), then the window system and the application.
#include <string>
#include <vector>

#include "app/command_line.h"
#include "app/seam_check.h"
#include "app/tester_app.h"
#include "platform/platform.h"

namespace {

int RunApplication(const std::vector<std::string>& arguments) {
    return AppMain(platform::ModuleInstance(), ParseCommandLine(arguments).paths);
}

int Start(int argc, char** argv) {
    const CommandLine line = ParseCommandLine(platform::ProgramArguments(argc, argv));
    if (line.help || line.version) {
        const std::string text = line.help ? UsageText() : VersionText();
        return platform::WriteStandard(platform::Stream::Output, text) ? 0 : 1;
    }
    if (line.check) {
        if (line.paths.empty()) {
            platform::WriteStandard(platform::Stream::Error,
                                    "zintra: --check needs a file or folder; see --help\n");
            return kCheckUnreadable;
        }
        return RunSeamCheck(line.paths, line.json);
    }
    if (line.json) {
        platform::WriteStandard(platform::Stream::Error, "zintra: --json goes with --check\n");
        return kCheckUnreadable;
    }
    return platform::RunWindowSystem(argc, argv, RunApplication);
}

}  // namespace

#if defined(_WIN32) && !defined(ZINTRA_CONSOLE)
// The window subsystem's entry, declared here without the system headers
// the portable core keeps out.
struct HINSTANCE__;
extern "C" int __stdcall WinMain(HINSTANCE__*, HINSTANCE__*, char*, int) {
    return Start(0, nullptr);
}
#else
int main(int argc, char** argv) {
    return Start(argc, argv);
}
#endif
