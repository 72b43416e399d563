// SPDX-License-Identifier: MIT
#include "penrune/HWUtils.h"

#include <cstring>

namespace {

constexpr HR_UINT32 kBlock = 16;  // bytes moved at once by the copy helpers

bool IsContinuation(HR_UINT8 byte) { return (byte & 0xC0) == 0x80; }

// Payload bits of a lead byte of an n-byte form (n = 2..6).
unsigned long LeadPayload(HR_UINT8 lead, int n) { return lead & (0x7Fu >> n); }

// Copies one block of up to kBlock bytes through a temporary, so that an
// overlapping destination never clobbers source bytes of the same block.
void MoveBlock(HR_UINT8 *dst, const HR_UINT8 *src, HR_UINT32 n) {
    HR_UINT8 tmp[kBlock];
    std::memcpy(tmp, src, n);
    std::memcpy(dst, tmp, n);
}

void CopyForward(HR_UINT8 *dst, const HR_UINT8 *src, HR_UINT32 n) {
    HR_UINT32 i = 0;
    for (; n - i >= kBlock; i += kBlock) MoveBlock(dst + i, src + i, kBlock);
    if (i < n) MoveBlock(dst + i, src + i, n - i);
}

void CopyBackward(HR_UINT8 *dst, const HR_UINT8 *src, HR_UINT32 n) {
    HR_UINT32 end = n;
    for (; end >= kBlock; end -= kBlock) MoveBlock(dst + end - kBlock, src + end - kBlock, kBlock);
    if (end > 0) MoveBlock(dst, src, end);
}

void SwapBytes(char *a, char *b, int size) {
    for (int i = 0; i < size; ++i) {
        char t = a[i];
        a[i] = b[i];
        b[i] = t;
    }
}

// Moves the element at from down to position to (to <= from), shifting the
// elements in between up by one; done byte by byte without a buffer.
void RotateDown(char *to, char *from, int size) {
    const long steps = (from - to) / size;
    for (int b = size - 1; b >= 0; --b) {
        char c = from[b];
        char *p = from + b;
        for (long k = 0; k < steps; ++k, p -= size) *p = *(p - size);
        *p = c;
    }
}

struct SortRange {
    char *lo;
    char *hi;  // last element, inclusive
};

struct Sorter {
    int size;
    HR_COMPARE compare;
    void *context;

    bool Before(const char *x, const char *y) const { return compare(x, y, context) < 0; }

    // Orders lo, mid, hi so that the median of the three sits at mid.
    char *MedianOfThree(char *lo, char *hi) const {
        char *mid = lo + ((hi - lo) / size / 2) * size;
        if (Before(mid, lo)) SwapBytes(mid, lo, size);
        if (Before(hi, mid)) {
            SwapBytes(mid, hi, size);
            if (Before(mid, lo)) SwapBytes(mid, lo, size);
        }
        return mid;
    }

    // Partitions [lo, hi] around the median of three; on return [lo, *right]
    // and [*left, hi] remain to be sorted.
    void Partition(char *lo, char *hi, char **left, char **right) const {
        char *mid = MedianOfThree(lo, hi);
        char *l = lo + size;
        char *r = hi - size;
        // The median of three stops both scans inside [lo, hi]; the bounds
        // tests only keep a comparator that is not a consistent order from
        // leading them out of the array.
        do {
            while (l < hi && Before(l, mid)) l += size;
            while (r > lo && Before(mid, r)) r -= size;
            if (l < r) {
                SwapBytes(l, r, size);
                if (mid == l) {
                    mid = r;
                } else if (mid == r) {
                    mid = l;
                }
                l += size;
                r -= size;
            } else if (l == r) {
                l += size;
                r -= size;
                break;
            }
        } while (l <= r);
        *left = l;
        *right = r;
    }

    // True when [lo, hi] has at most HR_QSORT_THRESHOLD elements. hi may lie
    // one element before lo (an empty part).
    bool IsSmall(const char *lo, const char *hi) const {
        return hi - lo < static_cast<long>(HR_QSORT_THRESHOLD) * size;
    }

    // Partitions until every pending range is small, always continuing with
    // the smaller part and stacking the larger one.
    void QuickPhase(char *lo, char *hi) const {
        SortRange stack[HR_QSORT_STACK_DEPTH];
        int depth = 0;
        for (;;) {
            char *left;
            char *right;
            Partition(lo, hi, &left, &right);
            bool smallLow = IsSmall(lo, right);
            bool smallHigh = IsSmall(left, hi);
            if (smallLow && smallHigh) {
                if (depth == 0) return;
                --depth;
                lo = stack[depth].lo;
                hi = stack[depth].hi;
            } else if (smallLow) {
                lo = left;
            } else if (smallHigh) {
                hi = right;
            } else if (right - lo > hi - left) {
                stack[depth++] = SortRange{lo, right};
                lo = left;
            } else {
                stack[depth++] = SortRange{left, hi};
                hi = right;
            }
        }
    }

    // Insertion sort over the whole array. The smallest of the first
    // HR_QSORT_THRESHOLD + 1 elements goes to the front first; the quick
    // phase guarantees the overall minimum is among them, so it stops every
    // leftward scan (the bounds test only guards against inconsistent
    // comparators).
    void InsertionPhase(char *base, int count) const {
        char *end = base + static_cast<long>(count - 1) * size;
        char *thresh = base + static_cast<long>(HR_QSORT_THRESHOLD) * size;
        if (thresh > end) thresh = end;
        char *smallest = base;
        for (char *run = base + size; run <= thresh; run += size) {
            if (Before(run, smallest)) smallest = run;
        }
        if (smallest != base) SwapBytes(smallest, base, size);
        // Element 1 is not below the sentinel, so insertion starts at 2.
        for (char *run = base + 2 * static_cast<long>(size); run <= end; run += size) {
            char *pos = run;
            while (pos > base && Before(run, pos - size)) pos -= size;
            if (pos != run) RotateDown(pos, run, size);
        }
    }
};

}  // namespace

extern "C" {

int enc_get_utf8_size(const HR_UINT8 *lead) {
    HR_UINT8 b = *lead;
    if (b < 0x80) return 1;
    if (b < 0xC0) return -1;
    if (b < 0xE0) return 2;
    if (b < 0xF0) return 3;
    if (b < 0xF8) return 4;
    if (b < 0xFC) return 5;
    return 6;
}

int enc_utf8_to_utf32_one(const HR_UINT8 *src, unsigned long *out) {
    *out = 0;
    int n = enc_get_utf8_size(src);
    if (n < 0) return 0;
    if (n == 1) {
        *out = src[0];
        return 1;
    }
    unsigned long cp = LeadPayload(src[0], n);
    for (int i = 1; i < n; ++i) {
        if (!IsContinuation(src[i])) return 0;
        cp = (cp << 6) | (src[i] & 0x3Fu);
    }
    *out = cp;
    return n;
}

int enc_utf8_to_utf16_one(const HR_UINT8 *src, HR_UINT16 *out) {
    int n = enc_get_utf8_size(src);
    if (out == nullptr) return n < 0 ? 1 : n;
    *out = 0;
    if (n < 0) return 1;
    if (n == 1) {
        *out = src[0];
        return 1;
    }
    if (n > 3) return n;
    if (!IsContinuation(src[1])) return 0;
    if (n == 2) {
        *out = static_cast<HR_UINT16>(((src[0] & 0x1F) << 6) | (src[1] & 0x3F));
        return 2;
    }
    if (!IsContinuation(src[2])) return 0;
    *out = static_cast<HR_UINT16>(((src[0] & 0x0F) << 12) | ((src[1] & 0x3F) << 6) | (src[2] & 0x3F));
    return 3;
}

int HR_utf8_to_utf16(const char *src, int len, HR_UINT16 *dst, int capacity) {
    const HR_UINT8 *bytes = reinterpret_cast<const HR_UINT8 *>(src);
    int written = 0;
    int pos = 0;
    while (pos < len && written < capacity) {
        int n = enc_get_utf8_size(bytes + pos);
        if (n < 0) n = 1;
        if (n > len - pos) break;
        HR_UINT16 unit = 0;
        enc_utf8_to_utf16_one(bytes + pos, &unit);
        if (unit != 0) dst[written++] = unit;
        pos += n;
    }
    return written;
}

int enc_utf32_to_utf8_one(HR_UINT64 cp, char *dst, int room) {
    int n;
    if (cp <= 0x7F) {
        n = 1;
    } else if (cp <= 0x7FF) {
        n = 2;
    } else if (cp <= 0xFFFF) {
        n = 3;
    } else if (cp <= 0x1FFFFF) {
        n = 4;
    } else if (cp <= 0x3FFFFFF) {
        n = 5;
    } else if (cp <= 0x7FFFFFFF) {
        n = 6;
    } else {
        return 0;
    }
    if (room < n) return n;
    if (n == 1) {
        dst[0] = static_cast<char>(cp);
        return 1;
    }
    // Lead byte: n high bits set, then the top payload bits.
    static const HR_UINT8 kLeadMark[7] = {0, 0, 0xC0, 0xE0, 0xF0, 0xF8, 0xFC};
    for (int i = n - 1; i > 0; --i) {
        dst[i] = static_cast<char>(0x80 | (cp & 0x3F));
        cp >>= 6;
    }
    dst[0] = static_cast<char>(kLeadMark[n] | cp);
    return n;
}

int HR_utf16_to_utf8(const HR_UINT16 *src, int len, char *dst, int cap) {
    int count = 0;
    for (int i = 0; i < len; ++i) {
        int room = cap - count;
        count += enc_utf32_to_utf8_one(src[i], room > 0 ? dst + count : nullptr, room);
    }
    if (count < cap) dst[count] = 0;
    return count;
}

void *HR_memcpy(void *dst, const void *src, HR_UINT32 n) {
    CopyForward(static_cast<HR_UINT8 *>(dst), static_cast<const HR_UINT8 *>(src), n);
    return dst;
}

void *HR_memmove(void *dst, const void *src, HR_UINT32 n) {
    HR_UINT8 *d = static_cast<HR_UINT8 *>(dst);
    const HR_UINT8 *s = static_cast<const HR_UINT8 *>(src);
    if (d > s && d < s + n) {
        CopyBackward(d, s, n);
    } else {
        CopyForward(d, s, n);
    }
    return dst;
}

void *HR_memset(void *dst, int value, HR_UINT32 n) {
    HR_UINT8 *d = static_cast<HR_UINT8 *>(dst);
    HR_UINT8 byte = static_cast<HR_UINT8>(value);
    for (HR_UINT32 i = 0; i < n; ++i) d[i] = byte;
    return dst;
}

HR_UINT16 *HR_tolower(HR_UINT16 *s) {
    for (HR_UINT16 *p = s; *p != 0; ++p) {
        if (*p >= 'A' && *p <= 'Z') *p = static_cast<HR_UINT16>(*p + 0x20);
    }
    return s;
}

int HR_wcsncmp(const HR_UINT16 *a, const HR_UINT16 *b, HR_UINT32 n) {
    if (n == 0) return 0;
    HR_UINT32 i = 0;
    while (i < n - 1 && a[i] != 0 && a[i] == b[i]) ++i;
    return static_cast<int>(a[i]) - static_cast<int>(b[i]);
}

void HR_quicksort(void *base, int count, int size, HR_COMPARE compare, void *context) {
    if (count <= 0 || size <= 0) return;
    Sorter sorter{size, compare, context};
    char *lo = static_cast<char *>(base);
    if (count > static_cast<int>(HR_QSORT_THRESHOLD)) {
        sorter.QuickPhase(lo, lo + static_cast<long>(count - 1) * size);
    }
    sorter.InsertionPhase(lo, count);
}

}  // extern "C"
