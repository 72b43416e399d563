// SPDX-License-Identifier: MIT
#include "penrune/HRNormalize.h"

#include <gtest/gtest.h>

#include <array>
#include <vector>

#include "CharacterGen.h"

// HRNormalize_Process is checked against a literal reference on random
// characters in HRFeature_test; these cases pin the edges it rarely meets.
namespace {

using Points = std::vector<_HR_POINT8>;

constexpr _HR_POINT8 kStrokeEnd = {HR_MARKER8, 0};
constexpr _HR_POINT8 kDataEnd = {HR_MARKER8, HR_MARKER8};

TEST(HRNormalizeLinear, ScalesIntoTheFrameByTheBox) {
    const struct {
        const char *what;
        Points in, out;
    } cases[] = {
        {"single point", {{200, 17}}, {{0, 0}}},
        {"flat box (width > 4 height), by its width", {{0, 0}, {100, 20}, kDataEnd}, {{0, 0}, {62, 12}, kDataEnd}},
        {"tall box (4 width < height), by its height", {{30, 0}, {50, 200}, kDataEnd}, {{0, 0}, {6, 62}, kDataEnd}},
        // The box starts at point 0 even when it is a marker, which widens it
        // to x = 255; the points after it must still land inside the frame.
        {"leading marker", {kStrokeEnd, {0, 100}, {200, 254}, kDataEnd}, {kStrokeEnd, {0, 24}, {49, 62}, kDataEnd}},
    };
    for (const auto &c : cases) {
        Points points = c.in;
        HRNormalize_LinearNormalize(points.data(), static_cast<HR_UINT16>(points.size()));
        EXPECT_EQ(points, c.out) << c.what;
    }
}

TEST(HRNormalizeProfiles, CallerInputStaysWithinTheProfiles) {
    // Ranges are cut at entry 63: nothing past the profile may change.
    std::array<HR_UINT16, 2 * HR_NORMALIZE_SIZE> x{}, y{};
    HRNormalize_MappingInAscendOrder({60, 0}, {254, 254}, 1, 1, x.data(), y.data());
    for (int i = 0; i < 2 * HR_NORMALIZE_SIZE; ++i) {
        EXPECT_EQ(x[i], i >= 60 && i < HR_NORMALIZE_SIZE) << i;
        EXPECT_EQ(y[i], i < HR_NORMALIZE_SIZE) << i;
    }
    // An empty profile gives the identity instead of dividing by zero.
    std::array<HR_UINT16, HR_NORMALIZE_SIZE> mx{}, my{};
    HRNormalize_CalculateMapping(mx.data(), my.data());
    for (int i = 0; i < HR_NORMALIZE_SIZE; ++i) EXPECT_TRUE(mx[i] == i && my[i] == i) << i;
    // Coordinates beyond the frame read the last entry instead of memory past
    // it, and markers are not moved.
    for (int i = 0; i < HR_NORMALIZE_SIZE; ++i) my[i] = static_cast<HR_UINT16>(63 - i);
    Points points = {{10, 0}, kStrokeEnd, {200, 100}, kDataEnd};
    HRNormalize_Mapping(points.data(), static_cast<HR_UINT16>(points.size()), mx.data(), my.data());
    EXPECT_EQ(points, (Points{{10, 63}, kStrokeEnd, {63, 0}, kDataEnd}));
}

}  // namespace
