// SPDX-License-Identifier: MIT
// Dictionary builder: assembles a recognition model image in memory and
// writes it to a file in the layout the recognizer reads.
#include "train/HTDict.h"

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <vector>

#include "train/HTCode.h"
#include "util/HWBytes.h"

namespace {

constexpr int kTransformSize = HT_DICT_INPUT_DIM * HT_DICT_OUTPUT_DIM;
constexpr int kHeaderWords = HT_DICT_HEADER_SIZE / 4;
constexpr float kTransformScale = 256.0f;

// The process-wide builder record.
struct Dict {
    HR_UINT16 modelTotal = 0;           // P
    HR_UINT16 slotCount = 0;            // K
    HR_UINT16 inputDim = 0;             // Din
    HR_UINT16 outputDim = 0;            // Dout
    HR_UINT16 centreCount = 0;          // T
    std::vector<HR_INT16> transform;    // empty until set: written as zeros
    std::vector<HR_UINT32> offsets{0};  // T + 1 member offsets
    std::vector<HR_INT8> centres;       // T × 64
    std::vector<HR_UINT16> members;     // M prototype indices
    std::vector<HR_INT8> prototypes;    // P × 64
    std::vector<HR_UINT16> codes;       // P class codes
};

Dict g_stDict;

// Transform element × 256, truncated toward zero and saturated to int16.
HR_INT16 ScaleTransform(float value) {
    double scaled = static_cast<double>(value) * kTransformScale;
    if (std::isnan(scaled)) return 0;
    if (scaled >= INT16_MAX) return INT16_MAX;
    if (scaled <= INT16_MIN) return INT16_MIN;
    return static_cast<HR_INT16>(scaled);
}

// Centre component rounded half away from zero, kept as its low 8 bits.
// Values beyond the int32 range (never produced by clustering) saturate
// first so the conversion stays defined.
HR_INT8 RoundCentre(float value) {
    double x = value;
    if (std::isnan(x)) return 0;
    double rounded = x >= 0 ? x + 0.5 : x - 0.5;
    if (rounded >= INT32_MAX) rounded = INT32_MAX;
    if (rounded <= INT32_MIN) rounded = INT32_MIN;
    auto whole = static_cast<std::int32_t>(rounded);
    return static_cast<HR_INT8>(static_cast<HR_UINT8>(whole & 0xFF));
}

// Charset bits of a class code from the charset code table; 0 for a code
// without item.
HR_UINT16 CharsetOf(HR_UINT16 code) {
    HR_UINT16 index = g_nCodeIndex[code];
    return index < HTCode_GetItemTotal() ? HTCode_GetItemPtr()[index].charset : 0;
}

// Little-endian image assembly.
class ImageWriter {
public:
    explicit ImageWriter(size_t size) { bytes_.reserve(size); }
    void U16(HR_UINT16 v) { Put(v, 2); }
    void U32(HR_UINT32 v) { Put(v, 4); }
    void Bytes(const HR_INT8 *data, size_t n) {
        const auto *p = reinterpret_cast<const HR_UINT8 *>(data);
        bytes_.insert(bytes_.end(), p, p + n);
    }
    const std::vector<HR_UINT8> &bytes() const { return bytes_; }

private:
    void Put(HR_UINT32 v, int n) {
        HR_UINT8 b[4];
        penrune::StoreU32(b, v);
        bytes_.insert(bytes_.end(), b, b + n);
    }
    std::vector<HR_UINT8> bytes_;
};

void WriteHeader(ImageWriter &out) {
    HR_UINT32 word = HT_DICT_HEADER_SIZE;
    out.U32(word);
    for (int k = 1; k < kHeaderWords; ++k) {
        word += static_cast<HR_UINT32>(HTDict_GetSectionSize(k));
        out.U32(word);
    }
}

void WriteSections(ImageWriter &out) {
    const Dict &d = g_stDict;
    out.U16(d.modelTotal);
    out.U16(d.slotCount);
    out.U16(d.inputDim);
    out.U16(d.outputDim);
    for (int i = 0; i < kTransformSize; ++i) out.U16(static_cast<HR_UINT16>(d.transform.empty() ? 0 : d.transform[i]));
    out.Bytes(d.prototypes.data(), d.prototypes.size());
    out.U16(d.centreCount);
    out.Bytes(d.centres.data(), d.centres.size());
    for (HR_UINT32 offset : d.offsets) out.U32(offset);
    for (HR_UINT16 member : d.members) out.U16(member);
    for (HR_UINT16 code : d.codes) out.U16(code);
    for (HR_UINT16 code : d.codes) out.U16(CharsetOf(code));
}

bool WriteFile(const char *path, const std::vector<HR_UINT8> &bytes) {
    std::FILE *fp = path != nullptr ? std::fopen(path, "wb") : nullptr;
    if (fp == nullptr) return false;
    bool ok = std::fwrite(bytes.data(), 1, bytes.size(), fp) == bytes.size();
    return std::fclose(fp) == 0 && ok;
}

}  // namespace

extern "C" int HTDict_Initialize(void) {
    g_stDict.inputDim = HT_DICT_INPUT_DIM;
    g_stDict.outputDim = HT_DICT_OUTPUT_DIM;
    return 1;
}

extern "C" int HTDict_SetTransVector(const float *matrix) {
    if (matrix == nullptr) return 0;
    g_stDict.transform.resize(kTransformSize);
    for (int i = 0; i < kTransformSize; ++i) g_stDict.transform[i] = ScaleTransform(matrix[i]);
    return 1;
}

extern "C" int HTDict_SetModelFeat(int slotCount, const _HT_CLASS_SLOT *slots) {
    if (slotCount < 0 || slotCount > HT_DICT_MAX_COUNT || (slotCount > 0 && slots == nullptr)) return 0;
    long total = 0;
    for (int s = 0; s < slotCount; ++s) {
        if (slots[s].count > 0 && slots[s].feat == nullptr) return 0;
        total += slots[s].count > 0 ? slots[s].count : 0;
    }
    if (total > HT_DICT_MAX_COUNT) return 0;
    Dict &d = g_stDict;
    d.prototypes.clear();
    d.codes.clear();
    for (int s = 0; s < slotCount; ++s) {
        int count = slots[s].count > 0 ? slots[s].count : 0;
        d.prototypes.insert(d.prototypes.end(), slots[s].feat, slots[s].feat + count * HT_DICT_OUTPUT_DIM);
        d.codes.insert(d.codes.end(), count, static_cast<HR_UINT16>(s));
    }
    d.modelTotal = static_cast<HR_UINT16>(total);
    d.slotCount = static_cast<HR_UINT16>(slotCount);
    return 1;
}

extern "C" int HTDict_GetModelTotal(void) { return g_stDict.modelTotal; }

extern "C" const HR_INT8 *HTDict_GetModelFeatPtr(void) {
    return g_stDict.prototypes.empty() ? nullptr : g_stDict.prototypes.data();
}

extern "C" int HTDict_SetTreeCenter(const float *centres, int T, const HR_UINT16 *assign, int count) {
    if (T < 0 || T > HT_DICT_MAX_COUNT || count < 0 || count > HT_DICT_MAX_COUNT || (T > 0 && centres == nullptr) ||
        (count > 0 && assign == nullptr))
        return 0;
    Dict &d = g_stDict;
    d.centreCount = static_cast<HR_UINT16>(T);
    d.centres.resize(static_cast<size_t>(T) * HT_DICT_OUTPUT_DIM);
    for (size_t i = 0; i < d.centres.size(); ++i) d.centres[i] = RoundCentre(centres[i]);
    // Offsets from the member count of each centre, then the members placed
    // through a running cursor per centre: ascending prototype order.
    d.offsets.assign(static_cast<size_t>(T) + 1, 0);
    for (int j = 0; j < count; ++j)
        if (assign[j] < T) ++d.offsets[assign[j] + 1];
    for (int c = 0; c < T; ++c) d.offsets[c + 1] += d.offsets[c];
    d.members.assign(d.offsets[T], 0);
    std::vector<HR_UINT32> cursor(d.offsets.begin(), d.offsets.end() - 1);
    for (int j = 0; j < count; ++j)
        if (assign[j] < T) d.members[cursor[assign[j]]++] = static_cast<HR_UINT16>(j);
    return 1;
}

extern "C" int HTDict_UpdateTree(int T, const HR_UINT16 *offsets16, const HR_UINT16 *const *lists,
                                 const HR_UINT32 *offsets32) {
    Dict &d = g_stDict;
    if (T != d.centreCount || offsets16 == nullptr || offsets32 == nullptr || (T > 0 && lists == nullptr)) return 0;
    // Validate before changing anything: run lengths must not be negative,
    // every non-empty run needs its list, and the 16-bit offsets must be the
    // running sums, or the written offsets would disagree with the list.
    std::vector<HR_UINT32> offsets(static_cast<size_t>(T) + 1, 0);
    for (int c = 0; c < T; ++c) {
        if (offsets32[c + 1] < offsets32[c]) return 0;
        HR_UINT32 run = offsets32[c + 1] - offsets32[c];
        if (run > 0 && lists[c] == nullptr) return 0;
        offsets[c + 1] = offsets[c] + run;
    }
    for (int c = 0; c <= T; ++c)
        if (offsets16[c] != static_cast<HR_UINT16>(offsets[c])) return 0;
    std::vector<HR_UINT16> members;
    members.reserve(offsets[T]);
    for (int c = 0; c < T; ++c) members.insert(members.end(), lists[c], lists[c] + (offsets[c + 1] - offsets[c]));
    d.offsets.swap(offsets);
    d.members.swap(members);
    return 1;
}

extern "C" HR_INT32 HTDict_GetSectionSize(int section) {
    const Dict &d = g_stDict;
    switch (section) {
        case 1:
            return 8 + 2 * kTransformSize + HT_DICT_OUTPUT_DIM * d.modelTotal;
        case 2:
            return 68 * d.centreCount + 2 * static_cast<HR_INT32>(d.members.size()) + 6;
        case 3:
        case 4:
            return 2 * d.modelTotal;
        default:
            return 0;
    }
}

extern "C" int HTDict_SaveResult(const char *path) {
    // The section sizes assume the 1024 × 64 transform set by Initialize.
    if (g_stDict.inputDim != HT_DICT_INPUT_DIM || g_stDict.outputDim != HT_DICT_OUTPUT_DIM) return 0;
    ImageWriter out(HT_DICT_HEADER_SIZE + HTDict_GetSectionSize(1) + HTDict_GetSectionSize(2) +
                    HTDict_GetSectionSize(3) + HTDict_GetSectionSize(4));
    WriteHeader(out);
    WriteSections(out);
    return WriteFile(path, out.bytes()) ? 1 : 0;
}

extern "C" int HTDict_LoadFile(const char *path, HR_UINT8 *buffer, int capacity) {
    std::FILE *fp = path != nullptr ? std::fopen(path, "rb") : nullptr;
    if (fp == nullptr) return 0;
    long length = std::fseek(fp, 0, SEEK_END) == 0 ? std::ftell(fp) : -1;
    bool ok = length >= 0 && length <= capacity && std::fseek(fp, 0, SEEK_SET) == 0;
    if (ok && length > 0)
        ok = buffer != nullptr && std::fread(buffer, 1, static_cast<size_t>(length), fp) == static_cast<size_t>(length);
    std::fclose(fp);
    return ok ? 1 : 0;
}
