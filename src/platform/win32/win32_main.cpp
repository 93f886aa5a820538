// Program entry of the Windows build.
#include <windows.h>
#include <shellapi.h>

#include <string>
#include <vector>

#include "app/tester_app.h"
#include "platform/platform.h"

namespace {

// The command line split as the C runtime would, each argument in UTF-8
// (also a file dropped on the executable arrives this way).
std::vector<std::string> Arguments() {
    std::vector<std::string> arguments;
    int count = 0;
    LPWSTR* wide = CommandLineToArgvW(GetCommandLineW(), &count);
    if (!wide) return arguments;
    for (int i = 1; i < count; ++i) {
        const int bytes = WideCharToMultiByte(CP_UTF8, 0, wide[i], -1, nullptr, 0, nullptr, nullptr);
        if (bytes <= 0) continue;
        std::string text(static_cast<std::size_t>(bytes), '\0');
        WideCharToMultiByte(CP_UTF8, 0, wide[i], -1, &text[0], bytes, nullptr, nullptr);
        text.resize(static_cast<std::size_t>(bytes) - 1);
        arguments.push_back(text);
    }
    LocalFree(wide);
    return arguments;
}

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    return AppMain(platform::ModuleInstance(), Arguments());
}
