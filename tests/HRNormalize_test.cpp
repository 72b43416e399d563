#include "HRNormalize.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <vector>

#include "CharacterGen.h"

// HRNormalize_Process is checked against a literal reference on random
// characters in HRFeature_test; these cases pin its parts and edge cases.
namespace {

using Points = std::vector<_HR_POINT8>;
using Profile = std::array<HR_UINT16, HR_NORMALIZE_SIZE>;

constexpr _HR_POINT8 kStrokeEnd = {HR_MARKER8, 0};
constexpr _HR_POINT8 kDataEnd = {HR_MARKER8, HR_MARKER8};

Profile Uniform(HR_UINT16 value) {
    Profile p;
    p.fill(value);
    return p;
}

TEST(HRNormalizeLinear, ScalesIntoTheFrameByTheBox) {
    const struct {
        const char *what;
        Points in, out;
    } cases[] = {
        {"single point", {{200, 17}}, {{0, 0}}},
        {"ordinary box, per axis: r * 63 / (r + 1)", {{10, 20}, {110, 70}, kDataEnd}, {{0, 0}, {62, 61}, kDataEnd}},
        {"flat box (width > 4 height), by its width", {{0, 0}, {100, 20}, kDataEnd}, {{0, 0}, {62, 12}, kDataEnd}},
        {"tall box (4 width < height), by its height", {{30, 0}, {50, 200}, kDataEnd}, {{0, 0}, {6, 62}, kDataEnd}},
        {"exactly four times as wide is ordinary", {{0, 0}, {80, 20}, kDataEnd}, {{0, 0}, {62, 60}, kDataEnd}},
        {"markers stay and do not widen the box",
         {{10, 10}, {20, 30}, kStrokeEnd, {15, 20}, kStrokeEnd, kDataEnd},
         {{0, 0}, {57, 60}, kStrokeEnd, {28, 30}, kStrokeEnd, kDataEnd}},
        // The box starts at point 0 even when it is a marker, which widens it
        // to x = 255; the points after it must still land inside the frame.
        {"leading marker", {kStrokeEnd, {0, 100}, {200, 254}, kDataEnd}, {kStrokeEnd, {0, 24}, {49, 62}, kDataEnd}},
    };
    for (const auto &c : cases) {
        Points points = c.in;
        HRNormalize_LinearNormalize(points.data(), static_cast<HR_UINT16>(points.size()));
        EXPECT_EQ(points, c.out) << c.what;
    }
    Points untouched = {{200, 17}};
    HRNormalize_LinearNormalize(untouched.data(), 0);
    EXPECT_EQ(untouched[0], (_HR_POINT8{200, 17}));
}

Points Normalized(Points points) {
    HRNormalize_Process(points.data(), static_cast<HR_UINT16>(points.size()));
    return points;
}

TEST(HRNormalizeProcess, DensityEqualisesTheStrokes) {
    // A flat stroke moves to its heavy row; crossing diagonals fill the frame.
    EXPECT_EQ(Normalized({{0, 0}, {100, 0}, kDataEnd}), (Points{{0, 4}, {62, 4}, kDataEnd}));
    EXPECT_EQ(Normalized({{10, 10}, {50, 50}, kStrokeEnd, {50, 10}, {10, 50}, kStrokeEnd, kDataEnd}),
              (Points{{0, 0}, {62, 62}, kStrokeEnd, {62, 0}, {0, 62}, kStrokeEnd, kDataEnd}));
    // Without a closing marker the only segment ends at the last point and is
    // not counted: the maps come from the bare initial profiles.
    EXPECT_EQ(Normalized({{0, 0}, {100, 0}}), (Points{{0, 0}, {62, 0}}));
}

TEST(HRNormalizeProfiles, MappingInAscendOrderCoversBothEndsAndStopsAtTheProfileEnd) {
    // Profiles sit inside a larger array: nothing past entry 63 may change.
    std::array<HR_UINT16, 2 * HR_NORMALIZE_SIZE> x{}, y{};
    HRNormalize_MappingInAscendOrder({9, 2}, {3, 4}, 7, 11, x.data(), y.data());
    HRNormalize_MappingInAscendOrder({60, 0}, {254, 254}, 1, 1, x.data(), y.data());
    for (int i = 0; i < 2 * HR_NORMALIZE_SIZE; ++i) {
        EXPECT_EQ(x[i], (i >= 3 && i <= 9 ? 7 : 0) + (i >= 60 && i < HR_NORMALIZE_SIZE)) << i;
        EXPECT_EQ(y[i], (i >= 2 && i <= 4 ? 11 : 0) + (i < HR_NORMALIZE_SIZE)) << i;
    }
}

TEST(HRNormalizeProfiles, DiffusionSpreadsOneBinOverItsNeighbours) {
    // A light bin (at most 240) spreads with a peak, a heavy one flat; targets
    // outside the profile are dropped and the sums wrap at sixteen bits.
    const HR_UINT16 wrap4 = static_cast<HR_UINT16>(60000 * 4), wrap5 = static_cast<HR_UINT16>(60000 * 5);
    const struct {
        int bin;
        HR_UINT16 value;
        int first;  // first bin of the expected run; the others stay 0
        std::vector<HR_UINT16> run;
    } cases[] = {{10, 100, 6, {200, 400, 400, 800, 1000, 800, 400, 400, 200}},
                 {0, 241, 0, {5 * 241, 5 * 241, 4 * 241, 4 * 241, 4 * 241, 4 * 241}},
                 {30, 60000, 25, {wrap4, wrap4, wrap4, wrap4, wrap5, wrap5, wrap5, wrap4, wrap4, wrap4, wrap4}}};
    for (const auto &c : cases) {
        Profile p = Uniform(0);
        p[c.bin] = c.value;
        HRNormalize_DiffuseGaussianWeight(p.data());
        Profile expected = Uniform(0);
        std::copy(c.run.begin(), c.run.end(), expected.begin() + c.first);
        EXPECT_EQ(p, expected) << "bin " << c.bin;
    }
}

TEST(HRNormalizeProfiles, MapsFollowTheCumulativeShare) {
    Profile x = Uniform(6), y = Uniform(6);
    HRNormalize_DiffuseGaussianWeight(x.data());
    HRNormalize_CalculateMapping(x.data(), y.data());
    for (int i = 0; i < HR_NORMALIZE_SIZE; ++i) EXPECT_EQ(y[i], i);
    // Smoothing drops mass at the edges, so the smoothed map is close to,
    // but not exactly, the identity; it must still be ordered and end at 63.
    for (int i = 1; i < HR_NORMALIZE_SIZE; ++i) EXPECT_LE(x[i - 1], x[i]);
    EXPECT_EQ(x[HR_NORMALIZE_SIZE - 1], HR_NORMALIZE_SIZE - 1);

    x = Uniform(0), y = Uniform(0);
    x[0] = 63;  // all mass in the first column
    y[31] = y[32] = 1;
    HRNormalize_CalculateMapping(x.data(), y.data());
    EXPECT_EQ(x, Uniform(63));
    EXPECT_EQ(y[30], 0);
    EXPECT_EQ(y[31], 31);  // 1 * 63 / 2
    EXPECT_EQ(y[32], 63);

    // An empty profile gives the identity instead of dividing by zero.
    x = Uniform(0), y = Uniform(0);
    HRNormalize_CalculateMapping(x.data(), y.data());
    for (int i = 0; i < HR_NORMALIZE_SIZE; ++i) EXPECT_TRUE(x[i] == i && y[i] == i) << i;
}

TEST(HRNormalizeProfiles, MappingMovesPointsButNotMarkers) {
    Profile x, y;
    for (int i = 0; i < HR_NORMALIZE_SIZE; ++i) {
        x[i] = static_cast<HR_UINT16>(0x100 + i / 2);  // only the low byte is used
        y[i] = static_cast<HR_UINT16>(63 - i);
    }
    Points points = {{10, 0}, kStrokeEnd, {63, 63}, {200, 100}, kDataEnd};
    HRNormalize_Mapping(points.data(), static_cast<HR_UINT16>(points.size()), x.data(), y.data());
    // Coordinates beyond the frame read the last entry instead of memory past it.
    EXPECT_EQ(points, (Points{{5, 63}, kStrokeEnd, {31, 0}, {31, 0}, kDataEnd}));
}

}  // namespace
