// The texel readout's copy of the picture on show: level 0 as the driver
// holds it (keyed, holes filled), read back once per picture. It is keyed
// by the picture, not by its GL name, which the next picture may reuse.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

class TexelReadout {
public:
    // Whether the copy held is of `picture` (a number every load changes).
    bool Holds(std::uint32_t picture) const { return held_ && picture_ == picture; }
    // `rgba` is width x height texels, rows from the top.
    void Keep(std::uint32_t picture, int width, int height, std::vector<std::uint8_t> rgba);
    void Drop();
    // "texel X, Y #RRGGBBAA" (" keyed" for a hole) for texel (x, y) of an
    // image of imageWidth x imageHeight, which the copy may hold scaled to
    // other sides; "" without a copy.
    std::string Text(int x, int y, int imageWidth, int imageHeight) const;
    const std::vector<std::uint8_t>& rgba() const { return rgba_; }
    int width() const { return width_; }
    int height() const { return height_; }

private:
    std::vector<std::uint8_t> rgba_;
    int width_ = 0, height_ = 0;
    std::uint32_t picture_ = 0;
    bool held_ = false;
};
