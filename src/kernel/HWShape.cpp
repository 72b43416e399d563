// SPDX-License-Identifier: MIT
#include "kernel/HWShape.h"

#include <algorithm>
#include <cmath>

int HWShape_Find(HR_UINT16 code, HR_INT32 *ratio, HR_INT32 *strokes) {
    const HR_UINT16 *end = g_hw_shapeCodes + g_hw_shapeCount;
    const HR_UINT16 *at = std::lower_bound(g_hw_shapeCodes, end, code);
    if (at == end || *at != code) return 0;
    *ratio = g_hw_shapes[at - g_hw_shapeCodes];
    *strokes = g_hw_shapeStrokes[at - g_hw_shapeCodes];
    return 1;
}

HR_INT32 HWShape_OfBox(HR_INT32 width, HR_INT32 height) {
    const double ratio = static_cast<double>(std::max(width, 1)) / std::max(height, 1);
    const long value = std::lround(HW_SHAPE_SCALE * std::log(ratio));
    return static_cast<HR_INT32>(std::clamp<long>(value, -HW_SHAPE_LIMIT, HW_SHAPE_LIMIT));
}
