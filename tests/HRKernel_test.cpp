// SPDX-License-Identifier: MIT
#include "penrune/HRKernel.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "ArchIsas.h"
#include "ModelImage.h"
#include "arch/HARecoKernels.h"

namespace {

using penrune::test::BuildModelImage;
using penrune::test::ModelLayout;
using penrune::test::ModelVector;
using penrune::test::RandomCharacter;
using penrune::test::SelectorMatrix;

constexpr HR_UINT16 kEmptyCode = HR_RECO_EMPTY_CODE;
constexpr HR_UINT16 kEmptyDistance = HR_RECO_EMPTY_DISTANCE;

// `value` in dimension 0, 0 elsewhere: its squared distance to the zero query is value^2.
ModelVector Axis(int value) {
    ModelVector v{};
    v[0] = static_cast<int8_t>(value);
    return v;
}

// A recognizer over the image of a layout, kept alive with it.
struct Recognizer {
    explicit Recognizer(const ModelLayout &layout) : image(BuildModelImage(layout)) {
        const HR_UINT8 *data = image.data();
        reco = HRReco_Initialize(block, sizeof(block), &data);
    }
    _HR_RECO *operator->() { return reco; }

    // Searches for the projected query y (selector-matrix models only) with n candidates.
    std::vector<HR_UINT16> Match(const ModelVector &y, int n) {
        penrune::test::SelectorFeature(y, reco->feature);
        reco->candCount = static_cast<HR_INT16>(n);
        std::vector<HR_UINT16> codes(n, 0xABCD);
        HRReco_MatchProcess(reco, codes.data());
        return codes;
    }
    std::vector<HR_UINT16> Distances() const {
        return std::vector<HR_UINT16>(reco->distances, reco->distances + reco->candCount);
    }

    std::vector<uint8_t> image;
    alignas(8) unsigned char block[HR_RECO_INSTANCE_SIZE];
    _HR_RECO *reco;
};

uint32_t HeaderWord(const HR_UINT8 *image, int k) {
    uint32_t v;
    std::memcpy(&v, image + 4 * k, 4);
    return v;
}

void SetU32(std::vector<uint8_t> &image, size_t at, uint32_t v) { std::memcpy(image.data() + at, &v, 4); }

TEST(HRRecoInstance, RefusesUnusableBlocksWithoutTouchingThem) {
    EXPECT_EQ(HRReco_GetInstanceSize(), 3024u);
    alignas(8) unsigned char block[HR_RECO_INSTANCE_SIZE + 8];
    std::memset(block, 0xAB, sizeof(block));
    EXPECT_EQ(HRReco_Initialize(block, HR_RECO_INSTANCE_SIZE - 1, nullptr), nullptr);
    EXPECT_EQ(HRReco_Initialize(block + 1, HR_RECO_INSTANCE_SIZE, nullptr), nullptr);
    EXPECT_EQ(HRReco_Initialize(nullptr, HR_RECO_INSTANCE_SIZE, nullptr), nullptr);
    EXPECT_TRUE(std::all_of(block, block + sizeof(block), [](unsigned char b) { return b == 0xAB; }));
}

TEST(HRRecoCalls, WantedZeroWritesNothingAndAbove127KeepsThePreviousCount) {
    Recognizer r(penrune::test::RandomModelLayout(5, {40, 80, 12, 160}));
    std::mt19937 rng(3);
    auto call = [&](HR_UINT16 wanted, HR_UINT16 *codes, HR_UINT16 *distances) {
        std::vector<_HR_POINT16> points = RandomCharacter(rng, 3, 12);  // converted in place
        return HRReco_RecognizeShort(r.reco, points.data(), points.size(), wanted, codes, distances);
    };
    std::vector<HR_UINT16> codes(200, 0xABCD), distances(200, 0xABCD);
    auto untouched = [&] {
        return std::count(codes.begin(), codes.end(), 0xABCD) + std::count(distances.begin(), distances.end(), 0xABCD);
    };
    EXPECT_EQ(call(0, codes.data(), distances.data()), 0);
    EXPECT_EQ(call(200, codes.data(), nullptr), 0);  // count stays 0
    EXPECT_EQ(untouched(), 400);
    EXPECT_EQ(call(3, codes.data(), nullptr), 3);
    EXPECT_EQ(call(128, codes.data(), distances.data()), 3);  // only 3 codes and distances copied out
    EXPECT_EQ(untouched(), 394);
    EXPECT_EQ(std::vector<HR_UINT16>(distances.begin(), distances.begin() + 3), r.Distances());
}

// The early-stopping distance is also the reference of the equivalence tests below.
TEST(HRRecoDistance, StopsOnceTheSumExceedsTheLimitAndCostsTheTrueSquare) {
    const HR_INT16 q[4] = {128, 128, 131, 138};
    const HR_INT8 p[4] = {0, 0, 1, 0};  // terms 0, 0, 4, 100
    // At limit 0 the first non-zero partial sum is returned; lengths <= 0 sum nothing.
    const struct {
        int length;
        HR_UINT32 limit, expected;
    } cases[] = {{4, 1000, 104}, {4, 4, 104}, {4, 3, 4}, {4, 0, 4}, {2, 0, 0}, {-3, 0, 0}};
    for (const auto &c : cases)
        EXPECT_EQ(HRReco_CountDistanceShortCutByMax(q, p, c.length, c.limit), c.expected) << c.length << " " << c.limit;
    // Every query value against the edges of the prototype range, differences
    // beyond a lookup table included.
    for (HR_INT16 a = 0; a < 256; ++a)
        for (HR_INT8 b : std::vector<HR_INT8>{-128, -127, -1, 0, 1, 126, 127})
            ASSERT_EQ(HRReco_CountDistanceShortCutByMax(&a, &b, 1, ~0u),
                      static_cast<HR_UINT32>((a - 128 - b) * (a - 128 - b)))
                << a << " " << int(b);
}

// Every version of the row-distance kernel over extreme values, repeated unordered rows and
// every tail length of a group of four.
TEST(HRRecoDistance, KernelsMatchTheSumOfSquares) {
    std::mt19937 rng(31);
    auto extreme = [&](int low, int high) {
        return rng() % 4 == 0 ? (rng() % 2 ? high : low) : low + int(rng() % (high - low + 1));
    };
    constexpr int kRows = 40;
    std::vector<HR_INT8> rows(kRows * 64);
    for (HR_INT8 &v : rows) v = static_cast<HR_INT8>(extreme(-128, 127));
    std::vector<penrune::HARowDistancesFn> kernels;
    for (penrune::HAIsa isa : penrune::test::AvailableIsas())
        kernels.push_back(penrune::HA_RecoKernelsFor(isa).rowDistances);
    for (int trial = 0; trial < 60; ++trial) {
        HR_INT16 q[64];
        alignas(32) HR_INT16 y[64];
        for (int d = 0; d < 64; ++d)
            q[d] = static_cast<HR_INT16>(extreme(0, 255)), y[d] = static_cast<HR_INT16>(q[d] - 128);
        const int count = trial % 14;
        std::vector<HR_UINT16> index(count);
        for (HR_UINT16 &i : index) i = static_cast<HR_UINT16>(rng() % kRows);
        for (penrune::HARowDistancesFn kernel : kernels) {
            std::vector<HR_UINT32> out(count + 1, 0xDEADBEEF);
            kernel(y, rows.data(), index.data(), count, out.data());
            for (int k = 0; k < count; ++k)
                ASSERT_EQ(out[k], HRReco_CountDistanceShortCutByMax(q, &rows[index[k] * 64], 64, 0xFFFFFFFF)) << trial;
            EXPECT_EQ(out[count], 0xDEADBEEF);  // nothing written past the count
        }
    }
}

// ---------------------------------------------------------------------------
// The search and the nearest prototype against literal statements of their
// rules, built from the model description (not the image).

struct ReferenceResult {
    std::vector<HR_UINT16> codes, distances, prototypes, kept;
};

// Keeps the n nearest centres: ties go behind earlier entries.
std::vector<HR_UINT16> ReferenceCoarse(const ModelLayout &layout, const HR_INT16 *q, int n) {
    std::vector<HR_UINT16> distance(n, kEmptyDistance), kept(n, 0);
    for (size_t c = 0; c < layout.centres.size(); ++c) {
        const HR_UINT32 d = HRReco_CountDistanceShortCutByMax(q, layout.centres[c].data(), 64, distance[n - 1]);
        if (d >= distance[n - 1]) continue;
        int j = 0;
        while (distance[j] <= d) ++j;
        distance.insert(distance.begin() + j, static_cast<HR_UINT16>(d)), distance.pop_back();
        kept.insert(kept.begin() + j, static_cast<HR_UINT16>(c)), kept.pop_back();
    }
    kept.resize(std::find(distance.begin(), distance.end(), kEmptyDistance) - distance.begin());
    return kept;
}

// The charset settings of a query: the mask, and the distance that the
// prototypes of the penalty charset pay.
struct Charsets {
    HR_UINT16 mask;
    HR_UINT16 penaltyCharset;
    HR_UINT16 penalty;
};

// Each code once with its best distance: a nearer prototype of a listed code
// moves it up, a farther one is dropped; an unlisted code pushes out the last.
// A penalised prototype counts at its distance plus the penalty.
ReferenceResult ReferenceMatch(const ModelLayout &layout, const HR_INT16 *q, int n, const Charsets &charsets) {
    ReferenceResult r{std::vector<HR_UINT16>(n, kEmptyCode), std::vector<HR_UINT16>(n, kEmptyDistance),
                      std::vector<HR_UINT16>(n, kEmptyCode), ReferenceCoarse(layout, q, n)};
    for (HR_UINT16 c : r.kept) {
        for (HR_UINT16 f : layout.members[c]) {
            const penrune::test::ModelPrototype &p = layout.prototypes[f];
            if ((p.charset & charsets.mask) == 0) continue;
            HR_UINT32 d = HRReco_CountDistanceShortCutByMax(q, p.values.data(), 64, r.distances[n - 1]);
            if (d < r.distances[n - 1] && (p.charset & charsets.penaltyCharset) != 0) d += charsets.penalty;
            if (d >= r.distances[n - 1] || p.code == 0) continue;
            int i = 0;
            while (r.distances[i] <= d) ++i;
            const int m = std::min<int>(std::find(r.codes.begin(), r.codes.end(), p.code) - r.codes.begin(), n - 1);
            if (m < i) continue;
            for (std::vector<HR_UINT16> *list : {&r.distances, &r.codes, &r.prototypes}) list->erase(list->begin() + m);
            r.distances.insert(r.distances.begin() + i, static_cast<HR_UINT16>(d));
            r.codes.insert(r.codes.begin() + i, p.code);
            r.prototypes.insert(r.prototypes.begin() + i, f);
        }
    }
    return r;
}

// The first of the nearest listed prototypes, indices outside the model
// passed over; a single index is returned unexamined.
int ReferenceNearest(const ModelLayout &layout, const HR_INT16 *q, const std::vector<HR_UINT16> &indices) {
    if (indices.size() == 1) return indices[0];
    int nearest = -1;
    HR_UINT32 best = kEmptyDistance;
    for (HR_UINT16 f : indices) {
        const HR_UINT32 d = f < layout.prototypes.size()
                                ? HRReco_CountDistanceShortCutByMax(q, layout.prototypes[f].values.data(), 64, ~0u)
                                : best;
        if (d < best) best = d, nearest = f;
    }
    return nearest;
}

ModelVector RandomVector(std::mt19937 &rng, int range) {
    std::uniform_int_distribution<int> value(-range, range);
    ModelVector v;
    for (int8_t &x : v) x = static_cast<int8_t>(std::clamp(value(rng), -128, 127));
    return v;
}

// Small value ranges give many equal distances; prototypes are shared
// between centres and characters have several prototypes. A large model has
// more centres than a search batch and member lists longer than one.
ModelLayout RandomSmallModel(std::mt19937 &rng, int range, bool realMatrix, bool large = false) {
    ModelLayout layout;
    layout.matrix = realMatrix ? penrune::test::RandomMatrix(rng()) : SelectorMatrix();
    const int p = large ? 700 : 1 + rng() % 120, t = large ? 300 : rng() % 31;
    // The larger models' charsets: GB2312 level 2 (0x0010) and Big5 level 1
    // outside GB2312 (0x0020).
    const uint16_t charsets[] = {0x0001, 0x0002, 0x000C, 0x0008, 0x0000, 0x0010, 0x0020};
    uint16_t code = 0;
    for (int f = 0; f < p; ++f) {
        if (f == 0 || rng() % 3 == 0) code = static_cast<uint16_t>(code + 1 + rng() % 2);
        layout.prototypes.push_back(
            {static_cast<uint16_t>(rng() % 10 == 0 ? 0 : code), charsets[rng() % 7], RandomVector(rng, range)});
    }
    for (int c = 0; c < t; ++c) {
        layout.centres.push_back(RandomVector(rng, range));
        layout.members.emplace_back();
        for (int f = 0; f < p; ++f)
            if (rng() % (large ? 2 : 4) == 0) layout.members.back().push_back(static_cast<uint16_t>(f));
    }
    return layout;
}

TEST(HRRecoEquivalence, SearchAndNearestMatchTheLiteralRules) {
    std::mt19937 rng(20240601);
    const HR_UINT16 masks[] = {0x7FFF, 0x0001, 0x000C, 0x0008, 0x0003, 0x001C};
    // No penalty, one that only breaks ties, one of the order of the small
    // models' distances and one that keeps the penalised charsets out of
    // most lists.
    const HR_UINT16 penalties[] = {0, 1, 40, 3000};
    int filled = 0;
    for (int model = 0; model < 90 && !HasFailure(); ++model) {
        const bool large = model % 15 == 2;
        const int range = large ? 6 : model % 3 == 0 ? 127 : 2 + model % 7;
        const bool realMatrix = model % 4 == 0;  // full recognition of pen input
        ModelLayout layout = RandomSmallModel(rng, range, realMatrix, large);
        if (model % 30 == 1) layout.centres.clear(), layout.members.clear();  // only fillers are found
        Recognizer r(layout);
        for (int query = 0; query < 20 && !HasFailure(); ++query) {
            const int n = 1 + rng() % 24;
            const Charsets charsets = {masks[rng() % 6], static_cast<HR_UINT16>(rng() % 2 ? 0x0030 : 0x0010),
                                       penalties[rng() % 4]};
            r->charsetMask = charsets.mask;
            r->penaltyCharset = charsets.penaltyCharset;
            r->charsetPenalty = charsets.penalty;
            std::vector<HR_UINT16> codes(n);
            if (realMatrix) {
                std::vector<_HR_POINT16> points = RandomCharacter(rng, 1 + rng() % 12, 5 + rng() % 30);
                ASSERT_EQ(HRReco_RecognizeShort(r.reco, points.data(), points.size(), n, codes.data(), nullptr), n);
            } else {
                // A large model is queried on its prototypes, which then lead their lists.
                codes = r.Match(large ? layout.prototypes[rng() % 700].values : RandomVector(rng, range), n);
            }
            SCOPED_TRACE(testing::Message() << "model " << model << " query " << query);
            const ReferenceResult expected = ReferenceMatch(layout, r->compressed, n, charsets);
            EXPECT_EQ(codes, expected.codes);
            EXPECT_EQ(r.Distances(), expected.distances);
            EXPECT_EQ(std::vector<HR_UINT16>(r->candPrototypes, r->candPrototypes + n), expected.prototypes);
            EXPECT_EQ(std::vector<HR_UINT16>(r->keptCentres, r->keptCentres + expected.kept.size()), expected.kept);
            filled += std::count(codes.begin(), codes.end(), kEmptyCode) < n;
            // The nearest prototype for the same query, over index lists within one
            // batch and across several, with entries beyond the model.
            std::vector<HR_UINT16> indices(query < 3 ? query : rng() % 700);
            for (HR_UINT16 &f : indices) f = static_cast<HR_UINT16>(rng() % (layout.prototypes.size() + 3));
            EXPECT_EQ(HRReco_GetNearestModelIndex(r.reco, r->compressed, indices.size(), indices.data()),
                      ReferenceNearest(layout, r->compressed, indices));
        }
    }
    EXPECT_GT(filled, 600);  // most queries found characters: the rules were exercised
}

// A small image and damaged copies of it. Each check reads a heap copy of
// exactly the size given, so that the address sanitizer catches a read past it.
TEST(HRRecoCheck, AcceptsWellFormedImagesAndRejectsTruncatedOrDamagedOnes) {
    ModelLayout layout;
    for (int i = 0; i < 5; ++i) layout.prototypes.push_back({static_cast<uint16_t>(0x4E00 + i), 0x0C, Axis(i)});
    layout.centres = {Axis(1), Axis(2), Axis(3)};
    layout.members = {{0, 1}, {}, {2, 3, 4}};
    const std::vector<uint8_t> image = BuildModelImage(layout);
    auto check = [](const std::vector<uint8_t> &bytes, size_t size = SIZE_MAX) {
        std::vector<uint8_t> copy(bytes.begin(), bytes.begin() + std::min(size, bytes.size()));
        return HRReco_CheckModel(copy.empty() ? nullptr : copy.data(), static_cast<HR_UINT32>(copy.size()));
    };
    const uint32_t tree = HeaderWord(image.data(), 1), offsets = tree + 2 + 3 * 64, members = offsets + 4 * 4;
    std::vector<uint8_t> longer = image;
    longer.resize(longer.size() + 7);
    EXPECT_EQ(check(image), 1);
    EXPECT_EQ(check(longer), 1);
    EXPECT_EQ(check(BuildModelImage(ModelLayout())), 1);  // no prototypes, no centres
    EXPECT_EQ(HRReco_CheckModel(nullptr, 100), 0);
    for (size_t size :
         {size_t{0}, size_t{31}, size_t{32}, size_t{39}, size_t{40}, size_t{tree - 1}, size_t{tree}, size_t{tree + 1},
          size_t{offsets + 15}, size_t{members + 9}, size_t{HeaderWord(image.data(), 2)}, image.size() - 1})
        EXPECT_EQ(check(image, size), 0) << size;

    const struct {
        size_t at;
        uint32_t value;
        int width;
        const char *what;
    } changes[] = {
        {0, 33, 4, "section 1 not at 32"},
        {4, tree + 64, 4, "section 1 size"},
        {8, HeaderWord(image.data(), 2) + 2, 4, "section 2 size"},
        {28, HeaderWord(image.data(), 7) - 1, 4, "repeated end word"},
        {36, 1023, 2, "Din"},
        {38, 32, 2, "Dout"},
        {32, 6, 2, "P no longer matches section 1"},
        {32, 0xFFFF, 2, "largest P in a short image"},
        {tree, 0xFFFF, 2, "largest T in a short image"},
        {offsets, 1, 4, "first offset not 0"},
        {offsets + 4, 3, 4, "offsets 0 3 2 5 decrease"},
        {members + 2 * 4, 5, 2, "member index equal to P"},
    };
    for (const auto &change : changes) {
        std::vector<uint8_t> bad = image;
        std::memcpy(bad.data() + change.at, &change.value, change.width);  // little-endian
        EXPECT_EQ(check(bad), 0) << change.what;
    }
    // A huge member count M with header words made to agree modulo 2^32.
    std::vector<uint8_t> bad = image;
    const uint32_t hugeM = 0x80000000u + 5;
    const uint32_t word2 = tree + 68 * 3 + 2 * hugeM + 6;  // wraps
    SetU32(bad, offsets + 12, hugeM);
    SetU32(bad, 8, word2);
    SetU32(bad, 12, word2 + 10);
    for (int k = 4; k < 8; ++k) SetU32(bad, 4 * k, word2 + 20);
    EXPECT_EQ(check(bad), 0);
}

// The handle laid over the test's own images, with a guarded output buffer.
// A zero matrix projects every character to the zero query, so each
// character's distance is its prototype's squared length: U+4E2D 1225,
// U+7533 1444, then 18 more characters.
TEST(HRHan, WritesWholeCandidatesWithinCapacityAndUsesAtMost128PointsOfACopy) {
    _HR_RECO *handle = HRHan_New();
    ASSERT_NE(handle, nullptr);
    auto recognize = [&](const std::vector<HR_INT16> &pairs, int length, int wanted, int capacity) {
        std::vector<char> buffer(300, '#');
        const int n = HRHan_Recognize(handle, pairs.data(), static_cast<HR_INT16>(length), wanted, buffer.data(),
                                      static_cast<HR_INT16>(capacity));
        EXPECT_TRUE(std::all_of(buffer.begin() + capacity, buffer.end(), [](char c) { return c == '#'; }));
        EXPECT_TRUE(capacity == 0 || buffer[n] == '\0');
        return std::string(buffer.data(), n);
    };
    std::mt19937 rng(11);
    auto pairsOf = [](const std::vector<_HR_POINT16> &points) {
        const HR_INT16 *values = reinterpret_cast<const HR_INT16 *>(points.data());
        return std::vector<HR_INT16>(values, values + points.size() * 2);
    };
    const std::vector<HR_INT16> few = pairsOf(RandomCharacter(rng, 2, 10));
    const std::vector<_HR_POINT16> points = RandomCharacter(rng, 10, 15);  // 161 points
    const std::vector<HR_INT16> pairs = pairsOf(points);

    ModelLayout layout;
    layout.prototypes = {{0x4E2D, 0x0C, Axis(35)}, {0x7533, 0x0C, Axis(38)}};
    for (int i = 0; i < 18; ++i) layout.prototypes.push_back({static_cast<uint16_t>(0x8000 + i), 0x0C, Axis(40 + i)});
    layout.centres = {ModelVector{}};
    layout.members = {{}};
    for (uint16_t f = 0; f < layout.prototypes.size(); ++f) layout.members[0].push_back(f);
    const std::vector<uint8_t> image = BuildModelImage(layout);
    const HR_UINT8 *data = image.data();
    ASSERT_EQ(HRReco_Initialize(handle, HR_RECO_INSTANCE_SIZE, &data), handle);
    const std::string first = "\xE4\xB8\xAD 1225", both = first + " \xE7\x94\xB3 1444";  // 8 and 17 bytes
    const struct {
        int wanted, capacity;
        std::string expected;
    } cases[] = {{2, 200, both}, {2, 18, both}, {2, 17, first}, {2, 9, first}, {1, 200, first},
                 {2, 8, ""},     {2, 1, ""},    {2, 0, ""},     {0, 50, ""}};
    for (const auto &c : cases)
        EXPECT_EQ(recognize(few, few.size(), c.wanted, c.capacity), c.expected) << c.wanted << " " << c.capacity;
    const std::string sixteen = recognize(few, few.size(), 40, 200);
    EXPECT_EQ(std::count(sixteen.begin(), sixteen.end(), ' '), 31);
    EXPECT_EQ(sixteen.substr(sixteen.size() - 4), "2809");  // 16th: 53^2

    // The features must be those of the first 128 points (or of the whole
    // points within a short length), from a copy: the caller's stay unchanged.
    Recognizer reference(penrune::test::RandomModelLayout(9, {20, 40, 6, 80}));
    data = reference.image.data();
    ASSERT_EQ(HRReco_Initialize(handle, HR_RECO_INSTANCE_SIZE, &data), handle);
    auto featureOf = [&](std::vector<HR_INT16> copy, int count) {
        HR_UINT16 codes[4];
        HRReco_RecognizeShort(reference.reco, reinterpret_cast<_HR_POINT16 *>(copy.data()), count, 4, codes, nullptr);
        return std::vector<HR_INT16>(reference->feature, reference->feature + 1024);
    };
    recognize(pairs, 300, 4, 200);
    EXPECT_EQ(std::vector<HR_INT16>(handle->feature, handle->feature + 1024), featureOf(pairs, 128));
    EXPECT_NE(featureOf(pairs, 128), featureOf(pairs, 150));
    recognize(pairs, 7, 4, 200);  // 3 whole points
    EXPECT_EQ(std::vector<HR_INT16>(handle->feature, handle->feature + 1024), featureOf(pairs, 3));
    EXPECT_EQ(pairsOf(points), pairs);
    HRHan_Free(handle);
}

}  // namespace
