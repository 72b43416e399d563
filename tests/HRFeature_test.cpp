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
// Slot order of the weights: 0, 225, 270, 315, 180, 45, 90, 135 degrees.
enum Slot { k0, k225, k270, k315, k180, k45, k90, k135 };

HR_UINT16 Angle(_HR_POINT8 p, _HR_POINT8 q) { return HRFeature_GetTwoPointAngle(p, q); }

Weights WeightsOf(HR_UINT16 angle) {
    Weights w;
    HRFeature_EightDirectionMapping(angle, w.data());
    return w;
}

Weights OnlySlots(std::initializer_list<std::pair<Slot, HR_UINT16>> slots) {
    Weights w{};
    for (auto [slot, value] : slots) w[slot] = value;
    return w;
}

int CellIndex(int row, int column) { return (row * HR_FEATURE_GRID + column) * HR_FEATURE_SLOTS; }

// Plane holding factor * w in each listed cell (row, column, factor).
Plane CellsWith(const Weights &w, std::initializer_list<std::array<int, 3>> cells) {
    Plane plane{};
    for (const auto &[row, column, factor] : cells) {
        for (int k = 0; k < HR_FEATURE_SLOTS; ++k) {
            plane[CellIndex(row, column) + k] = static_cast<HR_INT16>(factor * w[k]);
        }
    }
    return plane;
}

Plane CountOne(_HR_POINT8 sample, const Weights &w) {
    Plane plane{};
    HRFeature_CountEightDirectionFeature(&sample, 1, w.data(), plane.data());
    return plane;
}

// Samples written to scratch by one segment extraction.
Points SamplesOf(_HR_POINT8 p, _HR_POINT8 q, int includeEnd, int step) {
    Points scratch(HR_FEATURE_SCRATCH_POINTS, kDataEnd);
    Plane plane{};
    HRFeature_ExtractEightDirectionFeatureBetweenTwoPoint(p, q, includeEnd, step, scratch.data(),
                                                          plane.data());
    size_t count = 0;
    while (count < scratch.size() && scratch[count] != kDataEnd) ++count;
    scratch.resize(count);
    return scratch;
}

Vector Features(Points points) {
    Vector v(HR_FEATURE_DIM, -1);
    EXPECT_EQ(HRFeature_Extract1024DimFeature(points.data(), static_cast<HR_UINT16>(points.size()),
                                              v.data()),
              1);
    return v;
}

// Sum of one slot over the cells of plane 0 (pen down) or 1 (pen path).
long SlotTotal(const Vector &v, int plane, Slot slot) {
    long total = 0;
    for (int cell = 0; cell < HR_FEATURE_GRID * HR_FEATURE_GRID; ++cell) {
        total += v[plane * HR_FEATURE_PLANE_SIZE + cell * HR_FEATURE_SLOTS + slot];
    }
    return total;
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
    if (q.x < p.x) return 180 + a;
    return 360 - a;
}

Weights SlotWeights(int b) {
    Weights w{};
    for (int s = 0; s < 8; ++s) {
        int d;
        if (s == 0) {
            if (b <= 45) {
                d = b;
            } else if (b >= 315) {
                d = 360 - b;
            } else {
                continue;
            }
        } else {
            d = std::abs(b - kSlotDegrees[s]);
        }
        if (d <= 45) w[s] = g_nCosTable[3 * d / 2];
    }
    return w;
}

void AddCell(std::vector<long> &plane, int row, int column, int factor, const Weights &w) {
    for (int s = 0; s < 8; ++s) plane[row * 64 + column * 8 + s] += factor * w[s];
}

void Count(std::vector<long> &plane, int x, int y, const Weights &w) {
    const int row = y / 8, column = x / 8;
    const int sideColumn = x % 8 < 4 ? column - 1 : column + 1;
    const int sideRow = y % 8 < 4 ? row - 1 : row + 1;
    AddCell(plane, row, column, 32, w);
    const bool columnInside = sideColumn >= 0 && sideColumn <= 7;
    if (columnInside) AddCell(plane, row, sideColumn, 16, w);
    bool rowInside = sideRow >= 0 && sideRow <= 7;
    if (y % 8 >= 4 && x % 8 < 4 && column >= 1) rowInside = row <= 3;
    if (rowInside) {
        AddCell(plane, sideRow, column, 16, w);
        if (columnInside) AddCell(plane, sideRow, sideColumn, 8, w);
    }
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

void Segment(std::vector<long> &plane, _HR_POINT8 p, _HR_POINT8 q, bool includeEnd) {
    const auto w = SlotWeights(Angle(p, q));
    Points samples = Samples(p, q, 2);
    if (includeEnd) samples.push_back(q);
    for (_HR_POINT8 sample : samples) Count(plane, sample.x, sample.y, w);
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
        p.x = static_cast<HR_UINT8>((p.x - minX) * 63 / sx);
        p.y = static_cast<HR_UINT8>((p.y - minY) * 63 / sy);
    }
}

void Spread(std::vector<uint16_t> &profile) {
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
}

void ToMap(std::vector<uint16_t> &profile) {
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
    Spread(x);
    Spread(y);
    ToMap(x);
    ToMap(y);
    for (_HR_POINT8 &p : points) {
        if (Marker(p)) continue;
        p.x = static_cast<HR_UINT8>(x[p.x]);
        p.y = static_cast<HR_UINT8>(y[p.y]);
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
        EXPECT_EQ(g_nCosTable[i], static_cast<int>(std::floor(50.0 * std::cos(i * kRadian) + 1e-9)))
            << i;
    }
    for (int i = 0; i < HR_TAN_TABLE_SIZE; ++i) {
        EXPECT_EQ(g_nTanTable[i], std::lround(128.0 * std::tan((45 + i) * kRadian))) << i;
    }
    for (int i = 0; i < HR_SQUARE_TABLE_SIZE; ++i) {
        EXPECT_EQ(g_nSquareTable[i], (i - HR_SQUARE_TABLE_ZERO) * (i - HR_SQUARE_TABLE_ZERO)) << i;
    }
}

TEST(HRFeatureAngle, AxesDiagonalsAndSamePoint) {
    EXPECT_EQ(Angle({0, 0}, {10, 0}), 0);
    EXPECT_EQ(Angle({0, 10}, {0, 0}), 90);
    EXPECT_EQ(Angle({10, 0}, {0, 0}), 180);
    EXPECT_EQ(Angle({0, 0}, {0, 10}), 270);
    EXPECT_EQ(Angle({0, 0}, {10, 10}), 315);
    EXPECT_EQ(Angle({0, 10}, {10, 0}), 45);
    EXPECT_EQ(Angle({10, 10}, {0, 0}), 135);
    EXPECT_EQ(Angle({10, 0}, {0, 10}), 225);
    EXPECT_EQ(Angle({7, 7}, {7, 7}), 315);
}

TEST(HRFeatureAngle, ObliqueDirectionsUseTheTangentTable) {
    EXPECT_EQ(Angle({0, 0}, {20, 10}), 333);  // t = 256, k = 18
    EXPECT_EQ(Angle({20, 10}, {0, 0}), 153);
    EXPECT_EQ(Angle({0, 20}, {10, 0}), 63);  // steep: 45 + 18
    EXPECT_EQ(Angle({10, 20}, {0, 0}), 117);
    EXPECT_EQ(HRFeature_GetAngleValue(255, 254), 45);  // t = 128: no entry below
    EXPECT_EQ(HRFeature_GetAngleValue(1, 255), 88);
    EXPECT_EQ(HRFeature_GetAngleValue(255, 1), 2);
    // A zero component gives the table's limit rather than dividing by zero.
    EXPECT_EQ(HRFeature_GetAngleValue(0, 0), 45);
    EXPECT_EQ(HRFeature_GetAngleValue(9, 0), 2);
    EXPECT_EQ(HRFeature_GetAngleValue(0, 9), 88);
}

TEST(HRFeatureAngle, AngleValueIsSymmetricAndBounded) {
    for (int dx = 1; dx <= 255; ++dx) {
        for (int dy = 1; dy <= 255; ++dy) {
            const int a = HRFeature_GetAngleValue(dx, dy);
            ASSERT_EQ(a, reference::AngleValue(dx, dy)) << dx << ' ' << dy;
            ASSERT_EQ(a + HRFeature_GetAngleValue(dy, dx), 90);
            ASSERT_GE(a, 2);
            ASSERT_LE(a, 88);
        }
    }
}

TEST(HRFeatureWeights, NeighbouringSlotsWithinReach) {
    // Multiples of 45 feed three slots, except 0, whose 315 slot is 315 away.
    EXPECT_EQ(WeightsOf(0), OnlySlots({{k0, 50}, {k45, 19}}));
    EXPECT_EQ(WeightsOf(315), OnlySlots({{k315, 50}, {k270, 19}, {k0, 19}}));
    EXPECT_EQ(WeightsOf(90), OnlySlots({{k90, 50}, {k45, 19}, {k135, 19}}));
    EXPECT_EQ(WeightsOf(20), OnlySlots({{k0, 43}, {k45, 39}}));
    EXPECT_EQ(WeightsOf(340), OnlySlots({{k0, 43}, {k315, 39}}));
    EXPECT_EQ(WeightsOf(250), OnlySlots({{k270, 43}, {k225, 39}}));
    for (int angle = 0; angle < 360; ++angle) {
        ASSERT_EQ(WeightsOf(static_cast<HR_UINT16>(angle)), reference::SlotWeights(angle)) << angle;
    }
}

TEST(HRFeatureWeights, AnglesBeyondTheCircleStayInTheTable) {
    for (int angle = 360; angle <= 0xFFFF; ++angle) {
        const Weights w = WeightsOf(static_cast<HR_UINT16>(angle));
        for (HR_UINT16 value : w) ASSERT_LE(value, 50) << angle;
    }
    EXPECT_EQ(WeightsOf(360), OnlySlots({{k0, 50}, {k315, 19}}));
    EXPECT_EQ(WeightsOf(1000), Weights{});
}

TEST(HRFeatureSlope, AxesAndTruncation) {
    EXPECT_EQ(HRFeature_GetTwoPointSlope({3, 3}, {3, 3}), 128);
    EXPECT_EQ(HRFeature_GetTwoPointSlope({0, 0}, {0, 5}), 32000);
    EXPECT_EQ(HRFeature_GetTwoPointSlope({0, 5}, {0, 0}), -32000);
    EXPECT_EQ(HRFeature_GetTwoPointSlope({0, 0}, {5, 0}), 32000);
    EXPECT_EQ(HRFeature_GetTwoPointSlope({5, 0}, {0, 0}), -32000);
    EXPECT_EQ(HRFeature_GetTwoPointSlope({0, 0}, {20, 10}), 256);
    EXPECT_EQ(HRFeature_GetTwoPointSlope({0, 20}, {10, 0}), -256);
    EXPECT_EQ(HRFeature_GetTwoPointSlope({20, 0}, {0, 7}), -365);  // toward zero
}

TEST(HRFeatureCells, SpreadFollowsTheQuarterOfTheCell) {
    const Weights w = {1, 2, 3, 4, 5, 6, 7, 8};
    // Lower-right quarter: right, below and diagonal.
    EXPECT_EQ(CountOne({12, 13}, w), CellsWith(w, {{1, 1, 32}, {1, 2, 16}, {2, 1, 16}, {2, 2, 8}}));
    // Upper-left quarter: left, above and diagonal.
    EXPECT_EQ(CountOne({9, 9}, w), CellsWith(w, {{1, 1, 32}, {1, 0, 16}, {0, 1, 16}, {0, 0, 8}}));
    // Corner cell, lower-right quarter: nothing beyond the grid.
    EXPECT_EQ(CountOne({60, 60}, w), CellsWith(w, {{7, 7, 32}}));
    EXPECT_EQ(CountOne({0, 0}, w), CellsWith(w, {{0, 0, 32}}));
}

TEST(HRFeatureCells, LowerLeftQuarterReachesDownOnlyInTheUpperHalf) {
    const Weights w = {1, 2, 3, 4, 5, 6, 7, 8};
    EXPECT_EQ(CountOne({9, 45}, w), CellsWith(w, {{5, 1, 32}, {5, 0, 16}}));
    EXPECT_EQ(CountOne({9, 29}, w), CellsWith(w, {{3, 1, 32}, {3, 0, 16}, {4, 1, 16}, {4, 0, 8}}));
    // Column 0 has no left neighbour and follows the ordinary rule.
    EXPECT_EQ(CountOne({1, 45}, w), CellsWith(w, {{5, 0, 32}, {6, 0, 16}}));
    // The lower-right quarter follows the ordinary rule too.
    EXPECT_EQ(CountOne({13, 45}, w), CellsWith(w, {{5, 1, 32}, {5, 2, 16}, {6, 1, 16}, {6, 2, 8}}));
}

TEST(HRFeatureCells, AdditionsWrapAndOutsideSamplesAreIgnored) {
    Points samples(2048, _HR_POINT8{20, 20});  // lower-right quarter of cell (2, 2)
    samples.push_back({64, 10});               // past the last column
    samples.push_back({10, 200});              // far below the last row
    const Weights w = OnlySlots({{k0, 1}});
    Plane plane{};
    HRFeature_CountEightDirectionFeature(samples.data(), static_cast<HR_INT32>(samples.size()),
                                         w.data(), plane.data());
    // 32 * 2048 wraps to 0, 16 * 2048 to -32768.
    EXPECT_EQ(
        plane,
        CellsWith(w, {{2, 2, 32 * 2048}, {2, 3, 16 * 2048}, {3, 2, 16 * 2048}, {3, 3, 8 * 2048}}));
    EXPECT_EQ(plane[CellIndex(2, 3)], -32768);
}

TEST(HRFeatureSegment, SamplesEveryStepAlongTheMajorAxis) {
    EXPECT_EQ(SamplesOf({0, 4}, {10, 4}, 0, 2), (Points{{0, 4}, {2, 4}, {4, 4}, {6, 4}, {8, 4}}));
    EXPECT_EQ(SamplesOf({0, 4}, {10, 4}, 1, 2),
              (Points{{0, 4}, {2, 4}, {4, 4}, {6, 4}, {8, 4}, {10, 4}}));
    EXPECT_EQ(SamplesOf({0, 0}, {7, 3}, 0, 2), (Points{{0, 0}, {2, 0}, {4, 1}, {6, 2}}));
    EXPECT_EQ(SamplesOf({3, 0}, {0, 9}, 0, 2), (Points{{3, 0}, {3, 2}, {2, 4}, {1, 6}, {1, 8}}));
    EXPECT_EQ(SamplesOf({0, 0}, {9, 9}, 0, 3), (Points{{0, 0}, {3, 3}, {6, 6}}));
}

TEST(HRFeatureSegment, BackwardSegmentsTruncateTowardZero) {
    EXPECT_EQ(SamplesOf({6, 10}, {0, 7}, 0, 2), (Points{{6, 10}, {4, 9}, {2, 8}}));
    // -256 / 213 is -1, not -2.
    EXPECT_EQ(SamplesOf({5, 10}, {0, 7}, 0, 2), (Points{{5, 10}, {3, 9}, {1, 8}}));
}

TEST(HRFeatureSegment, EqualPointsCountOnlyTheEndPoint) {
    EXPECT_EQ(SamplesOf({20, 20}, {20, 20}, 0, 2), Points{});
    Plane plane{};
    _HR_POINT8 scratch[HR_FEATURE_SCRATCH_POINTS];
    HRFeature_ExtractEightDirectionFeatureBetweenTwoPoint({20, 20}, {20, 20}, 1, 2, scratch,
                                                          plane.data());
    EXPECT_EQ(plane, CountOne({20, 20}, OnlySlots({{k315, 50}, {k270, 19}, {k0, 19}})));
}

TEST(HRFeatureSegment, LongestSegmentFitsTheScratch) {
    // Step 0 is taken as 1; a span of 255 then fills the scratch exactly.
    std::vector<_HR_POINT8> scratch(HR_FEATURE_SCRATCH_POINTS + 4, _HR_POINT8{1, 2});
    Plane plane{};
    HRFeature_ExtractEightDirectionFeatureBetweenTwoPoint({0, 0}, {0, 255}, 1, 0, scratch.data(),
                                                          plane.data());
    EXPECT_EQ(scratch[HR_FEATURE_SCRATCH_POINTS - 1], (_HR_POINT8{0, 255}));
    for (size_t i = HR_FEATURE_SCRATCH_POINTS; i < scratch.size(); ++i) {
        EXPECT_EQ(scratch[i], (_HR_POINT8{1, 2}));
    }
    // Only the 64 samples inside the 64 x 64 frame are counted, each into
    // its own cell and the nearer row; the four nearest the top and the four
    // nearest the bottom edge have no such row.
    long total = 0;
    for (int row = 0; row < HR_FEATURE_GRID; ++row) total += plane[CellIndex(row, 0) + k270];
    EXPECT_EQ(total, 64 * (32 + 16) * 50 - 8 * 16 * 50);
}

TEST(HRFeatureCoxBox, SquareRootBelow) {
    Vector v = {0, 1, 2, 4, 5, 100, 101, 32761, 32767, -1, -32768, 32400, 32401};
    HRFeature_CoxBoxTransform(v.data(), static_cast<HR_INT32>(v.size()));
    EXPECT_EQ(v, (Vector{0, 0, 1, 1, 2, 9, 10, 180, 180, 0, 0, 179, 180}));
}

TEST(HRFeaturePoint16, SmallCharacterIsOnlyTranslated) {
    const std::vector<_HR_POINT16> in = {{1000, 2000}, {1100, 2050}, {0xFFFF, 0},
                                         {1050, 2001}, {0xFFFF, 0},  {0xFFFF, 0xFFFF}};
    Points out(in.size());
    HRFeature_Point16ToPoint8(in.data(), static_cast<HR_UINT16>(in.size()), out.data());
    EXPECT_EQ(out, (Points{{0, 0}, {100, 50}, kStrokeEnd, {50, 1}, kStrokeEnd, kDataEnd}));
}

TEST(HRFeaturePoint16, LargeCharacterIsScaledDown) {
    const std::vector<_HR_POINT16> flat = {{0, 0}, {1000, 100}, {0xFFFF, 7}};
    Points out(flat.size());
    HRFeature_Point16ToPoint8(flat.data(), 3, out.data());
    EXPECT_EQ(out, (Points{{0, 0}, {254, 25}, kDataEnd}));  // both axes by 255 / 1001
    // One axis of 255 or more scales both by their own extents.
    const std::vector<_HR_POINT16> wide = {{0, 0}, {300, 200}};
    HRFeature_Point16ToPoint8(wide.data(), 2, out.data());
    EXPECT_EQ(out[1], (_HR_POINT8{254, 253}));
}

TEST(HRFeaturePoint16, InPlaceMatchesSeparateOutput) {
    std::mt19937 rng(5);
    for (int trial = 0; trial < 200; ++trial) {
        std::vector<_HR_POINT16> in =
            penrune::test::ToPoint16(penrune::test::JumbleCharacter(rng, 60), 1 + trial % 9);
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
        for (HR_UINT32 n :
             {0u, 1u, d - 1, d, 255 * d - 1, topMultiple - 1, topMultiple, kLimit - 1}) {
            ASSERT_EQ(divider.Divide(n), n / d) << n << " / " << d;
        }
    }
}

TEST(HRFeatureExtract, StrokeEndsAndPenUpMoves) {
    // Two horizontal strokes, the second below and left of the first one's end.
    const Points character = {{0, 0},    {100, 0},   kStrokeEnd, {0, 60},
                              {100, 60}, kStrokeEnd, kDataEnd};
    const Vector v = Features(character);
    EXPECT_EQ(SlotTotal(v, 0, k225), 0);
    EXPECT_GT(SlotTotal(v, 1, k225), 0);  // the move from (100, 0) back to (0, 60)

    // A repeated end point makes the stroke end count with the 315 degree
    // weights of a zero-length segment.
    Points repeated = character;
    repeated.insert(repeated.begin() + 2, _HR_POINT8{100, 0});
    EXPECT_EQ(SlotTotal(v, 0, k315), 0);
    EXPECT_GT(SlotTotal(Features(repeated), 0, k315), 0);
}

TEST(HRFeatureExtract, NormalisationMatchesTheReference) {
    std::mt19937 rng(77);
    for (int trial = 0; trial < 300; ++trial) {
        Points character = trial % 2 == 0 ? penrune::test::SmoothCharacter(rng, 1 + trial % 15, 4 + trial % 30)
                                          : penrune::test::JumbleCharacter(rng, 120);
        Points expected = character;
        reference::Normalize(expected);
        HRNormalize_Process(character.data(), static_cast<HR_UINT16>(character.size()));
        ASSERT_EQ(character, expected) << "trial " << trial;
    }
}

// Segments anywhere on the 8-bit canvas, at every step: the samples between
// the ends follow the truncated slope exactly.
TEST(HRFeatureSegment, SamplesMatchTheReferenceAnywhere) {
    std::mt19937 rng(8);
    std::uniform_int_distribution<int> coordinate(0, 254);
    for (int trial = 0; trial < 3000; ++trial) {
        const _HR_POINT8 p = {static_cast<HR_UINT8>(coordinate(rng)), static_cast<HR_UINT8>(coordinate(rng))};
        _HR_POINT8 q = {static_cast<HR_UINT8>(coordinate(rng)), static_cast<HR_UINT8>(coordinate(rng))};
        if (trial % 3 == 0) q.y = p.y;  // along an axis
        const int step = 1 + trial % 9;
        ASSERT_EQ(SamplesOf(p, q, 0, step), reference::Samples(p, q, step)) << p << " -> " << q << " step " << step;
    }
}

TEST(HRFeatureExtract, MatchesTheReferenceOnRandomCharacters) {
    std::mt19937 rng(2024);
    for (int trial = 0; trial < 300; ++trial) {
        const Points character =
            trial % 2 == 0 ? penrune::test::SmoothCharacter(rng, 1 + trial % 15, 4 + trial % 30)
                           : penrune::test::JumbleCharacter(rng, 120);
        const Vector v = Features(character);
        ASSERT_EQ(v, reference::Extract(character)) << "trial " << trial;
        for (HR_INT16 value : v) {
            ASSERT_GE(value, 0);
            ASSERT_LE(value, HR_FEATURE_MAX_VALUE);
        }
    }
}

TEST(HRFeatureExtract, DenseInkSaturatesAt180) {
    // Hundreds of passes over one short stroke overflow the 16-bit sums.
    Points character;
    for (int i = 0; i < 400; ++i) character.insert(character.end(), {{0, 0}, {254, 254}});
    character.insert(character.end(), {kStrokeEnd, kDataEnd});
    const Vector v = Features(character);
    EXPECT_EQ(v, reference::Extract(character));
}

TEST(HRFeatureTransform, EmptyInputGives128) {
    Vector out(5, 0);
    HRFeature_Transform(nullptr, 0, out.data(), 5, nullptr);
    EXPECT_EQ(out, Vector(5, 128));
}

TEST(HRFeatureTransform, HighHalfOfTheSumPlus128ModuloByte) {
    const Vector x = {2, 2};
    const Vector matrix = {16384, 16384, -16384, -16384, 0, -1, 32767, 32767};
    Vector out(4);
    HRFeature_Transform(x.data(), 2, out.data(), 4, matrix.data());
    // 65536 -> 1 + 128; -65536 -> -1 + 128; -2 -> -1 + 128; 131068 -> 1 + 128
    EXPECT_EQ(out, (Vector{129, 127, 127, 129}));
    const Vector big = {200};
    const Vector one = {16384};
    HRFeature_Transform(big.data(), 1, out.data(), 1, one.data());  // 50 + 128 = 178
    EXPECT_EQ(out[0], 178);
    const Vector huge = {1000};
    const Vector row = {13107};  // 13107000 >> 16 = 199; 327 mod 256 = 71
    HRFeature_Transform(huge.data(), 1, out.data(), 1, row.data());
    EXPECT_EQ(out[0], 71);
}

// Both versions of the vector kernels against the literal projection and
// square root, including sums that overflow 32 bits and lengths that are
// not whole vectors.
TEST(HRFeatureKernels, ProjectionVersionsMatchTheReference) {
    std::vector<penrune::HRProjectFn> kernels = {penrune::HRSimd_ProjectBaseline};
    if (penrune::HRSimd_HasAvx2()) kernels.push_back(penrune::HRSimd_ProjectAvx2);
    std::mt19937 rng(19);
    std::uniform_int_distribution<int> any(-32768, 32767);
    for (int nIn : {1, 15, 16, 17, 100, 1024}) {
        for (int nOut : {1, 7, 9, 64}) {
            Vector x(nIn), matrix(static_cast<size_t>(nIn) * nOut);
            for (auto &value : x) value = static_cast<HR_INT16>(any(rng));
            for (auto &value : matrix) value = static_cast<HR_INT16>(any(rng));
            for (penrune::HRProjectFn kernel : kernels) {
                Vector out(nOut + 1, -7);
                kernel(x.data(), static_cast<HR_UINT32>(nIn), out.data(), static_cast<HR_UINT32>(nOut), matrix.data());
                for (int r = 0; r < nOut; ++r) {
                    ASSERT_EQ(out[r], reference::Project(&matrix[static_cast<size_t>(r) * nIn], x.data(), nIn))
                        << nIn << ' ' << nOut << ' ' << r;
                }
                EXPECT_EQ(out[nOut], -7);
            }
        }
    }
}

TEST(HRFeatureKernels, RootVersionsMatchTheReference) {
    std::vector<penrune::HRRootsFn> kernels = {penrune::HRSimd_RootsBaseline};
    if (penrune::HRSimd_HasAvx2()) kernels.push_back(penrune::HRSimd_RootsAvx2);
    for (penrune::HRRootsFn kernel : kernels) {
        Vector v;
        for (int value = -32768; value <= 32767; ++value) v.push_back(static_cast<HR_INT16>(value));
        kernel(v.data(), static_cast<HR_INT32>(v.size()) - 3);  // a count that is not whole vectors
        for (int value = -32768; value <= 32764; ++value) ASSERT_EQ(v[value + 32768], reference::Root(value)) << value;
        EXPECT_EQ(v[65533], 32765);  // past the count: untouched
    }
}

}  // namespace
