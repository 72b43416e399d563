/* SPDX-License-Identifier: MIT */
// Recognition model images and pen input built in memory, for tests and
// benchmarks.
//
// BuildModelImage writes the exact byte layout the recognizer reads (header
// of running section sums, transform and prototypes, search tree, codes,
// charset bits), so a layout that keeps the model invariants (codes
// non-decreasing, member indices ascending per centre and below the
// prototype count) gives an image HRReco_CheckModel accepts.
#ifndef PENRUNE_TESTS_MODEL_IMAGE_H
#define PENRUNE_TESTS_MODEL_IMAGE_H

#include <array>
#include <cstdint>
#include <random>
#include <vector>

#include "penrune/HRTypes.h"

namespace penrune::test {

constexpr int kModelDim = 64;           // projected dimensions
constexpr int kModelFeatureDim = 1024;  // feature dimensions

// A point of the projected space: a prototype or a tree centre.
using ModelVector = std::array<int8_t, kModelDim>;

struct ModelPrototype {
    uint16_t code = 0;        // character code; 0 is never reported
    uint16_t charset = 0x0C;  // charset bits
    ModelVector values{};
};

struct ModelLayout {
    uint16_t classSlots = 0;      // K; 0 stores the largest code + 1
    std::vector<int16_t> matrix;  // 64 x 1024, row-major; empty means all zero
    std::vector<ModelPrototype> prototypes;
    std::vector<ModelVector> centres;
    std::vector<std::vector<uint16_t>> members;  // prototype indices per centre; missing lists are empty
};

std::vector<uint8_t> BuildModelImage(const ModelLayout &layout);

// Projection under which the compressed feature of SelectorFeature(y) is
// exactly y + 128 in every dimension, so a test chooses the projected query
// directly: row r adds +16384 x features 8r..8r+3 and -16384 x 8r+4..8r+7.
std::vector<int16_t> SelectorMatrix();
// Writes the 1024 features that SelectorMatrix projects to y.
void SelectorFeature(const ModelVector &y, int16_t *feature);

// A random 64 x 1024 projection with elements within +-3100, the range of
// trained matrices.
std::vector<int16_t> RandomMatrix(uint32_t seed);

// Size of a random model; the defaults are the shipped model's scale.
struct ModelScale {
    int characters = 3800;
    int prototypes = 7500;  // at least characters, at most 10 per character
    int centres = 300;
    int memberships = 15000;  // member-list entries, at least one per prototype, at most centres per prototype
};

// A well-formed random model: the first ten characters are the digits
// (charset 0x0001), the rest run from U+4E00 (charset 0x000C); prototypes
// lie in clusters around the centres, each is a member of its nearest
// centres. The centres are projections of random pen characters and the
// matrix elements lie within +-1033, so that random pen input finds
// candidates at distances of a trained model's order.
ModelLayout RandomModelLayout(uint32_t seed, const ModelScale &scale = ModelScale());

// A random character of 16-bit points inside the square [left, left + size)
// x [top, top + size): `strokes` smooth strokes of `pointsPerStroke` points,
// each ended by (0xFFFF, 0), the whole ended by (0xFFFF, 0xFFFF).
std::vector<_HR_POINT16> RandomCharacter(std::mt19937 &rng, int strokes, int pointsPerStroke, int left = 0, int top = 0,
                                         int size = 1000);

}  // namespace penrune::test

#endif  // PENRUNE_TESTS_MODEL_IMAGE_H
