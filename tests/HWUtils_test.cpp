// SPDX-License-Identifier: MIT
#include "penrune/HWUtils.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <numeric>
#include <random>
#include <string>
#include <vector>

namespace {

using Units = std::vector<HR_UINT16>;

TEST(Utf8ToUtf16, ConvertsWhatOneUnitHoldsWithinCapacity) {
    const struct {
        std::string input;
        int capacity;
        Units expected;
    } cases[] = {
        {"A\xC3\xA9\xE4\xB8\xAD", 64, {0x41, 0xE9, 0x4E2D}},  // one-, two- and three-byte forms
        {"\xF0\x9F\x98\x80", 64, {}},                         // four-byte form
        {"a\x80"
         "b",
         64,
         {'a', 'b'}},                              // stray continuation byte
        {std::string("a\0b", 3), 64, {'a', 'b'}},  // zero byte
        {"ab\xE4\xB8", 64, {'a', 'b'}},            // lead cut by the end of input
        {"\xE4"
         "AB"
         "C",
         64,
         {'C'}},  // malformed: skipped by its lead byte's length
        {"\xE4\xB8\xAD"
         "bcd",
         2,
         {0x4E2D, 'b'}},
        {"abc", 0, {}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(testing::PrintToString(c.input) + " capacity " + std::to_string(c.capacity));
        Units out(static_cast<size_t>(c.capacity) + 4, 0xAAAA);
        int n = HR_utf8_to_utf16(c.input.data(), static_cast<int>(c.input.size()), out.data(), c.capacity);
        ASSERT_TRUE(n >= 0 && n <= c.capacity) << n;
        EXPECT_EQ(out[static_cast<size_t>(n)], 0xAAAA) << "wrote past the units it reported";
        out.resize(static_cast<size_t>(n));
        EXPECT_EQ(out, c.expected);
    }
}

// The block copies against memmove, across the 16-byte block size.
TEST(MemoryHelpers, MoveMatchesMemmoveWithOverlapInBothDirections) {
    for (HR_UINT32 shift : {1u, 7u, 16u, 17u}) {
        for (HR_UINT32 n : {0u, 1u, 15u, 16u, 37u, 64u}) {
            for (bool forward : {true, false}) {
                std::vector<HR_UINT8> actual(100), expected;
                std::iota(actual.begin(), actual.end(), static_cast<HR_UINT8>(1));
                expected = actual;
                const HR_UINT32 to = forward ? shift : 0, from = forward ? 0 : shift;
                std::memmove(expected.data() + to, expected.data() + from, n);
                EXPECT_EQ(HR_memmove(actual.data() + to, actual.data() + from, n), actual.data() + to);
                EXPECT_EQ(actual, expected) << (forward ? "forward" : "backward") << " shift " << shift << " n " << n;
            }
        }
    }
}

int CompareInts(const void *x, const void *y, void *) {
    int a = *static_cast<const int *>(x), b = *static_cast<const int *>(y);
    return (a > b) - (a < b);
}

// The sort is not stable: candidate lists with equal scores come out in the
// order of its steps, so that order is part of the results.
TEST(QuickSort, EqualElementsEndInTheOrderOfItsSteps) {
    auto sortedTags = [](std::vector<std::pair<int, char>> v) {
        HR_quicksort(v.data(), static_cast<int>(v.size()), sizeof(v[0]), CompareInts, nullptr);
        std::string tags;
        for (const auto &e : v) tags += e.second;
        return tags;
    };
    // Insertion only: the sentinel is swapped (not rotated) to the front.
    EXPECT_EQ(sortedTags({{1, 'a'}, {1, 'b'}, {0, 'c'}}), "cba");
    // Seven elements: the first partition leaves a part of five, which is
    // partitioned again.
    EXPECT_EQ(sortedTags({{0, 'a'}, {0, 'b'}, {1, 'c'}, {0, 'd'}, {1, 'e'}, {2, 'f'}, {0, 'g'}}), "adgbcef");
}

int CompareBytes3(const void *x, const void *y, void *) { return std::memcmp(x, y, 3); }

// Three-byte elements exercise byte-wise swaps of an odd size; presorted
// inputs stress the pivot choice and the fixed range stack.
TEST(QuickSort, SortsLikeAReference) {
    std::mt19937 rng(12345);
    for (int count : {2, 5, 7, 33, 1000, 4099}) {
        for (int range : {2, 1 << 20}) {
            std::vector<std::string> expected(static_cast<size_t>(count));
            for (std::string &e : expected) {
                const int v = static_cast<int>(rng() % static_cast<unsigned>(range));  // big-endian: memcmp orders it
                e = {static_cast<char>(v >> 16), static_cast<char>(v >> 8), static_cast<char>(v)};
            }
            std::string bytes = std::accumulate(expected.begin(), expected.end(), std::string());
            std::sort(expected.begin(), expected.end());
            HR_quicksort(bytes.data(), count, 3, CompareBytes3, nullptr);
            EXPECT_EQ(bytes, std::accumulate(expected.begin(), expected.end(), std::string())) << count;
        }
    }
    std::vector<int> ascending(50000), descending(ascending.size());
    std::iota(ascending.begin(), ascending.end(), 0);
    std::iota(descending.rbegin(), descending.rend(), 0);
    for (std::vector<int> *v : {&ascending, &descending}) {
        HR_quicksort(v->data(), static_cast<int>(v->size()), sizeof(int), CompareInts, nullptr);
        EXPECT_TRUE(std::is_sorted(v->begin(), v->end()));
    }
}

// Claims that every element comes before every other, reading both (so the
// address sanitizer reports a scan led out of the array), and aborts a
// runaway scan.
int AlwaysBefore(const void *x, const void *y, void *context) {
    if (++*static_cast<long *>(context) > 10000000) std::abort();
    volatile int sink = *static_cast<const int *>(x) + *static_cast<const int *>(y);
    (void)sink;
    return -1;
}

TEST(QuickSort, InconsistentComparatorKeepsTheSortInsideTheArray) {
    std::vector<int> values(1000);
    std::iota(values.begin(), values.end(), 0);
    long calls = 0;
    HR_quicksort(values.data(), 1000, sizeof(int), AlwaysBefore, &calls);
    std::sort(values.begin(), values.end());
    for (int i = 0; i < 1000; ++i) ASSERT_EQ(values[static_cast<size_t>(i)], i);  // still a permutation
}

}  // namespace
