// SPDX-License-Identifier: MIT
#include "StrokeJson.h"

#include <nlohmann/json.hpp>

namespace penrune {

namespace {

using Json = nlohmann::json;

// Largest coordinate a point may have; 0xFFFF marks stroke ends.
const long long kMaxCoordinate = 65534;

std::string Where(size_t stroke, size_t point) {
    return "stroke " + std::to_string(stroke + 1) + ", point " + std::to_string(point + 1);
}

HR_UINT16 Coordinate(const Json &value, const std::string &where) {
    if (!value.is_number_integer()) throw InputError(where + ": coordinates must be integers");
    bool inRange = value.is_number_unsigned() ? value.get<unsigned long long>() <= kMaxCoordinate
                                              : value.get<long long>() >= 0 && value.get<long long>() <= kMaxCoordinate;
    if (!inRange)
        throw InputError(where + ": coordinate " + value.dump() + " outside 0.." + std::to_string(kMaxCoordinate));
    return static_cast<HR_UINT16>(value.get<long long>());
}

}  // namespace

std::vector<Stroke> ParseStrokes(const std::string &text) {
    Json doc;
    try {
        doc = Json::parse(text);
    } catch (const Json::exception &e) {  // a syntax error, or a number too large for a double
        throw InputError(std::string("malformed JSON: ") + e.what());
    }
    if (!doc.is_array()) throw InputError("expected an array of strokes");
    if (doc.empty()) throw InputError("no strokes");
    std::vector<Stroke> strokes;
    for (size_t s = 0; s < doc.size(); ++s) {
        const Json &stroke = doc[s];
        if (!stroke.is_array()) throw InputError("stroke " + std::to_string(s + 1) + ": expected an array of points");
        if (stroke.empty()) throw InputError("stroke " + std::to_string(s + 1) + ": no points");
        Stroke points;
        for (size_t p = 0; p < stroke.size(); ++p) {
            const Json &point = stroke[p];
            if (!point.is_array() || point.size() != 2) throw InputError(Where(s, p) + ": expected [x, y]");
            points.push_back({Coordinate(point[0], Where(s, p)), Coordinate(point[1], Where(s, p))});
        }
        points.push_back({HR_MARKER16, 0});
        strokes.push_back(std::move(points));
    }
    return strokes;
}

}  // namespace penrune
