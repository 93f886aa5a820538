// Once per block, a few hundred symbols: a 64-bit bit buffer and a
// lookup table for the code length code keep it to about a microsecond.
#include "glpng/decode/deflate_header.h"

#include <cstring>

namespace glpng {

namespace {

constexpr unsigned kMaxBits = 15;
constexpr unsigned kMaxLitLen = 286, kMaxDist = 30, kCodeLengthSymbols = 19;
// The order RFC 1951 sends the code length code's lengths in.
constexpr unsigned char kCodeLengthOrder[kCodeLengthSymbols] = {
    16, 17, 18, 0, 8, 7, 9, 6, 10, 5, 11, 4, 12, 3, 13, 2, 14, 1, 15};

class BitReader {
public:
    explicit BitReader(const DeflateBits& bits)
        : buffer_(bits.headCount >= 64 ? bits.head
                                       : bits.head & ((std::uint64_t(1) << bits.headCount) - 1)),
          count_(bits.headCount > 64 ? 64 : bits.headCount),
          next_(bits.bytes),
          end_(bits.bytes + bits.size) {}

    // At least `want` bits (at most 57) in the buffer, if the input has them.
    unsigned Fill(unsigned want) {
        if (count_ >= want) return count_;
        if (count_ <= 32 && end_ - next_ >= 4) {
            const std::uint64_t word =
                std::uint64_t(next_[0]) | std::uint64_t(next_[1]) << 8 |
                std::uint64_t(next_[2]) << 16 | std::uint64_t(next_[3]) << 24;
            buffer_ |= word << count_;
            count_ += 32;
            next_ += 4;
            return count_;
        }
        while (count_ < want && count_ <= 56 && next_ != end_) {
            buffer_ |= std::uint64_t(*next_++) << count_;
            count_ += 8;
        }
        return count_;
    }
    std::uint64_t Peek() const { return buffer_; }
    void Drop(unsigned count) {
        buffer_ >>= count;
        count_ -= count;
    }

    // `count` bits (at most 32), the first read lowest; false when they run out.
    bool Take(unsigned count, unsigned* value) {
        if (Fill(count) < count) return false;
        *value = unsigned(buffer_ & ((std::uint64_t(1) << count) - 1));
        Drop(count);
        return true;
    }

private:
    std::uint64_t buffer_;
    unsigned count_;
    const std::uint8_t* next_;
    const std::uint8_t* end_;
};

// zlib's rule for a set of code lengths: never over-subscribed; never
// incomplete, except that a literal/length or distance set may be one
// code of one bit. A set with no codes at all passes (an empty distance
// set; the code length code's is refused by the caller).
bool SoundSet(const unsigned char* lengths, unsigned n, bool oneCodeAllowed) {
    // Each code of length l takes 2^(15 - l) of the 2^15 code space.
    std::uint32_t used = 0;
    unsigned codes = 0, longest = 0;
    for (unsigned i = 0; i < n; ++i) {
        const unsigned len = lengths[i];
        used += (std::uint32_t(1) << kMaxBits) >> len & ~(std::uint32_t(len == 0) << kMaxBits);
        codes += len != 0;
        longest = len > longest ? len : longest;
    }
    if (codes == 0) return true;
    const std::uint32_t space = std::uint32_t(1) << kMaxBits;
    return used == space || (used < space && oneCodeAllowed && longest == 1);
}

// The code length code (complete, codes of at most 7 bits) as a table
// on the next 7 bits of input: each entry a symbol and its code's length.
class CodeLengthCode {
public:
    explicit CodeLengthCode(const unsigned char* lengths) {
        unsigned count[8] = {}, next[8] = {};
        for (unsigned i = 0; i < kCodeLengthSymbols; ++i) ++count[lengths[i]];
        count[0] = 0;
        for (unsigned len = 1, code = 0; len < 8; ++len)
            next[len] = code = (code + count[len - 1]) << 1;
        for (unsigned symbol = 0; symbol < kCodeLengthSymbols; ++symbol) {
            const unsigned len = lengths[symbol];
            if (len == 0) continue;
            // Codes go first bit first; the table is indexed low bit first.
            unsigned code = next[len]++, reversed = 0;
            for (unsigned i = 0; i < len; ++i, code >>= 1) reversed = (reversed << 1) | (code & 1);
            for (unsigned fill = reversed; fill < kEntries; fill += 1u << len)
                entry_[fill] = {static_cast<unsigned char>(symbol),
                                static_cast<unsigned char>(len)};
        }
    }

    // False when the bits run out.
    bool Decode(BitReader& in, unsigned* symbol) const {
        const unsigned have = in.Fill(kBits);
        const Entry e = entry_[in.Peek() & (kEntries - 1)];
        if (e.length > have) return false;
        in.Drop(e.length);
        *symbol = e.symbol;
        return true;
    }

private:
    static constexpr unsigned kBits = 7, kEntries = 1u << kBits;
    struct Entry {
        unsigned char symbol, length;
    };
    Entry entry_[kEntries] = {};
};

HeaderVerdict JudgeDynamic(BitReader& in) {
    unsigned hlit, hdist, hclen;
    if (!in.Take(5, &hlit) || !in.Take(5, &hdist) || !in.Take(4, &hclen))
        return HeaderVerdict::kShort;
    const unsigned nlen = 257 + hlit, ndist = 1 + hdist, ncode = 4 + hclen;
    if (nlen > kMaxLitLen || ndist > kMaxDist) return HeaderVerdict::kRefused;

    unsigned char codeLengths[kCodeLengthSymbols] = {};
    for (unsigned i = 0; i < ncode; ++i) {
        unsigned len;
        if (!in.Take(3, &len)) return HeaderVerdict::kShort;
        codeLengths[kCodeLengthOrder[i]] = static_cast<unsigned char>(len);
    }
    // An empty code length code reads every length as 0, and so ends with
    // no end-of-block code: refused either way.
    bool any = false;
    for (unsigned char len : codeLengths) any = any || len != 0;
    if (!any || !SoundSet(codeLengths, kCodeLengthSymbols, false)) return HeaderVerdict::kRefused;
    const CodeLengthCode code(codeLengths);

    unsigned char lengths[kMaxLitLen + kMaxDist];
    unsigned have = 0;
    while (have < nlen + ndist) {
        unsigned symbol, extra;
        if (!code.Decode(in, &symbol)) return HeaderVerdict::kShort;
        if (symbol < 16) {
            lengths[have++] = static_cast<unsigned char>(symbol);
            continue;
        }
        unsigned char repeated = 0;
        unsigned copies;
        if (symbol == 16) {
            if (!in.Take(2, &extra)) return HeaderVerdict::kShort;
            if (have == 0) return HeaderVerdict::kRefused;
            repeated = lengths[have - 1];
            copies = 3 + extra;
        } else if (symbol == 17) {
            if (!in.Take(3, &extra)) return HeaderVerdict::kShort;
            copies = 3 + extra;
        } else {
            if (!in.Take(7, &extra)) return HeaderVerdict::kShort;
            copies = 11 + extra;
        }
        if (have + copies > nlen + ndist) return HeaderVerdict::kRefused;
        std::memset(lengths + have, repeated, copies);
        have += copies;
    }
    if (lengths[256] == 0) return HeaderVerdict::kRefused;
    if (!SoundSet(lengths, nlen, true) || !SoundSet(lengths + nlen, ndist, true))
        return HeaderVerdict::kRefused;
    return HeaderVerdict::kSound;
}

}  // namespace

HeaderVerdict JudgeBlockHeader(const DeflateBits& bits, bool* final) {
    BitReader in(bits);
    unsigned last, type;
    if (!in.Take(1, &last) || !in.Take(2, &type)) return HeaderVerdict::kShort;
    HeaderVerdict verdict = HeaderVerdict::kSound;
    if (type == 3)
        verdict = HeaderVerdict::kRefused;
    else if (type == 2)
        verdict = JudgeDynamic(in);
    if (verdict == HeaderVerdict::kSound) *final = last != 0;
    return verdict;
}

}  // namespace glpng
