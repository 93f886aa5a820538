// Path of the running executable.
#include <windows.h>

#include <vector>

#include "platform/files.h"
#include "platform/platform.h"

namespace platform {

std::string ExecutablePath() {
    // The call cuts the path to the buffer without saying how long it is:
    // grow until it fits (long paths reach 32767 characters). Wide, so a
    // folder named outside the ANSI code page is kept as it is.
    for (DWORD size = MAX_PATH; size <= 65536; size *= 2) {
        std::vector<wchar_t> buffer(size);
        const DWORD length = GetModuleFileNameW(nullptr, buffer.data(), size);
        if (length == 0) return std::string();
        if (length < size) return win32::Narrow(std::wstring(buffer.data(), length));
    }
    return std::string();
}

}  // namespace platform
