// SPDX-License-Identifier: MIT
// The JSON input of penrune recognize: any text is parsed or refused with
// an InputError, and what is parsed is strokes of in-range points.
#include <string>

#include "FuzzSupport.h"
#include "StrokeJson.h"

using penrune_fuzz::Fail;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    std::vector<penrune::Stroke> strokes;
    try {
        strokes = penrune::ParseStrokes(std::string(reinterpret_cast<const char *>(data), size));
    } catch (const penrune::InputError &) {
        return 0;
    }
    if (strokes.empty()) Fail("no strokes accepted");
    for (const penrune::Stroke &stroke : strokes) {
        if (stroke.size() < 2 || stroke.back().x != HR_MARKER16 || stroke.back().y != 0) Fail("stroke end");
        for (std::size_t i = 0; i + 1 < stroke.size(); ++i)
            if (stroke[i].x > 65534 || stroke[i].y > 65534) Fail("coordinate out of range");
    }
    return 0;
}
