#include "support/format_reference.h"

#include <jpeglib.h>
#include <webp/decode.h>

#include "glpng/colour_key.h"
#include "glpng/hole_fill.h"
#include "support/png_writer.h"

namespace testimg {

// What the loader makes of a picture: keyed on magenta, holes filled.
Bytes Keyed(Rgba picture) {
    std::vector<std::uint32_t> rowKeyed(picture.height);
    for (unsigned y = 0; y < picture.height; ++y)
        rowKeyed[y] = glpng::KeyRow(&picture.px[std::size_t(y) * picture.width * 4],
                                    picture.width, 255, 0, 255);
    glpng::FillHoles(picture.px.data(), picture.width, picture.height, rowKeyed.data());
    return picture.px;
}

Bytes PngOf(const Rgba& picture) {
    testpng::Picture png;
    png.width = picture.width;
    png.height = picture.height;
    png.color = testpng::Color::Rgba;
    png.pixel = [&](unsigned x, unsigned y) {
        const std::uint8_t* p = &picture.px[(std::size_t(y) * picture.width + x) * 4];
        return testpng::Sample::Rgba(p[0], p[1], p[2], p[3]);
    };
    return testpng::EncodePng(png);
}

Rgba LibjpegDecode(const Bytes& file) {
    jpeg_decompress_struct info;
    jpeg_error_mgr errors;
    info.err = jpeg_std_error(&errors);
    jpeg_create_decompress(&info);
    jpeg_mem_src(&info, file.data(), static_cast<unsigned long>(file.size()));
    jpeg_read_header(&info, TRUE);
    info.out_color_space = JCS_RGB;
    jpeg_start_decompress(&info);
    Rgba out{info.output_width, info.output_height, {}};
    Bytes row(std::size_t(out.width) * 3);
    while (info.output_scanline < info.output_height) {
        JSAMPROW r = row.data();
        jpeg_read_scanlines(&info, &r, 1);
        for (unsigned x = 0; x < out.width; ++x)
            out.px.insert(out.px.end(), {row[x * 3], row[x * 3 + 1], row[x * 3 + 2], 255});
    }
    jpeg_finish_decompress(&info);
    jpeg_destroy_decompress(&info);
    return out;
}

Rgba LibwebpDecode(const Bytes& file) {
    int width = 0, height = 0;
    std::uint8_t* pixels = WebPDecodeRGBA(file.data(), file.size(), &width, &height);
    Rgba out{unsigned(width), unsigned(height), Bytes(pixels, pixels + std::size_t(width) * height * 4)};
    WebPFree(pixels);
    return out;
}

}  // namespace testimg
