#include "viewer/texel_readout.h"

#include <cstdio>
#include <utility>

void TexelReadout::Keep(std::uint32_t picture, int width, int height, std::vector<std::uint8_t> rgba) {
    const bool whole = width > 0 && height > 0 &&
                       rgba.size() == static_cast<std::size_t>(width) * static_cast<std::size_t>(height) * 4;
    rgba_ = whole ? std::move(rgba) : std::vector<std::uint8_t>();
    width_ = whole ? width : 0;
    height_ = whole ? height : 0;
    picture_ = picture;
    held_ = true;
}

void TexelReadout::Drop() {
    rgba_.clear();
    width_ = height_ = 0;
    held_ = false;
}

std::string TexelReadout::Text(int x, int y, int imageWidth, int imageHeight) const {
    if (rgba_.empty() || imageWidth <= 0 || imageHeight <= 0 || x < 0 || y < 0 || x >= imageWidth ||
        y >= imageHeight)
        return std::string();
    // A texture scaled up to a power of two holds the texel further on.
    const std::size_t gx = static_cast<std::size_t>(x) * width_ / imageWidth;
    const std::size_t gy = static_cast<std::size_t>(y) * height_ / imageHeight;
    const std::uint8_t* p = &rgba_[(gy * width_ + gx) * 4];
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "texel %d, %d #%02X%02X%02X%02X%s", x, y, p[0], p[1], p[2],
                  p[3], p[3] == 0 ? " keyed" : "");
    return buffer;
}
