// The hole fill's marks in alpha and the whole-texel words it compares
// them in, shared by its ring and far stages.
#pragma once

#include <cstdint>
#include <cstring>

namespace glpng::fill {

// Alpha values that double as the hole fill's state while it runs.
constexpr std::uint8_t kHole = 0;    // keyed, not reached yet
constexpr std::uint8_t kQueued = 1;  // keyed, in the next ring
// Keyed and coloured. Rings alternate between the two, so a ring tells
// the ring before it from its own texels without a pass in between.
constexpr std::uint8_t kFilledEven = 2;
constexpr std::uint8_t kFilledOdd = 3;
constexpr std::uint8_t kOpaque = 255;

inline std::uint8_t FilledMark(unsigned ring) { return ring % 2 ? kFilledOdd : kFilledEven; }

// Alpha as a whole-texel mask, and a mark in alpha's place, the same on
// any endianness. A masked texel compares as its alpha does.
inline std::uint32_t AlphaWord(std::uint8_t alpha) {
    const std::uint8_t bytes[4] = {0, 0, 0, alpha};
    std::uint32_t word;
    std::memcpy(&word, bytes, 4);
    return word;
}

// Bytes {r, g, b, a} as the word that memcpy makes of them.
inline std::uint32_t ChannelsWord(std::uint8_t r, std::uint8_t g, std::uint8_t b, std::uint8_t a) {
    const std::uint8_t bytes[4] = {r, g, b, a};
    std::uint32_t word;
    std::memcpy(&word, bytes, 4);
    return word;
}

// Where byte `c` of a texel sits in the word memcpy makes of it.
inline unsigned ByteShift(int c) {
    const std::uint32_t probe = ChannelsWord(c == 0, c == 1, c == 2, c == 3);
    unsigned shift = 0;
    while ((probe >> shift) != 1) shift += 8;
    return shift;
}

}  // namespace glpng::fill
