// The Huffman code sets of dynamic deflate blocks, judged by the fast
// decode as zlib (and so libpng) judges them: streams are written by hand
// with the code lengths each case needs, and both decoders must agree.
#include <gtest/gtest.h>
#include <zlib.h>

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "support/fast_compare.h"
#include "support/png_writer.h"

namespace {

using fastcmp::Bytes;
using Lengths = std::map<unsigned, unsigned>;  // symbol: code length

class BitWriter {
public:
    // `count` bits of `value`, lowest first.
    void Put(unsigned value, unsigned count) {
        for (unsigned i = 0; i < count; ++i) PutBit((value >> i) & 1);
    }
    // A Huffman code, its first bit highest.
    void PutCode(unsigned code, unsigned length) {
        for (unsigned i = length; i-- > 0;) PutBit((code >> i) & 1);
    }
    Bytes Take() { return bytes_; }

private:
    void PutBit(unsigned bit) {
        if (used_ % 8 == 0) bytes_.push_back(0);
        bytes_.back() |= std::uint8_t(bit << (used_ % 8));
        ++used_;
    }
    Bytes bytes_;
    unsigned used_ = 0;
};

// RFC 1951's canonical codes for `lengths` (meaningless, but harmless,
// for sets that are over-subscribed).
std::map<unsigned, unsigned> Canonical(const Lengths& lengths) {
    unsigned count[16] = {}, next[16] = {};
    for (const auto& [symbol, length] : lengths) ++count[length];
    count[0] = 0;
    for (unsigned len = 1, code = 0; len < 16; ++len)
        next[len] = code = (code + count[len - 1]) << 1;
    std::map<unsigned, unsigned> codes;
    for (const auto& [symbol, length] : lengths)
        if (length) codes[symbol] = next[length]++;
    return codes;
}

// One dynamic block. Its data is `literals` zero bytes, then (with a
// match) nine more copied from one back.
struct Block {
    Lengths litLen = {{0, 1}, {256, 2}, {263, 2}};
    Lengths dist = {{0, 1}};
    Lengths codeLengths;  // empty: every length 0-15 in four bits
    unsigned literals = 1;
    bool match = true;
};

void WriteBlock(BitWriter& out, const Block& b, bool last) {
    Lengths codeLengths = b.codeLengths;
    if (codeLengths.empty())
        for (unsigned s = 0; s < 16; ++s) codeLengths[s] = 4;
    const unsigned nlen = std::max(257u, b.litLen.rbegin()->first + 1);
    const unsigned ndist = b.dist.empty() ? 1 : b.dist.rbegin()->first + 1;
    out.Put(last, 1);
    out.Put(2, 2);
    out.Put(nlen - 257, 5);
    out.Put(ndist - 1, 5);
    out.Put(15, 4);  // all 19 code length code lengths
    static const unsigned kOrder[19] = {16, 17, 18, 0, 8, 7, 9, 6, 10, 5,
                                        11, 4, 12, 3, 13, 2, 14, 1, 15};
    for (unsigned s : kOrder) out.Put(codeLengths.count(s) ? codeLengths.at(s) : 0, 3);
    const auto lengthCodes = Canonical(codeLengths);
    auto putLength = [&](unsigned length) {
        out.PutCode(lengthCodes.at(length), codeLengths.at(length));
    };
    for (unsigned s = 0; s < nlen; ++s) putLength(b.litLen.count(s) ? b.litLen.at(s) : 0);
    for (unsigned s = 0; s < ndist; ++s) putLength(b.dist.count(s) ? b.dist.at(s) : 0);

    const auto lit = Canonical(b.litLen), dist = Canonical(b.dist);
    for (unsigned i = 0; i < b.literals; ++i) out.PutCode(lit.at(0), b.litLen.at(0));
    if (b.match) {
        out.PutCode(lit.at(263), b.litLen.at(263));  // length 9
        out.PutCode(dist.at(0), b.dist.at(0));      // distance 1
    }
    out.PutCode(lit.at(256), b.litLen.at(256));
}

// A 4 x 2 grey PNG of zeros (filter bytes included: ten bytes) whose data
// is these blocks, cut into IDATs of `piece` bytes (0: one).
Bytes Png(const std::vector<Block>& blocks, std::size_t piece = 0) {
    BitWriter bits;
    std::size_t size = 0;
    for (std::size_t i = 0; i < blocks.size(); ++i) {
        WriteBlock(bits, blocks[i], i + 1 == blocks.size());
        size += blocks[i].literals + (blocks[i].match ? 9 : 0);
    }
    Bytes z = {0x78, 0x9C};
    const Bytes deflated = bits.Take();
    z.insert(z.end(), deflated.begin(), deflated.end());
    const Bytes zeros(size, 0);
    const uLong adler = adler32(adler32(0L, Z_NULL, 0), zeros.data(), uInt(zeros.size()));
    for (int shift = 24; shift >= 0; shift -= 8) z.push_back(std::uint8_t(adler >> shift));

    Bytes file = testpng::Signature();
    testpng::AppendChunk(file, "IHDR", testpng::IhdrData(4, 2, 8, 0));
    const std::size_t step = piece ? piece : z.size();
    for (std::size_t at = 0; at < z.size(); at += step)
        testpng::AppendChunk(file, "IDAT",
                             Bytes(z.begin() + at, z.begin() + std::min(z.size(), at + step)));
    testpng::AppendChunk(file, "IEND", {});
    return file;
}

Lengths Uniform(unsigned first, unsigned end, unsigned length) {
    Lengths l;
    for (unsigned s = first; s < end; ++s) l[s] = length;
    return l;
}

struct CodeCase {
    const char* what;
    Block block;
    bool read;  // libpng reads the file
};

TEST(DeflateCodesTest, CodeSetsAreJudgedAsZlibJudgesThem) {
    Lengths incompleteCodeLengths = Uniform(0, 15, 4);
    incompleteCodeLengths[15] = 5;
    Lengths oversubscribedCodeLengths = Uniform(0, 16, 4);
    oversubscribedCodeLengths[16] = 4;
    Block sound;
    Block noMatch;
    noMatch.literals = 10;
    noMatch.match = false;

    std::vector<CodeCase> cases = {
        {"complete codes, a distance set of one one-bit code", sound, true},
        {"incomplete literal/length set", sound, false},
        {"incomplete literal/length set, no match", noMatch, false},
        {"incomplete code length code", sound, false},
        {"a distance set of one two-bit code", sound, false},
        {"two distance codes", sound, true},
        {"no distance codes at all", noMatch, true},
        {"over-subscribed literal/length set", sound, false},
        {"over-subscribed distance set", sound, false},
        {"over-subscribed code length code", sound, false},
    };
    cases[1].block.litLen = {{0, 1}, {256, 2}, {263, 3}};
    cases[2].block.litLen = {{0, 2}, {256, 2}};
    cases[3].block.codeLengths = incompleteCodeLengths;
    cases[4].block.dist = {{0, 2}};
    cases[5].block.dist = {{0, 1}, {1, 1}};
    cases[6].block.litLen = {{0, 1}, {256, 1}};
    cases[6].block.dist = {};
    cases[7].block.litLen = {{0, 1}, {256, 1}, {263, 1}};
    cases[8].block.dist = {{0, 1}, {1, 1}, {2, 1}};
    cases[9].block.codeLengths = oversubscribedCodeLengths;

    for (const CodeCase& c : cases)
        for (std::size_t piece : {0u, 3u, 7u}) {
            const std::string what = std::string(c.what) + ", IDATs of " + std::to_string(piece);
            const fastcmp::Outcome out = fastcmp::Same(Png({c.block}, piece), what);
            EXPECT_EQ(out.ok, c.read) << what;
            EXPECT_EQ(out.fast, c.read) << what;
        }
}

// A block whose only code is end-of-block (one one-bit code, which zlib
// allows), then the data, then a bad block behind it.
TEST(DeflateCodesTest, EveryBlockIsJudgedNotOnlyTheFirst) {
    Block empty;
    empty.litLen = {{256, 1}};
    empty.dist = {};
    empty.literals = 0;
    empty.match = false;
    Block tail = empty;
    const fastcmp::Outcome good = fastcmp::Same(Png({empty, Block(), empty}), "empty blocks");
    EXPECT_TRUE(good.ok && good.fast);

    tail.litLen = {{256, 2}};  // incomplete, and past the last row
    EXPECT_FALSE(fastcmp::Same(Png({empty, Block(), tail}), "bad last block").ok);
    Block middle;
    middle.literals = 0;
    middle.match = false;
    middle.litLen = {{0, 2}, {256, 2}, {263, 2}};  // incomplete
    Block rest;
    rest.literals = 1;
    EXPECT_FALSE(fastcmp::Same(Png({middle, rest}), "bad first of two").ok);
}

// Blocks by the hundred, matches reaching back across their ends, empty
// stored blocks between them: the fast path reads it all, as libpng does.
TEST(DeflateCodesTest, ManySmallBlocksReadTheSame) {
    const unsigned width = 97, height = 60, rowBytes = width * 3 + 1;
    Bytes raw;
    for (unsigned y = 0; y < height; ++y)
        for (unsigned i = 0; i < rowBytes; ++i)
            raw.push_back(i == 0 ? std::uint8_t(y % 5) : std::uint8_t((i * 7 + y / 3) % 23));
    z_stream z = {};
    deflateInit2(&z, 9, Z_DEFLATED, 15, 1, Z_DEFAULT_STRATEGY);  // 128-symbol blocks
    Bytes zdata(deflateBound(&z, uLong(raw.size())) + 4096);
    z.next_out = zdata.data();
    z.avail_out = uInt(zdata.size());
    for (std::size_t at = 0; at < raw.size(); at += 500) {
        z.next_in = raw.data() + at;
        z.avail_in = uInt(std::min<std::size_t>(500, raw.size() - at));
        deflate(&z, at + 500 >= raw.size() ? Z_FINISH : Z_SYNC_FLUSH);
    }
    zdata.resize(z.total_out);
    deflateEnd(&z);
    Bytes file = testpng::Signature();
    testpng::AppendChunk(file, "IHDR", testpng::IhdrData(width, height, 8, 2));
    testpng::AppendChunk(file, "IDAT", zdata);
    testpng::AppendChunk(file, "IEND", {});
    const fastcmp::Outcome out = fastcmp::Same(file, "small blocks");
    EXPECT_TRUE(out.ok && out.fast);
}

#ifdef ZINTRA_SOURCE_DIR
// Found by the fast-decode fuzzer's checksum-fixing comparison on
// one-bit changes of its seeds (file name: seed strategy, byte, bit): code
// sets zlib refuses that the fast inflater read. Both decoders must agree.
TEST(DeflateCodesTest, FuzzerFindsReadAsLibpngReadsThem) {
    int seen = 0;
    for (const auto& entry :
         std::filesystem::directory_iterator(ZINTRA_SOURCE_DIR "/tests/data/fast_decode")) {
        std::FILE* f = std::fopen(entry.path().string().c_str(), "rb");
        ASSERT_NE(f, nullptr);
        Bytes file;
        for (int c; (c = std::fgetc(f)) != EOF;) file.push_back(std::uint8_t(c));
        std::fclose(f);
        fastcmp::Same(file, entry.path().filename().string());
        ++seen;
    }
    EXPECT_GT(seen, 0);
}
#endif

}  // namespace
