// SPDX-License-Identifier: MIT
#include "penrune/HRFeature.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <functional>
#include <iterator>
#include <numeric>
#include <random>
#include <vector>

#include "ArchIsas.h"
#include "CharacterGen.h"
#include "penrune/HRNormalize.h"
#include "arch/HARecoKernels.h"
#include "feature/HRTable.h"
#include "feature/HRFrame.h"

namespace {

using Points = std::vector<_HR_POINT8>;
using Weights = std::array<HR_UINT16, HR_FEATURE_SLOTS>;
using Plane = std::array<HR_INT16, HR_FEATURE_PLANE_SIZE>;
using Vector = std::vector<HR_INT16>;

constexpr _HR_POINT8 kStrokeEnd = {HR_MARKER8, 0};
constexpr _HR_POINT8 kDataEnd = {HR_MARKER8, HR_MARKER8};

// A straightforward transcription of the extraction rules, kept slow and
// literal on purpose, to check the library's optimised version against.
namespace reference {

bool Marker(_HR_POINT8 p) { return p.x == 255; }

int Angle(_HR_POINT8 p, _HR_POINT8 q) {
    if (p.x == q.x && p.y == q.y) return 315;
    if (p.x == q.x) return p.y < q.y ? 270 : 90;
    if (p.y == q.y) return q.x < p.x ? 180 : 0;
    const int dx = std::abs(q.x - p.x), dy = std::abs(q.y - p.y), t = dy > dx ? dy * 128 / dx : dx * 128 / dy;
    int k = 0;  // the last tangent entry (up to 43) below t
    while (k < 43 && g_nTanTable[k + 1] < t) ++k;
    const int a = dy > dx ? 45 + k : 45 - k;
    if (q.x > p.x && q.y < p.y) return a;
    if (q.x < p.x && q.y < p.y) return 180 - a;
    return q.x < p.x ? 180 + a : 360 - a;
}

// Angles 0..360 feed the slots within 45 degrees; slot 0 from both ends.
Weights SlotWeights(int b) {
    const int degrees[HR_FEATURE_SLOTS] = {0, 225, 270, 315, 180, 45, 90, 135};
    Weights w{};
    for (int s = 0; s < 8; ++s) {
        const int d = s == 0 ? std::min(b, 360 - b) : std::abs(b - degrees[s]);
        if (d <= 45) w[s] = g_nCosTable[3 * d / 2];
    }
    return w;
}

// Adds the weights of a sample at (x, y) to its cells in 16-bit sums.
void Count(HR_INT16 *plane, int x, int y, const Weights &w) {
    const int row = y / 8, column = x / 8;
    const int sideColumn = x % 8 < 4 ? column - 1 : column + 1, sideRow = y % 8 < 4 ? row - 1 : row + 1;
    const bool columnInside = sideColumn >= 0 && sideColumn <= 7;
    // The lower-left quarter of a cell past column 0 reaches the row below
    // only in the upper half of the grid.
    const bool rowInside = y % 8 >= 4 && x % 8 < 4 && column >= 1 ? row <= 3 : sideRow >= 0 && sideRow <= 7;
    const auto add = [&](int r, int c, int factor) {
        HR_INT16 *cell = plane + r * 64 + c * 8;
        for (int s = 0; s < 8; ++s) cell[s] = static_cast<HR_INT16>(cell[s] + factor * w[s]);
    };
    add(row, column, 32);
    if (columnInside) add(row, sideColumn, 16);
    if (rowInside) add(sideRow, column, 16);
    if (rowInside && columnInside) add(sideRow, sideColumn, 8);
}

// Samples p -> q (q only if includeEnd) every `step` units of the major axis,
// the minor coordinate following the slope truncated to 1/128; counts those
// inside the frame and returns all of them.
Points Segment(HR_INT16 *plane, _HR_POINT8 p, _HR_POINT8 q, bool includeEnd, int step = HR_FEATURE_STEP) {
    step = std::max(step, 1);
    const int dx = q.x - p.x, dy = q.y - p.y;
    const bool yMajor = std::abs(dy) > std::abs(dx);
    const int m0 = yMajor ? p.y : p.x, m1 = yMajor ? q.y : q.x, minor0 = yMajor ? p.x : p.y;
    const int majorD = yMajor ? dy : dx, minorD = yMajor ? dx : dy;
    const int slope = minorD == 0 ? (majorD > 0 ? 32000 : -32000) : majorD * 128 / minorD;
    const int direction = m1 >= m0 ? step : -step;
    Points samples;
    for (int m = m0; direction > 0 ? m < m1 : m > m1; m += direction) {
        const auto minor = static_cast<HR_UINT8>(minor0 + (m - m0) * 128 / slope), major = static_cast<HR_UINT8>(m);
        samples.push_back(yMajor ? _HR_POINT8{minor, major} : _HR_POINT8{major, minor});
    }
    if (includeEnd) samples.push_back(q);
    for (_HR_POINT8 s : samples) {
        if (s.x < 64 && s.y < 64) Count(plane, s.x, s.y, SlotWeights(Angle(p, q)));
    }
    return samples;
}

int Root(int v) {
    int c = 0;
    while (c < 180 && (c + 1) * (c + 1) < v) ++c;  // the least c with c * c >= v, at most 180
    return c;
}

// Smoothing of a density profile and its cumulative map.
void SpreadAndMap(std::vector<uint16_t> &profile) {
    const int light[11] = {0, 2, 4, 4, 8, 10, 8, 4, 4, 2, 0}, heavy[11] = {4, 4, 4, 4, 5, 5, 5, 4, 4, 4, 4};
    std::vector<uint16_t> spread(64, 0);
    for (int i = 0; i < 64; ++i) {
        for (int k = -5; k <= 5; ++k) {
            const int w = profile[i] <= 240 ? light[k + 5] : heavy[k + 5];
            if (i + k >= 0 && i + k < 64) spread[i + k] = static_cast<uint16_t>(spread[i + k] + profile[i] * w);
        }
    }
    uint32_t total = 0, running = 0;
    for (uint16_t v : spread) total += v;
    for (int i = 0; i < 64; ++i) profile[i] = static_cast<uint16_t>(i == 63 ? 63 : (running += spread[i]) * 63 / total);
}

Vector Extract(Points points) {
    const int n = static_cast<int>(points.size());
    // The linear stage is pinned in HRNormalize_test; from there on the
    // density profiles, their smoothing and the maps are transcribed here.
    HRNormalize_LinearNormalize(points.data(), static_cast<HR_UINT16>(n));
    std::vector<uint16_t> x(64, 6), y(64, 6);
    for (int i = 0; i + 2 < n; ++i) {
        const _HR_POINT8 a = points[i], b = points[i + 1];
        if (Marker(a) || Marker(b)) continue;
        const int dx = std::abs(a.x - b.x), dy = std::abs(a.y - b.y);
        if (dx == 0 && dy == 0) continue;
        const int ratio = static_cast<int16_t>((std::max(dx, dy) + 1) * 64 / (std::min(dx, dy) + 1));
        const int cross = (ratio * 5) >> 6, xw = dx < dy ? cross : 5, yw = dx < dy ? 5 : cross;
        for (int c = std::min(a.x, b.x); c <= std::max(a.x, b.x); ++c) x[c] = static_cast<uint16_t>(x[c] + xw);
        for (int r = std::min(a.y, b.y); r <= std::max(a.y, b.y); ++r) y[r] = static_cast<uint16_t>(y[r] + yw);
    }
    SpreadAndMap(x);
    SpreadAndMap(y);
    for (_HR_POINT8 &p : points) {
        if (!Marker(p)) p = {static_cast<HR_UINT8>(x[p.x]), static_cast<HR_UINT8>(y[p.y])};
    }
    // Plane 0: the strokes; plane 1: the pen path, a corner's two legs when
    // both are long, else the chord.
    Vector v(HR_FEATURE_DIM, 0);
    for (int i = 0; i + 2 < n; ++i) {
        if (Marker(points[i]) || Marker(points[i + 1])) continue;
        Segment(v.data(), points[i], points[i + 1], Marker(points[i + 2]));
    }
    Points path;
    std::copy_if(points.begin(), points.end(), std::back_inserter(path), [](_HR_POINT8 p) { return !Marker(p); });
    const auto cityBlock = [](_HR_POINT8 a, _HR_POINT8 b) { return std::abs(a.x - b.x) + std::abs(a.y - b.y); };
    for (size_t i = 2; i < path.size(); ++i) {
        const _HR_POINT8 a = path[i - 2], b = path[i - 1], c = path[i];
        const bool corner = cityBlock(a, b) > 7 && cityBlock(b, c) > 7;
        Segment(v.data() + 512, a, corner ? b : c, false);
        if (corner) Segment(v.data() + 512, b, c, false);
    }
    for (HR_INT16 &value : v) value = static_cast<HR_INT16>(Root(value));
    return v;
}

HR_INT16 Project(const HR_INT16 *row, const HR_INT16 *x, int n) {
    int64_t sum = 0;
    for (int j = 0; j < n; ++j) sum += int64_t{row[j]} * x[j];
    // The high half of the 32-bit sum, offset by 128, modulo 256.
    const int64_t high = std::floor(static_cast<int32_t>(static_cast<uint32_t>(sum)) / 65536.0);
    return static_cast<HR_INT16>(((high + 128) % 256 + 256) % 256);
}

}  // namespace reference

TEST(HRTable, EntriesFollowTheirFormulas) {
    const double kRadian = 3.14159265358979323846 / 180.0;
    for (int i = 0; i < HR_COS_TABLE_SIZE; ++i)
        EXPECT_EQ(g_nCosTable[i], std::floor(50 * std::cos(i * kRadian) + 1e-9));
    for (int i = 0; i < HR_TAN_TABLE_SIZE; ++i)
        EXPECT_EQ(g_nTanTable[i], std::lround(128 * std::tan((45 + i) * kRadian)));
    for (int i = 0, v = -HR_SQUARE_TABLE_ZERO; i < HR_SQUARE_TABLE_SIZE; ++i, ++v) EXPECT_EQ(g_nSquareTable[i], v * v);
}

TEST(HRFeatureWeights, AnglesBeyondTheCircleStayInTheTable) {
    for (int angle = 361; angle <= 0xFFFF; ++angle) {
        Weights w;
        HRFeature_EightDirectionMapping(static_cast<HR_UINT16>(angle), w.data());
        for (HR_UINT16 value : w) ASSERT_LE(value, 50) << angle;
    }
}

// Segments anywhere on the 8-bit canvas, at every step: the samples follow
// the truncated slope exactly, only those inside the frame are counted and
// nothing is written past the samples.
TEST(HRFeatureSegment, SamplesAndCountsMatchTheReferenceAnywhere) {
    const auto check = [](_HR_POINT8 p, _HR_POINT8 q, int includeEnd, int step) {
        Points scratch(HR_FEATURE_SCRATCH_POINTS + 4, _HR_POINT8{1, 2});
        Plane plane{}, expected{};
        HRFeature_ExtractEightDirectionFeatureBetweenTwoPoint(p, q, includeEnd, step, scratch.data(), plane.data());
        Points samples = reference::Segment(expected.data(), p, q, includeEnd, step);
        ASSERT_LE(samples.size(), HR_FEATURE_SCRATCH_POINTS) << p << " -> " << q << " step " << step;
        samples.resize(scratch.size(), _HR_POINT8{1, 2});
        ASSERT_EQ(scratch, samples) << p << " -> " << q << " step " << step;
        ASSERT_EQ(plane, expected) << p << " -> " << q << " step " << step << " end " << includeEnd;
    };
    check({0, 0}, {0, 255}, 1, 0);  // step 0 is taken as 1: the longest segment fills the scratch
    std::mt19937 rng(8);
    for (int trial = 0; trial < 1000 && !::testing::Test::HasFatalFailure(); ++trial) {
        const unsigned range = trial % 2 ? 255 : 72;  // half of them around the frame
        const auto any = [&] { return static_cast<HR_UINT8>(rng() % range); };
        const _HR_POINT8 p = {any(), any()};
        _HR_POINT8 q = {any(), any()};
        if (trial % 3 == 0) q.y = p.y;  // along an axis
        if (trial % 10 == 0) q = p;     // only the end point, if included
        check(p, q, trial % 4 < 2, 1 + trial % 9);
    }
}

// In place, as the recognizer converts the caller's points.
TEST(HRFeaturePoint16, SmallCharactersAreTranslatedAndLargeOnesScaled) {
    const struct {
        std::vector<_HR_POINT16> in;
        Points out;
    } cases[] = {
        {{{1000, 2000}, {1100, 2050}, {0xFFFF, 0}, {1050, 2001}, {0xFFFF, 0}, {0xFFFF, 0xFFFF}},
         {{0, 0}, {100, 50}, kStrokeEnd, {50, 1}, kStrokeEnd, kDataEnd}},
        {{{0, 0}, {1000, 100}, {0xFFFF, 7}}, {{0, 0}, {254, 25}, kDataEnd}},  // both axes by 255 / 1001
        {{{0, 0}, {300, 200}}, {{0, 0}, {254, 253}}},  // one axis over 254: each by its own extent
    };
    for (const auto &c : cases) {
        std::vector<_HR_POINT16> points = c.in;
        auto *out = reinterpret_cast<_HR_POINT8 *>(points.data());
        HRFeature_Point16ToPoint8(points.data(), static_cast<HR_UINT16>(points.size()), out);
        EXPECT_EQ(Points(out, out + points.size()), c.out);
    }
}

TEST(HRFeaturePoint16, DividerMatchesIntegerDivision) {
    // The scaling divides by a per-character divisor through a multiplier;
    // check it at the ends of every quotient, up to the largest numerator.
    constexpr HR_UINT32 kLimit = penrune::HRDivider::kNumeratorLimit;
    for (HR_UINT32 d = 1; d <= penrune::HRDivider::kDivisorLimit; ++d) {
        const penrune::HRDivider divider(d);
        const HR_UINT32 topMultiple = (kLimit - 1) / d * d;
        for (HR_UINT32 n : {0u, 1u, d - 1, d, 255 * d - 1, topMultiple - 1, topMultiple, kLimit - 1}) {
            ASSERT_EQ(divider.Divide(n), n / d) << n << " / " << d;
        }
    }
}

// Normalisation and both planes against the reference; the dense character
// passes hundreds of times over one stroke and overflows the 16-bit sums.
TEST(HRFeatureExtract, MatchesTheReferenceOnRandomAndDenseCharacters) {
    std::mt19937 rng(2024);
    Points dense;
    for (int i = 0; i < 400; ++i) dense.insert(dense.end(), {{0, 0}, {254, 254}});
    dense.insert(dense.end(), {kStrokeEnd, kDataEnd});
    for (int trial = 0; trial <= 300; ++trial) {
        Points points = trial == 300     ? dense
                        : trial % 2 == 0 ? penrune::test::SmoothCharacter(rng, 1 + trial % 15, 4 + trial % 30)
                                         : penrune::test::JumbleCharacter(rng, 120);
        const Vector expected = reference::Extract(points);
        Vector v(HR_FEATURE_DIM, -1);
        ASSERT_EQ(HRFeature_Extract1024DimFeature(points.data(), static_cast<HR_UINT16>(points.size()), v.data()), 1);
        ASSERT_EQ(v, expected) << "trial " << trial;
    }
}

// Every version of the projection and square root against the literal ones,
// with sums that overflow 32 bits, empty inputs and partial vectors.
TEST(HRFeatureKernels, ProjectionVersionsMatchTheReference) {
    std::vector<penrune::HAProjectFn> kernels;
    for (penrune::HAIsa isa : penrune::test::AvailableIsas())
        kernels.push_back(penrune::HA_RecoKernelsFor(isa).project);
    std::mt19937 rng(19);
    std::uniform_int_distribution<int> any(-32768, 32767);
    for (int nIn : {0, 1, 17, 1024}) {
        for (int nOut : {1, 9, 64}) {
            Vector x(nIn), matrix(static_cast<size_t>(nIn) * nOut);
            for (Vector *values : {&x, &matrix})
                std::generate(values->begin(), values->end(), [&] { return any(rng); });
            for (size_t k = 0; k < kernels.size(); ++k) {
                Vector out(nOut + 1, -7);
                kernels[k](x.data(), static_cast<HR_UINT32>(nIn), out.data(), static_cast<HR_UINT32>(nOut),
                           matrix.data());
                for (int r = 0; r < nOut; ++r) {
                    ASSERT_EQ(out[r], reference::Project(matrix.data() + static_cast<size_t>(r) * nIn, x.data(), nIn))
                        << "kernel " << k << ": " << nIn << ' ' << nOut << ' ' << r;
                }
                EXPECT_EQ(out[nOut], -7) << "kernel " << k;
            }
        }
    }
}

TEST(HRFeatureKernels, RootVersionsMatchTheReference) {
    std::vector<std::function<void(HR_INT16 *, HR_INT32)>> kernels = {HRFeature_CoxBoxTransform};
    for (penrune::HAIsa isa : penrune::test::AvailableIsas()) {
        kernels.push_back([isa](HR_INT16 *values, HR_INT32 count) {
            penrune::HA_RecoKernelsFor(isa).roots(values, count, HR_FEATURE_MAX_VALUE);
        });
    }
    for (size_t k = 0; k < kernels.size(); ++k) {
        Vector v(65536);
        std::iota(v.begin(), v.end(), -32768);
        kernels[k](v.data(), static_cast<HR_INT32>(v.size()) - 3);  // a count that is not whole vectors
        for (int value = -32768; value <= 32764; ++value) {
            ASSERT_EQ(v[value + 32768], reference::Root(value)) << "kernel " << k << ": " << value;
        }
        EXPECT_EQ(v[65533], 32765) << "kernel " << k;  // past the count: untouched
    }
}

}  // namespace
