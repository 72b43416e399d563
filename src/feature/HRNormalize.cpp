// SPDX-License-Identifier: MIT
/* Character normalisation: a linear stage into 0..62, then a nonlinear
 * stage that evens out the ink density along each axis through cumulative
 * line-density profiles. */
#include "penrune/HRNormalize.h"

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

/* The weights a segment deposits in the x and y profiles. */
struct SegmentWeights {
    HR_UINT16 x;
    HR_UINT16 y;
};

/* A segment of extents dx, dy deposits 5 per unit along its longer axis in
 * that axis's profile, and in the other profile 5 scaled by the ratio of
 * the longer to the shorter extent, so both profiles receive about the
 * same total density; a segment of zero length deposits nothing. The ratio
 * is a signed 16-bit value, as in the trained model's preprocessing. */
constexpr SegmentWeights ComputeSegmentWeights(int dx, int dy) {
    if (dx == 0 && dy == 0) return {0, 0};
    const bool steep = dx < dy;
    const int longer = steep ? dy : dx, shorter = steep ? dx : dy;
    const HR_INT16 ratio = static_cast<HR_INT16>(((longer + 1) << kRatioShift) / (shorter + 1));
    const auto cross = static_cast<HR_UINT16>((ratio * kSegmentWeight) >> kRatioShift);
    return steep ? SegmentWeights{cross, kSegmentWeight} : SegmentWeights{kSegmentWeight, cross};
}

/* The weights of every segment of linearly normalised points (extents
 * 0..62), by [dx][dy]. */
struct SegmentWeightTable {
    SegmentWeights byExtents[kSize][kSize];
};

constexpr SegmentWeightTable MakeSegmentWeightTable() {
    SegmentWeightTable table{};
    for (int dx = 0; dx < kSize; ++dx) {
        for (int dy = 0; dy < kSize; ++dy) table.byExtents[dx][dy] = ComputeSegmentWeights(dx, dy);
    }
    return table;
}

constexpr SegmentWeightTable kSegmentWeights = MakeSegmentWeightTable();

/* The two density profiles while segments are added, kept as differences
 * so that adding a weight over a range touches two entries; the counters
 * follow from one running sum, modulo 65536 like the counters themselves. */
struct ProfileDifferences {
    HR_UINT16 x[kSize + 1];
    HR_UINT16 y[kSize + 1];
};

/* Adds weight over the counters between a and b (in either order), which
 * must both be counters of the profile. */
void AddRange(HR_UINT16 *differences, HR_UINT32 a, HR_UINT32 b, HR_UINT16 weight) {
    const HR_UINT32 lo = a < b ? a : b, hi = a < b ? b : a;
    differences[lo] = static_cast<HR_UINT16>(differences[lo] + weight);
    differences[hi + 1] = static_cast<HR_UINT16>(differences[hi + 1] - weight);
}

/* Adds weight over the counters between a and b (in either order), cut at
 * the last counter. */
void AddRangeWithin(HR_UINT16 *differences, HR_UINT32 a, HR_UINT32 b, HR_UINT16 weight) {
    const HR_UINT32 lo = a < b ? a : b, hi = a < b ? b : a;
    if (lo <= kLast) AddRange(differences, lo, hi < kLast ? hi : kLast, weight);
}

void ApplyDifferences(const HR_UINT16 *differences, HR_UINT16 *profile) {
    HR_UINT16 running = 0;
    for (int i = 0; i < kSize; ++i) {
        running = static_cast<HR_UINT16>(running + differences[i]);
        profile[i] = static_cast<HR_UINT16>(profile[i] + running);
    }
}

/* Deposits the density of segment a-b of linearly normalised points (both
 * within the frame). */
void AddSegmentDensity(_HR_POINT8 a, _HR_POINT8 b, ProfileDifferences &d) {
    const SegmentWeights w = kSegmentWeights.byExtents[AbsDiff(a.x, b.x)][AbsDiff(a.y, b.y)];
    AddRange(d.x, a.x, b.x, w.x);
    AddRange(d.y, a.y, b.y, w.y);
}

/* A profile with room for the reach of the wider spread on both sides,
 * so that every target of every bin has a slot; slots outside the profile
 * stay 0 as sources and are dropped as targets. */
struct PaddedProfile {
    HR_UINT16 value[kHeavyRadius + kSize + kHeavyRadius];
};

/* Adds source[t - k] * spread[k + radius] to target[t] for every profile
 * position t and k = -radius..radius. */
void Spread(const PaddedProfile &source, const HR_UINT16 *spread, int radius, HR_UINT16 *target) {
    for (int k = -radius; k <= radius; ++k) {
        const HR_UINT16 w = spread[k + radius];
        for (int t = 0; t < kSize; ++t) {
            target[t] = static_cast<HR_UINT16>(target[t] + source.value[kHeavyRadius + t - k] * w);
        }
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
     * segment; the segment ending just before it is counted. The linear
     * stage has put every point that is not a marker into the frame. */
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

void HRNormalize_MappingInAscendOrder(_HR_POINT8 a, _HR_POINT8 b, HR_UINT16 xWeight, HR_UINT16 yWeight,
                                      HR_UINT16 *xProfile, HR_UINT16 *yProfile) {
    ProfileDifferences d{};
    AddRangeWithin(d.x, a.x, b.x, xWeight);
    AddRangeWithin(d.y, a.y, b.y, yWeight);
    ApplyDifferences(d.x, xProfile);
    ApplyDifferences(d.y, yProfile);
}

void HRNormalize_DiffuseGaussianWeight(HR_UINT16 *profile) {
    /* Light and heavy bins spread with different weights: split the
     * profile into the two kinds and spread each as a whole. */
    PaddedProfile light{}, heavy{};
    for (int i = 0; i < kSize; ++i) {
        const bool isLight = profile[i] <= kLightBinLimit;
        light.value[kHeavyRadius + i] = isLight ? profile[i] : 0;
        heavy.value[kHeavyRadius + i] = isLight ? 0 : profile[i];
        profile[i] = 0;
    }
    Spread(light, kLightSpread, kLightRadius, profile);
    Spread(heavy, kHeavySpread, kHeavyRadius, profile);
}

void HRNormalize_CalculateMapping(HR_UINT16 *xProfile, HR_UINT16 *yProfile) {
    ProfileToMap(xProfile);
    ProfileToMap(yProfile);
}

void HRNormalize_Mapping(_HR_POINT8 *points, HR_UINT16 n, const HR_UINT16 *xMap, const HR_UINT16 *yMap) {
    for (HR_UINT32 i = 0; i < n; ++i) {
        _HR_POINT8 &p = points[i];
        if (IsMarker(p)) continue;
        p.x = MapCoordinate(xMap, p.x);
        p.y = MapCoordinate(yMap, p.y);
    }
}

}  // extern "C"
