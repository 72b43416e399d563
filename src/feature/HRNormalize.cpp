/* Character normalisation: a linear stage into 0..62, then a nonlinear
 * stage that evens out the ink density along each axis through cumulative
 * line-density profiles. */
#include "HRNormalize.h"

#include "feature/HRFrame.h"

namespace {

constexpr int kSize = HR_NORMALIZE_SIZE;
constexpr HR_UINT32 kLast = HR_NORMALIZE_SIZE - 1;
/* The linear stage maps the box onto 0..kLinearScale - 1. */
constexpr HR_UINT32 kLinearScale = 63;
/* Density a segment deposits per unit along its longer axis. */
constexpr int kSegmentWeight = 5;
/* Fixed-point unit of the cross-axis weight ratio. */
constexpr int kRatioShift = 6;
/* Bins up to this density spread narrowly with a peak, heavier bins flat. */
constexpr HR_UINT16 kLightBinLimit = 240;
constexpr int kLightRadius = 4;
constexpr int kHeavyRadius = 5;
constexpr HR_UINT16 kLightSpread[2 * kLightRadius + 1] = {2, 4, 4, 8, 10, 8, 4, 4, 2};
constexpr HR_UINT16 kHeavySpread[2 * kHeavyRadius + 1] = {4, 4, 4, 4, 5, 5, 5, 4, 4, 4, 4};

bool IsMarker(_HR_POINT8 p) { return p.x == HR_MARKER8; }

int AbsDiff(int a, int b) { return a > b ? a - b : b - a; }

/* Weight of the shorter axis of a segment: 5 scaled by the ratio of the
 * longer to the shorter extent, so both profiles receive about the same
 * total density. The ratio is a signed 16-bit value, as in the trained
 * model's preprocessing. */
HR_UINT16 CrossAxisWeight(int longer, int shorter) {
    const HR_INT16 ratio = static_cast<HR_INT16>(((longer + 1) << kRatioShift) / (shorter + 1));
    return static_cast<HR_UINT16>((ratio * kSegmentWeight) >> kRatioShift);
}

/* The two density profiles while segments are added, kept as differences
 * so that adding a weight over a range touches two entries; the counters
 * follow from one running sum, modulo 65536 like the counters themselves. */
struct ProfileDifferences {
    HR_UINT16 x[kSize + 1];
    HR_UINT16 y[kSize + 1];
};

/* Adds weight over lo..hi (the ends in either order), cut at the last
 * counter. */
void AddRange(HR_UINT16 *differences, HR_UINT32 a, HR_UINT32 b, HR_UINT16 weight) {
    const HR_UINT32 lo = a < b ? a : b;
    HR_UINT32 hi = a < b ? b : a;
    if (lo > kLast) return;
    if (hi > kLast) hi = kLast;
    differences[lo] = static_cast<HR_UINT16>(differences[lo] + weight);
    differences[hi + 1] = static_cast<HR_UINT16>(differences[hi + 1] - weight);
}

void AddSegmentRanges(ProfileDifferences &d, _HR_POINT8 a, _HR_POINT8 b, HR_UINT16 xWeight,
                      HR_UINT16 yWeight) {
    AddRange(d.x, a.x, b.x, xWeight);
    AddRange(d.y, a.y, b.y, yWeight);
}

void ApplyDifferences(const HR_UINT16 *differences, HR_UINT16 *profile) {
    HR_UINT16 running = 0;
    for (int i = 0; i < kSize; ++i) {
        running = static_cast<HR_UINT16>(running + differences[i]);
        profile[i] = static_cast<HR_UINT16>(profile[i] + running);
    }
}

/* Deposits the density of segment a-b; a segment of zero length deposits
 * nothing. Selects rather than branches: segments point every which way. */
void AddSegmentDensity(_HR_POINT8 a, _HR_POINT8 b, ProfileDifferences &d) {
    const int dx = AbsDiff(a.x, b.x), dy = AbsDiff(a.y, b.y);
    const bool steep = dx < dy;
    const HR_UINT16 cross = CrossAxisWeight(steep ? dy : dx, steep ? dx : dy);
    const bool empty = dx == 0 && dy == 0;
    const HR_UINT16 xWeight = empty ? 0 : steep ? cross : kSegmentWeight;
    const HR_UINT16 yWeight = empty ? 0 : steep ? kSegmentWeight : cross;
    AddSegmentRanges(d, a, b, xWeight, yWeight);
}

/* Adds value * spread[k] to profile[center - radius + k], dropping targets
 * outside the profile. */
void Spread(HR_UINT16 *profile, int center, HR_UINT16 value, const HR_UINT16 *spread, int radius) {
    for (int k = -radius; k <= radius; ++k) {
        const int target = center + k;
        if (target < 0 || target >= kSize) continue;
        profile[target] = static_cast<HR_UINT16>(profile[target] + value * spread[k + radius]);
    }
}

/* Replaces a profile by its cumulative share scaled to 0..63. */
void ProfileToMap(HR_UINT16 *profile) {
    HR_UINT32 total = 0;
    for (int i = 0; i < kSize; ++i) total += profile[i];
    if (total == 0) {
        for (int i = 0; i < kSize; ++i) profile[i] = static_cast<HR_UINT16>(i);
        return;
    }
    HR_UINT32 running = 0;
    for (HR_UINT32 i = 0; i < kLast; ++i) {
        running += profile[i];
        profile[i] = static_cast<HR_UINT16>(running * kLast / total);
    }
    profile[kLast] = static_cast<HR_UINT16>(kLast);
}

HR_UINT8 MapCoordinate(const HR_UINT16 *map, HR_UINT8 value) {
    return static_cast<HR_UINT8>(map[value > kLast ? kLast : value]);
}

}  // namespace

extern "C" {

void HRNormalize_Process(_HR_POINT8 *points, HR_UINT16 n) {
    HRNormalize_LinearNormalize(points, n);
    ProfileDifferences density{};
    /* The last point is expected to be a marker, so it never starts a
     * segment; the segment ending just before it is counted. */
    for (int i = 0; i + 2 < n; ++i) {
        if (IsMarker(points[i]) || IsMarker(points[i + 1])) continue;
        AddSegmentDensity(points[i], points[i + 1], density);
    }
    HR_UINT16 xProfile[kSize], yProfile[kSize];
    HRNormalize_SetInitialMappingValue(xProfile, yProfile, HR_NORMALIZE_INITIAL_DENSITY);
    ApplyDifferences(density.x, xProfile);
    ApplyDifferences(density.y, yProfile);
    HRNormalize_DiffuseGaussianWeight(xProfile);
    HRNormalize_DiffuseGaussianWeight(yProfile);
    HRNormalize_CalculateMapping(xProfile, yProfile);
    HRNormalize_Mapping(points, n, xProfile, yProfile);
}

void HRNormalize_LinearNormalize(_HR_POINT8 *points, HR_UINT16 n) {
    if (n == 0) return;
    const penrune::HRFrame frame = penrune::HRFrame_Measure(points, n, HR_MARKER8);
    penrune::HRFrame_Scale(frame, kLinearScale, points, n, HR_MARKER8, points, [](HR_UINT32 y) {
        return _HR_POINT8{HR_MARKER8, static_cast<HR_UINT8>(y)};
    });
}

void HRNormalize_SetInitialMappingValue(HR_UINT16 *xProfile, HR_UINT16 *yProfile, HR_UINT16 value) {
    for (int i = 0; i < kSize; ++i) xProfile[i] = yProfile[i] = value;
}

void HRNormalize_MappingInAscendOrder(_HR_POINT8 a, _HR_POINT8 b, HR_UINT16 xWeight,
                                      HR_UINT16 yWeight, HR_UINT16 *xProfile, HR_UINT16 *yProfile) {
    ProfileDifferences d{};
    AddSegmentRanges(d, a, b, xWeight, yWeight);
    ApplyDifferences(d.x, xProfile);
    ApplyDifferences(d.y, yProfile);
}

void HRNormalize_DiffuseGaussianWeight(HR_UINT16 *profile) {
    HR_UINT16 source[kSize];
    for (int i = 0; i < kSize; ++i) {
        source[i] = profile[i];
        profile[i] = 0;
    }
    for (int i = 0; i < kSize; ++i) {
        if (source[i] <= kLightBinLimit) {
            Spread(profile, i, source[i], kLightSpread, kLightRadius);
        } else {
            Spread(profile, i, source[i], kHeavySpread, kHeavyRadius);
        }
    }
}

void HRNormalize_CalculateMapping(HR_UINT16 *xProfile, HR_UINT16 *yProfile) {
    ProfileToMap(xProfile);
    ProfileToMap(yProfile);
}

void HRNormalize_Mapping(_HR_POINT8 *points, HR_UINT16 n, const HR_UINT16 *xMap,
                         const HR_UINT16 *yMap) {
    for (HR_UINT32 i = 0; i < n; ++i) {
        _HR_POINT8 &p = points[i];
        if (IsMarker(p)) continue;
        p.x = MapCoordinate(xMap, p.x);
        p.y = MapCoordinate(yMap, p.y);
    }
}

}  // extern "C"
