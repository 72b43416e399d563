#include "HRNormalize.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <random>
#include <vector>

#include "CharacterGen.h"

namespace {

using Points = std::vector<_HR_POINT8>;
using Profile = std::array<HR_UINT16, HR_NORMALIZE_SIZE>;

constexpr _HR_POINT8 kStrokeEnd = {HR_MARKER8, 0};
constexpr _HR_POINT8 kDataEnd = {HR_MARKER8, HR_MARKER8};

Points Normalized(Points points) {
    HRNormalize_Process(points.data(), static_cast<HR_UINT16>(points.size()));
    return points;
}

Points LinearNormalized(Points points) {
    HRNormalize_LinearNormalize(points.data(), static_cast<HR_UINT16>(points.size()));
    return points;
}

Profile Uniform(HR_UINT16 value) {
    Profile p;
    p.fill(value);
    return p;
}

TEST(HRNormalizeLinear, EmptyAndSinglePoint) {
    Points one = {{200, 17}};
    HRNormalize_LinearNormalize(one.data(), 0);
    EXPECT_EQ(one[0], (_HR_POINT8{200, 17}));
    EXPECT_EQ(LinearNormalized(one)[0], (_HR_POINT8{0, 0}));
}

TEST(HRNormalizeLinear, ScalesEachAxisUnlessElongated) {
    // An ordinary box is scaled per axis: r * 63 / (r + 1).
    EXPECT_EQ(LinearNormalized({{10, 20}, {110, 70}, kDataEnd}),
              (Points{{0, 0}, {62, 61}, kDataEnd}));
    // A flat box (width > 4 x height) is scaled by its width on both axes.
    EXPECT_EQ(LinearNormalized({{0, 0}, {100, 20}, kDataEnd}),
              (Points{{0, 0}, {62, 12}, kDataEnd}));
    // A tall box (4 x width < height) is scaled by its height on both axes.
    EXPECT_EQ(LinearNormalized({{30, 0}, {50, 200}, kDataEnd}),
              (Points{{0, 0}, {6, 62}, kDataEnd}));
    // Exactly four times as wide still counts as ordinary.
    EXPECT_EQ(LinearNormalized({{0, 0}, {80, 20}, kDataEnd}), (Points{{0, 0}, {62, 60}, kDataEnd}));
}

TEST(HRNormalizeLinear, MarkersStayAndDoNotWidenTheBox) {
    // (255, 0) and (255, 255) would stretch the box if they counted.
    EXPECT_EQ(LinearNormalized({{10, 10}, {20, 30}, kStrokeEnd, {15, 20}, kStrokeEnd, kDataEnd}),
              (Points{{0, 0}, {57, 60}, kStrokeEnd, {28, 30}, kStrokeEnd, kDataEnd}));
}

TEST(HRNormalizeLinear, LeadingMarkerKeepsPointsInTheFrame) {
    // The box starts at point 0 even when it is a marker; the points after it
    // must still land inside the frame.
    const Points out = LinearNormalized({kStrokeEnd, {0, 100}, {200, 254}, kDataEnd});
    EXPECT_EQ(out[0], kStrokeEnd);
    for (size_t i = 1; i + 1 < out.size(); ++i) {
        EXPECT_LT(out[i].x, HR_NORMALIZE_SIZE - 1);
        EXPECT_LT(out[i].y, HR_NORMALIZE_SIZE - 1);
    }
}

TEST(HRNormalizeProcess, FlatStrokeMovesToTheHeavyRow) {
    EXPECT_EQ(Normalized({{0, 0}, {100, 0}, kDataEnd}), (Points{{0, 4}, {62, 4}, kDataEnd}));
}

TEST(HRNormalizeProcess, CrossingDiagonalsFillTheFrame) {
    EXPECT_EQ(
        Normalized({{10, 10}, {50, 50}, kStrokeEnd, {50, 10}, {10, 50}, kStrokeEnd, kDataEnd}),
        (Points{{0, 0}, {62, 62}, kStrokeEnd, {62, 0}, {0, 62}, kStrokeEnd, kDataEnd}));
}

TEST(HRNormalizeProcess, RepeatedPointsAddNoDensity) {
    const Points once = Normalized({{0, 0}, {100, 30}, {40, 90}, kStrokeEnd, kDataEnd});
    // Forty copies of the corner would pile up density at column 62 and row
    // 20 if zero-length segments counted.
    Points repeated = {{0, 0}};
    repeated.insert(repeated.end(), 40, _HR_POINT8{100, 30});
    repeated.insert(repeated.end(), {{40, 90}, kStrokeEnd, kDataEnd});
    const Points output = Normalized(repeated);
    EXPECT_EQ(output.front(), once[0]);
    for (int i = 1; i <= 40; ++i) EXPECT_EQ(output[i], once[1]);
    EXPECT_EQ(output[41], once[2]);
}

TEST(HRNormalizeProcess, LastPointNeverStartsASegment) {
    // Without a closing marker the only segment ends at the last point and is
    // not counted: the maps come from the bare initial profiles and the flat
    // stroke keeps row 0.
    EXPECT_EQ(Normalized({{0, 0}, {100, 0}}), (Points{{0, 0}, {62, 0}}));
}

TEST(HRNormalizeProcess, OutputStaysInTheFrame) {
    std::mt19937 rng(11);
    for (int trial = 0; trial < 500; ++trial) {
        const Points input = penrune::test::JumbleCharacter(rng, 80);
        const Points output = Normalized(input);
        for (size_t i = 0; i < input.size(); ++i) {
            if (input[i].x == HR_MARKER8) {
                EXPECT_EQ(output[i], input[i]);
            } else {
                EXPECT_LT(output[i].x, HR_NORMALIZE_SIZE);
                EXPECT_LT(output[i].y, HR_NORMALIZE_SIZE);
            }
        }
    }
}

TEST(HRNormalizeProfiles, MappingInAscendOrderCoversBothEnds) {
    Profile x = Uniform(0), y = Uniform(0);
    HRNormalize_MappingInAscendOrder({9, 2}, {3, 4}, 7, 11, x.data(), y.data());
    for (int i = 0; i < HR_NORMALIZE_SIZE; ++i) {
        EXPECT_EQ(x[i], i >= 3 && i <= 9 ? 7 : 0) << i;
        EXPECT_EQ(y[i], i >= 2 && i <= 4 ? 11 : 0) << i;
    }
}

TEST(HRNormalizeProfiles, MappingInAscendOrderStopsAtTheProfileEnd) {
    // Profiles sit inside a larger array: nothing past entry 63 may change.
    std::array<HR_UINT16, 2 * HR_NORMALIZE_SIZE> x{}, y{};
    HRNormalize_MappingInAscendOrder({60, 0}, {254, 254}, 1, 1, x.data(), y.data());
    EXPECT_EQ(x[HR_NORMALIZE_SIZE - 1], 1);
    EXPECT_EQ(y[0], 1);
    for (int i = HR_NORMALIZE_SIZE; i < 2 * HR_NORMALIZE_SIZE; ++i) {
        EXPECT_EQ(x[i], 0);
        EXPECT_EQ(y[i], 0);
    }
}

TEST(HRNormalizeProfiles, DiffusionSpreadsOneBinOverItsNeighbours) {
    // A light bin (at most 240) spreads with a peak, a heavy one flat; targets
    // outside the profile are dropped and the sums wrap at sixteen bits.
    const HR_UINT16 wrap4 = static_cast<HR_UINT16>(60000 * 4), wrap5 = static_cast<HR_UINT16>(60000 * 5);
    const struct {
        int bin;
        HR_UINT16 value;
        int first;                    // first bin of the expected run; the others stay 0
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

TEST(HRNormalizeProfiles, UniformProfileGivesIdentityMap) {
    Profile x = Uniform(6), y = Uniform(6);
    HRNormalize_DiffuseGaussianWeight(x.data());
    HRNormalize_CalculateMapping(x.data(), y.data());
    for (int i = 0; i < HR_NORMALIZE_SIZE; ++i) {
        EXPECT_EQ(y[i], i);
        EXPECT_LE(x[i], HR_NORMALIZE_SIZE - 1);
    }
    // Smoothing drops mass at the edges, so the smoothed map is close to,
    // but not exactly, the identity; it must still be ordered and end at 63.
    for (int i = 1; i < HR_NORMALIZE_SIZE; ++i) EXPECT_LE(x[i - 1], x[i]);
    EXPECT_EQ(x[HR_NORMALIZE_SIZE - 1], HR_NORMALIZE_SIZE - 1);
}

TEST(HRNormalizeProfiles, MappingFollowsTheCumulativeShare) {
    Profile x = Uniform(0), y = Uniform(0);
    x[0] = 63;  // all mass in the first column
    y[31] = 1;
    y[32] = 1;
    HRNormalize_CalculateMapping(x.data(), y.data());
    EXPECT_EQ(x[0], 63);
    EXPECT_EQ(x[40], 63);
    EXPECT_EQ(y[30], 0);
    EXPECT_EQ(y[31], 31);  // 1 * 63 / 2
    EXPECT_EQ(y[32], 63);
}

TEST(HRNormalizeProfiles, EmptyProfileGivesIdentityInsteadOfDividingByZero) {
    Profile x = Uniform(0), y = Uniform(0);
    HRNormalize_CalculateMapping(x.data(), y.data());
    for (int i = 0; i < HR_NORMALIZE_SIZE; ++i) {
        EXPECT_EQ(x[i], i);
        EXPECT_EQ(y[i], i);
    }
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
