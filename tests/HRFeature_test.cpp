#include "HRFeature.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <random>
#include <vector>

#include "CharacterGen.h"
#include "HRNormalize.h"
#include "HRTable.h"
#include "feature/HRFrame.h"
#include "feature/HRSimd.h"

namespace {

using Points = std::vector<_HR_POINT8>;
using Weights = std::array<HR_UINT16, HR_FEATURE_SLOTS>;
using Plane = std::array<HR_INT16, HR_FEATURE_PLANE_SIZE>;
using Vector = std::vector<HR_INT16>;

constexpr _HR_POINT8 kStrokeEnd = {HR_MARKER8, 0};
constexpr _HR_POINT8 kDataEnd = {HR_MARKER8, HR_MARKER8};

Weights WeightsOf(int angle) {
    Weights w;
    HRFeature_EightDirectionMapping(static_cast<HR_UINT16>(angle), w.data());
    return w;
}

// A plane of 16-bit sums, wrapping like the library's.
Plane ToPlane(const std::vector<long> &sums) {
    Plane plane;
    for (size_t i = 0; i < plane.size(); ++i) plane[i] = static_cast<HR_INT16>(sums[i]);
    return plane;
}

Points RandomCharacter(std::mt19937 &rng, int trial) {
    return trial % 2 == 0 ? penrune::test::SmoothCharacter(rng, 1 + trial % 15, 4 + trial % 30)
                          : penrune::test::JumbleCharacter(rng, 120);
}

// A straightforward transcription of the extraction rules, kept slow and
// literal on purpose, to check the library's version against.
namespace reference {

const int kSlotDegrees[HR_FEATURE_SLOTS] = {0, 225, 270, 315, 180, 45, 90, 135};

int AngleValue(int dx, int dy) {
    if (dx == dy) return 45;
    const int t = dy > dx ? dy * 128 / dx : dx * 128 / dy;
    int k = 0;
    for (int i = 0; i <= 43; ++i) {
        if (g_nTanTable[i] < t) k = i;
    }
    return dy > dx ? 45 + k : 45 - k;
}

int Angle(_HR_POINT8 p, _HR_POINT8 q) {
    if (p.x == q.x && p.y == q.y) return 315;
    if (p.x == q.x) return p.y < q.y ? 270 : 90;
    if (p.y == q.y) return q.x < p.x ? 180 : 0;
    const int a = AngleValue(std::abs(q.x - p.x), std::abs(q.y - p.y));
    if (q.x > p.x && q.y < p.y) return a;
    if (q.x < p.x && q.y < p.y) return 180 - a;
    return q.x < p.x ? 180 + a : 360 - a;
}

// Angles 0..360 feed the slots within 45 degrees; slot 0 from both ends.
Weights SlotWeights(int b) {
    Weights w{};
    for (int s = 0; s < 8; ++s) {
        const int d = s == 0 ? std::min(b, 360 - b) : std::abs(b - kSlotDegrees[s]);
        if (d <= 45) w[s] = g_nCosTable[3 * d / 2];
    }
    return w;
}

void Count(std::vector<long> &plane, int x, int y, const Weights &w) {
    const int row = y / 8, column = x / 8;
    const int sideColumn = x % 8 < 4 ? column - 1 : column + 1, sideRow = y % 8 < 4 ? row - 1 : row + 1;
    const bool columnInside = sideColumn >= 0 && sideColumn <= 7;
    // The lower-left quarter of a cell past column 0 reaches the row below
    // only in the upper half of the grid.
    const bool rowInside = y % 8 >= 4 && x % 8 < 4 && column >= 1 ? row <= 3 : sideRow >= 0 && sideRow <= 7;
    const auto add = [&](int r, int c, int factor) {
        for (int s = 0; s < 8; ++s) plane[r * 64 + c * 8 + s] += factor * w[s];
    };
    add(row, column, 32);
    if (columnInside) add(row, sideColumn, 16);
    if (rowInside) add(sideRow, column, 16);
    if (rowInside && columnInside) add(sideRow, sideColumn, 8);
}

int Slope(_HR_POINT8 p, _HR_POINT8 q) {
    const int dx = q.x - p.x, dy = q.y - p.y;
    if (dx == 0) return dy == 0 ? 128 : (dy > 0 ? 32000 : -32000);
    if (dy == 0) return dx < 0 ? -32000 : 32000;
    return std::abs(dx) >= std::abs(dy) ? dx * 128 / dy : dy * 128 / dx;
}

// Samples from p toward q (q excluded) every `step` units of the major
// axis, the minor coordinate following the truncated slope.
Points Samples(_HR_POINT8 p, _HR_POINT8 q, int step) {
    step = std::max(step, 1);
    const int dx = q.x - p.x, dy = q.y - p.y;
    const bool yMajor = std::abs(dy) > std::abs(dx);
    const int m0 = yMajor ? p.y : p.x, m1 = yMajor ? q.y : q.x, minor0 = yMajor ? p.x : p.y;
    const int slope = Slope(p, q), direction = m1 >= m0 ? step : -step;
    Points samples;
    for (int m = m0; direction > 0 ? m < m1 : m > m1; m += direction) {
        const auto minor = static_cast<HR_UINT8>(minor0 + (m - m0) * 128 / slope), major = static_cast<HR_UINT8>(m);
        samples.push_back(yMajor ? _HR_POINT8{minor, major} : _HR_POINT8{major, minor});
    }
    return samples;
}

// Counts the samples of p -> q that fall inside the frame; returns all samples.
Points Segment(std::vector<long> &plane, _HR_POINT8 p, _HR_POINT8 q, bool includeEnd, int step = 2) {
    Points samples = Samples(p, q, step);
    if (includeEnd) samples.push_back(q);
    for (_HR_POINT8 s : samples) {
        if (s.x < 64 && s.y < 64) Count(plane, s.x, s.y, SlotWeights(Angle(p, q)));
    }
    return samples;
}

bool Marker(_HR_POINT8 p) { return p.x == 255; }

int CityBlock(_HR_POINT8 a, _HR_POINT8 b) { return std::abs(a.x - b.x) + std::abs(a.y - b.y); }

int Root(long wrapped) {
    const int v = static_cast<int16_t>(static_cast<uint16_t>(wrapped & 0xFFFF));
    int c = 0;
    while (c < 180 && (c + 1) * (c + 1) < v) ++c;
    return c;
}

// Normalisation: the linear stage into 0..62, then the density profiles,
// their smoothing and the cumulative maps.
void LinearNormalize(Points &points) {
    const size_t n = points.size();
    if (n == 0) return;
    int minX = points[0].x, maxX = minX, minY = points[0].y, maxY = minY;
    for (size_t i = 1; i < n; ++i) {
        if (Marker(points[i])) continue;
        minX = std::min<int>(minX, points[i].x), maxX = std::max<int>(maxX, points[i].x);
        minY = std::min<int>(minY, points[i].y), maxY = std::max<int>(maxY, points[i].y);
    }
    const int xr = maxX - minX, yr = maxY - minY;
    int sx = 1, sy = 1;
    if (n > 1 && xr > 4 * yr) {
        sx = sy = xr + 1;
    } else if (n > 1) {
        sy = yr + 1;
        sx = 4 * xr < yr ? yr + 1 : xr + 1;
    }
    for (_HR_POINT8 &p : points) {
        if (Marker(p)) continue;
        p = {static_cast<HR_UINT8>((p.x - minX) * 63 / sx), static_cast<HR_UINT8>((p.y - minY) * 63 / sy)};
    }
}

void SpreadAndMap(std::vector<uint16_t> &profile) {
    const std::vector<uint16_t> source = profile;
    const int light[9] = {2, 4, 4, 8, 10, 8, 4, 4, 2}, heavy[11] = {4, 4, 4, 4, 5, 5, 5, 4, 4, 4, 4};
    std::fill(profile.begin(), profile.end(), 0);
    for (int i = 0; i < 64; ++i) {
        const int radius = source[i] <= 240 ? 4 : 5;
        for (int k = -radius; k <= radius; ++k) {
            if (i + k < 0 || i + k > 63) continue;
            const int w = radius == 4 ? light[k + 4] : heavy[k + 5];
            profile[i + k] = static_cast<uint16_t>(profile[i + k] + source[i] * w);
        }
    }
    uint32_t total = 0, running = 0;
    for (uint16_t v : profile) total += v;
    for (int i = 0; i < 63; ++i) {
        running += profile[i];
        profile[i] = static_cast<uint16_t>(running * 63 / total);
    }
    profile[63] = 63;
}

void Normalize(Points &points) {
    LinearNormalize(points);
    std::vector<uint16_t> x(64, 6), y(64, 6);
    for (size_t i = 0; i + 2 < points.size(); ++i) {
        const _HR_POINT8 a = points[i], b = points[i + 1];
        if (Marker(a) || Marker(b)) continue;
        const int dx = std::abs(a.x - b.x), dy = std::abs(a.y - b.y);
        if (dx == 0 && dy == 0) continue;
        int xw = 5, yw = 5;
        if (dx < dy) {
            xw = (static_cast<int16_t>((dy + 1) * 64 / (dx + 1)) * 5) >> 6;
        } else {
            yw = (static_cast<int16_t>((dx + 1) * 64 / (dy + 1)) * 5) >> 6;
        }
        for (int c = std::min(a.x, b.x); c <= std::max(a.x, b.x); ++c) x[c] = static_cast<uint16_t>(x[c] + xw);
        for (int r = std::min(a.y, b.y); r <= std::max(a.y, b.y); ++r) y[r] = static_cast<uint16_t>(y[r] + yw);
    }
    SpreadAndMap(x);
    SpreadAndMap(y);
    for (_HR_POINT8 &p : points) {
        if (!Marker(p)) p = {static_cast<HR_UINT8>(x[p.x]), static_cast<HR_UINT8>(y[p.y])};
    }
}

Vector Extract(Points points) {
    const int n = static_cast<int>(points.size());
    Normalize(points);
    std::vector<long> plane0(512, 0), plane1(512, 0);
    for (int i = 0; i + 2 < n; ++i) {
        if (!Marker(points[i]) && !Marker(points[i + 1])) {
            Segment(plane0, points[i], points[i + 1], Marker(points[i + 2]));
        }
    }
    Points path;
    for (_HR_POINT8 p : points) {
        if (!Marker(p)) path.push_back(p);
    }
    for (size_t i = 2; i < path.size(); ++i) {
        const _HR_POINT8 a = path[i - 2], b = path[i - 1], c = path[i];
        if (CityBlock(a, b) > 7 && CityBlock(b, c) > 7) {
            Segment(plane1, a, b, false);
            Segment(plane1, b, c, false);
        } else {
            Segment(plane1, a, c, false);
        }
    }
    Vector v;
    for (long value : plane0) v.push_back(static_cast<HR_INT16>(Root(value)));
    for (long value : plane1) v.push_back(static_cast<HR_INT16>(Root(value)));
    return v;
}

HR_INT16 Project(const HR_INT16 *row, const HR_INT16 *x, int n) {
    int64_t sum = 0;
    for (int j = 0; j < n; ++j) sum += int64_t{row[j]} * x[j];
    const auto acc = static_cast<int32_t>(static_cast<uint32_t>(sum));
    const int64_t high = (int64_t{acc} - (((int64_t{acc} % 65536) + 65536) % 65536)) / 65536;
    return static_cast<HR_INT16>((((high + 128) % 256) + 256) % 256);
}

}  // namespace reference

TEST(HRTable, EntriesFollowTheirFormulas) {
    const double kRadian = 3.14159265358979323846 / 180.0;
    for (int i = 0; i < HR_COS_TABLE_SIZE; ++i) {
        EXPECT_EQ(g_nCosTable[i], static_cast<int>(std::floor(50.0 * std::cos(i * kRadian) + 1e-9))) << i;
    }
    for (int i = 0; i < HR_TAN_TABLE_SIZE; ++i) {
        EXPECT_EQ(g_nTanTable[i], std::lround(128.0 * std::tan((45 + i) * kRadian))) << i;
    }
    for (int i = 0; i < HR_SQUARE_TABLE_SIZE; ++i) {
        EXPECT_EQ(g_nSquareTable[i], (i - HR_SQUARE_TABLE_ZERO) * (i - HR_SQUARE_TABLE_ZERO)) << i;
    }
}

// From a few start points to every point of the canvas: axes, diagonals,
// the same point, every quadrant and every pair of components up to 254.
TEST(HRFeatureDirection, AngleAndSlopeMatchTheReferenceForEveryPair) {
    for (_HR_POINT8 p : {_HR_POINT8{0, 0}, _HR_POINT8{254, 254}, _HR_POINT8{100, 37}, _HR_POINT8{3, 250}}) {
        for (int x = 0; x < 255; ++x) {
            for (int y = 0; y < 255; ++y) {
                const _HR_POINT8 q = {static_cast<HR_UINT8>(x), static_cast<HR_UINT8>(y)};
                ASSERT_EQ(HRFeature_GetTwoPointAngle(p, q), reference::Angle(p, q)) << p << " -> " << q;
                ASSERT_EQ(HRFeature_GetTwoPointSlope(p, q), reference::Slope(p, q)) << p << " -> " << q;
            }
        }
    }
    for (int d = 1; d <= 255; ++d) {
        EXPECT_EQ(HRFeature_GetAngleValue(255, d), reference::AngleValue(255, d)) << d;
        EXPECT_EQ(HRFeature_GetAngleValue(d, 255), reference::AngleValue(d, 255)) << d;
    }
    // A zero component gives the table's limit rather than dividing by zero.
    EXPECT_EQ(HRFeature_GetAngleValue(0, 0), 45);
    EXPECT_EQ(HRFeature_GetAngleValue(9, 0), 2);
    EXPECT_EQ(HRFeature_GetAngleValue(0, 9), 88);
}

TEST(HRFeatureWeights, MatchTheReferenceAndStayInTheTableBeyondTheCircle) {
    for (int angle = 0; angle <= 360; ++angle) ASSERT_EQ(WeightsOf(angle), reference::SlotWeights(angle)) << angle;
    for (int angle = 361; angle <= 0xFFFF; ++angle) {
        for (HR_UINT16 value : WeightsOf(angle)) ASSERT_LE(value, 50) << angle;
    }
    EXPECT_EQ(WeightsOf(1000), Weights{});
}

TEST(HRFeatureCells, SpreadMatchesTheReferenceAtEveryPointOfTheFrame) {
    const Weights w = {1, 2, 3, 4, 5, 6, 7, 8};
    for (int x = 0; x < 64; ++x) {
        for (int y = 0; y < 64; ++y) {
            const _HR_POINT8 sample = {static_cast<HR_UINT8>(x), static_cast<HR_UINT8>(y)};
            Plane plane{};
            HRFeature_CountEightDirectionFeature(&sample, 1, w.data(), plane.data());
            std::vector<long> expected(HR_FEATURE_PLANE_SIZE, 0);
            reference::Count(expected, x, y, w);
            ASSERT_EQ(plane, ToPlane(expected)) << sample;
        }
    }
}

TEST(HRFeatureCells, AdditionsWrapAndOutsideSamplesAreIgnored) {
    Points samples(2048, _HR_POINT8{20, 20});  // lower-right quarter of cell (2, 2)
    samples.push_back({64, 10});               // past the last column
    samples.push_back({10, 200});              // far below the last row
    const Weights w = {1, 0, 0, 0, 0, 0, 0, 0};
    Plane plane{};
    HRFeature_CountEightDirectionFeature(samples.data(), static_cast<HR_INT32>(samples.size()), w.data(), plane.data());
    std::vector<long> expected(HR_FEATURE_PLANE_SIZE, 0);
    for (int i = 0; i < 2048; ++i) reference::Count(expected, 20, 20, w);
    EXPECT_EQ(plane, ToPlane(expected));
    EXPECT_EQ(plane[(3 * HR_FEATURE_GRID + 2) * HR_FEATURE_SLOTS], -32768);  // 16 * 2048 wraps
}

// Segments anywhere on the 8-bit canvas, at every step: the samples follow
// the truncated slope exactly and only those inside the frame are counted.
TEST(HRFeatureSegment, SamplesAndCountsMatchTheReferenceAnywhere) {
    std::mt19937 rng(8);
    for (int trial = 0; trial < 3000; ++trial) {
        const unsigned range = trial % 2 ? 255 : 72;  // half of them around the frame
        const auto any = [&] { return static_cast<HR_UINT8>(rng() % range); };
        const _HR_POINT8 p = {any(), any()};
        _HR_POINT8 q = {any(), any()};
        if (trial % 3 == 0) q.y = p.y;  // along an axis
        if (trial % 10 == 0) q = p;     // only the end point, if included
        const int step = 1 + trial % 9, includeEnd = trial % 4 < 2;
        Points scratch(HR_FEATURE_SCRATCH_POINTS, kDataEnd);
        Plane plane{};
        HRFeature_ExtractEightDirectionFeatureBetweenTwoPoint(p, q, includeEnd, step, scratch.data(), plane.data());
        scratch.erase(std::find(scratch.begin(), scratch.end(), kDataEnd), scratch.end());
        std::vector<long> expected(HR_FEATURE_PLANE_SIZE, 0);
        ASSERT_EQ(scratch, reference::Segment(expected, p, q, includeEnd, step))
            << p << " -> " << q << " step " << step << " end " << includeEnd;
        ASSERT_EQ(plane, ToPlane(expected)) << p << " -> " << q << " step " << step << " end " << includeEnd;
    }
}

TEST(HRFeatureSegment, LongestSegmentFitsTheScratch) {
    // Step 0 is taken as 1; a span of 255 then fills the scratch exactly.
    Points scratch(HR_FEATURE_SCRATCH_POINTS + 4, _HR_POINT8{1, 2});
    Plane plane{};
    HRFeature_ExtractEightDirectionFeatureBetweenTwoPoint({0, 0}, {0, 255}, 1, 0, scratch.data(), plane.data());
    EXPECT_EQ(scratch[HR_FEATURE_SCRATCH_POINTS - 1], (_HR_POINT8{0, 255}));
    for (size_t i = HR_FEATURE_SCRATCH_POINTS; i < scratch.size(); ++i) EXPECT_EQ(scratch[i], (_HR_POINT8{1, 2}));
    std::vector<long> expected(HR_FEATURE_PLANE_SIZE, 0);
    reference::Segment(expected, {0, 0}, {0, 255}, true, 1);
    EXPECT_EQ(plane, ToPlane(expected));
}

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
        Points out(c.in.size());
        HRFeature_Point16ToPoint8(c.in.data(), static_cast<HR_UINT16>(c.in.size()), out.data());
        EXPECT_EQ(out, c.out);
    }
}

TEST(HRFeaturePoint16, InPlaceMatchesSeparateOutput) {
    std::mt19937 rng(5);
    for (int trial = 0; trial < 200; ++trial) {
        std::vector<_HR_POINT16> in = penrune::test::ToPoint16(penrune::test::JumbleCharacter(rng, 60), 1 + trial % 9);
        const auto n = static_cast<HR_UINT16>(in.size());
        Points separate(in.size());
        HRFeature_Point16ToPoint8(in.data(), n, separate.data());
        HRFeature_Point16ToPoint8(in.data(), n, reinterpret_cast<_HR_POINT8 *>(in.data()));
        const auto *inPlace = reinterpret_cast<const _HR_POINT8 *>(in.data());
        ASSERT_EQ(Points(inPlace, inPlace + n), separate);
        for (_HR_POINT8 p : separate) {
            if (p.x != HR_MARKER8) {
                ASSERT_LT(p.y, 255);
            }
        }
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

TEST(HRFeatureExtract, NormalisationMatchesTheReference) {
    std::mt19937 rng(77);
    for (int trial = 0; trial < 300; ++trial) {
        Points character = RandomCharacter(rng, trial), expected = character;
        reference::Normalize(expected);
        HRNormalize_Process(character.data(), static_cast<HR_UINT16>(character.size()));
        ASSERT_EQ(character, expected) << "trial " << trial;
    }
}

TEST(HRFeatureExtract, MatchesTheReferenceOnRandomAndDenseCharacters) {
    std::mt19937 rng(2024);
    std::vector<Points> characters;
    for (int trial = 0; trial < 300; ++trial) characters.push_back(RandomCharacter(rng, trial));
    // Hundreds of passes over one stroke overflow the 16-bit sums.
    Points dense;
    for (int i = 0; i < 400; ++i) dense.insert(dense.end(), {{0, 0}, {254, 254}});
    dense.insert(dense.end(), {kStrokeEnd, kDataEnd});
    characters.push_back(dense);
    for (size_t c = 0; c < characters.size(); ++c) {
        Points points = characters[c];
        Vector v(HR_FEATURE_DIM, -1);
        ASSERT_EQ(HRFeature_Extract1024DimFeature(points.data(), static_cast<HR_UINT16>(points.size()), v.data()), 1);
        ASSERT_EQ(v, reference::Extract(characters[c])) << "character " << c;
        for (HR_INT16 value : v) {
            ASSERT_GE(value, 0);
            ASSERT_LE(value, HR_FEATURE_MAX_VALUE);
        }
    }
}

// Every version of the projection and square root against the literal
// ones, including sums that overflow 32 bits, an empty input and lengths
// that are not whole vectors.
TEST(HRFeatureKernels, ProjectionVersionsMatchTheReference) {
    std::vector<penrune::HRProjectFn> kernels = {
        penrune::HRSimd_ProjectBaseline,
        [](const HR_INT16 *x, HR_UINT32 nIn, HR_INT16 *out, HR_UINT32 nOut, const HR_INT16 *matrix) {
            HRFeature_Transform(x, static_cast<HR_UINT16>(nIn), out, static_cast<HR_UINT16>(nOut), matrix);
        }};
    if (penrune::HRSimd_HasAvx2()) kernels.push_back(penrune::HRSimd_ProjectAvx2);
    std::mt19937 rng(19);
    std::uniform_int_distribution<int> any(-32768, 32767);
    for (int nIn : {0, 1, 15, 16, 17, 100, 1024}) {
        for (int nOut : {1, 7, 9, 64}) {
            Vector x(nIn), matrix(static_cast<size_t>(nIn) * nOut);
            for (auto &value : x) value = static_cast<HR_INT16>(any(rng));
            for (auto &value : matrix) value = static_cast<HR_INT16>(any(rng));
            for (size_t k = 0; k < kernels.size(); ++k) {
                Vector out(nOut + 1, -7);
                kernels[k](x.data(), static_cast<HR_UINT32>(nIn), out.data(), static_cast<HR_UINT32>(nOut), matrix.data());
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
    std::vector<penrune::HRRootsFn> kernels = {penrune::HRSimd_RootsBaseline, HRFeature_CoxBoxTransform};
    if (penrune::HRSimd_HasAvx2()) kernels.push_back(penrune::HRSimd_RootsAvx2);
    for (size_t k = 0; k < kernels.size(); ++k) {
        Vector v;
        for (int value = -32768; value <= 32767; ++value) v.push_back(static_cast<HR_INT16>(value));
        kernels[k](v.data(), static_cast<HR_INT32>(v.size()) - 3);  // a count that is not whole vectors
        for (int value = -32768; value <= 32764; ++value) {
            ASSERT_EQ(v[value + 32768], reference::Root(value)) << "kernel " << k << ": " << value;
        }
        EXPECT_EQ(v[65533], 32765) << "kernel " << k;  // past the count: untouched
    }
}

}  // namespace
