#include <unistd.h>

#include <vector>

#include "platform/platform.h"

namespace platform {

std::string ExecutablePath() {
    // readlink does not say how long the target is: grow until it fits.
    for (std::size_t size = 4096; size <= (std::size_t(1) << 20); size *= 4) {
        std::vector<char> buffer(size);
        const ssize_t n = readlink("/proc/self/exe", buffer.data(), size);
        if (n <= 0) return std::string();
        if (static_cast<std::size_t>(n) < size) return std::string(buffer.data(), static_cast<std::size_t>(n));
    }
    return std::string();
}

}  // namespace platform
