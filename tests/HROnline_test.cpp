#include "HROnline.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <random>
#include <vector>

#include "ModelImage.h"

namespace {

using Points = std::vector<_HR_POINT16>;

class HROnlineTest : public ::testing::Test {
protected:
    HROnlineTest()
        : matrix_(penrune::test::RandomMatrix(17)), table_(HR_ONLINE_COST_TABLE_SIZE),
          store_(std::make_unique<_HR_ONLINE_STORE>()) {
        HROnline_BuildCostTable(table_.data());
        EXPECT_EQ(HROnline_Initialize(&context_, matrix_.data(), table_.data(), store_.get()), 1);
        std::mt19937 rng(5);
        for (int i = 0; i < 6; ++i) characters_.push_back(penrune::test::RandomCharacter(rng, 1 + i % 4, 12));
    }

    // The functions convert the points in place: every call gets a copy.
    int Add(HR_UINT32 code, Points points) {
        return HROnline_AddSample(&context_, code, points.data(), static_cast<HR_UINT16>(points.size()));
    }
    int Recognize(Points points, HR_UINT16 *code, HR_UINT16 *distance) {
        return HROnline_Recognize(&context_, points.data(), static_cast<HR_UINT16>(points.size()), 0, code, distance);
    }
    // The character moved by (20, 20) with up to 15 units of noise per point.
    static Points Jittered(Points points, std::mt19937 &rng) {
        std::uniform_int_distribution<int> jitter(-15, 15);
        for (_HR_POINT16 &p : points) {
            if (p.x == HR_MARKER16) continue;
            p.x = static_cast<HR_UINT16>(p.x + 20 + jitter(rng));
            p.y = static_cast<HR_UINT16>(p.y + 20 + jitter(rng));
        }
        return points;
    }
    // Compressed feature of a character, as a one-sample store keeps it.
    std::vector<HR_INT16> FeatureOf(Points points) {
        _HR_ONLINE scratch;
        auto store = std::make_unique<_HR_ONLINE_STORE>();
        HROnline_Initialize(&scratch, matrix_.data(), table_.data(), store.get());
        HROnline_AddSample(&scratch, 1, points.data(), static_cast<HR_UINT16>(points.size()));
        return std::vector<HR_INT16>(store->features[0], store->features[0] + HR_ONLINE_DIM);
    }

    std::vector<int16_t> matrix_;
    std::vector<HR_UINT16> table_;
    std::unique_ptr<_HR_ONLINE_STORE> store_;
    _HR_ONLINE context_;
    std::vector<Points> characters_;
};

TEST(HROnlineCostTable, IsTheSquaredDifferenceAroundTheMiddle) {
    std::vector<HR_UINT16> table(HR_ONLINE_COST_TABLE_SIZE);
    HROnline_BuildCostTable(table.data());
    for (int i = 0; i < HR_ONLINE_COST_TABLE_SIZE; ++i)
        EXPECT_EQ(table[i], (i - HR_ONLINE_COST_OFFSET) * (i - HR_ONLINE_COST_OFFSET)) << i;
    EXPECT_EQ(sizeof(_HR_ONLINE_STORE), 133128u);  // hosts allocate the store themselves
}

// Against a brute-force search over the stored features, with queries that
// are stored samples and jittered copies of them.
TEST_F(HROnlineTest, TheNearestSampleWinsWithItsSquaredDistance) {
    for (size_t i = 0; i < characters_.size(); ++i) ASSERT_EQ(Add(0x4E00 + i, characters_[i]), 1);
    EXPECT_EQ(store_->count, 6);
    std::mt19937 rng(8);
    int jittered = 0;
    for (int trial = 0; trial < 36; ++trial) {
        const Points &stored = characters_[trial % characters_.size()];
        const Points query = trial < 6 ? stored : Jittered(stored, rng);
        const std::vector<HR_INT16> q = FeatureOf(query);
        int best = HR_ONLINE_NO_MATCH;
        HR_UINT16 bestCode = 0;
        for (int s = 0; s < store_->count; ++s) {
            int sum = 0;
            for (int d = 0; d < HR_ONLINE_DIM; ++d)
                sum += (store_->features[s][d] - q[d]) * (store_->features[s][d] - q[d]);
            if (sum < best) best = sum, bestCode = store_->codes[s];
        }
        SCOPED_TRACE(trial);
        HR_UINT16 code = 0, distance = 0;
        ASSERT_EQ(Recognize(query, &code, &distance), bestCode != 0);
        if (bestCode == 0) continue;
        EXPECT_EQ(code, bestCode);
        EXPECT_EQ(distance, best);
        if (trial < 6) {
            EXPECT_EQ(distance, 0);
        }
        jittered += code != 0x4E00 + trial % 6 || distance > 0;
    }
    EXPECT_GT(jittered, 20);  // the jittered queries were not simply the stored samples
}

TEST_F(HROnlineTest, FirstStoredSampleWinsATie) {
    ASSERT_EQ(Add(0x12345, characters_[1]), 1);  // code keeps its low 16 bits
    ASSERT_EQ(Add(0x4E01, characters_[1]), 1);
    std::mt19937 rng(3);
    HR_UINT16 code = 0, distance = 0;
    ASSERT_EQ(Recognize(Jittered(characters_[1], rng), &code, &distance), 1);
    EXPECT_EQ(code, 0x2345);
    EXPECT_GT(distance, 0);  // the tie is decided at the last dimension, not by an early stop
}

TEST_F(HROnlineTest, EmptyStoreCodeZeroOrNothingBelowTheLimitGivesNoResult) {
    HR_UINT16 code = 7, distance = 7;
    EXPECT_EQ(Recognize(characters_[0], &code, &distance), 0);
    ASSERT_EQ(Add(0, characters_[0]), 1);
    ASSERT_EQ(Add(0x4E01, characters_[3]), 1);
    EXPECT_EQ(Recognize(characters_[0], &code, &distance), 0);  // code 0 is nearest
    EXPECT_EQ(code, 7);

    // Every dimension costs 1000: 64000 is not below 60000.
    std::vector<HR_UINT16> flat(HR_ONLINE_COST_TABLE_SIZE, 1000);
    context_.costTable = flat.data();
    EXPECT_EQ(Recognize(characters_[3], &code, &distance), 0);
    EXPECT_EQ(distance, 7);
}

TEST_F(HROnlineTest, FullOrDamagedStoresAreNeitherOverrunNorChanged) {
    for (int i = 0; i < HR_ONLINE_CAPACITY; ++i) ASSERT_EQ(Add(1 + i, characters_[i % 6]), 1) << i;
    auto before = std::make_unique<_HR_ONLINE_STORE>(*store_);
    EXPECT_EQ(Add(0x4E00, characters_[0]), 0);
    EXPECT_EQ(std::memcmp(before.get(), store_.get(), sizeof(_HR_ONLINE_STORE)), 0);
    store_->capacity = 5000;  // the arrays still hold only HR_ONLINE_CAPACITY
    EXPECT_EQ(Add(0x4E01, characters_[1]), 0);

    EXPECT_EQ(HROnline_Initialize(&context_, matrix_.data(), table_.data(), store_.get()), 1);
    EXPECT_EQ(store_->capacity, HR_ONLINE_CAPACITY);
    ASSERT_EQ(Add(0x4E00, characters_[0]), 1);
    store_->capacity = 1;  // a host may hold fewer samples
    EXPECT_EQ(Add(0x4E01, characters_[1]), 0);
    store_->count = 5000;  // beyond the arrays: only stored samples are read
    HR_UINT16 code = 0;
    EXPECT_EQ(Recognize(characters_[0], &code, nullptr), 1);  // the distance output is optional
    EXPECT_EQ(code, 0x4E00);
    EXPECT_EQ(Add(0x4E01, characters_[1]), 0);
    store_->count = -1;
    EXPECT_EQ(Recognize(characters_[0], &code, nullptr), 0);
    EXPECT_EQ(Add(0x4E01, characters_[1]), 0);
}

}  // namespace
