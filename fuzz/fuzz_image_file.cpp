// One of the loader's readers through a file named for its format (the
// extension is built in): whatever the bytes, the reader refuses them or
// gives a whole image within the limits, keyed; and rows read in batches
// key exactly as the whole image does.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "fuzz_support.h"
#include "glpng/decode/image_reader.h"

namespace {

const std::uint8_t kKey[3] = {255, 0, 255};

bool Keyed(const std::uint8_t* p) { return p[0] == 255 && p[1] == 0 && p[2] == 255; }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const std::string path = fuzz::ScratchDir() + "/input." ZINTRA_FUZZ_EXTENSION;
    FUZZ_CHECK(fuzz::WriteFile(path, data, size));

    glpng::ImageReader whole;
    if (!whole.Open(path.c_str())) return 0;
    const glpng::PngHeader header = whole.header();
    FUZZ_CHECK(header.width > 0 && header.height > 0 && header.width <= glpng::kMaxSide &&
               header.height <= glpng::kMaxSide &&
               std::uint64_t(header.width) * header.height <= glpng::kMaxPixels);
    glpng::PixelBuffer pixels(nullptr, std::free);
    if (!whole.ReadKeyedImage(kKey, &pixels)) return 0;
    const std::size_t texels = std::size_t(header.width) * header.height;
    for (std::size_t i = 0; i < texels; ++i) {
        const std::uint8_t alpha = pixels.get()[i * 4 + 3];
        FUZZ_CHECK(alpha == 0 || alpha == 255);
    }

    glpng::ImageReader rows;
    FUZZ_CHECK(rows.Open(path.c_str()));
    FUZZ_CHECK(rows.header().width == header.width && rows.header().height == header.height);
    if (!rows.Streams()) return 0;
    const std::size_t stride = std::size_t(header.width) * 4;
    std::vector<std::uint8_t> row(stride * 7);
    std::vector<std::uint32_t> rowKeyed(7);
    for (unsigned y = 0; y < header.height; y += 7) {
        const unsigned count = std::min(7u, header.height - y);
        FUZZ_CHECK(rows.ReadKeyedRows(row.data(), count, kKey, rowKeyed.data()));
        // The whole image's holes are filled; its alpha and opaque texels
        // are the rows' own.
        for (std::size_t i = 0; i < stride * count; i += 4) {
            const std::uint8_t* w = pixels.get() + y * stride + i;
            FUZZ_CHECK(w[3] == row[i + 3]);
            FUZZ_CHECK((row[i + 3] == 0) == Keyed(&row[i]));
            if (row[i + 3] != 0) FUZZ_CHECK(std::memcmp(w, &row[i], 3) == 0);
        }
    }
    return 0;
}
