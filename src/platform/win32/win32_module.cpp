// Path of the running executable.
#include <windows.h>

#include <vector>

#include "platform/platform.h"

namespace platform {

std::string ExecutablePath() {
    // The call cuts the path to the buffer without saying how long it is:
    // grow until it fits (long paths reach 32767 characters).
    for (DWORD size = MAX_PATH; size <= 65536; size *= 2) {
        std::vector<char> buffer(size);
        const DWORD length = GetModuleFileNameA(nullptr, buffer.data(), size);
        if (length == 0) return std::string();
        if (length < size) return std::string(buffer.data(), length);
    }
    return std::string();
}

}  // namespace platform
