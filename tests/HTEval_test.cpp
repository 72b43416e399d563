// SPDX-License-Identifier: MIT
#include "train/HTEval.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "train/HTLog.h"
#include "ModelImage.h"
#include "SampleGen.h"
#include "TempDir.h"

using penrune::test::ReadFile;
using penrune::test::TempDir;
namespace pt = penrune::test;

namespace {

std::string Bytes(const std::vector<uint8_t> &v) { return std::string(v.begin(), v.end()); }

std::string Sample(uint16_t code, int points = 3) {
    pt::SampleStroke stroke;
    for (int i = 0; i < points; ++i) stroke.push_back({(uint8_t)(10 + i % 200), (uint8_t)(20 + i % 7)});
    return Bytes(pt::EncodeSampleRecord(code, {stroke}));
}

// A record of the given length field with the code and filler bytes.
std::string RawRecord(uint16_t length, uint16_t code, size_t bodyBytes) {
    std::string r = {(char)(length & 0xFF), (char)(length >> 8), (char)(code & 0xFF), (char)(code >> 8)};
    r.resize(2 + bodyBytes, '\x05');
    return r;
}

TEST(HTEval, CountsCandidatePositionsCumulativelyAndSortsTheTableAsTheRankToolDoes) {
    TempDir dir;
    // The projection of the model is zero, so every sample gets the same
    // candidates, ordered by prototype size: B (1), C (4), A (9).
    const pt::ModelLayout layout{0, {}, {{'A', 0x0C, {3}}, {'B', 0x0C, {1}}, {'C', 0x0C, {2}}}, {{}}, {{0, 1, 2}}};
    const std::string model = dir.Write("model.dat", Bytes(pt::BuildModelImage(layout))), log = dir.File("eval.log");
    std::filesystem::create_directories(dir.File("test"));
    dir.Write("test/a.dat", Sample('A') + Sample('B') + Sample('C') + Sample('C') + Sample('D'));
    // Malformed records are passed over; a record longer than the first
    // buffer is read whole; a length below 2 ends the file.
    dir.Write("test/b.dat",
              RawRecord(8, 'A', 6) + RawRecord(11, 'A', 9) + Sample('B', 9000) + RawRecord(1, 'B', 0) + Sample('B'));
    HTEval_ResetCounters();
    HTLog_Initialize(log.c_str());
    EXPECT_EQ(HTEval_Reco(model.c_str(), dir.File("test").c_str()), 1);
    HTLog_Terminate();
    EXPECT_EQ(g_nSampleTotal, 6.0f);
    // A at position 3 counts from [3] on. In the table rate 0 comes first,
    // equal rates in code order; codes never seen are left out.
    EXPECT_NE(
        ReadFile(log).find("\n  stat cand[1]=0.333333, [2]=0.666667, [3]=0.833333, [4]=0.833333, [5]=0.833333\n"
                           "\n  A 0.000000 (0/1)\n  C 0.000000 (0/2)\n  D 0.000000 (0/1)\n  B 1.000000 (2/2)\n\n"),
        std::string::npos)
        << ReadFile(log);

    // The rank tool agrees, and lists the samples whose code is not first.
    const std::string out = dir.File("out.txt"),
                      args = " rank " + model + " " + dir.File("test") + " --top=3 --errors > ";
    ASSERT_EQ(std::system((PENRUNE_TOOL_PATH + args + out).c_str()), 0);
    EXPECT_EQ(ReadFile(out),
              "a.dat#0 A -> B C A\na.dat#2 C -> B C A\na.dat#3 C -> B C A\na.dat#4 D -> B C A\n"
              "samples 6\ntop-1 33.3 %\ntop-2 66.7 %\ntop-3 83.3 %\n");
}

}  // namespace
