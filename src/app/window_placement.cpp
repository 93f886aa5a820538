#include "app/window_placement.h"

#include <algorithm>
#include <cstdint>

namespace {

constexpr std::int64_t kDefaultSide = 512;
constexpr std::int64_t kMinSide = 64;  // still big enough to grab and resize

struct Box {
    std::int64_t left, top, right, bottom;
    std::int64_t Width() const { return right - left; }
    std::int64_t Height() const { return bottom - top; }
};

Box ToBox(const platform::Rect& r) { return Box{r.left, r.top, r.right, r.bottom}; }

std::int64_t Overlap(const Box& a, const Box& b) {
    const std::int64_t w = std::min(a.right, b.right) - std::max(a.left, b.left);
    const std::int64_t h = std::min(a.bottom, b.bottom) - std::max(a.top, b.top);
    return w > 0 && h > 0 ? w * h : 0;
}

// Squared distance between the two boxes' centres, in doubled units.
std::int64_t CentreDistance(const Box& a, const Box& b) {
    const std::int64_t dx = (a.left + a.right) - (b.left + b.right);
    const std::int64_t dy = (a.top + a.bottom) - (b.top + b.bottom);
    // Edges are 32-bit, so each difference fits in 34 bits; halve before
    // squaring so the sum cannot overflow.
    return (dx / 2) * (dx / 2) + (dy / 2) * (dy / 2);
}

std::int32_t Narrow(std::int64_t value) {
    return static_cast<std::int32_t>(std::clamp<std::int64_t>(value, INT32_MIN, INT32_MAX));
}

}  // namespace

platform::Rect FitWindowRect(const platform::Rect& saved,
                             const std::vector<platform::Rect>& workAreas) {
    Box box = ToBox(saved);
    if (box.Width() <= 0) box.right = box.left + kDefaultSide;
    if (box.Height() <= 0) box.bottom = box.top + kDefaultSide;

    // The work area the window overlaps most, else the nearest one.
    const Box* best = nullptr;
    std::vector<Box> areas;
    for (const platform::Rect& r : workAreas)
        if (r.right > r.left && r.bottom > r.top) areas.push_back(ToBox(r));
    for (const Box& area : areas) {
        if (!best || Overlap(box, area) > Overlap(box, *best) ||
            (Overlap(box, area) == Overlap(box, *best) &&
             CentreDistance(box, area) < CentreDistance(box, *best)))
            best = &area;
    }
    if (best) {
        const std::int64_t width = std::clamp(box.Width(), std::min(kMinSide, best->Width()), best->Width());
        const std::int64_t height =
            std::clamp(box.Height(), std::min(kMinSide, best->Height()), best->Height());
        const std::int64_t left = std::clamp(box.left, best->left, best->right - width);
        const std::int64_t top = std::clamp(box.top, best->top, best->bottom - height);
        box = Box{left, top, left + width, top + height};
    }
    return platform::Rect{Narrow(box.left), Narrow(box.top), Narrow(box.right), Narrow(box.bottom)};
}
