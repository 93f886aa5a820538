// Arithmetic for the viewer's 16-bit view fields: values are worked out
// wide and saturated on the way in, so tall or wide images never wrap.
#pragma once

#include <cstdint>
#include <limits>

namespace viewer_math {

inline std::int16_t Saturate16(std::int64_t value) {
    constexpr std::int64_t lo = std::numeric_limits<std::int16_t>::min();
    constexpr std::int64_t hi = std::numeric_limits<std::int16_t>::max();
    return static_cast<std::int16_t>(value < lo ? lo : (value > hi ? hi : value));
}

inline std::int32_t Saturate32(std::int64_t value) {
    constexpr std::int64_t lo = std::numeric_limits<std::int32_t>::min();
    constexpr std::int64_t hi = std::numeric_limits<std::int32_t>::max();
    return static_cast<std::int32_t>(value < lo ? lo : (value > hi ? hi : value));
}

// Halves towards minus infinity, as an arithmetic right shift does.
inline std::int64_t HalfFloor(std::int64_t value) {
    return value >= 0 ? value / 2 : -((-value + 1) / 2);
}

}  // namespace viewer_math
