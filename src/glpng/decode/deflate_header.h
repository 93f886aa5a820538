// Deflate block headers judged as zlib judges them. The fast inflater
// reads on through dynamic Huffman codes that do not fill their code
// space, where zlib (and so libpng) refuses the stream at the header; this
// lets the fast path refuse what libpng would, before it reads the block.
#pragma once

#include <cstddef>
#include <cstdint>

namespace glpng {

// Bits in stream order: the low `headCount` bits of `head` (at most 64),
// then `bytes`, each byte low bit first.
struct DeflateBits {
    std::uint64_t head = 0;
    unsigned headCount = 0;
    const std::uint8_t* bytes = nullptr;
    std::size_t size = 0;
};

enum class HeaderVerdict {
    kSound,    // zlib reads on into the block
    kRefused,  // zlib refuses the stream here
    kShort,    // the bits end inside the header
};

// The most bytes a block header takes (a dynamic one at its longest).
constexpr std::size_t kMaxBlockHeaderBytes = 600;

// The header of the block that starts at `bits`, as zlib's inflate reads
// it: for a dynamic block the counts of codes, the code length code, the
// lengths and their repeats, the end-of-block code, and each code set,
// which must be neither over-subscribed nor incomplete (a literal/length
// or distance set of a single one-bit code excepted; an empty distance
// set passes). Stored and fixed blocks pass on their type alone. When
// sound, `final` is the block's BFINAL bit.
HeaderVerdict JudgeBlockHeader(const DeflateBits& bits, bool* final);

}  // namespace glpng
