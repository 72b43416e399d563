/* Bounding box and scale divisors shared by the two linear scalings of a
 * character: the 16-bit to 8-bit conversion (HRFeature_Point16ToPoint8) and
 * the linear stage of normalisation (HRNormalize_LinearNormalize). Internal
 * to the library. */
#ifndef PENRUNE_FEATURE_HRFRAME_H
#define PENRUNE_FEATURE_HRFRAME_H

#include "HRTypes.h"

namespace penrune {

/* Origin of a character's box and the divisors of its two axes. */
struct HRFrame {
    HR_UINT32 minX;
    HR_UINT32 minY;
    HR_UINT32 xDivisor;
    HR_UINT32 yDivisor;
};

/* An elongation factor beyond which a character keeps its proportions. */
constexpr HR_UINT32 kKeepAspectRatio = 4;

/* Box of point 0 (marker or not) and of every later point whose x is not the
 * marker value; divisors: 1 for a single point, the long side + 1 on both
 * axes for a character more than four times wider or taller than it is
 * thick, else each side + 1. n must be at least 1. */
template <typename Point>
HRFrame HRFrame_Measure(const Point *points, HR_UINT16 n, HR_UINT32 marker) {
    HR_UINT32 minX = points[0].x, maxX = minX, minY = points[0].y, maxY = minY;
    for (HR_UINT32 i = 1; i < n; ++i) {
        const HR_UINT32 x = points[i].x, y = points[i].y;
        if (x == marker) continue;
        if (x < minX) minX = x;
        if (x > maxX) maxX = x;
        if (y < minY) minY = y;
        if (y > maxY) maxY = y;
    }
    const HR_UINT32 xr = maxX - minX, yr = maxY - minY;
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
