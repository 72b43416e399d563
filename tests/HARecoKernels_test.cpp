// SPDX-License-Identifier: MIT
// Every vector version of the recognition kernels against the scalar one,
// bit for bit: on the features of many random characters projected with the
// embedded model's matrix and compared with its prototypes and centres, on
// values at the integer limits, and on every size around a vector's width.
// The same file runs natively (ctest) and in WebAssembly under node
// (web/test-kernels.sh), where it holds the simd128 versions to the scalar.
#include "arch/HARecoKernels.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <iostream>
#include <numeric>
#include <random>
#include <vector>

#include "ArchIsas.h"
#include "CharacterGen.h"
#include "penrune/HRFeature.h"
#include "penrune/HRKernel.h"

namespace {

using penrune::HAIsa;
using penrune::HARecoKernels;
using Values = std::vector<HR_INT16>;

constexpr int kRow = penrune::kHARowLength;
constexpr HR_INT16 kUnwritten = -7;
constexpr HR_UINT32 kUnwrittenSum = 0xDEADBEEF;
constexpr int kCharacters = 300;

const HARecoKernels &Scalar() { return penrune::HA_RecoKernelsFor(HAIsa::kScalar); }

// The vector sets that run here; the scalar one is the reference.
std::vector<HAIsa> VectorIsas() {
    std::vector<HAIsa> isas = penrune::test::AvailableIsas();
    isas.erase(std::remove(isas.begin(), isas.end(), HAIsa::kScalar), isas.end());
    return isas;
}

const _HR_RECO &EmbeddedModel() {
    alignas(8) static unsigned char block[HR_RECO_INSTANCE_SIZE];
    static const _HR_RECO *reco = HRReco_Initialize(block, sizeof block, nullptr);
    return *reco;
}

// The features of a random character: smooth strokes or a jumble of points.
Values RandomFeature(std::mt19937 &rng, int trial) {
    std::vector<_HR_POINT8> points = trial % 2 == 0
                                         ? penrune::test::SmoothCharacter(rng, 1 + trial % 15, 4 + trial % 30)
                                         : penrune::test::JumbleCharacter(rng, 120);
    Values v(HR_FEATURE_DIM);
    HRFeature_Extract1024DimFeature(points.data(), static_cast<HR_UINT16>(points.size()), v.data());
    return v;
}

Values Project(const HARecoKernels &kernels, const Values &x, const HR_INT16 *matrix, int nOut) {
    Values out(nOut + 1, kUnwritten);
    kernels.project(x.data(), static_cast<HR_UINT32>(x.size()), out.data(), static_cast<HR_UINT32>(nOut), matrix);
    return out;
}

// A query in the units of the prototypes, aligned as the kernels need it.
struct Query {
    alignas(32) HR_INT16 y[kRow];
};

Query QueryOf(const Values &projected) {
    Query q;
    for (int d = 0; d < kRow; ++d) q.y[d] = static_cast<HR_INT16>(projected[d] - 128);
    return q;
}

std::vector<HR_UINT32> Distances(const HARecoKernels &kernels, const Query &q, const HR_INT8 *rows,
                                 const std::vector<HR_UINT16> &index) {
    const int count = static_cast<int>(index.size());
    std::vector<HR_UINT32> out(count + 1, kUnwrittenSum);
    kernels.rowDistances(q.y, rows, index.data(), count, out.data());
    return out;
}

TEST(HAReco, TheDispatchPicksTheLastAvailableSet) {
    const std::vector<HAIsa> isas = penrune::test::AvailableIsas();
    ASSERT_FALSE(isas.empty());
    EXPECT_EQ(isas.front(), HAIsa::kScalar);
    EXPECT_EQ(penrune::HA_Isa(), isas.back());
    EXPECT_EQ(&penrune::HA_RecoKernels(), &penrune::HA_RecoKernelsFor(isas.back()));
#if HA_HAVE_SIMD128
    EXPECT_EQ(penrune::HA_Isa(), HAIsa::kSimd128);  // a SIMD build uses its vectors
#endif
    std::cout << "kernels of this machine: " << penrune::HA_IsaName(penrune::HA_Isa()) << "\n";
}

// The projection of real features with the real matrix, and the distances of
// the projected query to prototypes drawn at random and to all centres.
TEST(HAReco, VersionsMatchScalarOnRandomCharacters) {
    const _HR_RECO &model = EmbeddedModel();
    ASSERT_GT(model.prototypeCount, 0);
    std::mt19937 rng(7);
    std::vector<HR_UINT16> centres(model.centreCount);
    std::iota(centres.begin(), centres.end(), 0);
    for (int trial = 0; trial < kCharacters; ++trial) {
        const Values x = RandomFeature(rng, trial);
        const Values projected = Project(Scalar(), x, model.matrix, kRow);
        std::vector<HR_UINT16> prototypes(trial % 300);
        for (HR_UINT16 &p : prototypes) p = static_cast<HR_UINT16>(rng() % model.prototypeCount);
        const Query q = QueryOf(projected);
        for (HAIsa isa : VectorIsas()) {
            const HARecoKernels &kernels = penrune::HA_RecoKernelsFor(isa);
            SCOPED_TRACE(penrune::HA_IsaName(isa));
            ASSERT_EQ(Project(kernels, x, model.matrix, kRow), projected) << "character " << trial;
            ASSERT_EQ(Distances(kernels, q, model.prototypes, prototypes),
                      Distances(Scalar(), q, model.prototypes, prototypes))
                << "character " << trial;
            ASSERT_EQ(Distances(kernels, q, model.centres, centres), Distances(Scalar(), q, model.centres, centres))
                << "character " << trial;
        }
    }
}

// Inputs and weights at the ends of int16 (sums that wrap, and the pairs of
// -32768 * -32768 whose sum is 2^31), for every length around the vector
// widths and every row count around the row blocks; x also misaligned.
TEST(HAReco, ProjectionMatchesScalarAtTheLimits) {
    std::mt19937 rng(19);
    const HR_INT16 limits[] = {-32768, 32767, -1, 0, 1};
    auto draw = [&](int mode) {
        if (mode == 0) return static_cast<HR_INT16>(-32768);
        if (mode == 1 || rng() % 3 == 0) return limits[rng() % 5];
        return static_cast<HR_INT16>(rng());
    };
    for (int nIn : {0, 1, 7, 8, 9, 15, 16, 17, 31, 33, 100, 1023, 1024}) {
        for (int nOut : {1, 3, 4, 5, 7, 8, 9, 16, 17, 64}) {
            for (int mode = 0; mode < 3; ++mode) {
                Values buffer(nIn + 1), matrix(static_cast<size_t>(nIn) * nOut);
                for (HR_INT16 &v : buffer) v = draw(mode);
                for (HR_INT16 &v : matrix) v = draw(mode);
                for (size_t offset : {0, 1}) {
                    const Values x(buffer.begin() + offset, buffer.begin() + offset + nIn);
                    const Values expected = Project(Scalar(), x, matrix.data(), nOut);
                    ASSERT_EQ(expected[nOut], kUnwritten);
                    for (HAIsa isa : VectorIsas()) {
                        ASSERT_EQ(Project(penrune::HA_RecoKernelsFor(isa), x, matrix.data(), nOut), expected)
                            << penrune::HA_IsaName(isa) << ": " << nIn << " x " << nOut << " mode " << mode;
                    }
                }
            }
        }
    }
}

// The largest differences (query and rows at opposite ends, 64 * 255²),
// every count around the groups of four, and row indices up to 65535.
TEST(HAReco, RowDistancesMatchScalarAtTheLimits) {
    std::mt19937 rng(31);
    std::vector<HR_INT8> rows(65536u * kRow);
    for (HR_INT8 &v : rows) v = rng() % 2 ? static_cast<HR_INT8>(-128) : static_cast<HR_INT8>(127);
    for (int trial = 0; trial < 200; ++trial) {
        Query q;
        for (HR_INT16 &v : q.y)
            v = trial % 3 == 0 ? static_cast<HR_INT16>(rng() % 2 ? -128 : 127)
                               : static_cast<HR_INT16>(int(rng() % 256) - 128);
        std::vector<HR_UINT16> index(trial % 14);
        for (HR_UINT16 &i : index) i = rng() % 4 == 0 ? 65535 : static_cast<HR_UINT16>(rng());
        const std::vector<HR_UINT32> expected = Distances(Scalar(), q, rows.data(), index);
        for (HAIsa isa : VectorIsas())
            ASSERT_EQ(Distances(penrune::HA_RecoKernelsFor(isa), q, rows.data(), index), expected)
                << penrune::HA_IsaName(isa) << " " << trial;
    }
    // All 64 dimensions at 255 apart: the largest distance there is.
    Query far;
    std::fill(std::begin(far.y), std::end(far.y), static_cast<HR_INT16>(127));
    std::vector<HR_INT8> low(kRow, -128);
    for (HAIsa isa : penrune::test::AvailableIsas())
        EXPECT_EQ(Distances(penrune::HA_RecoKernelsFor(isa), far, low.data(), {0})[0], 64u * 255 * 255)
            << penrune::HA_IsaName(isa);
}

// Every int16 value, with counts that leave parts of a vector, for the caps
// the bit search allows.
TEST(HAReco, RootsMatchScalarForEveryValue) {
    for (HR_UINT16 cap : {0, 1, 90, HR_FEATURE_MAX_VALUE, 255}) {
        for (int tail : {0, 1, 3, 7, 15, 31}) {
            Values v(65536 + tail);
            std::iota(v.begin(), v.begin() + 65536, -32768);
            Values expected = v;
            const HR_INT32 count = static_cast<HR_INT32>(v.size()) - tail;
            Scalar().roots(expected.data(), count, cap);
            for (HAIsa isa : VectorIsas()) {
                Values got = v;
                penrune::HA_RecoKernelsFor(isa).roots(got.data(), count, cap);
                ASSERT_EQ(got, expected) << penrune::HA_IsaName(isa) << " cap " << cap << " tail " << tail;
            }
        }
    }
}

}  // namespace
