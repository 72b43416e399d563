// SPDX-License-Identifier: MIT
// The JSON form of a line of handwriting that penrune recognize reads: an
// array of strokes in writing order, each an array of [x, y] points with
// integer coordinates 0..65534.
#ifndef PENRUNE_TOOLS_STROKEJSON_H
#define PENRUNE_TOOLS_STROKEJSON_H

#include <stdexcept>
#include <string>
#include <vector>

#include "penrune/HRTypes.h"

namespace penrune {

// Input that cannot be used; the message says where and why.
struct InputError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// The points of one stroke, ended by the stroke-end marker.
using Stroke = std::vector<_HR_POINT16>;

// Parses the whole text; throws InputError for malformed JSON, an empty
// list, an empty stroke, a point that is not [x, y] or a coordinate that is
// not an integer in range.
std::vector<Stroke> ParseStrokes(const std::string &text);

}  // namespace penrune

#endif  // PENRUNE_TOOLS_STROKEJSON_H
