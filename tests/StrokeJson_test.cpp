// SPDX-License-Identifier: MIT
#include "StrokeJson.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(StrokeJson, ReadsStrokesAndEndsEachWithAMarker) {
    const std::vector<penrune::Stroke> strokes = penrune::ParseStrokes("[[[0,65534],[3,4]],[[65534,0]]]");
    ASSERT_EQ(strokes.size(), 2u);
    ASSERT_EQ(strokes[0].size(), 3u);
    EXPECT_EQ(strokes[0][0].x, 0);
    EXPECT_EQ(strokes[0][0].y, 65534);
    EXPECT_EQ(strokes[0][1].x, 3);
    EXPECT_EQ(strokes[0][2].x, HR_MARKER16);
    EXPECT_EQ(strokes[0][2].y, 0);
    ASSERT_EQ(strokes[1].size(), 2u);
    EXPECT_EQ(strokes[1][1].x, HR_MARKER16);
}

// Everything that cannot be recognised is an InputError, which the tool
// reports with the file name; nothing else escapes.
TEST(StrokeJson, RefusesEveryMalformedInputAsAnInputError) {
    const char *cases[] = {
        "",
        "[[[1,2]]",
        "{}",
        "[]",
        "[[]]",
        "[5]",
        "[[[1]]]",
        "[[[1,2,3]]]",
        "[[[1.5,2]]]",
        "[[[\"1\",2]]]",
        "[[[65535,0]]]",
        "[[[0,-1]]]",
        "[[[18446744073709551616,0]]]",
        // Found by fuzzing: a number beyond a double's range was thrown past the tool's error handling.
        "[[[1E400000,2]]]",
        "34.2006045156E2797437[3]",
    };
    for (const char *text : cases) EXPECT_THROW(penrune::ParseStrokes(text), penrune::InputError) << text;
}

}  // namespace
