#include "glpng/seam_score.h"

#include <algorithm>
#include <cstdlib>

namespace glpng {
namespace {

// Neighbour pairs read inside each edge, per texel along it.
constexpr unsigned kBand = 8;
// A texture flatter than this (levels summed over R, G, B) is measured
// against this much, so a flat image's seams score in levels.
constexpr double kFlatStep = 1.5;
// Texels either side that the profile averages over.
constexpr unsigned kProfileRadius = 4;

unsigned Step(const std::uint8_t* a, const std::uint8_t* b) {
    return unsigned(std::abs(a[0] - b[0]) + std::abs(a[1] - b[1]) + std::abs(a[2] - b[2]));
}

bool BothOpaque(const std::uint8_t* a, const std::uint8_t* b) { return a[3] != 0 && b[3] != 0; }

// One axis, with `length` texels along the seam and `depth` across it;
// `at(i, j)` is texel j of line i, counted from the edge the seam leaves.
template <typename At>
SeamAxis ScoreAxis(unsigned length, unsigned depth, At at) {
    SeamAxis axis;
    if (length == 0 || depth == 0) return axis;
    const unsigned band = std::min(kBand, depth - 1);
    // Per line: the seam's step (or none), and the sum and count of steps inside.
    std::vector<double> seam(length, 0), inside(length, 0);
    std::vector<unsigned> seamCount(length, 0), insideCount(length, 0);
    double seamSum = 0, insideSum = 0;
    unsigned seamN = 0, insideN = 0;
    for (unsigned i = 0; i < length; ++i) {
        const std::uint8_t* last = at(i, depth - 1);
        const std::uint8_t* first = at(i, 0);
        if (BothOpaque(last, first)) {
            seam[i] = Step(last, first);
            seamCount[i] = 1;
        }
        // The largest step inside: a seam that falls on an edge the texture
        // draws anyway (a mortar line) steps no more than that edge does.
        for (unsigned k = 0; k < band; ++k) {
            for (const auto& pair : {std::make_pair(k, k + 1), std::make_pair(depth - 1 - k, depth - 2 - k)}) {
                const std::uint8_t* a = at(i, pair.first);
                const std::uint8_t* b = at(i, pair.second);
                if (!BothOpaque(a, b)) continue;
                inside[i] = std::max(inside[i], double(Step(a, b)));
                insideCount[i] = 1;
            }
        }
        seamSum += seam[i];
        seamN += seamCount[i];
        insideSum += inside[i];
        insideN += insideCount[i];
    }
    if (seamN == 0) return axis;
    const double texture = std::max(insideN ? insideSum / insideN : 0.0, kFlatStep);
    axis.score = seamSum / seamN / texture;
    axis.ok = axis.score <= kSeamThreshold;

    // The profile: the same ratio over a short stretch of the seam, its
    // steps against the texture's there (taken as at most four times the
    // whole edge's, so one busy stretch cannot hide a seam within it).
    axis.profile.assign(length, 0.0f);
    for (unsigned i = 0; i < length; ++i) {
        const unsigned from = i > kProfileRadius ? i - kProfileRadius : 0;
        const unsigned to = std::min(length, i + kProfileRadius + 1);
        double s = 0, in = 0;
        unsigned sn = 0, inn = 0;
        for (unsigned j = from; j < to; ++j) {
            s += seam[j];
            sn += seamCount[j];
            in += inside[j];
            inn += insideCount[j];
        }
        if (sn == 0) continue;
        const double local = std::max(inn ? in / inn : 0.0, kFlatStep);
        axis.profile[i] = float(s / sn / std::min(local, texture * 4));
    }
    return axis;
}

}  // namespace

SeamScore ScoreSeams(const std::uint8_t* rgba, unsigned width, unsigned height) {
    SeamScore score;
    if (!rgba || width == 0 || height == 0) return score;
    const std::size_t stride = std::size_t(width) * 4;
    score.across = ScoreAxis(height, width, [&](unsigned y, unsigned x) {
        return rgba + y * stride + std::size_t(x) * 4;
    });
    score.down = ScoreAxis(width, height, [&](unsigned x, unsigned y) {
        return rgba + y * stride + std::size_t(x) * 4;
    });
    return score;
}

}  // namespace glpng
