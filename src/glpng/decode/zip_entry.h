// One member of a ZIP container read into memory, as .kra and .ora files
// keep their flattened picture.
#pragma once

#include <cstdint>
#include <cstdio>

#include "glpng/decode/png_decode.h"

namespace glpng {

// Reads member `name` of the ZIP archive `file` (open, owned by the
// caller) into `bytes` (`size` of them). False when there is no such member, when its
// declared size is above `maxBytes`, or when its data is damaged (a
// wrong checksum, or more or less data than declared). `acceptStart`, when
// set, judges the member's first kStartBytes (fewer when it is shorter)
// before the rest is inflated, so that a bomb is refused early.
constexpr std::size_t kStartBytes = 64;
using StartCheck = bool (*)(const std::uint8_t* start, std::size_t size);
bool ReadZipMember(std::FILE* file, const char* name, std::uint64_t maxBytes,
                   StartCheck acceptStart, PixelBuffer* bytes, std::size_t* size);

}  // namespace glpng
