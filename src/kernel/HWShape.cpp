// SPDX-License-Identifier: MIT
#include "kernel/HWShape.h"

#include <algorithm>
#include <cmath>

int HWAspect_Find(HR_UINT16 code, HR_INT32 *aspect) {
    const HR_UINT16 *end = g_hw_aspectCodes + g_hw_aspectCount;
    const HR_UINT16 *at = std::lower_bound(g_hw_aspectCodes, end, code);
    if (at == end || *at != code) return 0;
    *aspect = g_hw_aspects[at - g_hw_aspectCodes];
    return 1;
}

HR_INT32 HWAspect_OfBox(HR_INT32 width, HR_INT32 height) {
    const double ratio = static_cast<double>(std::max(width, 1)) / std::max(height, 1);
    const long value = std::lround(HW_ASPECT_SCALE * std::log(ratio));
    return static_cast<HR_INT32>(std::clamp<long>(value, -HW_ASPECT_LIMIT, HW_ASPECT_LIMIT));
}
