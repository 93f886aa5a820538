// Path of the running executable.
#include <windows.h>

#include "platform/platform.h"

namespace platform {

std::size_t ExecutablePath(char* buffer, std::size_t size) {
    if (!buffer || size == 0) return 0;
    const DWORD capacity = size > MAXDWORD ? MAXDWORD : static_cast<DWORD>(size);
    const DWORD length = GetModuleFileNameA(nullptr, buffer, capacity);
    // A path cut to fit comes back unterminated on older systems.
    if (length >= capacity) {
        buffer[capacity - 1] = '\0';
        return capacity - 1;
    }
    buffer[length] = '\0';
    return length;
}

}  // namespace platform
