// SPDX-License-Identifier: MIT
// Kernel instances in parallel threads: two instances written at the same
// time in two threads give, stroke after stroke, the candidates each gives
// alone, since they share only the read-only model and lexicon. Built with
// ThreadSanitizer in the test script.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <thread>
#include <vector>

#include "penrune/HWKernel.h"

namespace {

using Points = std::vector<_HR_POINT16>;

// A straight stroke of five points, ended by a stroke-end marker.
Points Bar(int x0, int y0, int x1, int y1) {
    Points points;
    for (int i = 0; i < 5; ++i)
        points.push_back(
            {static_cast<HR_UINT16>(x0 + (x1 - x0) * i / 4), static_cast<HR_UINT16>(y0 + (y1 - y0) * i / 4)});
    points.push_back({0xFFFF, 0});
    return points;
}

// Two lines of writing: "十十" and "三".
const std::vector<Points> kCrosses = {Bar(100, 300, 500, 300), Bar(300, 100, 300, 500), Bar(700, 300, 1100, 300),
                                      Bar(900, 100, 900, 500)};
const std::vector<Points> kThree = {Bar(150, 150, 450, 150), Bar(200, 300, 400, 300), Bar(100, 450, 500, 450)};

// The best candidate and the list length after every stroke of the line.
std::vector<std::string> Write(_HW_KERNEL *kernel, const std::vector<Points> &line) {
    std::vector<std::string> seen;
    HWKernel_Reset(kernel);
    for (const Points &stroke : line) {
        HWKernel_AddStroke(kernel, stroke.data(), static_cast<HR_UINT32>(stroke.size()));
        char text[256] = "";
        HWKernel_GetCandItemUtf8(kernel, 0, text, sizeof text);
        seen.push_back(std::string(text) + " of " + std::to_string(HWKernel_GetCandTotal(kernel)));
    }
    return seen;
}

struct Writer {
    std::vector<std::uint64_t> block = std::vector<std::uint64_t>(HWKernel_GetInstanceSize() / 8 + 1);
    _HW_KERNEL *kernel = HWKernel_Initialize(block.data(), 0, nullptr);
    int mismatches = 0;

    void Repeat(const std::vector<Points> &line, const std::vector<std::string> &expected, int rounds) {
        for (int r = 0; r < rounds; ++r)
            if (Write(kernel, line) != expected) ++mismatches;
    }
};

TEST(KernelThreads, TwoInstancesInTwoThreadsRecogniseAsEachDoesAlone) {
    Writer a, b;
    ASSERT_NE(a.kernel, nullptr);
    ASSERT_NE(b.kernel, nullptr);
    const std::vector<std::string> crosses = Write(a.kernel, kCrosses);
    const std::vector<std::string> three = Write(b.kernel, kThree);
    ASSERT_NE(crosses, three);
    const int rounds = 200;
    std::thread first([&] { a.Repeat(kCrosses, crosses, rounds); });
    std::thread second([&] { b.Repeat(kThree, three, rounds); });
    first.join();
    second.join();
    EXPECT_EQ(a.mismatches, 0);
    EXPECT_EQ(b.mismatches, 0);
}

}  // namespace
