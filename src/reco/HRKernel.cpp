// SPDX-License-Identifier: MIT
// Single-character recognizer: model image reader, two-level prototype
// search, model check and the handle-style interface.
#include "penrune/HRKernel.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "penrune/HRData.h"
#include "penrune/HRFeature.h"
#include "arch/HARecoKernels.h"
#include "feature/HRTable.h"
#include "penrune/HWUtils.h"
#include "util/HWBytes.h"
#include "util/HWText.h"

static_assert(sizeof(void *) != 8 || sizeof(_HR_RECO) == HR_RECO_INSTANCE_SIZE,
              "the recognizer instance must keep its 3024-byte layout");

namespace {

constexpr int kDim = HR_RECO_PROJECTED_DIM;
constexpr int kFeatureDim = HR_RECO_FEATURE_DIM;
constexpr HR_UINT16 kEmptyDistance = HR_RECO_EMPTY_DISTANCE;
constexpr HR_UINT16 kEmptyCode = HR_RECO_EMPTY_CODE;

// Section 1 starts with P, K, Din, Dout (uint16 each), then the matrix.
constexpr HR_UINT32 kSection1Head = 8;
// The vector kernels compute distances over rows of exactly this length.
static_assert(penrune::kHARowLength == kDim, "prototype rows and the vector kernels' row length differ");
constexpr HR_UINT32 kMatrixBytes = 2u * kFeatureDim * kDim;
// Section 2: T (uint16), T x 64 centre bytes, T + 1 uint32 offsets, M uint16.
constexpr HR_UINT32 kCentreCountBytes = 2;
constexpr HR_UINT32 kOffsetBytes = 4;
constexpr HR_UINT32 kIndexBytes = 2;
constexpr int kHeaderWords = 8;

// Han text: separator + character (at most 6 UTF-8 bytes) + space + digits.
constexpr int kUtf8Max = 6;
constexpr int kPieceMax = 1 + kUtf8Max + 1 + 10;

using penrune::LoadU16;
using penrune::LoadU32;

// The query in the units of the prototypes: y = q - 128, with q taken as the
// 8-bit value it stands for.
struct Query {
    alignas(32) HR_INT16 y[kDim];
};

void PrepareQuery(const HR_INT16 *q, Query *query) {
    for (int d = 0; d < kDim; ++d) query->y[d] = static_cast<HR_INT16>((q[d] & 0xFF) - 128);
}

// Distances are computed for up to this many centres or prototypes at a
// time, without early stopping, and then scanned in order. A full distance
// equals the early-stopping sum of the reference search whenever that sum is not above
// the limit, and is above the limit whenever that sum is, so every
// "d < limit" decision comes out the same; computing the distances apart
// from the decisions lets them run as one stream of vector work.
constexpr int kBatch = 256;

struct RowSequence {
    HR_UINT16 index[kBatch];
};

constexpr RowSequence MakeRowSequence() {
    RowSequence sequence{};
    for (int k = 0; k < kBatch; ++k) sequence.index[k] = static_cast<HR_UINT16>(k);
    return sequence;
}

// Row indices 0, 1, 2, ... for consecutive rows (the centres).
constexpr RowSequence kRowSequence = MakeRowSequence();

int BatchSize(HR_UINT32 from, HR_UINT32 end) {
    return end - from < static_cast<HR_UINT32>(kBatch) ? static_cast<int>(end - from) : kBatch;
}

// Moves entries [from, to) of a list one place down, to [from + 1, to + 1).
void ShiftDown(HR_UINT16 *list, int from, int to) {
    if (to > from) std::memmove(list + from + 1, list + from, (to - from) * sizeof(HR_UINT16));
}

// First position of the n ascending distances that holds a distance greater
// than d: equal distances stay ahead of a new entry.
int InsertPosition(const HR_UINT16 *distances, int n, HR_UINT32 d) {
    int j = 0;
    while (j < n && distances[j] <= d) ++j;
    return j;
}

void Fill(HR_UINT16 *list, int n, HR_UINT16 value) {
    for (int i = 0; i < n; ++i) list[i] = value;
}

// Stores (d, id) at the first of the n ascending distances that is greater
// than d, moving the later entries down; the last one falls off.
void InsertSorted(HR_UINT16 *distances, HR_UINT16 *ids, int n, HR_UINT32 d, HR_UINT16 id) {
    const int j = InsertPosition(distances, n, d);
    ShiftDown(distances, j, n - 1);
    ShiftDown(ids, j, n - 1);
    distances[j] = static_cast<HR_UINT16>(d);
    ids[j] = id;
}

// Keeps the `slots` nearest tree centres in the instance's distance and
// kept-centre lists, nearest first, ties in centre order. Returns how many
// were found (fewer than `slots` only when there are fewer centres).
int CoarseSearch(_HR_RECO *reco, const Query &query, int slots) {
    HR_UINT16 *distances = reco->distances;
    Fill(distances, slots, kEmptyDistance);
    const penrune::HARowDistancesFn rowDistances = penrune::HA_RecoKernels().rowDistances;
    HR_UINT32 d[kBatch];
    for (HR_UINT32 start = 0; start < reco->centreCount; start += kBatch) {
        const int count = BatchSize(start, reco->centreCount);
        rowDistances(query.y, reco->centres + start * kDim, kRowSequence.index, count, d);
        for (int k = 0; k < count; ++k) {
            if (d[k] < distances[slots - 1])
                InsertSorted(distances, reco->keptCentres, slots, d[k], static_cast<HR_UINT16>(start + k));
        }
    }
    int found = 0;
    while (found < slots && distances[found] != kEmptyDistance) ++found;
    return found;
}

// Position of code in the n-entry list, or n - 1 when it is not listed.
int CodePosition(const HR_UINT16 *codes, int n, HR_UINT16 code) {
    for (int m = 0; m < n; ++m) {
        if (codes[m] == code) return m;
    }
    return n - 1;
}

// Offers prototype f at distance d to the n-entry candidate list, which keeps
// each character once with its best distance.
void OfferCandidate(_HR_RECO *reco, int n, HR_UINT16 *codes, HR_UINT32 d, HR_UINT16 code, HR_UINT16 f) {
    HR_UINT16 *distances = reco->distances;
    const int i = InsertPosition(distances, n, d);
    const int m = CodePosition(codes, n, code);
    if (m < i) return;  // already listed with a distance at most d
    ShiftDown(distances, i, m);
    ShiftDown(codes, i, m);
    ShiftDown(reco->candPrototypes, i, m);
    distances[i] = static_cast<HR_UINT16>(d);
    codes[i] = code;
    reco->candPrototypes[i] = f;
}

// The candidate count in force, or 0 when it is outside 1..127 (the result
// lists hold 128 entries).
int ActiveCount(const _HR_RECO *reco) {
    const int n = reco->candCount;
    return (n > 0 && n <= HR_RECO_MAX_WANTED) ? n : 0;
}

// The members of the kept centres, in search order, gathered for one run
// of distance work: the distances of all of them are computed in one stream
// (their prototypes lie anywhere in the model, and loading many at once
// hides the memory latency), then offered to the list in order.
struct MemberBatch {
    static constexpr int kCapacity = 4 * kBatch;
    HR_UINT16 index[kCapacity];
    HR_UINT32 distance[kCapacity];
    int count;
};

// Computes the distances of the gathered members and offers them, in
// order, to the n-entry candidate list. The charset test and the penalty
// only ever keep a member out, so they are taken only for the members whose
// distance could enter the list: most are too far, and their charset bits
// need not be read.
void OfferMembers(_HR_RECO *reco, const Query &query, int n, HR_UINT16 *codes, MemberBatch &batch) {
    penrune::HA_RecoKernels().rowDistances(query.y, reco->prototypes, batch.index, batch.count, batch.distance);
    for (int i = 0; i < batch.count; ++i) {
        HR_UINT32 d = batch.distance[i];
        if (d >= reco->distances[n - 1]) continue;
        const HR_UINT16 f = batch.index[i];
        const HR_UINT16 bits = LoadU16(reco->charsets + f * 2u);
        if ((bits & reco->charsetMask) == 0) continue;
        if ((bits & reco->penaltyCharset) != 0) {
            d += reco->charsetPenalty;
            if (d >= reco->distances[n - 1]) continue;
        }
        const HR_UINT16 code = LoadU16(reco->codes + f * 2u);
        if (code != 0) OfferCandidate(reco, n, codes, d, code, f);
    }
    batch.count = 0;
}

// Searches the members of the kept centres, nearest centre first.
void FineSearch(_HR_RECO *reco, const Query &query, int n, int keptCount, HR_UINT16 *codes) {
    Fill(reco->distances, n, kEmptyDistance);
    Fill(codes, n, kEmptyCode);
    Fill(reco->candPrototypes, n, kEmptyCode);
    MemberBatch batch;
    batch.count = 0;
    for (int k = 0; k < keptCount; ++k) {
        const HR_UINT8 *offset = reco->memberOffsets + reco->keptCentres[k] * kOffsetBytes;
        const HR_UINT32 end = LoadU32(offset + kOffsetBytes);
        for (HR_UINT32 pos = LoadU32(offset); pos < end; ++pos) {
            if (batch.count == MemberBatch::kCapacity) OfferMembers(reco, query, n, codes, batch);
            const HR_UINT16 f = LoadU16(reco->members + pos * kIndexBytes);
            batch.index[batch.count++] = f;
        }
    }
    OfferMembers(reco, query, n, codes, batch);
}

// Whether prototype k is listed among the members of centre c, by the
// caller's offsets, kept within the model's member list.
bool IsMemberOf(const _HR_RECO *reco, const HR_UINT32 *offsets, int c, int k) {
    const HR_UINT32 total = LoadU32(reco->memberOffsets + reco->centreCount * kOffsetBytes);
    const HR_UINT32 end = offsets[c + 1] < total ? offsets[c + 1] : total;
    for (HR_UINT32 pos = offsets[c]; pos < end; ++pos) {
        if (LoadU16(reco->members + pos * kIndexBytes) == k) return true;
    }
    return false;
}

// Cost of one dimension for q - p = i: the table's (i - 128)^2, and the same
// square computed directly where i falls outside the table.
HR_UINT32 DimensionCost(int i) {
    if (i >= 0 && i < HR_SQUARE_TABLE_SIZE) return g_nSquareTable[i];
    const HR_INT32 y = i - HR_SQUARE_TABLE_ZERO;
    return static_cast<HR_UINT32>(y * y);
}

// One candidate of the handle text: [space] character space distance.
int FormatCandidate(bool first, HR_UINT16 code, HR_UINT16 distance, char *piece) {
    int len = 0;
    if (!first) piece[len++] = ' ';
    len += enc_utf32_to_utf8_one(code, piece + len, kUtf8Max);
    piece[len++] = ' ';
    return len + static_cast<int>(HW_FormatDecimal(piece + len, distance));
}

// Writes the candidates that fit whole into capacity bytes with the NUL.
int WriteCandidateText(const HR_UINT16 *codes, const HR_UINT16 *distances, int count, char *out, int capacity) {
    int position = 0;
    for (int i = 0; i < count; ++i) {
        char piece[kPieceMax];
        const int len = FormatCandidate(i == 0, codes[i], distances[i], piece);
        if (position + len >= capacity) break;
        std::memcpy(out + position, piece, len);
        position += len;
    }
    out[position] = '\0';
    return position;
}

// Checks the header words and dimensions; on success stores where the tree
// section starts and the prototype count.
bool CheckSection1(const HR_UINT8 *image, HR_UINT32 size, HR_UINT32 *treeAt, HR_UINT16 *p) {
    if (size < HR_MODEL_HEADER_SIZE + kSection1Head || LoadU32(image) != HR_MODEL_HEADER_SIZE) return false;
    const HR_UINT8 *section = image + HR_MODEL_HEADER_SIZE;
    *p = LoadU16(section);
    if (static_cast<HR_INT16>(LoadU16(section + 4)) != kFeatureDim ||
        static_cast<HR_INT16>(LoadU16(section + 6)) != kDim)
        return false;
    const HR_UINT64 end =
        static_cast<HR_UINT64>(HR_MODEL_HEADER_SIZE) + kSection1Head + kMatrixBytes + static_cast<HR_UINT64>(kDim) * *p;
    *treeAt = LoadU32(image + 4);
    return *treeAt == end;
}

// Checks the running sums of header words 2 to 7 given the tree section's
// size, and that the image ends within size.
bool CheckSectionSums(const HR_UINT8 *image, HR_UINT32 size, HR_UINT64 treeSize, HR_UINT16 p) {
    const HR_UINT64 sizes[kHeaderWords] = {0, 0, treeSize, 2u * p, 2u * p, 0, 0, 0};
    for (int k = 2; k < kHeaderWords; ++k) {
        if (LoadU32(image + 4 * k) != LoadU32(image + 4 * (k - 1)) + sizes[k]) return false;
    }
    return LoadU32(image + 4 * (kHeaderWords - 1)) <= size;
}

// Member offsets start at 0, never decrease (so the last, M, bounds them
// all) and every member index is below P.
bool CheckMembers(const HR_UINT8 *offsets, HR_UINT16 t, const HR_UINT8 *members, HR_UINT16 p) {
    if (LoadU32(offsets) != 0) return false;
    for (HR_UINT32 c = 0; c < t; ++c) {
        if (LoadU32(offsets + (c + 1) * kOffsetBytes) < LoadU32(offsets + c * kOffsetBytes)) return false;
    }
    const HR_UINT32 total = LoadU32(offsets + t * kOffsetBytes);
    for (HR_UINT32 pos = 0; pos < total; ++pos) {
        if (LoadU16(members + pos * kIndexBytes) >= p) return false;
    }
    return true;
}

}  // namespace

extern "C" {

HR_UINT32 HRReco_GetInstanceSize(void) { return sizeof(_HR_RECO); }

_HR_RECO *HRReco_Initialize(void *block, HR_UINT32 size, const HR_UINT8 *const *model) {
    if (block == nullptr || size < sizeof(_HR_RECO) || reinterpret_cast<std::uintptr_t>(block) % alignof(_HR_RECO) != 0)
        return nullptr;
    const HR_UINT8 *image = (model != nullptr && *model != nullptr) ? *model : HRData_GetDataPtr();
    _HR_RECO *reco = static_cast<_HR_RECO *>(block);
    reco->charsetMask = HR_RECO_DEFAULT_CHARSET;
    reco->penaltyCharset = HR_RECO_DEFAULT_PENALTY_CHARSET;
    reco->charsetPenalty = HR_RECO_DEFAULT_PENALTY;
    reco->candCount = HR_RECO_DEFAULT_CANDS;

    const HR_UINT8 *section1 = image + LoadU32(image);
    reco->prototypeCount = LoadU16(section1);
    reco->classCount = LoadU16(section1 + 2);
    reco->inputDim = static_cast<HR_INT16>(LoadU16(section1 + 4));
    reco->outputDim = static_cast<HR_INT16>(LoadU16(section1 + 6));
    reco->matrix = reinterpret_cast<const HR_INT16 *>(section1 + kSection1Head);
    reco->prototypes =
        reinterpret_cast<const HR_INT8 *>(section1 + kSection1Head + 2 * reco->inputDim * reco->outputDim);

    const HR_UINT8 *section2 = image + LoadU32(image + 4);
    reco->centreCount = LoadU16(section2);
    reco->centres = reinterpret_cast<const HR_INT8 *>(section2 + kCentreCountBytes);
    reco->memberOffsets = section2 + kCentreCountBytes + reco->outputDim * reco->centreCount;
    reco->members = reco->memberOffsets + kOffsetBytes * (reco->centreCount + 1u);

    reco->codes = image + LoadU32(image + 8);
    reco->charsets = reco->codes + 2u * reco->prototypeCount;
    return reco;
}

void HRReco_Terminate(_HR_RECO *) {}

HR_UINT16 HRReco_RecognizeShort(_HR_RECO *reco, _HR_POINT16 *points, HR_UINT16 n, HR_UINT16 wanted, HR_UINT16 *codes,
                                HR_UINT16 *distances) {
    _HR_POINT8 *bytes = reinterpret_cast<_HR_POINT8 *>(points);
    HRFeature_Point16ToPoint8(points, n, bytes);
    return HRReco_RecognizeByte(reco, bytes, n, wanted, codes, distances);
}

HR_UINT16 HRReco_RecognizeByte(_HR_RECO *reco, _HR_POINT8 *points, HR_UINT16 n, HR_UINT16 wanted, HR_UINT16 *codes,
                               HR_UINT16 *distances) {
    if (wanted <= HR_RECO_MAX_WANTED) reco->candCount = static_cast<HR_INT16>(wanted);
    const int count = ActiveCount(reco);
    if (count == 0) return 0;
    HRFeature_Extract1024DimFeature(points, n, reco->feature);
    HRReco_MatchProcess(reco, codes);
    // Only the count's worth of distances exists; a wanted count above 127
    // must not read past the instance's list.
    if (distances != nullptr) std::memcpy(distances, reco->distances, count * sizeof(HR_UINT16));
    return static_cast<HR_UINT16>(count);
}

void HRReco_MatchProcess(_HR_RECO *reco, HR_UINT16 *codes) {
    const int n = ActiveCount(reco);
    if (n == 0) return;
    HRFeature_Transform(reco->feature, kFeatureDim, reco->compressed, kDim, reco->matrix);
    Query query;
    PrepareQuery(reco->compressed, &query);
    const int keptCount = CoarseSearch(reco, query, n);
    FineSearch(reco, query, n, keptCount, codes);
    HRReco_SortCands(reco->distances, codes, n);
}

HR_UINT32 HRReco_CountDistanceShortCutByMax(const HR_INT16 *q, const HR_INT8 *p, int length, HR_UINT32 limit) {
    HR_UINT32 sum = 0;
    for (int d = 0; d < length; ++d) {
        sum += DimensionCost(q[d] - p[d]);
        if (sum > limit) return sum;
    }
    return sum;
}

void HRReco_SortCands(HR_UINT16 *distances, HR_UINT16 *codes, int count) {
    for (int i = 0; i + 1 < count; ++i) {
        for (int j = count - 1; j > i; --j) {
            if (distances[j] >= distances[j - 1]) continue;
            const HR_UINT16 d = distances[j];
            distances[j] = distances[j - 1];
            distances[j - 1] = d;
            const HR_UINT16 c = codes[j];
            codes[j] = codes[j - 1];
            codes[j - 1] = c;
        }
    }
}

int HRReco_GetNearestModelIndex(_HR_RECO *reco, const HR_INT16 *q, int count, const HR_UINT16 *indices) {
    if (count == 1) return indices[0];
    Query query;
    PrepareQuery(q, &query);
    const penrune::HARowDistancesFn rowDistances = penrune::HA_RecoKernels().rowDistances;
    HR_UINT16 index[kBatch];
    HR_UINT32 d[kBatch];
    HR_UINT32 best = kEmptyDistance;
    int result = -1;
    for (int start = 0; start < count; start += kBatch) {
        const int batch = BatchSize(start, count);
        int valid = 0;
        for (int k = 0; k < batch; ++k) {
            index[valid] = indices[start + k];  // kept only when it is a prototype index
            valid += indices[start + k] < reco->prototypeCount;
        }
        rowDistances(query.y, reco->prototypes, index, valid, d);
        for (int k = 0; k < valid; ++k) {
            if (d[k] < best) {
                best = d[k];
                result = index[k];
            }
        }
    }
    return result;
}

void HRReco_TreeProcess(_HR_RECO *reco, const HR_INT16 *q, int k, const HR_UINT32 *offsets, int branches,
                        _HR_TREE_STAT *stats) {
    if (branches <= 0) return;
    if (branches > HR_RECO_MAX_CANDS) branches = HR_RECO_MAX_CANDS;
    Query query;
    PrepareQuery(q, &query);
    const int kept = CoarseSearch(reco, query, branches);
    if (kept == 0) return;
    bool found = false;
    for (int i = 0; i < kept && !found; ++i) found = IsMemberOf(reco, offsets, reco->keptCentres[i], k);
    _HR_TREE_STAT *stat = &stats[k];
    for (int i = 0; i < kept; ++i) {
        const HR_UINT16 c = reco->keptCentres[i];
        stat->visit[c] += 1;
        if (!found) stat->miss[c] += 1;
    }
    if (found)
        stat->hitCount += 1;
    else
        stat->missCount += 1;
}

int HRReco_CheckModel(const HR_UINT8 *image, HR_UINT32 size) {
    HR_UINT32 treeAt = 0;
    HR_UINT16 p = 0;
    if (image == nullptr || !CheckSection1(image, size, &treeAt, &p)) return 0;
    if (static_cast<HR_UINT64>(treeAt) + kCentreCountBytes > size) return 0;
    const HR_UINT16 t = LoadU16(image + treeAt);
    const HR_UINT64 offsetsAt = static_cast<HR_UINT64>(treeAt) + kCentreCountBytes + static_cast<HR_UINT64>(kDim) * t;
    if (offsetsAt + kOffsetBytes * (t + 1ull) > size) return 0;
    const HR_UINT8 *offsets = image + offsetsAt;
    const HR_UINT32 total = LoadU32(offsets + t * kOffsetBytes);
    const HR_UINT64 treeSize = kCentreCountBytes + (kDim + kOffsetBytes) * static_cast<HR_UINT64>(t) + kOffsetBytes +
                               static_cast<HR_UINT64>(kIndexBytes) * total;
    if (!CheckSectionSums(image, size, treeSize, p)) return 0;
    // The sums place the member list before header word 7, which lies within size.
    const HR_UINT8 *members = offsets + kOffsetBytes * (t + 1ull);
    return CheckMembers(offsets, t, members, p) ? 1 : 0;
}

_HR_RECO *HRHan_New(void) {
    void *block = std::malloc(sizeof(_HR_RECO));
    if (block == nullptr) return nullptr;
    return HRReco_Initialize(block, sizeof(_HR_RECO), nullptr);
}

int HRHan_Recognize(_HR_RECO *handle, const HR_INT16 *points, HR_INT16 length, int wanted, char *out,
                    HR_INT16 capacity) {
    if (out == nullptr || capacity <= 0) return 0;
    out[0] = '\0';
    if (handle == nullptr || wanted <= 0) return 0;
    int count = length > 2 * HR_HAN_MAX_POINTS ? HR_HAN_MAX_POINTS : length / 2;
    if (count < 0 || points == nullptr) count = 0;
    _HR_POINT16 local[HR_HAN_MAX_POINTS];
    if (count > 0) std::memcpy(local, points, count * sizeof(_HR_POINT16));
    HR_UINT16 codes[HR_HAN_MAX_CANDS];
    HR_UINT16 distances[HR_HAN_MAX_CANDS];
    const HR_UINT16 found = HRReco_RecognizeShort(
        handle, local, static_cast<HR_UINT16>(count),
        static_cast<HR_UINT16>(wanted > HR_HAN_MAX_CANDS ? HR_HAN_MAX_CANDS : wanted), codes, distances);
    return WriteCandidateText(codes, distances, found, out, capacity);
}

void HRHan_Free(_HR_RECO *handle) { std::free(handle); }

}  // extern "C"
