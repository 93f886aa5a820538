#include "support/image_writers.h"

#include <cstdio>
#include <cstring>

#include <jpeglib.h>
#include <webp/encode.h>
#include <zlib.h>

namespace testimg {
namespace {

void Put16Le(Bytes& out, unsigned v) {
    out.push_back(std::uint8_t(v));
    out.push_back(std::uint8_t(v >> 8));
}
void Put32Le(Bytes& out, std::uint32_t v) {
    Put16Le(out, v & 0xFFFF);
    Put16Le(out, v >> 16);
}
void Put16Be(Bytes& out, unsigned v) {
    out.push_back(std::uint8_t(v >> 8));
    out.push_back(std::uint8_t(v));
}
void Put32Be(Bytes& out, std::uint32_t v) {
    Put16Be(out, v >> 16);
    Put16Be(out, v & 0xFFFF);
}

std::uint32_t Hash(unsigned x, unsigned y) {
    std::uint32_t h = x * 0x9E3779B1u ^ (y + 0x7F4A7C15u) * 0x85EBCA77u;
    h ^= h >> 15;
    return h * 0x2C1B3C6Du;
}

// PackBits, as Photoshop writes it: runs of 3 or more repeat.
Bytes PackBits(const std::uint8_t* p, std::size_t n) {
    Bytes out;
    std::size_t i = 0;
    while (i < n) {
        std::size_t run = 1;
        while (i + run < n && run < 128 && p[i + run] == p[i]) ++run;
        if (run >= 3) {
            out.push_back(std::uint8_t(257 - run));
            out.push_back(p[i]);
            i += run;
            continue;
        }
        std::size_t lit = 0;
        while (i + lit < n && lit < 128 &&
               !(i + lit + 2 < n && p[i + lit] == p[i + lit + 1] && p[i + lit] == p[i + lit + 2]))
            ++lit;
        out.push_back(std::uint8_t(lit - 1));
        out.insert(out.end(), p + i, p + i + lit);
        i += lit;
    }
    return out;
}

}  // namespace

Rgba Pattern(unsigned width, unsigned height) {
    Rgba picture{width, height, Bytes(std::size_t(width) * height * 4)};
    for (unsigned y = 0; y < height; ++y)
        for (unsigned x = 0; x < width; ++x) {
            std::uint8_t* p = &picture.px[(std::size_t(y) * width + x) * 4];
            const std::uint32_t h = Hash(x, y);
            const bool key = h % 11 == 0;
            // Flat stretches too, so run-length coders get runs.
            const bool flat = (x / 5 + y / 3) % 4 == 0;
            p[0] = key ? 255 : flat ? 40 : std::uint8_t(h);
            p[1] = key ? 0 : flat ? 200 : std::uint8_t(x * 7 + (h >> 8));
            p[2] = key ? 255 : flat ? 90 : std::uint8_t(y * 5 + (h >> 16));
            p[3] = std::uint8_t(h >> 24);
        }
    return picture;
}

Rgba Grey(const Rgba& picture) {
    Rgba grey = picture;
    for (std::size_t i = 0; i < grey.px.size(); i += 4) grey.px[i + 1] = grey.px[i + 2] = grey.px[i];
    return grey;
}

Bytes Targa(const Rgba& picture, const TargaOptions& options) {
    const unsigned bytes = options.bits / 8;
    const bool grey = options.bits == 8;
    Bytes out = {3, 0, std::uint8_t(grey ? (options.rle ? 11 : 3) : (options.rle ? 10 : 2))};
    out.resize(12, 0);
    Put16Le(out, picture.width);
    Put16Le(out, picture.height);
    out.push_back(std::uint8_t(options.bits));
    out.push_back(std::uint8_t((options.bits == 32 ? 8 : 0) | (options.rightToLeft ? 0x10 : 0) |
                               (options.topDown ? 0x20 : 0)));
    out.insert(out.end(), {'i', 'd', '!'});  // the image id
    Bytes pixels;
    for (unsigned i = 0; i < picture.height; ++i) {
        const unsigned y = options.topDown ? i : picture.height - 1 - i;
        for (unsigned j = 0; j < picture.width; ++j) {
            const unsigned x = options.rightToLeft ? picture.width - 1 - j : j;
            const std::uint8_t* p = &picture.px[(std::size_t(y) * picture.width + x) * 4];
            if (grey) pixels.push_back(p[0]);
            else pixels.insert(pixels.end(), {p[2], p[1], p[0]});
            if (bytes == 4) pixels.push_back(p[3]);
        }
    }
    if (!options.rle) {
        out.insert(out.end(), pixels.begin(), pixels.end());
        return out;
    }
    // Packets run across rows, as writers may do.
    const std::size_t count = pixels.size() / bytes;
    for (std::size_t i = 0; i < count;) {
        std::size_t run = 1;
        while (i + run < count && run < 128 &&
               std::memcmp(&pixels[(i + run) * bytes], &pixels[i * bytes], bytes) == 0)
            ++run;
        if (run >= 2) {
            out.push_back(std::uint8_t(0x80 | (run - 1)));
            out.insert(out.end(), &pixels[i * bytes], &pixels[i * bytes] + bytes);
        } else {
            std::size_t lit = 1;
            while (i + lit < count && lit < 128 &&
                   !(i + lit + 1 < count && std::memcmp(&pixels[(i + lit) * bytes],
                                                        &pixels[(i + lit + 1) * bytes], bytes) == 0))
                ++lit;
            out.push_back(std::uint8_t(lit - 1));
            out.insert(out.end(), &pixels[i * bytes], &pixels[(i + lit) * bytes]);
            run = lit;
        }
        i += run;
    }
    return out;
}

Bytes Psd(const Rgba& picture, const PsdOptions& options) {
    const unsigned colour = options.grey ? 1 : 3, channels = colour + options.extraChannels;
    const unsigned sample = options.depth / 8;
    Bytes out = {'8', 'B', 'P', 'S'};
    Put16Be(out, 1);
    out.resize(out.size() + 6, 0);
    Put16Be(out, channels);
    Put32Be(out, picture.height);
    Put32Be(out, picture.width);
    Put16Be(out, options.depth);
    Put16Be(out, options.grey ? 1 : 3);
    Put32Be(out, 0);                                 // colour mode data
    Put32Be(out, 4);                                 // image resources
    out.insert(out.end(), {'8', 'B', 'I', 'M'});
    Put32Be(out, 6);                                 // layers: skipped unread
    out.insert(out.end(), {1, 2, 3, 4, 5, 6});
    Put16Be(out, options.packBits ? 1 : 0);
    std::vector<Bytes> rows;
    for (unsigned c = 0; c < channels; ++c)
        for (unsigned y = 0; y < picture.height; ++y) {
            Bytes row;
            for (unsigned x = 0; x < picture.width; ++x) {
                const std::uint8_t* p = &picture.px[(std::size_t(y) * picture.width + x) * 4];
                row.push_back(c < colour ? p[c] : p[3]);
                if (sample == 2) row.push_back(std::uint8_t(Hash(x + c, y)));
            }
            rows.push_back(options.packBits ? PackBits(row.data(), row.size()) : row);
        }
    if (options.packBits)
        for (const Bytes& row : rows) Put16Be(out, unsigned(row.size()));
    for (const Bytes& row : rows) out.insert(out.end(), row.begin(), row.end());
    return out;
}

Bytes Jpeg(const Rgba& picture, int quality, bool progressive, bool grey, bool subsample) {
    jpeg_compress_struct info;
    jpeg_error_mgr errors;
    info.err = jpeg_std_error(&errors);
    jpeg_create_compress(&info);
    unsigned char* memory = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&info, &memory, &size);
    info.image_width = picture.width;
    info.image_height = picture.height;
    info.input_components = 4;
    info.in_color_space = JCS_EXT_RGBX;
    jpeg_set_defaults(&info);
    jpeg_set_quality(&info, quality, TRUE);
    if (grey) jpeg_set_colorspace(&info, JCS_GRAYSCALE);
    if (!grey && !subsample)
        for (int i = 0; i < 3; ++i) info.comp_info[i].h_samp_factor = info.comp_info[i].v_samp_factor = 1;
    if (progressive) jpeg_simple_progression(&info);
    jpeg_start_compress(&info, TRUE);
    while (info.next_scanline < info.image_height) {
        JSAMPROW row = const_cast<std::uint8_t*>(&picture.px[std::size_t(info.next_scanline) * picture.width * 4]);
        jpeg_write_scanlines(&info, &row, 1);
    }
    jpeg_finish_compress(&info);
    Bytes out(memory, memory + size);
    jpeg_destroy_compress(&info);
    std::free(memory);
    return out;
}

Bytes Webp(const Rgba& picture, bool lossless) {
    WebPConfig config;
    WebPConfigInit(&config);
    config.lossless = lossless ? 1 : 0;
    config.quality = 80;
    config.exact = 1;  // keep colours under zero alpha, which the loader shows
    WebPPicture pic;
    WebPPictureInit(&pic);
    pic.use_argb = 1;
    pic.width = int(picture.width);
    pic.height = int(picture.height);
    WebPPictureImportRGBA(&pic, picture.px.data(), int(picture.width * 4));
    WebPMemoryWriter writer;
    WebPMemoryWriterInit(&writer);
    pic.writer = WebPMemoryWrite;
    pic.custom_ptr = &writer;
    WebPEncode(&config, &pic);
    Bytes out(writer.mem, writer.mem + writer.size);
    WebPMemoryWriterClear(&writer);
    WebPPictureFree(&pic);
    return out;
}

Bytes Zip(const std::vector<ZipMember>& members) {
    Bytes out, directory;
    for (const ZipMember& m : members) {
        Bytes data = m.data;
        if (m.deflate) {
            z_stream z{};
            const int level = m.data.size() > (1u << 20) ? 1 : 9;  // bombs are large
            deflateInit2(&z, level, Z_DEFLATED, -15, 9, Z_DEFAULT_STRATEGY);
            data.resize(deflateBound(&z, uLong(m.data.size())));
            z.next_in = const_cast<Bytef*>(m.data.data());
            z.avail_in = uInt(m.data.size());
            z.next_out = data.data();
            z.avail_out = uInt(data.size());
            deflate(&z, Z_FINISH);
            data.resize(z.total_out);
            deflateEnd(&z);
        }
        const std::uint32_t crc = std::uint32_t(crc32(0, m.data.data(), uInt(m.data.size())));
        const std::uint32_t size = m.declaredSize ? m.declaredSize : std::uint32_t(m.data.size());
        const std::uint32_t offset = std::uint32_t(out.size());
        const auto common = [&](Bytes& b) {
            Put16Le(b, 20);
            Put16Le(b, 0);
            Put16Le(b, m.deflate ? 8 : 0);
            Put32Le(b, 0x5A210000);  // a time and date
            Put32Le(b, crc);
            Put32Le(b, std::uint32_t(data.size()));
            Put32Le(b, size);
            Put16Le(b, unsigned(m.name.size()));
            Put16Le(b, 0);
        };
        Put32Le(out, 0x04034b50);
        common(out);
        out.insert(out.end(), m.name.begin(), m.name.end());
        out.insert(out.end(), data.begin(), data.end());
        Put32Le(directory, 0x02014b50);
        Put16Le(directory, 20);
        common(directory);
        Put16Le(directory, 0);
        Put32Le(directory, 0);
        Put32Le(directory, 0);
        Put32Le(directory, offset);
        directory.insert(directory.end(), m.name.begin(), m.name.end());
    }
    const std::uint32_t at = std::uint32_t(out.size());
    out.insert(out.end(), directory.begin(), directory.end());
    Put32Le(out, 0x06054b50);
    Put32Le(out, 0);
    Put16Le(out, unsigned(members.size()));
    Put16Le(out, unsigned(members.size()));
    Put32Le(out, std::uint32_t(directory.size()));
    Put32Le(out, at);
    Put16Le(out, 0);
    return out;
}

}  // namespace testimg
