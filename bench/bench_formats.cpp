// The other formats' loads against their own library's bare decode of the
// same file (JPEG, WebP), and a .kra against the PNG it holds.
#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include <jpeglib.h>
#include <webp/decode.h>

#include "bench_support.h"
#include "platform/gl.h"
#include "render/texture_bank.h"
#include "support/image_writers.h"

namespace {

constexpr int kRepetitions = 7;

std::vector<std::uint8_t> ReadAll(const std::string& path) {
    std::vector<std::uint8_t> bytes;
    if (std::FILE* f = std::fopen(path.c_str(), "rb")) {
        std::uint8_t buffer[1 << 16];
        for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, f)) > 0;)
            bytes.insert(bytes.end(), buffer, buffer + n);
        std::fclose(f);
    }
    return bytes;
}

bool Save(const std::string& path, const testimg::Bytes& bytes) {
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return false;
    const bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    return std::fclose(f) == 0 && ok;
}

// A load as a step or a reload makes it: into the storage of the texture
// it replaces, of the same size, as the viewer recycles it.
GLuint gStorage = 0;
bool LoadOnce(const std::string& path) {
    std::uint16_t size[2] = {0, 0};
    const GLuint name = gTextureBank.LoadPngInto(path.c_str(), size, 2, gStorage);
    gTextureBank.Forget(2);
    glFinish();
    if (name != gStorage && gStorage) glDeleteTextures(1, &gStorage);
    gStorage = name;
    return name != 0;
}

// libjpeg-turbo alone: the file to RGBA8 in a plain buffer.
bool BareJpeg(const std::string& path, std::vector<std::uint8_t>* rgba) {
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (!file) return false;
    jpeg_decompress_struct info;
    jpeg_error_mgr errors;
    info.err = jpeg_std_error(&errors);
    jpeg_create_decompress(&info);
    jpeg_stdio_src(&info, file);
    jpeg_read_header(&info, TRUE);
    info.out_color_space = JCS_EXT_RGBA;
    jpeg_start_decompress(&info);
    rgba->resize(std::size_t(info.output_width) * info.output_height * 4);
    while (info.output_scanline < info.output_height) {
        JSAMPROW row = rgba->data() + std::size_t(info.output_scanline) * info.output_width * 4;
        jpeg_read_scanlines(&info, &row, 1);
    }
    jpeg_finish_decompress(&info);
    jpeg_destroy_decompress(&info);
    std::fclose(file);
    return true;
}

// libwebp alone: the file read, then decoded to RGBA8.
bool BareWebp(const std::string& path, std::vector<std::uint8_t>* rgba) {
    const std::vector<std::uint8_t> bytes = ReadAll(path);
    int width = 0, height = 0;
    if (!WebPGetInfo(bytes.data(), bytes.size(), &width, &height)) return false;
    rgba->resize(std::size_t(width) * height * 4);
    return WebPDecodeRGBAInto(bytes.data(), bytes.size(), rgba->data(), rgba->size(), width * 4);
}

double Ratio(const char* what, const std::string& path, const std::function<void()>& baseline,
             const char* baselineName) {
    bool loaded = true;
    const bench::Pair t = bench::MedianPair(
        kRepetitions, [&] { loaded = LoadOnce(path) && loaded; }, baseline,
        [] {});
    std::printf("  %s: load %.1f ms, %s %.1f ms%s\n", what, t.a, baselineName, t.b,
                loaded ? "" : " (load FAILED)");
    return loaded ? t.a / t.b : 1e9;
}

}  // namespace

int main() {
    bench::TempFolder folder;
    if (!folder.ok()) return 1;
    const std::string png = folder.path() + "/painted_4096.png";
    if (!bench::WriteTexturePng(png, 4096, 4096, bench::Content::Painted)) return 1;
    bench::Decoded decoded;
    if (!bench::BareDecode(png.c_str(), &decoded)) return 1;
    testimg::Rgba picture{decoded.width, decoded.height, {}};
    picture.px.assign(decoded.rgba.get(),
                      decoded.rgba.get() + std::size_t(decoded.width) * decoded.height * 4);
    decoded = bench::Decoded();
    const std::string jpeg = folder.path() + "/painted_4096.jpg";
    const std::string webp = folder.path() + "/painted_4096.webp";
    const std::string kra = folder.path() + "/painted_4096.kra";
    const std::vector<std::uint8_t> pngBytes = ReadAll(png);
    if (!Save(jpeg, testimg::Jpeg(picture, 90, false, false, true)) ||
        !Save(webp, testimg::Webp(picture, false)) ||
        !Save(kra, testimg::Zip({{"mimetype", {'x'}}, {"mergedimage.png", pngBytes, true}}))) {
        std::printf("cannot write the inputs\n");
        return 1;
    }
    picture = testimg::Rgba();

    bench::SoftwareContext context;
    if (!context.ok()) {
        std::printf("no OSMesa context\n");
        return 1;
    }
    gTextureBank.ResetAll(1, 1, 1);
    LoadOnce(jpeg);  // warm up the code paths, and make the storage

    std::vector<std::uint8_t> rgba;
    bool pass = true;
    pass &= bench::Report("load_jpeg_4096",
                          Ratio("4096 JPEG", jpeg, [&] { BareJpeg(jpeg, &rgba); }, "bare libjpeg-turbo"),
                          1.15);
    pass &= bench::Report("load_webp_4096",
                          Ratio("4096 WebP", webp, [&] { BareWebp(webp, &rgba); }, "bare libwebp"),
                          1.15);
    pass &= bench::Report("load_kra_4096",
                          Ratio("4096 .kra", kra, [&] {
                              LoadOnce(png);
                          }, "the same PNG"),
                          1.1);
    glDeleteTextures(1, &gStorage);
    return pass ? 0 : 3;
}
