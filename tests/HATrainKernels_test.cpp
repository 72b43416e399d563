// SPDX-License-Identifier: MIT
// Every vector version of the training kernels against the scalar one, bit
// for bit: floating-point sums that add the same terms in the same order
// round alike, and these tests hold the versions to that on random data with
// the zeros, magnitudes and sizes the training stages produce.
#include "arch/HATrainKernels.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <random>
#include <vector>

#include "ArchIsas.h"

namespace {

using penrune::HAIsa;
using penrune::HATrainKernels;

constexpr float kSentinel = -3.25f;

const HATrainKernels &Scalar() { return penrune::HA_TrainKernelsFor(HAIsa::kScalar); }

template <class T>
bool SameBits(const std::vector<T> &a, const std::vector<T> &b) {
    return a.size() == b.size() && std::memcmp(a.data(), b.data(), sizeof(T) * a.size()) == 0;
}

// Samples as the coarse stage sees them: square-root densities (integers
// 0..180, many of them zero), now and then a sample of large or tiny
// values, weights that include 0 (the padding of a last, partial block).
struct OuterBlock {
    std::vector<std::vector<double>> samples;
    std::vector<const double *> rows;
    std::vector<double> weights;
};

OuterBlock RandomBlock(std::mt19937 &rng, int dim) {
    OuterBlock block;
    std::uniform_int_distribution<int> density(0, 180);
    std::normal_distribution<double> wide(0.0, 1e6);
    for (int s = 0; s < penrune::kHAOuterBlock; ++s) {
        std::vector<double> x(dim);
        const int kind = static_cast<int>(rng() % 8);
        for (double &v : x) {
            if (kind == 0)
                v = wide(rng);
            else if (kind == 1)
                v = density(rng) * 1e-9;
            else
                v = rng() % 3 == 0 ? density(rng) : 0.0;
        }
        block.samples.push_back(std::move(x));
        block.weights.push_back(rng() % 6 == 0 ? 0.0 : 1.0 / (1 + rng() % 7));
    }
    for (const std::vector<double> &x : block.samples) block.rows.push_back(x.data());
    return block;
}

std::vector<double> AddOuterBlock(const HATrainKernels &kernels, std::vector<double> packed, int dim,
                                  const OuterBlock &block) {
    kernels.addOuterBlock(packed.data(), dim, block.rows.data(), block.weights.data());
    return packed;
}

TEST(HATrain, OuterBlockVersionsMatchScalar) {
    std::mt19937 rng(5);
    for (int dim : {1, 2, 3, 4, 5, 7, 8, 9, 15, 16, 17, 33, 64, 127, 300}) {
        std::vector<double> packed(penrune::HA_PackedSize(dim));
        for (double &v : packed) v = rng() % 2 ? std::ldexp(static_cast<double>(rng()), -20) : 0.0;
        // Three blocks in a row, so that later blocks add to sums of earlier ones.
        for (int round = 0; round < 3; ++round) {
            const OuterBlock block = RandomBlock(rng, dim);
            const std::vector<double> expected = AddOuterBlock(Scalar(), packed, dim, block);
            for (HAIsa isa : penrune::test::AvailableIsas()) {
                ASSERT_TRUE(SameBits(AddOuterBlock(penrune::HA_TrainKernelsFor(isa), packed, dim, block), expected))
                    << penrune::HA_IsaName(isa) << " dim " << dim << " round " << round;
            }
            packed = expected;
        }
    }
}

// The full dimension of the transform once: 1024 values, as the stage adds them.
TEST(HATrain, OuterBlockVersionsMatchScalarAtFullDimension) {
    std::mt19937 rng(6);
    constexpr int kDim = 1024;
    const OuterBlock block = RandomBlock(rng, kDim);
    const std::vector<double> expected =
        AddOuterBlock(Scalar(), std::vector<double>(penrune::HA_PackedSize(kDim)), kDim, block);
    for (HAIsa isa : penrune::test::AvailableIsas()) {
        EXPECT_TRUE(
            SameBits(AddOuterBlock(penrune::HA_TrainKernelsFor(isa), std::vector<double>(expected.size()), kDim, block),
                     expected))
            << penrune::HA_IsaName(isa);
    }
}

std::vector<float> LaneDistances(const HATrainKernels &kernels, const std::vector<float> &x, int dim,
                                 const std::vector<float> &blocks, size_t blockFloats, int blockCount, float base) {
    std::vector<float> out(static_cast<size_t>(blockCount) * penrune::kHALanes + 1, kSentinel);
    kernels.laneDistances(x.data(), dim, blocks.data(), blockFloats, blockCount, base, out.data());
    return out;
}

// Samples of signed bytes against prototypes near and far (squares that
// reach the float range's top), every block count around the groups of
// four, dimensions from none to the full 64 in blocks laid out for 64.
TEST(HATrain, LaneDistanceVersionsMatchScalar) {
    std::mt19937 rng(8);
    constexpr int kDimMax = 64;
    constexpr size_t kBlockFloats = static_cast<size_t>(penrune::kHALanes) * kDimMax;
    std::uniform_int_distribution<int> byte(-128, 127);
    std::normal_distribution<float> near(0.0f, 40.0f);
    for (int trial = 0; trial < 300; ++trial) {
        const int dim = trial % 5 == 0 ? kDimMax : static_cast<int>(rng() % (kDimMax + 1));
        const int blockCount = trial % 11;
        std::vector<float> x(kDimMax), blocks(kBlockFloats * blockCount);
        for (float &v : x) v = static_cast<float>(byte(rng));
        for (float &v : blocks) v = trial % 17 == 0 ? std::ldexp(near(rng), 60) : near(rng);
        const float base = trial % 2 ? 36.9f : 0.0f;
        const std::vector<float> expected = LaneDistances(Scalar(), x, dim, blocks, kBlockFloats, blockCount, base);
        ASSERT_EQ(expected.back(), kSentinel);
        for (HAIsa isa : penrune::test::AvailableIsas()) {
            ASSERT_TRUE(SameBits(
                LaneDistances(penrune::HA_TrainKernelsFor(isa), x, dim, blocks, kBlockFloats, blockCount, base),
                expected))
                << penrune::HA_IsaName(isa) << " trial " << trial << " dim " << dim << " blocks " << blockCount;
        }
    }
}

}  // namespace
