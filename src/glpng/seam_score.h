// How badly an image's opposite edges meet when it repeats, per axis.
//
// The jump across the seam (last column to first, last row to first) is
// set against the largest step the image takes between neighbouring
// texels in bands just inside both edges, line by line, so the score has
// no scale: 1 means the seam steps as much as the texture does near it.
// A busy texture with strong edges of its own (a mortar line on the
// seam) is not flagged where a faint step on a smooth one is. Keyed texels (alpha 0) neither make a seam nor hide one:
// every pair that holds one is left out. Only the edge bands are read.
#pragma once

#include <cstdint>
#include <vector>

namespace glpng {

// Scores above this are seams; chosen on the generated set the README
// lists, where tileable images score at most 1.0 and seams 2.9 and up.
constexpr double kSeamThreshold = 2.0;

struct SeamAxis {
    double score = 0;  // 0 when no pair across the seam could be judged
    bool ok = true;    // score <= kSeamThreshold
    // The local mismatch along the seam, one value per texel of the edge
    // (rows for across, columns for down), on the score's scale.
    std::vector<float> profile;
};

struct SeamScore {
    SeamAxis across;  // the left edge against the right
    SeamAxis down;    // the top edge against the bottom
};

// `rgba` is packed RGBA8, keyed (alpha 0 or 255).
SeamScore ScoreSeams(const std::uint8_t* rgba, unsigned width, unsigned height);

}  // namespace glpng
