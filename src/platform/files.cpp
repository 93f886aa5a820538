// What files.h says the same way on every system.
#include "platform/files.h"

namespace files {

namespace {

bool Continuation(unsigned char c) { return (c & 0xC0) == 0x80; }

// Bytes in the well-formed UTF-8 sequence at `at` (no overlong forms or
// surrogates), or 1 for a byte that starts none.
std::size_t SequenceLength(const std::string& text, std::size_t at) {
    const auto byte = [&](std::size_t i) {
        return at + i < text.size() ? static_cast<unsigned char>(text[at + i]) : 0;
    };
    const unsigned char lead = byte(0);
    if (lead < 0x80) return 1;
    if (lead >= 0xC2 && lead <= 0xDF) return Continuation(byte(1)) ? 2 : 1;
    if (lead >= 0xE0 && lead <= 0xEF) {
        const unsigned char low = lead == 0xE0 ? 0xA0 : 0x80, high = lead == 0xED ? 0x9F : 0xBF;
        return byte(1) >= low && byte(1) <= high && Continuation(byte(2)) ? 3 : 1;
    }
    if (lead >= 0xF0 && lead <= 0xF4) {
        const unsigned char low = lead == 0xF0 ? 0x90 : 0x80, high = lead == 0xF4 ? 0x8F : 0xBF;
        return byte(1) >= low && byte(1) <= high && Continuation(byte(2)) && Continuation(byte(3))
                   ? 4
                   : 1;
    }
    return 1;
}

}  // namespace

std::size_t Utf16Length(const std::string& utf8) {
    std::size_t units = 0;
    for (std::size_t at = 0; at < utf8.size();) {
        const std::size_t length = SequenceLength(utf8, at);
        units += length == 4 ? 2 : 1;  // beyond the BMP: a surrogate pair
        at += length;
    }
    return units;
}

}  // namespace files
