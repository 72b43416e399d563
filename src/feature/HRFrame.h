/* SPDX-License-Identifier: MIT */
/* Bounding box and scale divisors shared by the two linear scalings of a
 * character: the 16-bit to 8-bit conversion (HRFeature_Point16ToPoint8) and
 * the linear stage of normalisation (HRNormalize_LinearNormalize). Internal
 * to the library. */
#ifndef PENRUNE_FEATURE_HRFRAME_H
#define PENRUNE_FEATURE_HRFRAME_H

#include "penrune/HRTypes.h"

namespace penrune {

/* Division by a divisor fixed for a whole character, as one multiplication:
 * floor(n / d) = (n * ceil(2^40 / d)) >> 40 exactly for n < 2^24 and
 * 1 <= d <= 2^16, because the rounding error of the multiplier, n * e / 2^40
 * with e < d, stays below 1 / d. A character's coordinates scale by at most
 * 255 from 16 bits, so every numerator is below 2^24. */
class HRDivider {
public:
    static constexpr int kShift = 40;
    static constexpr HR_UINT32 kNumeratorLimit = 1u << 24;
    static constexpr HR_UINT32 kDivisorLimit = 1u << 16;

    explicit HRDivider(HR_UINT32 divisor) : multiplier_(((HR_UINT64{1} << kShift) + divisor - 1) / divisor) {}

    HR_UINT32 Divide(HR_UINT32 numerator) const { return static_cast<HR_UINT32>((numerator * multiplier_) >> kShift); }

private:
    HR_UINT64 multiplier_;
};

/* Origin of a character's box and the divisors of its two axes. */
struct HRFrame {
    HR_UINT32 minX;
    HR_UINT32 minY;
    HR_UINT32 xDivisor;
    HR_UINT32 yDivisor;
};

/* Maps every point that is not a marker through (v - min) * scale / divisor
 * on both axes; markers are left to the caller's marker function. */
template <typename In, typename Out, typename MarkerFn>
void HRFrame_Scale(const HRFrame &frame, HR_UINT32 scale, const In *points, HR_UINT16 n, HR_UINT32 marker, Out *out,
                   MarkerFn markerPoint) {
    const HRDivider xDivider(frame.xDivisor), yDivider(frame.yDivisor);
    for (HR_UINT32 i = 0; i < n; ++i) {
        /* Read the whole point before writing: out may overlay points. */
        const HR_UINT32 x = points[i].x, y = points[i].y;
        if (x == marker) {
            out[i] = markerPoint(y);
            continue;
        }
        out[i].x = static_cast<decltype(out[i].x)>(xDivider.Divide((x - frame.minX) * scale));
        out[i].y = static_cast<decltype(out[i].y)>(yDivider.Divide((y - frame.minY) * scale));
    }
}

/* An elongation factor beyond which a character keeps its proportions. */
constexpr HR_UINT32 kKeepAspectRatio = 4;

/* Box of point 0 (marker or not) and of every later point whose x is not the
 * marker value; divisors: 1 for a single point, the long side + 1 on both
 * axes for a character more than four times wider or taller than it is
 * thick, else each side + 1. n must be at least 1. */
template <typename Point>
HRFrame HRFrame_Measure(const Point *points, HR_UINT16 n, HR_UINT32 marker) {
    /* Markers count as point 0, which is in the box anyway: the loop has no
     * branch and vectorises. */
    using Coordinate = decltype(points[0].x);
    const Coordinate x0 = points[0].x, y0 = points[0].y;
    Coordinate minX = x0, maxX = x0, minY = y0, maxY = y0;
    for (HR_UINT32 i = 1; i < n; ++i) {
        const bool isMarker = points[i].x == marker;
        const Coordinate x = isMarker ? x0 : points[i].x, y = isMarker ? y0 : points[i].y;
        minX = x < minX ? x : minX;
        maxX = x > maxX ? x : maxX;
        minY = y < minY ? y : minY;
        maxY = y > maxY ? y : maxY;
    }
    const HR_UINT32 xr = static_cast<HR_UINT32>(maxX - minX), yr = static_cast<HR_UINT32>(maxY - minY);
    HRFrame frame = {minX, minY, 1, 1};
    if (n == 1) return frame;
    if (xr > kKeepAspectRatio * yr) {
        frame.xDivisor = frame.yDivisor = xr + 1;
    } else {
        frame.yDivisor = yr + 1;
        frame.xDivisor = kKeepAspectRatio * xr < yr ? yr + 1 : xr + 1;
    }
    return frame;
}

}  // namespace penrune

#endif /* PENRUNE_FEATURE_HRFRAME_H */
