// SPDX-License-Identifier: MIT
#include "penrune/HROnline.h"

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <memory>
#include <numeric>
#include <random>
#include <vector>

#include "ModelImage.h"

namespace {

// Nearest samples against a brute-force sum of squares, with stored samples and
// jittered copies as queries. Characters 1 and 5 are stored twice, first under a
// code beyond 16 bits and under code 0: the first stored wins ties, and a nearest
// sample of code 0 gives no result. Full and damaged stores are not overrun.
TEST(HROnline, FindsTheNearestSampleBelowTheLimitAndNeverOverrunsTheStore) {
    const std::vector<int16_t> matrix = penrune::test::RandomMatrix(17);
    std::vector<HR_UINT16> table(HR_ONLINE_COST_TABLE_SIZE);
    HROnline_BuildCostTable(table.data());
    auto store = std::make_unique<_HR_ONLINE_STORE>();
    _HR_ONLINE context;
    ASSERT_EQ(HROnline_Initialize(&context, matrix.data(), table.data(), store.get()), 1);
    // The functions convert the points in place: every call gets a copy.
    auto add = [&](HR_UINT32 code, std::vector<_HR_POINT16> points) {
        return HROnline_AddSample(&context, code, points.data(), static_cast<HR_UINT16>(points.size()));
    };
    auto recognize = [&](std::vector<_HR_POINT16> points, HR_UINT16 *code, HR_UINT16 *distance) {
        return HROnline_Recognize(&context, points.data(), static_cast<HR_UINT16>(points.size()), 0, code, distance);
    };
    std::mt19937 rng(5);
    std::vector<std::vector<_HR_POINT16>> characters;
    for (int i = 0; i < 6; ++i) characters.push_back(penrune::test::RandomCharacter(rng, 1 + i % 4, 12));

    HR_UINT16 code = 7, distance = 7;
    EXPECT_EQ(recognize(characters[0], &code, &distance), 0);  // empty store
    ASSERT_EQ(add(0x12345, characters[1]), 1);
    ASSERT_EQ(add(0, characters[5]), 1);
    for (size_t i = 0; i < characters.size(); ++i) ASSERT_EQ(add(0x4E00 + i, characters[i]), 1);
    EXPECT_EQ(store->codes[0], 0x2345);
    std::uniform_int_distribution<int> jitter(-15, 15);
    int jittered = 0;
    for (int trial = 0; trial < 36; ++trial) {
        std::vector<_HR_POINT16> query = characters[trial % 6];
        for (_HR_POINT16 &p : query) {  // moved by (20, 20) with up to 15 units of noise
            if (trial < 6 || p.x == HR_MARKER16) continue;
            p.x = static_cast<HR_UINT16>(p.x + 20 + jitter(rng)), p.y = static_cast<HR_UINT16>(p.y + 20 + jitter(rng));
        }
        ASSERT_EQ(add(1, query), 1);  // the query's feature, taken back out of the store
        const HR_INT16 *q = store->features[--store->count];
        int best = HR_ONLINE_NO_MATCH;
        HR_UINT16 bestCode = 0;
        for (int s = 0; s < store->count; ++s) {
            const int sum = std::inner_product(q, q + HR_ONLINE_DIM, store->features[s], 0, std::plus<>(),
                                               [](int a, int b) { return (a - b) * (a - b); });
            if (sum < best) best = sum, bestCode = store->codes[s];
        }
        SCOPED_TRACE(trial);
        code = 7, distance = 7;  // written only with a result
        ASSERT_EQ(recognize(query, &code, &distance), bestCode != 0);
        EXPECT_EQ(code, bestCode != 0 ? bestCode : 7);
        EXPECT_EQ(distance, bestCode != 0 ? best : 7);
        jittered += bestCode != 0 && best > 0;
    }
    EXPECT_GT(jittered, 20);  // the jittered queries were not simply the stored samples
    std::vector<HR_UINT16> flat(HR_ONLINE_COST_TABLE_SIZE, 1000);  // 64000 is not below 60000
    context.costTable = flat.data();
    EXPECT_EQ(recognize(characters[2], &code, nullptr), 0);
    EXPECT_EQ(code, 7);

    context.costTable = table.data();
    while (store->count < HR_ONLINE_CAPACITY) ASSERT_EQ(add(1, characters[0]), 1);
    auto before = std::make_unique<_HR_ONLINE_STORE>(*store);
    EXPECT_EQ(add(0x4E00, characters[0]), 0);
    EXPECT_EQ(std::memcmp(before.get(), store.get(), sizeof(_HR_ONLINE_STORE)), 0);
    store->capacity = 5000;  // the arrays still hold only HR_ONLINE_CAPACITY
    EXPECT_EQ(add(0x4E01, characters[1]), 0);
    store->count = 5000;                                     // beyond the arrays: only stored samples are read
    EXPECT_EQ(recognize(characters[0], &code, nullptr), 1);  // the distance output is optional
    EXPECT_EQ(code, 0x4E00);
    EXPECT_EQ(add(0x4E01, characters[1]), 0);
    store->count = -1;
    EXPECT_EQ(recognize(characters[0], &code, nullptr), 0);
}

}  // namespace
