/* SPDX-License-Identifier: MIT */
// Deterministic generator of handwriting sample files for tests and benchmarks.
//
// Every class gets its own random template of 2..4 strokes (polylines of
// 2..4 control points on the 0..254 canvas); every sample is that template
// under a small random affine change (scale, shear, rotation, shift) with
// per-point jitter. The same template seed gives the same shapes, so a
// training set and a test set of one alphabet differ only in their noise
// seed (plan.noiseSeed).
#ifndef PENRUNE_TESTS_SUPPORT_SAMPLEGEN_H
#define PENRUNE_TESTS_SUPPORT_SAMPLEGEN_H

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace penrune::test {

// A pen point on the 0..254 canvas of a sample file.
struct SamplePoint {
    std::uint8_t x;
    std::uint8_t y;
};

using SampleStroke = std::vector<SamplePoint>;

struct SampleSetPlan {
    int classes = 10;                  // number of characters
    int samplesPerClass = 20;          // samples written per character
    int files = 1;                     // sample s goes to file s % files
    std::uint16_t firstCode = 0x4E00;  // class c has code firstCode + c
    std::uint32_t templateSeed = 1;    // chooses the class shapes
    std::uint32_t noiseSeed = 1;       // chooses the per-sample distortions
};

// One record of a sample file (train/HTSample.h) holding the strokes.
std::vector<std::uint8_t> EncodeSampleRecord(std::uint16_t code, const std::vector<SampleStroke> &strokes);

// Writes plan.files sample files "samples_%03d.dat" into dir (created if
// missing); each holds its samples in the order sample, then class. Returns
// the class codes in class order. Throws std::runtime_error when a file
// cannot be written.
std::vector<std::uint16_t> WriteSampleSet(const std::string &dir, const SampleSetPlan &plan);

// Writes a charset directory: char_number.txt ("<character> <nodeNum>" per
// code) and char_bit0.txt ("<character>" per code), both UTF-8, into dir
// (created if missing). Throws std::runtime_error when a file cannot be written.
void WriteCodeTable(const std::string &dir, const std::vector<std::pair<std::uint16_t, int>> &codes);
// The same with node number nodeNum for every code.
void WriteCharsetDir(const std::string &dir, const std::vector<std::uint16_t> &codes, int nodeNum = 4);

// The tiny data set of the training driver tests, under root: 15 classes of
// distinct stroke shapes with 30 noisy samples each in root/train (3
// files), 8 fresh ones each in root/test, and their charset directory
// root/charset.
void WriteTinyTrainingSet(const std::string &root);

}  // namespace penrune::test

#endif  // PENRUNE_TESTS_SUPPORT_SAMPLEGEN_H
