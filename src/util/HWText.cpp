// SPDX-License-Identifier: MIT
// Cut-to-fit copies of UTF-16 texts for the candidate getters, and decimal
// numbers for the reports.
#include "util/HWText.h"

#include "penrune/HWUtils.h"

namespace {

// UTF-8 bytes one code unit needs (each unit is encoded on its own).
HR_UINT32 Utf8Size(HR_UINT16 unit) { return unit < 0x80 ? 1 : unit < 0x800 ? 2 : 3; }

}  // namespace

HR_UINT32 HW_Utf16ToUtf8Cut(const HR_UINT16 *text, HR_UINT32 length, char *out, HR_UINT32 capacity) {
    HR_UINT32 bytes = 0, units = 0, needed = 0;
    for (HR_UINT32 i = 0; i < length; ++i) {
        needed += Utf8Size(text[i]);
        if (needed < capacity && units == i) {
            bytes = needed;
            units = i + 1;
        }
    }
    if (capacity > 0) HR_utf16_to_utf8(text, static_cast<int>(units), out, static_cast<int>(bytes + 1));
    return needed;
}

HR_UINT32 HW_Utf16CopyCut(const HR_UINT16 *text, HR_UINT32 length, HR_UINT16 *out, HR_UINT32 capacity) {
    if (capacity == 0) return length;
    HR_UINT32 copied = length < capacity ? length : capacity - 1u;
    HR_memcpy(out, text, copied * sizeof(HR_UINT16));
    out[copied] = 0;
    return length;
}

HR_UINT32 HW_FormatDecimal(char *out, HR_UINT32 value) {
    char reversed[10];
    HR_UINT32 n = 0;
    do {
        reversed[n++] = static_cast<char>('0' + value % 10);
        value /= 10;
    } while (value != 0);
    for (HR_UINT32 i = 0; i < n; ++i) out[i] = reversed[n - 1 - i];
    return n;
}
