// SPDX-License-Identifier: MIT
// The shipped model and lexicon end to end: simple strokes give the
// characters they obviously are, and a synthetic line of two characters
// (seed never used in training) comes back as the word.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "penrune/HRData.h"
#include "penrune/HRKernel.h"
#include "penrune/HWKernel.h"

namespace {

// A stroke of five points from (x0, y0) in steps of (dx, dy), with its end marker.
std::vector<_HR_POINT16> Line(HR_UINT16 x0, HR_UINT16 y0, HR_UINT16 dx, HR_UINT16 dy) {
    std::vector<_HR_POINT16> points;
    for (int i = 0; i < 5; ++i)
        points.push_back({static_cast<HR_UINT16>(x0 + i * dx), static_cast<HR_UINT16>(y0 + i * dy)});
    points.push_back({HR_MARKER16, 0});
    return points;
}

// The first eight candidates of the embedded model for the strokes.
std::vector<HR_UINT16> Codes(std::vector<_HR_POINT16> points) {
    points.push_back({HR_MARKER16, HR_MARKER16});
    alignas(8) unsigned char block[HR_RECO_INSTANCE_SIZE];
    _HR_RECO *reco = HRReco_Initialize(block, sizeof block, nullptr);
    std::vector<HR_UINT16> codes(8);
    EXPECT_EQ(
        HRReco_RecognizeShort(reco, points.data(), static_cast<HR_UINT16>(points.size()), 8, codes.data(), nullptr), 8);
    return codes;
}

TEST(EmbeddedModel, IsWellFormedAndSimpleStrokesGiveTheirCharacters) {
    EXPECT_EQ(HRReco_CheckModel(HRData_GetDataPtr(), HRData_GetDataSize()), 1);
    EXPECT_LE(HRData_GetDataSize(), 1000000u);
    const std::vector<_HR_POINT16> horizontal = Line(100, 300, 100, 0), vertical = Line(300, 100, 0, 100);
    EXPECT_EQ(Codes(horizontal)[0], 0x4E00);  // 一
    // A bare vertical bar is 1, l or I alike (and, once size is normalised
    // away, close to a short-armed r); the digit must be on the first page.
    const std::vector<HR_UINT16> bar = Codes(vertical);
    EXPECT_NE(std::find(bar.begin(), bar.begin() + 5, 0x0031), bar.begin() + 5);
    std::vector<_HR_POINT16> cross = horizontal;
    cross.insert(cross.end(), vertical.begin(), vertical.end());
    EXPECT_EQ(Codes(cross)[0], 0x5341);  // 十
}

TEST(EmbeddedModel, TwoCharactersSideBySideGiveTheWord) {
    std::vector<unsigned char> block(HWKernel_GetInstanceSize());
    _HW_KERNEL *kernel = HWKernel_Initialize(block.data(), 0, nullptr);
    ASSERT_NE(kernel, nullptr);
    std::ifstream in(PENRUNE_SOURCE_DIR "/examples/zhongguo.json");
    for (const auto &stroke : nlohmann::json::parse(in)) {
        std::vector<_HR_POINT16> points;
        for (const auto &point : stroke) points.push_back({point[0].get<HR_UINT16>(), point[1].get<HR_UINT16>()});
        points.push_back({HR_MARKER16, 0});
        ASSERT_EQ(HWKernel_AddStroke(kernel, points.data(), static_cast<HR_UINT32>(points.size())), 1);
    }
    std::vector<std::string> top;
    for (HR_UINT32 i = 0; i < HWKernel_GetCandTotal(kernel) && i < 3; ++i) {
        char text[64];
        HWKernel_GetCandItemUtf8(kernel, static_cast<HR_UINT16>(i), text, sizeof text);
        top.push_back(text);
    }
    EXPECT_NE(std::find(top.begin(), top.end(), "中国"), top.end())
        << "first candidates: " << ::testing::PrintToString(top);
    HWKernel_Terminate(kernel);
}

}  // namespace
