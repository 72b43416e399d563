#include "HWUtils.h"

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

const HR_UINT8 *Bytes(const char *s) { return reinterpret_cast<const HR_UINT8 *>(s); }

TEST(Utf8ToUtf16, ConvertsWhatOneUnitHoldsWithinCapacity) {
    const struct {
        std::string input;
        int capacity;
        Units expected;
    } cases[] = {
        {"A\xC3\xA9\xE4\xB8\xAD", 64, {0x41, 0xE9, 0x4E2D}},  // one-, two- and three-byte forms
        {"\xF0\x9F\x98\x80", 64, {}},                        // four-byte form
        {"a\x80" "b", 64, {'a', 'b'}},                       // stray continuation byte
        {std::string("a\0b", 3), 64, {'a', 'b'}},            // zero byte
        {"ab\xE4\xB8", 64, {'a', 'b'}},                      // lead cut by the end of input
        {"\xE4" "AB" "C", 64, {'C'}},  // malformed: skipped by its lead byte's length
        {"\xE4\xB8\xAD" "bcd", 2, {0x4E2D, 'b'}}, {"abc", 0, {}}, {"", 8, {}},
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

TEST(Utf8Sequence, DecodesToUtf32AndRejectsMissingContinuations) {
    unsigned long cp = 99;
    EXPECT_EQ(enc_utf8_to_utf32_one(Bytes("\xF0\x9F\x98\x80"), &cp), 4);
    EXPECT_EQ(cp, 0x1F600u);
    EXPECT_EQ(enc_utf8_to_utf32_one(Bytes("\xFD\xBF\xBF\xBF\xBF\xBF"), &cp), 6);
    EXPECT_EQ(cp, 0x7FFFFFFFu);
    EXPECT_EQ(enc_utf8_to_utf32_one(Bytes("\xE4\xB8"), &cp), 0);
    EXPECT_EQ(cp, 0u);
    EXPECT_EQ(enc_utf8_to_utf32_one(Bytes("\x80"), &cp), 0);

    HR_UINT16 unit = 7;
    EXPECT_EQ(enc_utf8_to_utf16_one(Bytes("\xF0\x9F\x98\x80"), &unit), 4);
    EXPECT_EQ(unit, 0);
    EXPECT_EQ(enc_utf8_to_utf16_one(Bytes("\xC3("), &unit), 0);
}

TEST(Utf32ToUtf8, EncodesEveryLengthAndRoundTrips) {
    const HR_UINT64 limits[] = {0x7F, 0x80, 0x7FF, 0x800, 0xFFFF, 0x10000, 0x1FFFFF, 0x200000, 0x3FFFFFF, 0x4000000, 0x7FFFFFFF};
    const int lengths[] = {1, 2, 2, 3, 3, 4, 4, 5, 5, 6, 6};
    for (size_t i = 0; i < std::size(lengths); ++i) {
        char buf[8] = {};
        ASSERT_EQ(enc_utf32_to_utf8_one(limits[i], buf, 8), lengths[i]) << std::hex << limits[i];
        unsigned long back = 0;
        EXPECT_EQ(enc_utf8_to_utf32_one(Bytes(buf), &back), lengths[i]);
        EXPECT_EQ(back, limits[i]);
    }
    char buf[8] = {'x', 'x', 'x', 'x'};
    EXPECT_EQ(enc_utf32_to_utf8_one(0x80000000u, buf, 8), 0);
    EXPECT_EQ(enc_utf32_to_utf8_one(0x4E2D, buf, 2), 3);  // too little room: measured only
    EXPECT_EQ(std::string(buf, 4), "xxxx");
}

TEST(Utf16ToUtf8, KeepsWholeCharactersWithinCapacity) {
    const HR_UINT16 text[] = {0x4E2D, 0x6587};
    const struct {
        int units, capacity, result;
        std::string buffer;  // the first 7 bytes of a buffer of 'x' afterwards
    } cases[] = {{2, 7, 6, std::string("\xE4\xB8\xAD\xE6\x96\x87\0", 7)},
                 {2, 6, 6, "\xE4\xB8\xAD\xE6\x96\x87x"},  // no terminator
                 {2, 5, 6, "\xE4\xB8\xADxxxx"},          // first character only
                 {0, 4, 0, std::string("\0xxxxxx", 7)}};
    for (const auto &c : cases) {
        char buf[8];
        std::memset(buf, 'x', sizeof(buf));
        EXPECT_EQ(HR_utf16_to_utf8(text, c.units, buf, c.capacity), c.result) << c.capacity;
        EXPECT_EQ(std::string(buf, 7), c.buffer) << c.capacity;
    }
    EXPECT_EQ(HR_utf16_to_utf8(text, 2, nullptr, 0), 6);  // measuring only

    const HR_UINT16 lone[] = {0xD800, 'a'};  // surrogate halves are encoded one by one
    char buf[8];
    EXPECT_EQ(HR_utf16_to_utf8(lone, 2, buf, sizeof(buf)), 4);
    EXPECT_STREQ(buf, "\xED\xA0\x80" "a");
}

TEST(Wcsncmp, ComparesAPrefixOfTheFirstString) {
    const HR_UINT16 abc[] = {'a', 'b', 'c', 0}, abx[] = {'a', 'b', 'x', 0}, ab[] = {'a', 'b', 0};
    const HR_UINT16 abcd[] = {'a', 'b', 'c', 'd', 0}, high[] = {0xFFFF, 0};
    EXPECT_EQ(HR_wcsncmp(abc, abx, 0), 0);
    EXPECT_EQ(HR_wcsncmp(abc, abx, 2), 0);
    EXPECT_EQ(HR_wcsncmp(abc, abx, 3), 'c' - 'x');
    EXPECT_EQ(HR_wcsncmp(ab, abcd, 100), 0 - 'c');  // stops at the end of the first string
    EXPECT_EQ(HR_wcsncmp(abcd, abc, 3), 0);         // abc begins with abcd's first 3 units
    EXPECT_GT(HR_wcsncmp(high, abc, 1), 0);         // units compare unsigned
}

std::vector<HR_UINT8> Pattern(size_t n) {
    std::vector<HR_UINT8> bytes(n);
    std::iota(bytes.begin(), bytes.end(), static_cast<HR_UINT8>(1));
    return bytes;
}

TEST(MemoryHelpers, MoveHandlesOverlapInBothDirections) {
    for (HR_UINT32 shift : {1u, 7u, 16u, 17u}) {
        for (HR_UINT32 n : {0u, 1u, 15u, 16u, 37u, 64u}) {
            for (bool forward : {true, false}) {
                std::vector<HR_UINT8> actual = Pattern(100), expected = actual;
                const HR_UINT32 to = forward ? shift : 0, from = forward ? 0 : shift;
                std::memmove(expected.data() + to, expected.data() + from, n);
                EXPECT_EQ(HR_memmove(actual.data() + to, actual.data() + from, n), actual.data() + to);
                EXPECT_EQ(actual, expected) << (forward ? "forward" : "backward") << " shift " << shift << " n " << n;
            }
        }
    }
}

TEST(MemoryHelpers, CopyAndFillTouchExactlyNBytes) {
    std::vector<HR_UINT8> src = Pattern(40);
    std::vector<HR_UINT8> dst(42, 0);
    EXPECT_EQ(HR_memcpy(dst.data() + 1, src.data(), 40), dst.data() + 1);
    EXPECT_EQ(dst.front(), 0);
    EXPECT_EQ(dst.back(), 0);
    EXPECT_TRUE(std::equal(src.begin(), src.end(), dst.begin() + 1));

    EXPECT_EQ(HR_memset(dst.data() + 1, 0x1AB, 33), dst.data() + 1);  // low byte only
    EXPECT_EQ(std::count(dst.begin(), dst.end(), 0xAB), 33);
    EXPECT_EQ(dst[0], 0);
    EXPECT_EQ(dst[34], src[33]);
}

// A sort element whose key decides the order and whose tag shows where an
// element ended among its equals.
struct Tagged {
    int key;
    char tag;
};

// Counts its calls in the context.
int CompareKeys(const void *x, const void *y, void *context) {
    ++*static_cast<int *>(context);
    int a = static_cast<const Tagged *>(x)->key, b = static_cast<const Tagged *>(y)->key;
    return (a > b) - (a < b);
}

std::string SortedTags(std::vector<Tagged> v) {
    int calls = 0;
    HR_quicksort(v.data(), static_cast<int>(v.size()), sizeof(Tagged), CompareKeys, &calls);
    std::string tags;
    for (const Tagged &t : v) tags += t.tag;
    return tags;
}

TEST(QuickSort, EqualElementsEndInTheOrderOfItsSteps) {
    // Short arrays only see the insertion sort, whose sentinel is swapped
    // (not rotated) to the front: the two equal keys trade places.
    EXPECT_EQ(SortedTags({{1, 'a'}, {1, 'b'}, {0, 'c'}}), "cba");
    EXPECT_EQ(SortedTags({{2, 'a'}, {1, 'b'}, {2, 'c'}, {1, 'd'}}), "bdac");
    // Six elements: median of three, one partition, then insertion.
    EXPECT_EQ(SortedTags({{2, 'a'}, {1, 'b'}, {2, 'c'}, {1, 'd'}, {2, 'e'}, {1, 'f'}}), "fbdeac");
    // Seven elements: the first partition leaves a part of five, which is
    // partitioned again (only parts of at most four are left as they are).
    EXPECT_EQ(SortedTags({{0, 'a'}, {0, 'b'}, {1, 'c'}, {0, 'd'}, {1, 'e'}, {2, 'f'}, {0, 'g'}}), "adgbcef");
}

// Nothing to order: no comparator call, so nothing is read.
TEST(QuickSort, TrivialCountsCallNoComparator) {
    int calls = 0;
    Tagged one{5, 'x'};
    HR_quicksort(&one, 1, sizeof(Tagged), CompareKeys, &calls);
    HR_quicksort(nullptr, 0, sizeof(Tagged), CompareKeys, &calls);
    EXPECT_EQ(calls, 0);
}

int CompareBytes3(const void *x, const void *y, void *) { return std::memcmp(x, y, 3); }

// Three-byte elements exercise byte-wise swaps of an odd size.
TEST(QuickSort, SortsRandomArraysLikeAReference) {
    std::mt19937 rng(12345);
    auto elements = [](const std::vector<HR_UINT8> &bytes) {
        std::vector<std::string> out;
        for (size_t i = 0; i < bytes.size(); i += 3) out.emplace_back(bytes.begin() + i, bytes.begin() + i + 3);
        return out;
    };
    for (int count : {2, 3, 4, 5, 6, 7, 9, 16, 33, 100, 1000, 4099}) {
        for (int range : {2, 50, 1 << 20}) {
            std::vector<HR_UINT8> bytes(static_cast<size_t>(count) * 3);
            std::uniform_int_distribution<int> value(0, range - 1);
            for (size_t i = 0; i < bytes.size(); i += 3) {
                int v = value(rng);  // big-endian, so memcmp orders by value
                for (int k = 0; k < 3; ++k) bytes[i + k] = static_cast<HR_UINT8>(v >> (16 - 8 * k));
            }
            std::vector<std::string> expected = elements(bytes);
            std::sort(expected.begin(), expected.end());
            HR_quicksort(bytes.data(), count, 3, CompareBytes3, nullptr);
            EXPECT_EQ(elements(bytes), expected) << "count " << count << " range " << range;
        }
    }
}

int CompareInts(const void *x, const void *y, void *) {
    int a = *static_cast<const int *>(x), b = *static_cast<const int *>(y);
    return (a > b) - (a < b);
}

// Presorted and constant inputs stress the pivot choice and the stack.
TEST(QuickSort, HandlesOrderedAndConstantInputs) {
    const int n = 50000;
    std::vector<int> ascending(n), constant(n, 7);
    std::iota(ascending.begin(), ascending.end(), 0);
    std::vector<int> descending(ascending.rbegin(), ascending.rend());
    for (std::vector<int> *v : {&ascending, &descending, &constant}) {
        HR_quicksort(v->data(), n, sizeof(int), CompareInts, nullptr);
        EXPECT_TRUE(std::is_sorted(v->begin(), v->end()));
    }
    EXPECT_EQ(descending, ascending);
}

// Claims that every element comes before every other. It reads both
// elements, so a scan led out of the array is reported by the address
// sanitizer, and it aborts instead of letting a runaway scan loop on.
int AlwaysBefore(const void *x, const void *y, void *context) {
    long &calls = *static_cast<long *>(context);
    if (++calls > 10000000) std::abort();
    volatile int sink = *static_cast<const int *>(x) + *static_cast<const int *>(y);
    (void)sink;
    return -1;
}

// A comparator that is no order must not lead the sort out of the array:
// the elements still come back as a permutation.
TEST(QuickSort, SurvivesAnInconsistentComparator) {
    std::vector<int> values(1000);
    std::iota(values.begin(), values.end(), 0);
    const std::vector<int> original = values;
    long calls = 0;
    HR_quicksort(values.data(), 1000, sizeof(int), AlwaysBefore, &calls);
    std::sort(values.begin(), values.end());
    EXPECT_EQ(values, original);
}

}  // namespace
