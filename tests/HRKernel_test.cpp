#include "HRKernel.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "HRData.h"
#include "HRFeature.h"
#include "ModelImage.h"
#include "feature/HRSimd.h"

namespace {

using penrune::test::BuildModelImage;
using penrune::test::ModelPrototype;
using penrune::test::ModelLayout;
using penrune::test::ModelVector;
using penrune::test::RandomCharacter;
using penrune::test::SelectorFeature;
using penrune::test::SelectorMatrix;

constexpr HR_UINT16 kEmptyCode = HR_RECO_EMPTY_CODE;
constexpr HR_UINT16 kEmptyDistance = HR_RECO_EMPTY_DISTANCE;

ModelVector Filled(int value) {
    ModelVector v;
    v.fill(static_cast<int8_t>(value));
    return v;
}

// A vector that is `value` in dimension 0 and 0 elsewhere: its squared
// distance to the zero query is value^2.
ModelVector Axis(int value, int dimension = 0) {
    ModelVector v{};
    v[dimension] = static_cast<int8_t>(value);
    return v;
}

// A recognizer over an image kept alive with it.
class Recognizer {
public:
    explicit Recognizer(std::vector<uint8_t> image) : image_(std::move(image)) {
        const HR_UINT8 *data = image_.data();
        reco_ = HRReco_Initialize(block_, sizeof(block_), &data);
    }
    explicit Recognizer(const ModelLayout &layout) : Recognizer(BuildModelImage(layout)) {}

    _HR_RECO *get() { return reco_; }
    _HR_RECO *operator->() { return reco_; }
    const std::vector<uint8_t> &image() const { return image_; }

    // Runs the search for the projected query y (the model must use the
    // selector matrix) with n candidates; returns the n codes.
    std::vector<HR_UINT16> Match(const ModelVector &y, int n) {
        SelectorFeature(y, reco_->feature);
        reco_->candCount = static_cast<HR_INT16>(n);
        std::vector<HR_UINT16> codes(n, 0xABCD);
        HRReco_MatchProcess(reco_, codes.data());
        return codes;
    }
    std::vector<HR_UINT16> Distances() const {
        return std::vector<HR_UINT16>(reco_->distances, reco_->distances + reco_->candCount);
    }

private:
    std::vector<uint8_t> image_;
    alignas(8) unsigned char block_[HR_RECO_INSTANCE_SIZE];
    _HR_RECO *reco_;
};

ModelLayout SelectorLayout() {
    ModelLayout layout;
    layout.matrix = SelectorMatrix();
    return layout;
}

uint32_t HeaderWord(const std::vector<uint8_t> &image, int k) {
    uint32_t v;
    std::memcpy(&v, image.data() + 4 * k, 4);
    return v;
}

void SetU32(std::vector<uint8_t> &image, size_t at, uint32_t v) { std::memcpy(image.data() + at, &v, 4); }
void SetU16(std::vector<uint8_t> &image, size_t at, uint16_t v) { std::memcpy(image.data() + at, &v, 2); }

// ---------------------------------------------------------------------------
// Instance and image reading

TEST(HRRecoInstance, InitializeRefusesUnusableBlocksWithoutTouchingThem) {
    EXPECT_EQ(HRReco_GetInstanceSize(), 3024u);
    alignas(8) unsigned char block[HR_RECO_INSTANCE_SIZE + 8];
    std::memset(block, 0xAB, sizeof(block));
    EXPECT_EQ(HRReco_Initialize(block, HR_RECO_INSTANCE_SIZE - 1, nullptr), nullptr);
    EXPECT_EQ(HRReco_Initialize(block + 1, HR_RECO_INSTANCE_SIZE, nullptr), nullptr);
    EXPECT_EQ(HRReco_Initialize(nullptr, HR_RECO_INSTANCE_SIZE, nullptr), nullptr);
    EXPECT_TRUE(std::all_of(block, block + sizeof(block), [](unsigned char b) { return b == 0xAB; }));
}

TEST(HRRecoInstance, ReadsTheImageInPlaceWithCharsetBitsAfterTheCodes) {
    ModelLayout layout = SelectorLayout();
    layout.classSlots = 40864;
    layout.prototypes = {{0x31, 0x01, Axis(1)}, {0x4E00, 0x0C, Axis(2)}};
    layout.centres = {Filled(0), Filled(1)};
    layout.members = {{0, 1}, {1}};
    std::vector<uint8_t> image = BuildModelImage(layout);
    SetU32(image, 12, 32);  // header word 3 points elsewhere; it is not read
    Recognizer r(std::move(image));
    EXPECT_EQ(r->prototypeCount, 2);
    EXPECT_EQ(r->classCount, 40864);
    EXPECT_EQ(r->centreCount, 2);
    EXPECT_EQ(r->charsetMask, 0x7FFF);
    EXPECT_EQ(r->candCount, 10);
    EXPECT_EQ(reinterpret_cast<const HR_UINT8 *>(r->prototypes), r.image().data() + 40 + 131072);
    EXPECT_EQ(r->charsets, r->codes + 4);
    r->charsetMask = 0x0008;
    EXPECT_EQ(r.Match(Filled(0), 2), (std::vector<HR_UINT16>{0x4E00, kEmptyCode}));
}

TEST(HRRecoInstance, NullModelAndHRHanNewSelectTheEmbeddedImage) {
    alignas(8) unsigned char a[HR_RECO_INSTANCE_SIZE], b[HR_RECO_INSTANCE_SIZE];
    const HR_UINT8 *none = nullptr;
    const HR_UINT8 *embedded = HRData_GetDataPtr();
    const HR_UINT8 *codes = embedded + HeaderWord(std::vector<uint8_t>(embedded, embedded + 32), 2);
    EXPECT_EQ(HRReco_Initialize(a, sizeof(a), nullptr)->codes, codes);
    EXPECT_EQ(HRReco_Initialize(b, sizeof(b), &none)->codes, codes);
    _HR_RECO *handle = HRHan_New();
    ASSERT_NE(handle, nullptr);
    EXPECT_EQ(handle->codes, codes);
    HRHan_Free(handle);
    HRHan_Free(nullptr);
}

// ---------------------------------------------------------------------------
// Search rules, with the query chosen directly through the selector matrix.
// The query is the zero vector, so a prototype's distance is its squared
// length. Random models against the literal rules follow further down.

TEST(HRRecoSearch, ListsEachCharacterOnceWithItsBestDistanceAndHidesCodeZero) {
    ModelLayout layout = SelectorLayout();
    layout.prototypes = {{0x4E00, 0x0C, Axis(30)}, {0x4E00, 0x0C, Axis(10)}, {0x4E01, 0x0C, Axis(20)},
                         {0, 0x0C, Axis(1)}, {0x4E02, 0x00, Axis(2)}};  // code 0, no charset bit: never listed
    layout.centres = {Axis(1), Axis(2)};
    layout.members = {{0, 2, 3, 4}, {0, 1}};  // prototype 0 reachable twice, the better one only via centre 1
    Recognizer r(layout);
    EXPECT_EQ(r.Match(ModelVector{}, 3), (std::vector<HR_UINT16>{0x4E00, 0x4E01, kEmptyCode}));
    EXPECT_EQ(r.Distances(), (std::vector<HR_UINT16>{100, 400, kEmptyDistance}));
    EXPECT_EQ(std::vector<HR_UINT16>(r->candPrototypes, r->candPrototypes + 2), (std::vector<HR_UINT16>{1, 2}));
    EXPECT_EQ(std::vector<HR_UINT16>(r->keptCentres, r->keptCentres + 2), (std::vector<HR_UINT16>{0, 1}));
}

// Candidate counts of the recognition calls (real points, any model).
TEST(HRRecoCalls, WantedZeroWritesNothingAndAbove127KeepsThePreviousCount) {
    Recognizer r(penrune::test::RandomModelLayout(5, {40, 80, 12, 160}));
    std::mt19937 rng(3);
    auto call = [&](HR_UINT16 wanted, HR_UINT16 *codes, HR_UINT16 *distances) {
        std::vector<_HR_POINT16> points = RandomCharacter(rng, 3, 12);  // converted in place
        return HRReco_RecognizeShort(r.get(), points.data(), points.size(), wanted, codes, distances);
    };
    std::vector<HR_UINT16> codes(200, 0xABCD), distances(200, 0xABCD);
    EXPECT_EQ(call(0, codes.data(), distances.data()), 0);
    EXPECT_EQ(call(200, codes.data(), nullptr), 0);  // count stays 0
    EXPECT_EQ(std::count(codes.begin(), codes.end(), 0xABCD), 200);
    EXPECT_EQ(std::count(distances.begin(), distances.end(), 0xABCD), 200);

    EXPECT_EQ(call(3, codes.data(), nullptr), 3);
    // Only as many distances as there are candidates are copied out.
    EXPECT_EQ(call(128, codes.data(), distances.data()), 3);
    EXPECT_EQ(std::count(codes.begin(), codes.end(), 0xABCD), 197);
    EXPECT_EQ(std::count(distances.begin(), distances.end(), 0xABCD), 197);
    EXPECT_EQ(std::vector<HR_UINT16>(distances.begin(), distances.begin() + 3), r.Distances());
}

// ---------------------------------------------------------------------------
// Distance, sorting, nearest prototype

TEST(HRRecoDistance, StopsAsSoonAsTheSumExceedsTheLimit) {
    const HR_INT16 q[4] = {128, 128, 131, 138};
    const HR_INT8 p[4] = {0, 0, 1, 0};  // terms 0, 0, 4, 100
    // At limit 0 the first non-zero partial sum is returned; lengths <= 0 sum nothing.
    const struct { int length; HR_UINT32 limit, expected; } cases[] = {
        {4, 1000, 104}, {4, 4, 104}, {4, 3, 4}, {4, 0, 4}, {2, 0, 0}, {0, 0, 0}, {-3, 0, 0}};
    for (const auto &c : cases)
        EXPECT_EQ(HRReco_CountDistanceShortCutByMax(q, p, c.length, c.limit), c.expected) << c.length << " " << c.limit;
}

TEST(HRRecoDistance, CostIsTheTrueSquareOnAndBeyondTheTable) {
    for (int q = 0; q < 256; ++q) {
        for (int p = -128; p < 128; ++p) {
            const HR_INT16 qv = static_cast<HR_INT16>(q);
            const HR_INT8 pv = static_cast<HR_INT8>(p);
            const HR_UINT32 expected = static_cast<HR_UINT32>((q - 128 - p) * (q - 128 - p));
            ASSERT_EQ(HRReco_CountDistanceShortCutByMax(&qv, &pv, 1, 0xFFFFFFFF), expected) << q << " " << p;
        }
    }
    const HR_INT16 low = 0;
    const HR_INT8 high = 127;  // q - p = -127, below the table
    EXPECT_EQ(HRReco_CountDistanceShortCutByMax(&low, &high, 1, 0), 65025u);
}

TEST(HRRecoSort, BubbleSortIsStableAndMovesCodesAlong) {
    HR_UINT16 d[6] = {50, 20, 50, 10, 20, 60000};
    HR_UINT16 c[6] = {1, 2, 3, 4, 5, 6};
    HRReco_SortCands(d, c, 6);
    EXPECT_EQ(std::vector<HR_UINT16>(d, d + 6), (std::vector<HR_UINT16>{10, 20, 20, 50, 50, 60000}));
    EXPECT_EQ(std::vector<HR_UINT16>(c, c + 6), (std::vector<HR_UINT16>{4, 2, 5, 1, 3, 6}));
    HR_UINT16 one[1] = {9}, oneCode[1] = {7};
    HRReco_SortCands(one, oneCode, 1);
    HRReco_SortCands(d, c, 0);
    EXPECT_EQ(one[0], 9);
}

TEST(HRRecoNearest, PicksTheFirstOfTheNearestListedPrototypes) {
    ModelLayout layout = SelectorLayout();
    layout.prototypes = {{0x4E00, 0x0C, Axis(5)}, {0x4E00, 0x0C, Axis(-3)}, {0x4E00, 0x0C, Axis(3)},
                       {0x4E00, 0x0C, Filled(31)}};
    Recognizer r(layout);
    HR_INT16 q[64];
    std::fill(q, q + 64, 128);
    const HR_UINT16 all[] = {0, 2, 1, 3};
    EXPECT_EQ(HRReco_GetNearestModelIndex(r.get(), q, 4, all), 2);
    const HR_UINT16 invalid[] = {999, 0};
    EXPECT_EQ(HRReco_GetNearestModelIndex(r.get(), q, 2, invalid), 0);
    EXPECT_EQ(HRReco_GetNearestModelIndex(r.get(), q, 1, invalid), 999);  // unexamined
    const HR_UINT16 far[] = {3, 3};
    EXPECT_EQ(HRReco_GetNearestModelIndex(r.get(), q, 2, far), -1);
    EXPECT_EQ(HRReco_GetNearestModelIndex(r.get(), q, 0, all), -1);
}

// The vector distance kernels (both versions) against the early-stopping
// distance without a limit, over extreme values, repeated and unordered row
// indices and every tail length of a group of four.
TEST(HRRecoDistance, KernelsMatchTheSumOfSquares) {
    std::mt19937 rng(31);
    std::uniform_int_distribution<int> byte(-128, 127), query(0, 255);
    constexpr int kRows = 40;
    std::vector<HR_INT8> rows(kRows * 64);
    for (HR_INT8 &v : rows) v = static_cast<HR_INT8>(rng() % 4 == 0 ? (rng() % 2 ? 127 : -128) : byte(rng));
    std::vector<penrune::HRRowDistancesFn> kernels = {penrune::HRSimd_RowDistancesBaseline};
    if (penrune::HRSimd_HasAvx2()) kernels.push_back(penrune::HRSimd_RowDistancesAvx2);
    for (int trial = 0; trial < 200; ++trial) {
        HR_INT16 q[64];
        for (HR_INT16 &v : q) v = static_cast<HR_INT16>(rng() % 4 == 0 ? (rng() % 2 ? 255 : 0) : query(rng));
        alignas(32) HR_INT16 y[64];
        for (int d = 0; d < 64; ++d) y[d] = static_cast<HR_INT16>(q[d] - 128);
        const int count = trial % 14;
        std::vector<HR_UINT16> index(count);
        for (HR_UINT16 &i : index) i = static_cast<HR_UINT16>(rng() % kRows);
        for (penrune::HRRowDistancesFn kernel : kernels) {
            std::vector<HR_UINT32> out(count + 1, 0xDEADBEEF);
            kernel(y, rows.data(), index.data(), count, out.data());
            for (int k = 0; k < count; ++k)
                ASSERT_EQ(out[k], HRReco_CountDistanceShortCutByMax(q, &rows[index[k] * 64], 64, 0xFFFFFFFF))
                    << "trial " << trial << " row " << k;
            EXPECT_EQ(out[count], 0xDEADBEEF);  // nothing written past the count
        }
    }
}

// ---------------------------------------------------------------------------
// The search against a literal, unoptimised statement of its rules, built
// from the model description (not the image) with the early-stopping
// distance, over many random models and queries.

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

// Each code once with its best distance: a nearer prototype of a listed code
// moves it up, a farther one is dropped; an unlisted code pushes out the last.
ReferenceResult ReferenceMatch(const ModelLayout &layout, const HR_INT16 *q, int n, HR_UINT16 mask) {
    ReferenceResult r{std::vector<HR_UINT16>(n, kEmptyCode), std::vector<HR_UINT16>(n, kEmptyDistance),
                      std::vector<HR_UINT16>(n, kEmptyCode), ReferenceCoarse(layout, q, n)};
    for (HR_UINT16 c : r.kept) {
        for (HR_UINT16 f : layout.members[c]) {
            const ModelPrototype &p = layout.prototypes[f];
            if ((p.charset & mask) == 0) continue;
            const HR_UINT32 d = HRReco_CountDistanceShortCutByMax(q, p.values.data(), 64, r.distances[n - 1]);
            if (d >= r.distances[n - 1] || p.code == 0) continue;
            int i = 0;
            while (r.distances[i] <= d) ++i;
            int m = std::find(r.codes.begin(), r.codes.end(), p.code) - r.codes.begin();
            if (m == n) m = n - 1;
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
        if (f >= layout.prototypes.size()) continue;
        const HR_UINT32 d = HRReco_CountDistanceShortCutByMax(q, layout.prototypes[f].values.data(), 64, ~0u);
        if (d < best) best = d, nearest = f;
    }
    return nearest;
}

// Components drawn from [-range, range], kept within a byte.
ModelVector RandomVector(std::mt19937 &rng, int range) {
    std::uniform_int_distribution<int> value(-range, range);
    ModelVector v;
    for (int8_t &x : v) x = static_cast<int8_t>(std::clamp(value(rng), -128, 127));
    return v;
}

// A random model whose values come from [-range, range]: small ranges give
// many equal distances, prototypes shared between centres and characters
// with several prototypes.
ModelLayout RandomSmallModel(std::mt19937 &rng, int range, bool realMatrix) {
    ModelLayout layout;
    layout.matrix = realMatrix ? penrune::test::RandomMatrix(rng()) : SelectorMatrix();
    auto vector = [&] { return RandomVector(rng, range); };
    const int p = std::uniform_int_distribution<int>(1, 120)(rng);
    const int t = std::uniform_int_distribution<int>(0, 30)(rng);
    const uint16_t charsets[] = {0x0001, 0x0002, 0x000C, 0x0008, 0x0000};
    uint16_t code = 0;
    for (int f = 0; f < p; ++f) {
        if (f == 0 || rng() % 3 == 0) code = static_cast<uint16_t>(code + 1 + rng() % 2);
        layout.prototypes.push_back({static_cast<uint16_t>(rng() % 10 == 0 ? 0 : code), charsets[rng() % 5], vector()});
    }
    for (int c = 0; c < t; ++c) {
        layout.centres.push_back(vector());
        layout.members.emplace_back();
        for (int f = 0; f < p; ++f)
            if (rng() % 4 == 0) layout.members.back().push_back(static_cast<uint16_t>(f));
    }
    return layout;
}

TEST(HRRecoEquivalence, SearchMatchesTheLiteralRules) {
    std::mt19937 rng(20240601);
    const HR_UINT16 masks[] = {0x7FFF, 0x0001, 0x000C, 0x0008, 0x0003};
    int compared = 0, filled = 0;
    for (int model = 0; model < 150; ++model) {
        const int range = (model % 3 == 0) ? 127 : 2 + model % 7;
        const bool realMatrix = model % 4 == 0;
        ModelLayout layout = RandomSmallModel(rng, range, realMatrix);
        if (model % 30 == 1) layout.centres.clear(), layout.members.clear();  // only fillers are found
        Recognizer r(layout);
        for (int query = 0; query < 20; ++query) {
            const int n = std::uniform_int_distribution<int>(1, 24)(rng);
            r->charsetMask = masks[rng() % 5];
            std::vector<HR_UINT16> codes(n);
            if (realMatrix) {
                std::vector<_HR_POINT16> points = RandomCharacter(rng, 1 + rng() % 12, 5 + rng() % 30);
                ASSERT_EQ(HRReco_RecognizeShort(r.get(), points.data(), points.size(), n, codes.data(), nullptr), n);
            } else {
                codes = r.Match(RandomVector(rng, range), n);
            }
            const ReferenceResult expected = ReferenceMatch(layout, r->compressed, n, r->charsetMask);
            ASSERT_EQ(codes, expected.codes) << "model " << model << " query " << query;
            ASSERT_EQ(r.Distances(), expected.distances) << "model " << model << " query " << query;
            ASSERT_EQ(std::vector<HR_UINT16>(r->candPrototypes, r->candPrototypes + n), expected.prototypes);
            ASSERT_EQ(std::vector<HR_UINT16>(r->keptCentres, r->keptCentres + expected.kept.size()), expected.kept);
            ++compared;
            filled += std::count(codes.begin(), codes.end(), kEmptyCode) < n;
        }
    }
    EXPECT_EQ(compared, 3000);
    EXPECT_GT(filled, 1000);  // most queries found characters: the rules were exercised
}

// Centres and members are taken in batches: a model with more centres than
// a batch and centres with more members than a batch, some of them shared.
TEST(HRRecoEquivalence, SearchAcrossBatchBoundariesMatchesTheLiteralRules) {
    std::mt19937 rng(5150);
    ModelLayout layout = SelectorLayout();
    auto vector = [&] { return RandomVector(rng, 6); };
    for (int f = 0; f < 700; ++f) layout.prototypes.push_back({static_cast<uint16_t>(0x100 + f / 3), 0x0C, vector()});
    // Every 50th centre, and the first of the second batch, lies near the
    // origin and reaches all prototypes.
    auto big = [](int c) { return c % 50 == 0 || c == 256; };
    for (int c = 0; c < 530; ++c) {
        layout.centres.push_back(big(c) ? Filled(c % 3 - 1) : vector());
        layout.members.emplace_back();
        const int stride = big(c) ? 1 : 7;
        for (int f = c % stride; f < 700; f += stride) layout.members.back().push_back(static_cast<uint16_t>(f));
    }
    Recognizer r(layout);
    int bigKept = 0;
    for (int query = 0; query < 40; ++query) {
        const int n = 1 + query % 20;
        // Queries on prototypes around the batch ends of the long lists
        // (members 256 and 512): each is its own nearest prototype.
        const int target = query < 20 ? 246 + query : 493 + query;
        const std::vector<HR_UINT16> codes = r.Match(layout.prototypes[target].values, n);
        const ReferenceResult expected = ReferenceMatch(layout, r->compressed, n, r->charsetMask);
        ASSERT_EQ(codes, expected.codes) << "query " << query;
        ASSERT_EQ(r.Distances(), expected.distances) << "query " << query;
        ASSERT_EQ(std::vector<HR_UINT16>(r->keptCentres, r->keptCentres + expected.kept.size()), expected.kept);
        bigKept += std::count_if(expected.kept.begin(), expected.kept.end(), big) > 0;
    }
    EXPECT_GT(bigKept, 30);  // the long member lists were searched
    // The nearest of a list longer than a batch, with indices outside the model.
    std::vector<HR_UINT16> indices;
    for (int k = 0; k < 900; ++k) indices.push_back(static_cast<HR_UINT16>(rng() % 760));
    HR_INT16 q[64];
    const ModelVector y = RandomVector(rng, 6);
    for (int d = 0; d < 64; ++d) q[d] = static_cast<HR_INT16>(128 + y[d]);
    EXPECT_EQ(HRReco_GetNearestModelIndex(r.get(), q, static_cast<int>(indices.size()), indices.data()),
              ReferenceNearest(layout, q, indices));
}

TEST(HRRecoEquivalence, NearestAndTreeProbeMatchTheLiteralRules) {
    std::mt19937 rng(77);
    for (int model = 0; model < 60; ++model) {
        const ModelLayout layout = RandomSmallModel(rng, model % 2 ? 127 : 3, false);
        Recognizer r(layout);
        std::vector<HR_UINT32> offsets{0};
        for (const auto &list : layout.members) offsets.push_back(offsets.back() + list.size());
        const size_t t = layout.centres.size(), p = layout.prototypes.size();
        std::vector<HR_UINT32> visit(p * t), miss(p * t), expectedVisit(p * t), expectedMiss(p * t);
        std::vector<_HR_TREE_STAT> stats(p);
        std::vector<HR_UINT32> hits(p), misses(p);
        for (size_t k = 0; k < p; ++k) stats[k] = {visit.data() + k * t, miss.data() + k * t, 0, 0};
        for (int sample = 0; sample < 40; ++sample) {
            HR_INT16 q[64];
            for (HR_INT16 &v : q) v = static_cast<HR_INT16>(rng() % 256);
            const int k = rng() % p;
            const int branches = 1 + rng() % 12;
            HRReco_TreeProcess(r.get(), q, k, offsets.data(), branches, stats.data());
            const std::vector<HR_UINT16> kept = ReferenceCoarse(layout, q, branches);
            bool found = false;
            for (HR_UINT16 c : kept) found |= std::count(layout.members[c].begin(), layout.members[c].end(), k) > 0;
            for (HR_UINT16 c : kept) {
                ++expectedVisit[k * t + c];
                expectedMiss[k * t + c] += !found;
            }
            if (!kept.empty()) ++(found ? hits : misses)[k];

            std::vector<HR_UINT16> indices;
            for (size_t f = 0; f < p; ++f)
                if (rng() % 3 == 0) indices.push_back(static_cast<HR_UINT16>(f));
            ASSERT_EQ(HRReco_GetNearestModelIndex(r.get(), q, indices.size(), indices.data()),
                      ReferenceNearest(layout, q, indices));
        }
        EXPECT_EQ(visit, expectedVisit);
        EXPECT_EQ(miss, expectedMiss);
        for (size_t k = 0; k < p; ++k)
            EXPECT_EQ(std::make_pair(stats[k].hitCount, stats[k].missCount), std::make_pair(hits[k], misses[k])) << k;
    }
}

// ---------------------------------------------------------------------------
// Tree coverage probe

TEST(HRRecoTree, BranchesAndOffsetsAreKeptWithinTheModel) {
    ModelLayout layout = SelectorLayout();
    for (int i = 0; i < 4; ++i) layout.prototypes.push_back({static_cast<uint16_t>(0x4E00 + i), 0x0C, Axis(i)});
    layout.centres = {Axis(30), Axis(10), Axis(20)};
    layout.members = {{3}, {0, 1}, {1, 2}};
    Recognizer r(layout);
    std::vector<HR_UINT32> visit(4 * 3, 0), miss(4 * 3, 0);
    std::vector<_HR_TREE_STAT> stats(4);
    for (int k = 0; k < 4; ++k) stats[k] = {&visit[3 * k], &miss[3 * k], 0, 0};
    HR_INT16 q[64];
    std::fill(q, q + 64, 128);
    const HR_UINT32 offsets[4] = {0, 1, 3, 5};
    HRReco_TreeProcess(r.get(), q, 3, offsets, 128, stats.data());
    HRReco_TreeProcess(r.get(), q, 3, offsets, 1000, stats.data());
    EXPECT_EQ(stats[3].hitCount, 2u);
    EXPECT_EQ(std::vector<HR_UINT32>(&visit[9], &visit[12]), (std::vector<HR_UINT32>{2, 2, 2}));
    const HR_UINT32 wild[4] = {0, 1, 3, 70000};  // beyond the 5-entry member list
    HRReco_TreeProcess(r.get(), q, 0, wild, 3, stats.data());
    EXPECT_EQ(stats[0].hitCount, 1u);
}

// ---------------------------------------------------------------------------
// Model check

class HRRecoCheck : public ::testing::Test {
protected:
    HRRecoCheck() {
        ModelLayout layout = SelectorLayout();
        for (int i = 0; i < 5; ++i) layout.prototypes.push_back({static_cast<uint16_t>(0x4E00 + i), 0x0C, Axis(i)});
        layout.centres = {Axis(1), Axis(2), Axis(3)};
        layout.members = {{0, 1}, {}, {2, 3, 4}};
        image_ = BuildModelImage(layout);
        tree_ = HeaderWord(image_, 1);
        offsets_ = tree_ + 2 + 3 * 64;
        members_ = offsets_ + 4 * 4;
    }
    // Checks a heap copy of exactly `size` bytes, so that a read past the
    // end is caught by the address sanitizer.
    int Check(const std::vector<uint8_t> &image, size_t size) {
        std::vector<uint8_t> copy(image.begin(), image.begin() + size);
        return HRReco_CheckModel(copy.empty() ? nullptr : copy.data(), static_cast<HR_UINT32>(size));
    }
    int Check(const std::vector<uint8_t> &image) { return Check(image, image.size()); }

    std::vector<uint8_t> image_;
    uint32_t tree_, offsets_, members_;
};

TEST_F(HRRecoCheck, AcceptsWellFormedImages) {
    EXPECT_EQ(Check(image_), 1);
    std::vector<uint8_t> longer = image_;
    longer.resize(longer.size() + 7);
    EXPECT_EQ(Check(longer), 1);
    EXPECT_EQ(Check(BuildModelImage(penrune::test::RandomModelLayout(8, {30, 60, 10, 100}))), 1);
    ModelLayout empty;
    EXPECT_EQ(Check(BuildModelImage(empty)), 1);  // no prototypes, no centres
}

TEST_F(HRRecoCheck, RejectsEveryTruncation) {
    const size_t end = image_.size();
    for (size_t size : {size_t{0}, size_t{4}, size_t{31}, size_t{32}, size_t{39}, size_t{40},
                        size_t{tree_ - 1}, size_t{tree_}, size_t{tree_ + 1}, size_t{tree_ + 2},
                        size_t{offsets_ + 15}, size_t{offsets_ + 16}, size_t{members_ + 9},
                        size_t{HeaderWord(image_, 2)}, end - 1}) {
        EXPECT_EQ(Check(image_, size), 0) << size;
    }
    EXPECT_EQ(HRReco_CheckModel(nullptr, 100), 0);
}

TEST_F(HRRecoCheck, RejectsBadHeaderWordsDimensionsAndMemberLists) {
    const struct {
        size_t at;
        uint32_t value;
        int width;
        const char *what;
    } changes[] = {
        {0, 33, 4, "section 1 not at 32"},
        {4, tree_ + 64, 4, "section 1 size"},
        {8, HeaderWord(image_, 2) + 2, 4, "section 2 size"},
        {12, HeaderWord(image_, 3) - 2, 4, "codes size"},
        {16, HeaderWord(image_, 4) + 2, 4, "charset size"},
        {20, HeaderWord(image_, 5) + 1, 4, "repeated end word 5"},
        {28, HeaderWord(image_, 7) - 1, 4, "repeated end word 7"},
        {36, 1023, 2, "Din"},
        {38, 32, 2, "Dout"},
        {32, 6, 2, "P no longer matches section 1"},
        {tree_, 4, 2, "T no longer matches section 2"},
        {32, 0xFFFF, 2, "largest P in a short image"},
        {tree_, 0xFFFF, 2, "largest T in a short image"},
        {offsets_, 1, 4, "first offset not 0"},
        {offsets_ + 4, 3, 4, "offsets 0 3 2 5 decrease"},
        {members_ + 2 * 4, 5, 2, "member index equal to P"},
    };
    for (const auto &change : changes) {
        std::vector<uint8_t> bad = image_;
        if (change.width == 4)
            SetU32(bad, change.at, change.value);
        else
            SetU16(bad, change.at, static_cast<uint16_t>(change.value));
        EXPECT_EQ(Check(bad), 0) << change.what;
    }
}

TEST_F(HRRecoCheck, RejectsCountsWhoseSumsOverflow) {
    // A huge M with header words made to agree modulo 2^32.
    std::vector<uint8_t> bad = image_;
    const uint32_t hugeM = 0x80000000u + 5;
    SetU32(bad, offsets_ + 12, hugeM);
    const uint32_t word2 = tree_ + 68 * 3 + 2 * hugeM + 6;  // wraps
    SetU32(bad, 8, word2);
    SetU32(bad, 12, word2 + 10);
    for (int k = 4; k < 8; ++k) SetU32(bad, 4 * k, word2 + 20);
    EXPECT_EQ(Check(bad), 0);
}

// ---------------------------------------------------------------------------
// Handle API. The handle is an instance over the embedded image; the tests
// lay it over their own images to know what it must find.

class HRHanTest : public ::testing::Test {
protected:
    void SetUp() override {
        handle_ = HRHan_New();
        ASSERT_NE(handle_, nullptr);
    }
    void TearDown() override { HRHan_Free(handle_); }

    void Use(const std::vector<uint8_t> &image) {
        const HR_UINT8 *data = image.data();
        ASSERT_EQ(HRReco_Initialize(handle_, HR_RECO_INSTANCE_SIZE, &data), handle_);
    }
    // Runs the handle with a guarded buffer; checks the NUL and that nothing
    // past capacity was written.
    std::string Recognize(const std::vector<HR_INT16> &pairs, int length, int wanted, int capacity) {
        std::vector<char> buffer(300, '#');
        const int n = HRHan_Recognize(handle_, pairs.data(), static_cast<HR_INT16>(length), wanted,
                                      buffer.data(), static_cast<HR_INT16>(capacity));
        EXPECT_TRUE(std::all_of(buffer.begin() + capacity, buffer.end(), [](char c) { return c == '#'; }));
        if (capacity > 0) {
            EXPECT_EQ(buffer[n], '\0');
        }
        return std::string(buffer.data(), n);
    }
    _HR_RECO *handle_ = nullptr;
};

// Points of a random character as the int16 pairs the handle takes.
std::vector<HR_INT16> Pairs(int strokes, int perStroke) {
    std::mt19937 rng(11);
    std::vector<_HR_POINT16> points = RandomCharacter(rng, strokes, perStroke);
    std::vector<HR_INT16> pairs(points.size() * 2);
    std::memcpy(pairs.data(), points.data(), pairs.size() * 2);
    return pairs;
}

// A zero matrix projects every character to the zero query, so each
// character's distance is its prototype's squared length: U+4E2D 1234,
// U+7533 1500, then 18 more characters.
TEST_F(HRHanTest, WritesTheWholeCandidatesThatFitWithFillersAndAtMost16) {
    ModelLayout layout;
    ModelVector a{}, b{};
    a[0] = 35, a[1] = 3;
    b[0] = 38, b[1] = 6, b[2] = 4, b[3] = 2;
    layout.prototypes = {{0x4E2D, 0x0C, a}, {0x7533, 0x0C, b}};
    for (int i = 0; i < 18; ++i) layout.prototypes.push_back({static_cast<uint16_t>(0x8000 + i), 0x0C, Axis(40 + i)});
    layout.centres = {ModelVector{}};
    layout.members = {{}};
    for (uint16_t f = 0; f < layout.prototypes.size(); ++f) layout.members[0].push_back(f);
    const std::vector<uint8_t> image = BuildModelImage(layout);
    Use(image);
    const std::vector<HR_INT16> pairs = Pairs(2, 10);
    const std::string first = "\xE4\xB8\xAD 1234", both = first + " \xE7\x94\xB3 1500";  // 8 and 17 bytes
    const struct { int wanted, capacity; std::string expected; } cases[] = {
        {2, 200, both}, {2, 18, both}, {2, 17, first}, {2, 9, first}, {1, 200, first},
        {2, 8, ""},     {2, 1, ""},    {2, 0, ""},     {0, 50, ""},   {-3, 50, ""}};
    for (const auto &c : cases)
        EXPECT_EQ(Recognize(pairs, pairs.size(), c.wanted, c.capacity), c.expected) << c.wanted << " " << c.capacity;
    const std::string sixteen = Recognize(pairs, pairs.size(), 40, 200);
    EXPECT_EQ(std::count(sixteen.begin(), sixteen.end(), ' '), 31);
    EXPECT_EQ(sixteen.substr(sixteen.size() - 4), "2809");  // 16th: 53^2

    ModelLayout few;
    few.prototypes = {{0x4E2D, 0x0C, Axis(35)}};
    few.centres = {ModelVector{}};
    few.members = {{0}};
    const std::vector<uint8_t> small = BuildModelImage(few);
    Use(small);
    EXPECT_EQ(Recognize(pairs, pairs.size(), 2, 200), "\xE4\xB8\xAD 1225 \xEF\xBF\xBF 60000");
}

TEST_F(HRHanTest, UsesAtMost128PointsOfACopy) {
    const std::vector<uint8_t> image = BuildModelImage(penrune::test::RandomModelLayout(9, {20, 40, 6, 80}));
    Use(image);
    // Expected features: a separate instance over the first points only.
    Recognizer reference{std::vector<uint8_t>(image)};
    auto featureOf = [&](std::vector<HR_INT16> pairs, int points) {
        HR_UINT16 codes[4];
        HRReco_RecognizeShort(reference.get(), reinterpret_cast<_HR_POINT16 *>(pairs.data()), points, 4, codes,
                              nullptr);
        return std::vector<HR_INT16>(reference->feature, reference->feature + 1024);
    };
    const std::vector<HR_INT16> pairs = Pairs(10, 15);  // 161 points
    const std::vector<HR_INT16> before = pairs;
    Recognize(pairs, 300, 4, 200);
    EXPECT_EQ(std::vector<HR_INT16>(handle_->feature, handle_->feature + 1024), featureOf(pairs, 128));
    EXPECT_NE(featureOf(pairs, 128), featureOf(pairs, 150));
    Recognize(pairs, 7, 4, 200);
    EXPECT_EQ(std::vector<HR_INT16>(handle_->feature, handle_->feature + 1024), featureOf(pairs, 3));
    EXPECT_EQ(pairs, before);
}

}  // namespace
