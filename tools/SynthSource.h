/* SPDX-License-Identifier: MIT */
// Stroke sources of the synthesiser: JSON lines, one hand per line,
//   {"char": "中", "strokes": [[[x, y], ...], ...], ...}
// strokes in writing order and direction, y pointing down (the converted
// sources use a 0..1023 box; any box works, since the synthesiser only uses
// the shape). Other fields are ignored.
#ifndef PENRUNE_TOOLS_SYNTH_SOURCE_H
#define PENRUNE_TOOLS_SYNTH_SOURCE_H

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "SynthGeometry.h"
#include "SynthRandom.h"

namespace penrune::synth {

struct Hand {
    std::uint16_t code;  // UTF-16 code unit of the character
    Ink ink;
};

// Parses one line; throws std::runtime_error naming what is wrong. The
// character must be a single character of the Basic Multilingual Plane;
// empty strokes are dropped, and a hand without points is an error.
Hand ParseHand(const std::string &line);

// Every hand of a JSONL file in file order (blank lines skipped). Throws
// std::runtime_error with the file name and line number on a bad line.
std::vector<Hand> ReadHands(const std::string &path);

// The hands of several source files, each file with a weight. A sample of a
// character takes its hand from one of the files that have the character,
// chosen in proportion to the weights, and within that file uniformly.
class HandLibrary {
public:
    // Adds the hands of one source; the weight must be positive.
    void Add(const std::vector<Hand> &hands, double weight);

    // Codes of every character with at least one hand, ascending.
    std::vector<std::uint16_t> Codes() const;
    std::size_t HandCount(std::uint16_t code) const;

    // A hand of the character, or null when there is none.
    const Ink *Pick(std::uint16_t code, Random &rng) const;

private:
    struct Source {
        double weight;
        std::map<std::uint16_t, std::vector<Ink>> hands;
    };
    std::vector<Source> sources_;
};

}  // namespace penrune::synth

#endif  // PENRUNE_TOOLS_SYNTH_SOURCE_H
