// SPDX-License-Identifier: MIT
#include "train/HTSample.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <vector>

namespace {

struct Point {
    HR_UINT8 x, y;
};
using Strokes = std::vector<std::vector<Point>>;

// A read-only stream over bytes.
struct Stream {
    explicit Stream(std::vector<HR_UINT8> bytes) : data(std::move(bytes)) {
        file.reset(fmemopen(data.data(), data.size(), "rb"));
    }
    std::vector<HR_UINT8> data;
    std::unique_ptr<FILE, int (*)(FILE *)> file{nullptr, &std::fclose};
};

TEST(HTSample, WritesTheRecordLayoutAndReadsItBack) {
    std::vector<HR_UINT8> bytes;
    ASSERT_TRUE(penrune::AppendSampleRecord(bytes, 0x4E00, Strokes{{{1, 2}, {3, 4}}, {{5, 6}}}));
    // The length field counts itself, the code, the reserved bytes, the
    // points and the markers.
    const std::vector<HR_UINT8> expected = {18, 0, 0x00, 0x4E, 0, 0, 1, 2, 3, 4, 255, 0, 5, 6, 255, 0, 255, 255};
    EXPECT_EQ(bytes, expected);

    std::vector<HR_UINT8> file;
    ASSERT_TRUE(penrune::AppendSampleRecord(file, 'A', Strokes{{{7, 8}}}));
    ASSERT_TRUE(penrune::AppendSampleRecord(file, 'B', Strokes{{{9, 9}, {10, 10}}}));
    Stream in(file);
    penrune::SampleReader sample(in.file.get());
    ASSERT_TRUE(sample.Next());
    EXPECT_TRUE(sample.Whole());
    EXPECT_TRUE(sample.IsSample());
    EXPECT_EQ(sample.Code(), 'A');
    EXPECT_EQ(sample.Length(), 12);
    ASSERT_TRUE(sample.Next());
    EXPECT_EQ(sample.Code(), 'B');
    HR_UINT16 n = 0;
    const _HR_POINT8 *points = sample.Points(&n);
    ASSERT_EQ(n, 4);
    EXPECT_EQ(points[1].x, 10);
    EXPECT_FALSE(sample.Next());
}

TEST(HTSample, ARecordTooLongForTheReadersIsNotWritten) {
    std::vector<HR_UINT8> bytes = {42};
    // Head 6 + 2 per point + 4 for the markers.
    const size_t fitting = (HT_SAMPLE_MAX_LENGTH - 10) / 2;
    EXPECT_TRUE(penrune::AppendSampleRecord(bytes, 1, Strokes{std::vector<Point>(fitting, Point{1, 1})}));
    bytes.resize(1);
    EXPECT_FALSE(penrune::AppendSampleRecord(bytes, 1, Strokes{std::vector<Point>(fitting + 1, Point{1, 1})}));
    EXPECT_EQ(bytes, std::vector<HR_UINT8>{42});
}

TEST(HTSample, ReportsShortAndCutRecordsAsTheyAre) {
    // A length below the head, an odd length, and a last record cut short.
    Stream in({1, 0, 11, 0, 'C', 0, 0, 0, 1, 1, 255, 0, 255, 14, 0, 'D', 0, 0, 0, 2, 2, 3, 3, 4});
    penrune::SampleReader sample(in.file.get());
    ASSERT_TRUE(sample.Next());
    EXPECT_EQ(sample.Length(), 1);
    EXPECT_FALSE(sample.Whole());
    EXPECT_FALSE(sample.IsSample());
    ASSERT_TRUE(sample.Next());
    EXPECT_TRUE(sample.Whole());
    EXPECT_FALSE(sample.IsSample());
    EXPECT_EQ(sample.Code(), 'C');
    ASSERT_TRUE(sample.Next());
    EXPECT_FALSE(sample.Whole());
    EXPECT_TRUE(sample.IsSample());
    // Ten bytes were read: the usable part ends on a whole point, and its
    // last two points become the end markers.
    EXPECT_EQ(sample.Usable(), 10u);
    HR_UINT16 n = 0;
    const _HR_POINT8 *points = sample.Points(&n);
    ASSERT_EQ(n, 2);
    EXPECT_EQ(points[0].x, 255);
    EXPECT_EQ(points[0].y, 0);
    EXPECT_EQ(points[1].y, 255);
    EXPECT_FALSE(sample.Next());
}

}  // namespace
