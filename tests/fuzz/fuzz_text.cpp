// SPDX-License-Identifier: MIT
// The UTF-8 / UTF-16 helpers and the string helpers: any bytes, any
// lengths and capacities, guard bytes past every output buffer.
#include <cstring>
#include <vector>

#include "FuzzSupport.h"
#include "penrune/HWUtils.h"

using penrune_fuzz::Fail;
using penrune_fuzz::FuzzInput;
using penrune_fuzz::Guarded;

namespace {

void Utf8ToUtf16(const std::vector<char> &text, int capacity) {
    Guarded<HR_UINT16> out(static_cast<std::size_t>(capacity));
    const int n = HR_utf8_to_utf16(text.data(), static_cast<int>(text.size()), out.data(), capacity);
    out.Check();
    if (n < 0 || n > capacity || n > static_cast<int>(text.size())) Fail("utf8 to utf16 count");
}

// Any units; units that are neither 0 nor surrogates come back unchanged
// through UTF-8.
void Utf16ToUtf8(const std::vector<HR_UINT16> &units, int capacity) {
    const int len = static_cast<int>(units.size());
    Guarded<char> out(static_cast<std::size_t>(capacity));
    const int needed = HR_utf16_to_utf8(units.data(), len, out.data(), capacity);
    out.Check();
    // Zero units encode as zero bytes: the terminator is found by position.
    if (needed < 0 || (needed < capacity && out[static_cast<std::size_t>(needed)] != '\0'))
        Fail("utf16 to utf8 length");
    std::vector<char> whole(static_cast<std::size_t>(needed) + 1);
    HR_utf16_to_utf8(units.data(), len, whole.data(), needed + 1);
    std::vector<HR_UINT16> back(units.size());
    const int n = HR_utf8_to_utf16(whole.data(), needed, back.data(), len);
    std::vector<HR_UINT16> plain;
    for (HR_UINT16 u : units)
        if (u != 0 && (u < 0xD800 || u > 0xDFFF)) plain.push_back(u);
    if (plain.size() == units.size() && (n != len || back != units)) Fail("round trip through UTF-8");
}

// The one-sequence decoders on a terminated copy, and the string helpers.
void OneSequence(std::vector<char> text) {
    text.push_back('\0');
    const HR_UINT8 *bytes = reinterpret_cast<const HR_UINT8 *>(text.data());
    unsigned long cp = 0;
    HR_UINT16 unit = 0;
    for (std::size_t i = 0; i + 1 < text.size(); ++i) {
        enc_get_utf8_size(bytes + i);
        if (enc_utf8_to_utf32_one(bytes + i, &cp) < 0) Fail("negative sequence length");
        enc_utf8_to_utf16_one(bytes + i, &unit);
    }
    char encoded[8];
    enc_utf32_to_utf8_one(cp, encoded, sizeof encoded);
    std::vector<HR_UINT16> units(text.size() / 2 + 1, 0);
    std::memcpy(units.data(), text.data(), text.size() / 2 * 2);
    std::vector<HR_UINT16> other = units;
    HR_tolower(other.data());
    HR_wcsncmp(units.data(), other.data(), static_cast<HR_UINT32>(units.size()));
}

int CompareBytes(const void *x, const void *y, void *) {
    return *static_cast<const std::uint8_t *>(x) - *static_cast<const std::uint8_t *>(y);
}

void Sort(std::vector<char> text) {
    HR_quicksort(text.data(), static_cast<int>(text.size()), 1, CompareBytes, nullptr);
    for (std::size_t i = 1; i < text.size(); ++i)
        if (static_cast<std::uint8_t>(text[i - 1]) > static_cast<std::uint8_t>(text[i])) Fail("not sorted");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    FuzzInput in(data, size);
    const std::uint8_t op = in.Byte();
    const int capacity = in.U16() % 4096;
    std::vector<char> text(in.remaining());
    for (char &c : text) c = static_cast<char>(in.Byte());
    switch (op % 4) {
        case 0:
            Utf8ToUtf16(text, capacity);
            break;
        case 1: {
            std::vector<HR_UINT16> units(text.size() / 2);
            if (!units.empty()) std::memcpy(units.data(), text.data(), units.size() * 2);
            Utf16ToUtf8(units, capacity);
            break;
        }
        case 2:
            OneSequence(text);
            break;
        default:
            Sort(text);
            break;
    }
    return 0;
}
