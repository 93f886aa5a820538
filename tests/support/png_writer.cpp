#include "support/png_writer.h"

#include <png.h>
#include <zlib.h>

#include <cstdio>
#include <cstring>

namespace testpng {
namespace {

int Channels(Color color) {
    switch (color) {
        case Color::Gray: return 1;
        case Color::GrayAlpha: return 2;
        case Color::Rgb: return 3;
        case Color::Rgba: return 4;
        case Color::Palette: return 1;
    }
    return 1;
}

// Everything libpng needs, as plain data: libpng leaves by longjmp.
struct WriteJob {
    png_structp png;
    png_infop info;
    png_uint_32 width, height;
    int bitDepth, colorType, interlace;
    const png_color* palette;
    int paletteSize;
    const png_byte* paletteAlpha;
    int paletteAlphaSize;
    const png_color_16* transparent;
    png_bytepp rows;
};

void OnError(png_structp png, png_const_charp) { png_longjmp(png, 1); }
void OnWarning(png_structp, png_const_charp) {}

void AppendBytes(png_structp png, png_bytep data, png_size_t length) {
    auto* out = static_cast<std::vector<std::uint8_t>*>(png_get_io_ptr(png));
    out->insert(out->end(), data, data + length);
}
void Flush(png_structp) {}

int RunWrite(WriteJob* job) {
    if (setjmp(png_jmpbuf(job->png))) return 0;
    png_set_IHDR(job->png, job->info, job->width, job->height, job->bitDepth, job->colorType,
                 job->interlace, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    if (job->paletteSize > 0) png_set_PLTE(job->png, job->info, job->palette, job->paletteSize);
    if (job->paletteAlphaSize > 0)
        png_set_tRNS(job->png, job->info, job->paletteAlpha, job->paletteAlphaSize, nullptr);
    if (job->transparent) png_set_tRNS(job->png, job->info, nullptr, 0, job->transparent);
    png_write_info(job->png, job->info);
    if (job->interlace != PNG_INTERLACE_NONE) png_set_interlace_handling(job->png);
    png_write_image(job->png, job->rows);
    png_write_end(job->png, nullptr);
    return 1;
}

// One row in the file's layout: sub-byte samples packed from the high
// bit, 16-bit samples big-endian.
std::vector<std::uint8_t> PackRow(const Picture& p, unsigned y) {
    const int channels = Channels(p.color);
    const unsigned depth = unsigned(p.bitDepth);
    const std::uint32_t mask = depth >= 16 ? 0xffff : (1u << depth) - 1;
    std::vector<std::uint8_t> row((std::size_t(p.width) * channels * depth + 7) / 8);
    std::size_t bit = 0;
    for (unsigned x = 0; x < p.width; ++x) {
        Sample s;
        if (p.pixel) {
            s = p.pixel(x, y);
        } else {
            const std::size_t i = std::size_t(y) * p.width + x;
            if (i < p.pixels.size()) s = p.pixels[i];
        }
        for (int c = 0; c < channels; ++c, bit += depth) {
            const std::uint32_t v = s.c[c] & mask;
            if (depth == 16) {
                row[bit / 8] = std::uint8_t(v >> 8);
                row[bit / 8 + 1] = std::uint8_t(v);
            } else if (depth == 8) {
                row[bit / 8] = std::uint8_t(v);
            } else {
                row[bit / 8] |= std::uint8_t(v << (8 - depth - bit % 8));
            }
        }
    }
    return row;
}

void PutU32(std::vector<std::uint8_t>& out, std::uint32_t v) {
    for (int shift = 24; shift >= 0; shift -= 8) out.push_back(std::uint8_t(v >> shift));
}

}  // namespace

int PngColorType(Color color) {
    switch (color) {
        case Color::Gray: return PNG_COLOR_TYPE_GRAY;
        case Color::GrayAlpha: return PNG_COLOR_TYPE_GRAY_ALPHA;
        case Color::Rgb: return PNG_COLOR_TYPE_RGB;
        case Color::Rgba: return PNG_COLOR_TYPE_RGB_ALPHA;
        case Color::Palette: return PNG_COLOR_TYPE_PALETTE;
    }
    return PNG_COLOR_TYPE_GRAY;
}

std::vector<std::uint8_t> EncodePng(const Picture& picture) {
    std::vector<std::uint8_t> out;
    const int bitDepth = picture.bitDepth;
    if (bitDepth != 1 && bitDepth != 2 && bitDepth != 4 && bitDepth != 8 && bitDepth != 16)
        return out;

    std::vector<std::vector<std::uint8_t>> packed(picture.height);
    std::vector<png_bytep> rows(picture.height);
    for (unsigned y = 0; y < picture.height; ++y) {
        packed[y] = PackRow(picture, y);
        rows[y] = packed[y].data();
    }
    std::vector<png_color> palette;
    for (const auto& e : picture.palette) palette.push_back(png_color{e[0], e[1], e[2]});
    png_color_16 transparent = {};
    if (picture.transparent) {
        const Sample& t = *picture.transparent;
        transparent.gray = t.c[0];
        transparent.red = t.c[0];
        transparent.green = t.c[1];
        transparent.blue = t.c[2];
    }

    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, OnError, OnWarning);
    if (!png) return out;
    png_infop info = png_create_info_struct(png);
    if (!info) {
        png_destroy_write_struct(&png, nullptr);
        return out;
    }
    png_set_write_fn(png, &out, AppendBytes, Flush);

    WriteJob job = {};
    job.png = png;
    job.info = info;
    job.width = picture.width;
    job.height = picture.height;
    job.bitDepth = bitDepth;
    job.colorType = PngColorType(picture.color);
    job.interlace = picture.interlaced ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE;
    job.palette = palette.data();
    job.paletteSize = int(palette.size());
    job.paletteAlpha = picture.paletteAlpha.data();
    job.paletteAlphaSize = int(picture.paletteAlpha.size());
    job.transparent = picture.transparent ? &transparent : nullptr;
    job.rows = rows.data();
    const int ok = RunWrite(&job);
    png_destroy_write_struct(&png, &info);
    if (!ok) out.clear();
    return out;
}

bool WritePng(const std::string& path, const Picture& picture) {
    const std::vector<std::uint8_t> bytes = EncodePng(picture);
    return !bytes.empty() && WriteBytes(path, bytes);
}

bool WriteBytes(const std::string& path, const std::vector<std::uint8_t>& bytes) {
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return false;
    const bool written =
        bytes.empty() || std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    return std::fclose(f) == 0 && written;
}

std::vector<std::uint8_t> Signature() { return {137, 80, 78, 71, 13, 10, 26, 10}; }

void AppendChunk(std::vector<std::uint8_t>& file, const char (&type)[5],
                 const std::vector<std::uint8_t>& data) {
    PutU32(file, std::uint32_t(data.size()));
    const std::size_t typeAt = file.size();
    file.insert(file.end(), type, type + 4);
    file.insert(file.end(), data.begin(), data.end());
    const uLong crc = crc32(0L, file.data() + typeAt, uInt(4 + data.size()));
    PutU32(file, std::uint32_t(crc));
}

std::vector<std::uint8_t> IhdrData(std::uint32_t width, std::uint32_t height, int bitDepth,
                                   int colorType, bool interlaced) {
    std::vector<std::uint8_t> data;
    PutU32(data, width);
    PutU32(data, height);
    data.push_back(std::uint8_t(bitDepth));
    data.push_back(std::uint8_t(colorType));
    data.push_back(0);
    data.push_back(0);
    data.push_back(interlaced ? 1 : 0);
    return data;
}

long FindChunk(const std::vector<std::uint8_t>& file, const char (&type)[5]) {
    std::size_t at = 8;
    while (at + 8 <= file.size()) {
        const std::uint32_t length = (std::uint32_t(file[at]) << 24) |
                                     (std::uint32_t(file[at + 1]) << 16) |
                                     (std::uint32_t(file[at + 2]) << 8) | file[at + 3];
        if (std::memcmp(&file[at + 4], type, 4) == 0) return long(at);
        at += std::size_t(length) + 12;
    }
    return -1;
}

std::vector<std::uint8_t> StreamedGrey8(std::uint32_t width, std::uint32_t height,
                                        std::uint32_t rowBytes, std::uint32_t rows,
                                        std::uint8_t value, int level) {
    std::vector<std::uint8_t> file = Signature();
    AppendChunk(file, "IHDR", IhdrData(width, height, 8, PNG_COLOR_TYPE_GRAY));
    std::vector<std::uint8_t> row(std::size_t(rowBytes) + 1, value);
    row[0] = 0;  // filter: none
    std::vector<std::uint8_t> packed(1 << 16), idat;
    z_stream z = {};
    deflateInit(&z, level);
    for (std::uint32_t y = 0; y <= rows; ++y) {
        const bool last = y == rows;
        z.next_in = last ? nullptr : row.data();
        z.avail_in = last ? 0 : uInt(row.size());
        do {
            z.next_out = packed.data();
            z.avail_out = uInt(packed.size());
            deflate(&z, last ? Z_FINISH : Z_NO_FLUSH);
            idat.insert(idat.end(), packed.data(), z.next_out);
        } while (z.avail_out == 0);
    }
    deflateEnd(&z);
    AppendChunk(file, "IDAT", idat);
    AppendChunk(file, "IEND", {});
    return file;
}

}  // namespace testpng
