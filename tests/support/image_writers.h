// Files of the formats beside PNG, made for tests: Targa and PSD written
// here byte by byte, JPEG and WebP through their own libraries' encoders,
// and ZIP containers (stored or deflated, with sizes that may lie).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace testimg {

using Bytes = std::vector<std::uint8_t>;

struct Rgba {
    unsigned width = 0, height = 0;
    Bytes px;  // packed RGBA8, top row first
};

// A busy picture with a few magenta texels and a varying alpha the loader
// must ignore.
Rgba Pattern(unsigned width, unsigned height);
// The same as a grey picture (R = G = B).
Rgba Grey(const Rgba& picture);

struct TargaOptions {
    unsigned bits = 24;  // 8 (grey), 24 or 32
    bool rle = false;
    bool topDown = false;
    bool rightToLeft = false;
};
Bytes Targa(const Rgba& picture, const TargaOptions& options);

struct PsdOptions {
    unsigned depth = 8;  // 8 or 16; 16-bit low bytes are noise
    bool grey = false;
    bool packBits = false;
    unsigned extraChannels = 1;  // e.g. an alpha plane after the colour
};
Bytes Psd(const Rgba& picture, const PsdOptions& options);

Bytes Jpeg(const Rgba& picture, int quality, bool progressive, bool grey, bool subsample);
Bytes Webp(const Rgba& picture, bool lossless);

struct ZipMember {
    std::string name;
    Bytes data;
    bool deflate = false;
    // Written in place of the real size, when not 0.
    std::uint32_t declaredSize = 0;
};
Bytes Zip(const std::vector<ZipMember>& members);

}  // namespace testimg
