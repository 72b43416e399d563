// SPDX-License-Identifier: MIT
// Little-endian fields of the model, lexicon and training files, read and
// written byte by byte so that neither the host's byte order nor the
// alignment of the field matters.
#ifndef HW_BYTES_H
#define HW_BYTES_H

#include <cstring>

#include "penrune/HRTypes.h"

namespace penrune {

inline HR_UINT16 LoadU16(const void *p) {
    HR_UINT8 b[2];
    std::memcpy(b, p, sizeof b);
    return static_cast<HR_UINT16>(b[0] | (b[1] << 8));
}

inline HR_UINT32 LoadU32(const void *p) {
    HR_UINT8 b[4];
    std::memcpy(b, p, sizeof b);
    return static_cast<HR_UINT32>(b[0]) | (static_cast<HR_UINT32>(b[1]) << 8) | (static_cast<HR_UINT32>(b[2]) << 16) |
           (static_cast<HR_UINT32>(b[3]) << 24);
}

inline HR_INT32 LoadI32(const void *p) { return static_cast<HR_INT32>(LoadU32(p)); }

inline void StoreU16(void *p, HR_UINT16 v) {
    const HR_UINT8 b[2] = {static_cast<HR_UINT8>(v & 0xFF), static_cast<HR_UINT8>(v >> 8)};
    std::memcpy(p, b, sizeof b);
}

inline void StoreU32(void *p, HR_UINT32 v) {
    StoreU16(p, static_cast<HR_UINT16>(v & 0xFFFF));
    StoreU16(static_cast<HR_UINT8 *>(p) + 2, static_cast<HR_UINT16>(v >> 16));
}

inline void StoreI32(void *p, HR_INT32 v) { StoreU32(p, static_cast<HR_UINT32>(v)); }

}  // namespace penrune

#endif  // HW_BYTES_H
