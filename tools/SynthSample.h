/* SPDX-License-Identifier: MIT */
// Sample-file records: quantisation of ink into byte points (0..254; 255
// marks the ends) and the records of train/HTSample.h that the training
// stages read.
#ifndef PENRUNE_TOOLS_SYNTH_SAMPLE_H
#define PENRUNE_TOOLS_SYNTH_SAMPLE_H

#include <cstdint>
#include <string>
#include <vector>

#include "SynthGeometry.h"
#include "SynthParams.h"
#include "SynthRandom.h"

namespace penrune::synth {

constexpr int kMaxCoordinate = 254;  // 255 marks the stroke and record ends

struct BytePoint {
    std::uint8_t x;
    std::uint8_t y;
};
using ByteStroke = std::vector<BytePoint>;
using ByteInk = std::vector<ByteStroke>;

// Scales the ink so that the longer side of its bounding box spans `size`
// (aspect ratio kept), moves the box's corner to (left, top) and rounds to
// byte points, dropping a point that repeats the one before it. Coordinates
// are clamped to 0..254.
ByteInk Quantize(const Ink &ink, double size, double left, double top);

// Quantize at a size drawn from params.sizeMin..sizeMax, at a random place
// inside the 0..254 square.
ByteInk PlaceRandomly(const Ink &ink, const SynthParams &params, Random &rng);

// Appends one record; false (nothing appended) when the ink has no point or
// the record would exceed HT_SAMPLE_MAX_LENGTH.
bool AppendRecord(std::vector<std::uint8_t> &out, std::uint16_t code, const ByteInk &ink);

// Writes bytes to a file; throws std::runtime_error on failure.
void WriteFileBytes(const std::string &path, const std::vector<std::uint8_t> &bytes);

}  // namespace penrune::synth

#endif  // PENRUNE_TOOLS_SYNTH_SAMPLE_H
