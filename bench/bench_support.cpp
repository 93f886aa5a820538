#include "bench_support.h"

#include <GL/osmesa.h>
#include <png.h>
#include <stdlib.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>

namespace bench {

double NowMs() {
    using Clock = std::chrono::steady_clock;
    return std::chrono::duration<double, std::milli>(Clock::now().time_since_epoch()).count();
}

double Median(std::vector<double> values) {
    if (values.empty()) return 0;
    std::sort(values.begin(), values.end());
    const std::size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

namespace {

void TimePairs(int repetitions, const std::function<void()>& a, const std::function<void()>& b,
               const std::function<void()>& untimed, std::vector<double>* ta,
               std::vector<double>* tb) {
    for (int i = 0; i < repetitions; ++i) {
        double t0 = NowMs();
        a();
        double t1 = NowMs();
        ta->push_back(t1 - t0);
        if (untimed) untimed();
        t0 = NowMs();
        b();
        t1 = NowMs();
        tb->push_back(t1 - t0);
        if (untimed) untimed();
    }
}

}  // namespace

Pair MinPair(int repetitions, const std::function<void()>& a, const std::function<void()>& b,
             const std::function<void()>& untimed) {
    std::vector<double> ta, tb;
    TimePairs(repetitions, a, b, untimed, &ta, &tb);
    if (ta.empty()) return {};
    return {*std::min_element(ta.begin(), ta.end()), *std::min_element(tb.begin(), tb.end())};
}

Pair MedianPair(int repetitions, const std::function<void()>& a, const std::function<void()>& b,
                const std::function<void()>& untimed) {
    std::vector<double> ta, tb;
    TimePairs(repetitions, a, b, untimed, &ta, &tb);
    return {Median(ta), Median(tb)};
}

bool Report(const char* name, double ratio, double bound) {
    const bool pass = ratio <= bound;
    std::printf("%s: %.3f (target <= %g) %s\n", name, ratio, bound, pass ? "PASS" : "FAIL");
    std::fflush(stdout);
    return pass;
}

namespace {

std::uint32_t Hash(std::uint32_t x, std::uint32_t y, std::uint32_t k) {
    std::uint32_t h = x * 73856093u ^ y * 19349663u ^ (k + 1) * 83492791u;
    h ^= h >> 13;
    h *= 0x5bd1e995u;
    h ^= h >> 15;
    return h;
}

// Magenta inside a blob of radius 2..6 placed somewhere in each 64 x 64 cell.
bool InBlob(unsigned x, unsigned y) {
    const unsigned cx = x / 64, cy = y / 64;
    const std::uint32_t h = Hash(cx, cy, 7);
    const int bx = int(cx * 64 + 8 + (h & 47)), by = int(cy * 64 + 8 + ((h >> 8) & 47));
    const int r = 2 + int((h >> 16) % 5);
    const int dx = int(x) - bx, dy = int(y) - by;
    return dx * dx + dy * dy <= r * r;
}

void Texel(unsigned x, unsigned y, Content content, png_byte* out) {
    if (content == Content::Flat) {
        out[0] = out[1] = out[2] = 128;
        out[3] = 255;
        return;
    }
    if (content == Content::LoneTexel) {
        const bool lone = x == 1234 && y == 567;
        out[0] = lone ? 40 : 255, out[1] = lone ? 160 : 0, out[2] = lone ? 90 : 255, out[3] = 255;
        return;
    }
    if (InBlob(x, y)) {
        out[0] = 255, out[1] = 0, out[2] = 255, out[3] = 255;
        return;
    }
    const std::uint32_t grain = Hash(x, y, 1);
    const int shade = int(((x * 5 + y * 3) >> 5) & 0x7f);
    out[0] = png_byte(60 + shade + (grain & 15));
    out[1] = png_byte(90 + (shade >> 1) + ((grain >> 4) & 15));
    out[2] = png_byte(40 + ((x ^ y) >> 6 & 31) + ((grain >> 8) & 7));
    out[3] = 255;
}

struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};

int WriteRows(png_structp png, png_infop info, std::FILE* file, unsigned width, unsigned height,
              Content content, png_bytep row) {
    if (setjmp(png_jmpbuf(png))) return 0;
    png_init_io(png, file);
    png_set_IHDR(png, info, width, height, 8, PNG_COLOR_TYPE_RGB_ALPHA, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    for (unsigned y = 0; y < height; ++y) {
        for (unsigned x = 0; x < width; ++x) Texel(x, y, content, row + std::size_t(x) * 4);
        png_write_row(png, row);
    }
    png_write_end(png, info);
    return 1;
}

int ReadAll(png_structp png, png_infop info, std::FILE* file, Decoded* out) {
    if (setjmp(png_jmpbuf(png))) return 0;
    png_init_io(png, file);
    png_read_info(png, info);
    png_uint_32 width = 0, height = 0;
    int depth = 0, colour = 0;
    png_get_IHDR(png, info, &width, &height, &depth, &colour, nullptr, nullptr, nullptr);
    const bool grey = (colour & PNG_COLOR_MASK_COLOR) == 0;
    const bool trns = png_get_valid(png, info, PNG_INFO_tRNS) != 0;
    if (colour == PNG_COLOR_TYPE_PALETTE) png_set_palette_to_rgb(png);
    if (grey && depth < 8) png_set_expand_gray_1_2_4_to_8(png);
    if (trns) png_set_tRNS_to_alpha(png);
    if (depth == 16) png_set_strip_16(png);
    if (grey) png_set_gray_to_rgb(png);
    if ((colour & PNG_COLOR_MASK_ALPHA) == 0 && !trns) png_set_add_alpha(png, 0xff, PNG_FILLER_AFTER);
    png_set_interlace_handling(png);
    png_read_update_info(png, info);
    if (png_get_rowbytes(png, info) != png_size_t(width) * 4) return 0;
    out->width = width;
    out->height = height;
    out->rgba.reset(new std::uint8_t[std::size_t(width) * height * 4]);
    std::vector<png_bytep> rows(height);
    for (png_uint_32 y = 0; y < height; ++y) rows[y] = out->rgba.get() + std::size_t(y) * width * 4;
    png_read_image(png, rows.data());
    return 1;
}

}  // namespace

bool WriteTexturePng(const std::string& path, unsigned width, unsigned height, Content content) {
    std::unique_ptr<std::FILE, FileCloser> file(std::fopen(path.c_str(), "wb"));
    if (!file) return false;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    if (!png) return false;
    png_infop info = png_create_info_struct(png);
    std::vector<png_byte> row(std::size_t(width) * 4);
    const int ok = info ? WriteRows(png, info, file.get(), width, height, content, row.data()) : 0;
    png_destroy_write_struct(&png, &info);
    return ok != 0;
}

bool BareDecode(const char* path, Decoded* out) {
    std::unique_ptr<std::FILE, FileCloser> file(std::fopen(path, "rb"));
    if (!file) return false;
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    if (!png) return false;
    png_infop info = png_create_info_struct(png);
    const int ok = info ? ReadAll(png, info, file.get(), out) : 0;
    png_destroy_read_struct(&png, &info, nullptr);
    return ok != 0;
}

TempFolder::TempFolder() {
    char pattern[] = "/tmp/zintra-bench-XXXXXX";
    if (mkdtemp(pattern)) path_ = pattern;
}

TempFolder::~TempFolder() {
    if (path_.empty()) return;
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
}

SoftwareContext::SoftwareContext() : buffer_(64 * 64 * 4) {
    OSMesaContext context = OSMesaCreateContextExt(OSMESA_RGBA, 16, 0, 0, nullptr);
    if (!context) return;
    context_ = context;
    ok_ = OSMesaMakeCurrent(context, buffer_.data(), GL_UNSIGNED_BYTE, 64, 64) == GL_TRUE;
}

SoftwareContext::~SoftwareContext() {
    if (context_) OSMesaDestroyContext(static_cast<OSMesaContext>(context_));
}

std::size_t StatusBytes(const char* field) {
    std::unique_ptr<std::FILE, FileCloser> file(std::fopen("/proc/self/status", "r"));
    if (!file) return 0;
    char line[256];
    const std::size_t length = std::strlen(field);
    while (std::fgets(line, sizeof line, file.get())) {
        if (std::strncmp(line, field, length) == 0 && line[length] == ':')
            return std::size_t(std::strtoull(line + length + 1, nullptr, 10)) * 1024;
    }
    return 0;
}

}  // namespace bench
