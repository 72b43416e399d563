// SPDX-License-Identifier: MIT
#include "ModelImage.h"

#include <algorithm>
#include <cmath>
#include <numeric>
#include <stdexcept>
#include <utility>

#include "penrune/HRFeature.h"

namespace penrune::test {
namespace {

constexpr uint32_t kHeaderSize = 32;
constexpr int kSelectorGroup = 4;           // features per sign and dimension
constexpr int16_t kSelectorWeight = 16384;  // 4 x 16384 = 1 << 16
constexpr int kMatrixLimit = 3100;

// Appends little-endian fields.
struct ByteWriter {
    std::vector<uint8_t> bytes;
    void U16(uint32_t v) { bytes.insert(bytes.end(), {static_cast<uint8_t>(v), static_cast<uint8_t>(v >> 8)}); }
    void U32(uint32_t v) {
        U16(v & 0xFFFF);
        U16(v >> 16);
    }
    void Vector(const ModelVector &v) { bytes.insert(bytes.end(), v.begin(), v.end()); }
};

const std::vector<uint16_t> &MembersOf(const ModelLayout &layout, size_t c) {
    static const std::vector<uint16_t> kNone;
    return c < layout.members.size() ? layout.members[c] : kNone;
}

// centre plus normal noise of deviation `spread` in every dimension.
ModelVector Around(std::mt19937 &rng, const ModelVector &centre, double spread) {
    std::normal_distribution<double> noise(0.0, spread);
    ModelVector v;
    for (int d = 0; d < kModelDim; ++d)
        v[d] = static_cast<int8_t>(std::clamp(std::lround(centre[d] + noise(rng)), -128L, 127L));
    return v;
}

// The projected value y (compressed feature minus 128) of a random
// character of 10 to 15 strokes.
ModelVector ProjectedCharacter(std::mt19937 &rng, const std::vector<int16_t> &matrix) {
    std::uniform_int_distribution<int> strokes(10, 15);
    std::vector<_HR_POINT16> points = RandomCharacter(rng, strokes(rng), 25);
    std::vector<_HR_POINT8> bytes(points.size());
    const auto n = static_cast<HR_UINT16>(points.size());
    HRFeature_Point16ToPoint8(points.data(), n, bytes.data());
    int16_t feature[kModelFeatureDim], projected[kModelDim];
    HRFeature_Extract1024DimFeature(bytes.data(), n, feature);
    HRFeature_Transform(feature, kModelFeatureDim, projected, kModelDim, matrix.data());
    ModelVector v;
    for (int d = 0; d < kModelDim; ++d) v[d] = static_cast<int8_t>(projected[d] - 128);
    return v;
}

int SquaredDistance(const ModelVector &a, const ModelVector &b) {
    int sum = 0;
    for (int d = 0; d < kModelDim; ++d) sum += (a[d] - b[d]) * (a[d] - b[d]);
    return sum;
}

// Prototype counts per character: one each, the rest spread at random with
// at most ten per character.
std::vector<int> PrototypeCounts(std::mt19937 &rng, const ModelScale &scale) {
    if (scale.prototypes < scale.characters || scale.prototypes > 10 * scale.characters)
        throw std::invalid_argument("prototype count out of range");
    std::vector<int> counts(scale.characters, 1);
    std::uniform_int_distribution<int> pick(0, scale.characters - 1);
    for (int extra = scale.prototypes - scale.characters; extra > 0;) {
        int &count = counts[pick(rng)];
        if (count < 10) {
            ++count;
            --extra;
        }
    }
    return counts;
}

// Makes each prototype a member of its nearest centres: `memberships`
// entries in all, spread as evenly as possible.
void AssignMembers(ModelLayout &layout, int memberships) {
    const int p = static_cast<int>(layout.prototypes.size());
    const int t = static_cast<int>(layout.centres.size());
    if (memberships < p || memberships > p * t) throw std::invalid_argument("membership count out of range");
    layout.members.assign(t, {});
    std::vector<int> order(t), distance(t);
    for (int f = 0; f < p; ++f) {
        const int take = memberships / p + (f < memberships % p ? 1 : 0);
        for (int c = 0; c < t; ++c) distance[c] = SquaredDistance(layout.prototypes[f].values, layout.centres[c]);
        std::iota(order.begin(), order.end(), 0);
        std::partial_sort(order.begin(), order.begin() + take, order.end(),
                          [&](int a, int b) { return distance[a] < distance[b]; });
        for (int i = 0; i < take; ++i) layout.members[order[i]].push_back(static_cast<uint16_t>(f));
    }
}

}  // namespace

std::vector<uint8_t> BuildModelImage(const ModelLayout &layout) {
    const auto p = static_cast<uint32_t>(layout.prototypes.size()), t = static_cast<uint32_t>(layout.centres.size());
    uint32_t m = 0;  // member-list entries
    for (uint32_t c = 0; c < t; ++c) m += static_cast<uint32_t>(MembersOf(layout, c).size());
    if (!layout.matrix.empty() && layout.matrix.size() != size_t{kModelDim} * kModelFeatureDim)
        throw std::invalid_argument("matrix must hold 64 x 1024 elements");

    const uint32_t sizes[7] = {
        8 + 2u * kModelFeatureDim * kModelDim + kModelDim * p, 68 * t + 2 * m + 6, 2 * p, 2 * p, 0, 0, 0};
    ByteWriter out;
    uint32_t word = kHeaderSize;
    out.U32(word);
    for (uint32_t size : sizes) out.U32(word += size);

    out.U16(p);
    out.U16(layout.classSlots != 0 || p == 0 ? layout.classSlots : layout.prototypes.back().code + 1u);
    out.U16(kModelFeatureDim);
    out.U16(kModelDim);
    for (size_t i = 0; i < size_t{kModelDim} * kModelFeatureDim; ++i)
        out.U16(static_cast<uint16_t>(layout.matrix.empty() ? 0 : layout.matrix[i]));
    for (const ModelPrototype &prototype : layout.prototypes) out.Vector(prototype.values);

    out.U16(t);
    for (const ModelVector &centre : layout.centres) out.Vector(centre);
    out.U32(0);  // running member-list offsets
    for (uint32_t c = 0, offset = 0; c < t; ++c) out.U32(offset += static_cast<uint32_t>(MembersOf(layout, c).size()));
    for (uint32_t c = 0; c < t; ++c)
        for (uint16_t f : MembersOf(layout, c)) out.U16(f);
    for (const ModelPrototype &prototype : layout.prototypes) out.U16(prototype.code);
    for (const ModelPrototype &prototype : layout.prototypes) out.U16(prototype.charset);
    return std::move(out.bytes);
}

std::vector<int16_t> SelectorMatrix() {
    std::vector<int16_t> matrix(size_t{kModelDim} * kModelFeatureDim, 0);
    for (int r = 0; r < kModelDim; ++r) {
        for (int j = 0; j < kSelectorGroup; ++j) {
            matrix[r * kModelFeatureDim + 8 * r + j] = kSelectorWeight;
            matrix[r * kModelFeatureDim + 8 * r + kSelectorGroup + j] = -kSelectorWeight;
        }
    }
    return matrix;
}

void SelectorFeature(const ModelVector &y, int16_t *feature) {
    std::fill(feature, feature + kModelFeatureDim, 0);
    for (int r = 0; r < kModelDim; ++r) {
        const int base = 8 * r + (y[r] < 0 ? kSelectorGroup : 0);
        for (int j = 0; j < kSelectorGroup; ++j) feature[base + j] = static_cast<int16_t>(std::abs(y[r]));
    }
}

std::vector<int16_t> RandomMatrix(uint32_t seed) {
    std::mt19937 rng(seed);
    std::uniform_int_distribution<int> weight(-kMatrixLimit, kMatrixLimit);
    std::vector<int16_t> matrix(size_t{kModelDim} * kModelFeatureDim);
    for (int16_t &w : matrix) w = static_cast<int16_t>(weight(rng));
    return matrix;
}

ModelLayout RandomModelLayout(uint32_t seed, const ModelScale &scale) {
    std::mt19937 rng(seed);
    ModelLayout layout;
    // A random matrix of the trained range spreads characters much further
    // apart than a trained one, whose weight sits in a few directions; a
    // third of it gives distances of the trained model's order.
    layout.matrix = RandomMatrix(seed);
    for (int16_t &w : layout.matrix) w = static_cast<int16_t>(w / 3);

    // Centres are the projections of random pen characters, so real input
    // lands near some of them and the fine search has work to do.
    for (int c = 0; c < scale.centres; ++c) layout.centres.push_back(ProjectedCharacter(rng, layout.matrix));
    std::uniform_int_distribution<int> pickCentre(0, scale.centres - 1);
    const std::vector<int> counts = PrototypeCounts(rng, scale);
    for (int i = 0; i < scale.characters; ++i) {
        const bool digit = i < 10;
        const uint16_t code = static_cast<uint16_t>(digit ? 0x30 + i : 0x4E00 + i - 10);
        const ModelVector home = Around(rng, layout.centres[pickCentre(rng)], 6.0);
        for (int k = 0; k < counts[i]; ++k)
            layout.prototypes.push_back({code, static_cast<uint16_t>(digit ? 0x01 : 0x0C), Around(rng, home, 3.0)});
    }
    AssignMembers(layout, scale.memberships);
    return layout;
}

std::vector<_HR_POINT16> RandomCharacter(std::mt19937 &rng, int strokes, int pointsPerStroke, int left, int top,
                                         int size) {
    const double kPi = 3.14159265358979323846;
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    const double step = size / 40.0;
    std::vector<_HR_POINT16> points;
    for (int s = 0; s < strokes; ++s) {
        double x = size * (0.1 + 0.8 * unit(rng));
        double y = size * (0.1 + 0.8 * unit(rng));
        double heading = 2 * kPi * unit(rng);
        const double turn = (unit(rng) - 0.5) * 0.2;
        for (int i = 0; i < pointsPerStroke; ++i) {
            points.push_back({static_cast<HR_UINT16>(left + std::clamp(x, 0.0, size - 1.0)),
                              static_cast<HR_UINT16>(top + std::clamp(y, 0.0, size - 1.0))});
            x += step * std::cos(heading);
            y += step * std::sin(heading);
            if (x < 0 || x >= size || y < 0 || y >= size) heading += kPi;  // turn back at the edge
            heading += turn;
        }
        points.push_back({HR_MARKER16, 0});
    }
    points.push_back({HR_MARKER16, HR_MARKER16});
    return points;
}

}  // namespace penrune::test
