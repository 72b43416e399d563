/* SPDX-License-Identifier: MIT */
// Random characters in the recognizer's 8-bit point form, for the feature
// tests and benchmarks. Every character is its strokes, each followed by the
// stroke-end marker (255, 0), then the end-of-data marker (255, 255).
#ifndef PENRUNE_TESTS_SUPPORT_CHARACTERGEN_H
#define PENRUNE_TESTS_SUPPORT_CHARACTERGEN_H

#include <ostream>
#include <random>
#include <vector>

#include "penrune/HRTypes.h"

// Comparison and printing of points for test expectations. They live in the
// global namespace with the point type so that gtest finds them.
inline bool operator==(_HR_POINT8 a, _HR_POINT8 b) { return a.x == b.x && a.y == b.y; }
inline bool operator!=(_HR_POINT8 a, _HR_POINT8 b) { return !(a == b); }
inline std::ostream &operator<<(std::ostream &os, _HR_POINT8 p) {
    return os << '(' << int(p.x) << ", " << int(p.y) << ')';
}

namespace penrune::test {

// `strokes` strokes of `pointsPerStroke` points each: a pen that starts
// anywhere on the 0..254 canvas and moves 2..9 units per point while its
// heading turns slowly, bouncing off the canvas edges.
std::vector<_HR_POINT8> SmoothCharacter(std::mt19937 &rng, int strokes, int pointsPerStroke);

// Up to maxPoints points spread over the whole canvas with many repeated
// points, single-point strokes and extreme coordinates (0 and 254).
std::vector<_HR_POINT8> JumbleCharacter(std::mt19937 &rng, int maxPoints);

// The same character in host units: every coordinate times `scale`, markers
// as (0xFFFF, 0) and (0xFFFF, 0xFFFF).
std::vector<_HR_POINT16> ToPoint16(const std::vector<_HR_POINT8> &points, int scale);

}  // namespace penrune::test

#endif  // PENRUNE_TESTS_SUPPORT_CHARACTERGEN_H
