#include <unistd.h>

#include <cstring>

#include "platform/platform.h"

namespace platform {

std::size_t ExecutablePath(char* buffer, std::size_t size) {
    if (!buffer || size == 0) return 0;
    char full[4096];
    const ssize_t n = readlink("/proc/self/exe", full, sizeof full - 1);
    if (n <= 0) {
        buffer[0] = '\0';
        return 0;
    }
    // Cut to fit, as GetModuleFileNameA does.
    const std::size_t len = static_cast<std::size_t>(n) < size ? static_cast<std::size_t>(n) : size - 1;
    std::memcpy(buffer, full, len);
    buffer[len] = '\0';
    return len;
}

}  // namespace platform
