// The fast decode against libpng's on the same bytes, for the tests that
// compare them: the same rows, or both refuse.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "glpng/decode/png_decode.h"

namespace fastcmp {

using Bytes = std::vector<std::uint8_t>;

struct Outcome {
    bool ok = false;
    bool fast = false;  // the fast path read every row
    Bytes rgba;
    std::vector<std::uint32_t> keyed;
};

// Every row in pieces of 1, 2, 3 ... rows, as the band loader asks.
Outcome Read(const Bytes& file, glpng::DecodePath path);

// Both decoders on `file`: the same answer, checked with EXPECTs that name
// `what`. Returns the fast one.
Outcome Same(const Bytes& file, const std::string& what);

}  // namespace fastcmp
