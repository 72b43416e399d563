// SPDX-License-Identifier: MIT
// Kernel instance, stroke buffer, the recognition pass run after every stroke
// and the histogram segmentation of a line into characters.
#include "penrune/HWKernel.h"

#include <cstdint>

#include "kernel/HWLineSearch.h"
#include "penrune/HWUtils.h"
#include "util/HWBytes.h"

namespace {

const _HR_POINT16 kStrokeEnd = {HR_MARKER16, 0x0000};
const _HR_POINT16 kDataEnd = {HR_MARKER16, 0xFFFF};

bool IsMarker(const _HR_POINT16 &p) { return p.x == HR_MARKER16; }

void *RecognizerStorage(_HW_KERNEL *kernel) { return reinterpret_cast<HR_UINT8 *>(kernel) + sizeof(_HW_KERNEL); }

// True when some prototype of the model has a charset bit of mask. The
// model's charset bits are little-endian uint16 values, one per prototype.
bool SelectsPrototype(const _HR_RECO &reco, HR_UINT16 mask) {
    for (HR_UINT32 i = 0; i < reco.prototypeCount; ++i) {
        const HR_UINT16 bits = penrune::LoadU16(reco.charsets + 2 * i);
        if ((bits & mask) != 0) return true;
    }
    return false;
}

// Calls store(start, n) for every run of the input that makes a stroke. A
// run ends at a marker or at the last input point; runs of one point (a lone
// marker, or a single last point without one) are dropped.
template <typename Store>
void ForEachRun(const _HR_POINT16 *points, HR_UINT32 count, Store store) {
    HR_UINT32 start = 0;
    for (HR_UINT32 i = 0; i < count; ++i) {
        if (!IsMarker(points[i]) && i + 1 != count) continue;
        if (i - start + 1 > 1) store(start, i - start + 1);
        start = i + 1;
    }
}

// Appends the run points[0..n-1] as a stroke, adding the stroke-end marker
// when the run has none, and terminates the data after it.
void StoreStroke(_HW_KERNEL *kernel, const _HR_POINT16 *run, HR_UINT32 n) {
    _HW_STROKE &stroke = kernel->stroke[kernel->strokeTotal];
    stroke.first = kernel->pointTotal;
    HR_memcpy(&kernel->point[stroke.first], run, n * sizeof(_HR_POINT16));
    if (!IsMarker(run[n - 1])) kernel->point[stroke.first + n++] = kStrokeEnd;
    stroke.length = static_cast<HR_INT32>(n);
    kernel->pointTotal += stroke.length;
    kernel->strokeTotal += 1;
    kernel->point[kernel->pointTotal] = kDataEnd;
}

// Bounding box of the real points of stroke index.
void ComputeBox(_HW_KERNEL *kernel, HR_INT32 index) {
    const _HW_STROKE &stroke = kernel->stroke[index];
    const _HR_POINT16 *p = &kernel->point[stroke.first];
    _HW_RECT box = {p[0].x, p[0].y, p[0].x, p[0].y};
    for (HR_INT32 i = 1; i < stroke.length; ++i) {
        if (IsMarker(p[i])) continue;
        if (p[i].x < box.left) box.left = p[i].x;
        if (p[i].x > box.right) box.right = p[i].x;
        if (p[i].y < box.top) box.top = p[i].y;
        if (p[i].y > box.bottom) box.bottom = p[i].y;
    }
    kernel->box[index] = box;
}

// Recognises the points from index `first` through the end-of-data point as
// one character. Slots the recognizer does not fill stay empty, so every
// block of the builder holds exactly HW_RECO_CANDIDATES entries.
void RecognizeFrom(_HW_KERNEL *kernel, HR_INT32 first, HR_UINT16 wanted, HR_UINT16 *codes, HR_UINT16 *distances) {
    HR_UINT32 n = static_cast<HR_UINT32>(kernel->pointTotal - first + 1);
    HR_memcpy(kernel->scratch, &kernel->point[first], n * sizeof(_HR_POINT16));
    for (int i = 0; i < wanted; ++i) {
        codes[i] = HR_RECO_EMPTY_CODE;
        distances[i] = HR_RECO_EMPTY_DISTANCE;
    }
    HRReco_RecognizeShort(kernel->reco, kernel->scratch, static_cast<HR_UINT16>(n), wanted, codes, distances);
}

// The classic pass: every start stroke recognised, the histogram
// segmentation, the builder's list.
void RecognizeClassic(_HW_KERNEL *kernel, HR_INT32 n) {
    // Beyond the builder's stroke counts no pass opens and nothing could be
    // stored; once the builder refuses a block (its table is full) it refuses
    // every later block of the pass. Recognitions whose results would be
    // dropped are not run.
    bool open = PYCand_BeginStroke(&kernel->cand, static_cast<HR_UINT16>(n)) != 0;
    for (HR_INT32 k = 0; open && k < n; ++k) {
        HR_UINT16 codes[HW_RECO_CANDIDATES], distances[HW_RECO_CANDIDATES];
        RecognizeFrom(kernel, kernel->stroke[k].first, HW_RECO_CANDIDATES, codes, distances);
        open = PYCand_AddRecoResult(&kernel->cand, HW_RECO_CANDIDATES, codes, distances,
                                    static_cast<HR_UINT16>(n - k)) != 0;
    }
    ComputeBox(kernel, n - 1);
    HWKernel_CalcHistogram(kernel);
    PYCand_FinishStroke(&kernel->cand, static_cast<HR_UINT16>(n), kernel->segmentTotal, kernel->segment);
}

// The line pass: the runs of the window that may be one character are
// recognised, and the paths extended to the newest stroke.
void RecognizeLine(_HW_KERNEL *kernel, HR_INT32 n) {
    ComputeBox(kernel, n - 1);
    HWLine_BeginPass(&kernel->line, kernel->box, static_cast<HR_UINT32>(n));
    for (HR_INT32 k = n - 1; k >= 0 && k >= n - HW_LINE_WINDOW; --k) {
        if (!HWLine_OpenRun(&kernel->line, kernel->box, static_cast<HR_UINT32>(k))) break;
        HR_UINT16 codes[HW_LINE_CANDS], distances[HW_LINE_CANDS];
        RecognizeFrom(kernel, kernel->stroke[k].first, HW_LINE_CANDS, codes, distances);
        HWLine_AddRun(&kernel->line, static_cast<HR_UINT32>(k), codes, distances, HW_LINE_CANDS);
    }
    HWLine_FinishPass(&kernel->line);
}

bool LineMode(const _HW_KERNEL *kernel) { return kernel->mode == HW_MODE_LINE; }

struct Gap {
    HR_INT32 start;
    HR_INT32 end;
};

// Size of the biggest stroke (its larger side) and the union of all boxes.
HR_INT32 UnionBox(const _HW_KERNEL *kernel, _HW_RECT *all) {
    HR_INT32 width = 0, height = 0;
    *all = kernel->box[0];
    for (HR_INT32 m = 0; m < kernel->strokeTotal; ++m) {
        const _HW_RECT &b = kernel->box[m];
        if (b.left < all->left) all->left = b.left;
        if (b.top < all->top) all->top = b.top;
        if (b.right > all->right) all->right = b.right;
        if (b.bottom > all->bottom) all->bottom = b.bottom;
        if (b.right - b.left > width) width = b.right - b.left;
        if (b.bottom - b.top > height) height = b.bottom - b.top;
    }
    return width > height ? width : height;
}

// Empty runs of the histogram that have a non-empty bin after them.
int FindGaps(const HR_INT32 *bins, Gap *gaps) {
    int count = 0;
    for (int i = 0; i < HW_HISTOGRAM_BINS;) {
        if (bins[i] != 0) {
            ++i;
            continue;
        }
        int e = i + 1;
        while (e < HW_HISTOGRAM_BINS && bins[e] == 0) ++e;
        if (e >= HW_HISTOGRAM_BINS) break;
        gaps[count++] = {i, e};
        i = e + 1;
    }
    return count;
}

// Cuts the union box at the middle of every gap at least `threshold` bins
// long; returns the number of boxes.
int CutBoxes(const _HW_RECT &all, HR_INT32 width, const Gap *gaps, int gapCount, HR_INT32 threshold, _HW_RECT *boxes) {
    int count = 0;
    HR_INT32 x0 = all.left;
    for (int g = 0; g < gapCount; ++g) {
        if (gaps[g].end - gaps[g].start < threshold) continue;
        HR_UINT32 middle = static_cast<HR_UINT32>(width) * static_cast<HR_UINT32>(gaps[g].start + gaps[g].end) /
                           (2 * HW_HISTOGRAM_BINS);
        HR_INT32 cut = all.left + static_cast<HR_INT32>(middle);
        boxes[count++] = {x0, all.top, cut, all.bottom};
        x0 = cut + 1;
    }
    boxes[count++] = {x0, all.top, all.right, all.bottom};
    return count;
}

// Index of the first box that contains stroke box b, or `otherwise`.
int ContainingBox(const _HW_RECT &b, const _HW_RECT *boxes, int count, int otherwise) {
    for (int i = 0; i < count; ++i)
        if (HWKernel_InRect(&b, &boxes[i])) return i;
    return otherwise;
}

void AppendSegment(_HW_KERNEL *kernel, HR_INT32 first, HR_INT32 end) {
    kernel->segment[kernel->segmentTotal++] = {first, end};
}

// Groups consecutive strokes that stay inside one cut box into segments.
void AssignStrokes(_HW_KERNEL *kernel, const _HW_RECT *boxes, int boxCount) {
    int current = ContainingBox(kernel->box[0], boxes, boxCount, 0);
    HR_INT32 start = 0;
    kernel->segmentTotal = 0;
    for (HR_INT32 m = 0; m < kernel->strokeTotal; ++m) {
        if (HWKernel_InRect(&kernel->box[m], &boxes[current])) continue;
        if (m > start) AppendSegment(kernel, start, m);
        current = ContainingBox(kernel->box[m], boxes, boxCount, current);
        start = m;
    }
    AppendSegment(kernel, start, kernel->strokeTotal);
}

}  // namespace

extern "C" {

HR_UINT32 HWKernel_GetInstanceSize(void) {
    return static_cast<HR_UINT32>(sizeof(_HW_KERNEL)) + HRReco_GetInstanceSize();
}

_HW_KERNEL *HWKernel_Initialize(void *block, HR_UINT32, const HR_UINT8 *const *model) {
    if (block == nullptr) return nullptr;
    _HW_KERNEL *kernel = static_cast<_HW_KERNEL *>(block);
    kernel->reco = HRReco_Initialize(RecognizerStorage(kernel), HRReco_GetInstanceSize(), model);
    if (kernel->reco == nullptr) return nullptr;  // block not aligned for the recognizer
    PYLex_Initialize(&kernel->lex, nullptr);
    PYCand_Initialize(&kernel->cand, &kernel->lex);
    HWLine_Initialize(&kernel->line, &kernel->lex);
    kernel->mode = HW_MODE_CLASSIC;
    HWKernel_Reset(kernel);
    return kernel;
}

int HWKernel_SetMode(_HW_KERNEL *kernel, HR_INT32 mode) {
    if (kernel == nullptr || (mode != HW_MODE_CLASSIC && mode != HW_MODE_LINE)) return 0;
    kernel->mode = mode;
    HWKernel_Reset(kernel);
    return 1;
}

void HWKernel_Reset(_HW_KERNEL *kernel) {
    kernel->strokeTotal = 0;
    kernel->pointTotal = 0;
    PYCand_Reset(&kernel->cand);
    HWLine_Reset(&kernel->line);
}

void HWKernel_Terminate(_HW_KERNEL *kernel) {
    HRReco_Terminate(kernel->reco);
    PYCand_Terminate(&kernel->cand);
}

int HWKernel_AddStroke(_HW_KERNEL *kernel, const _HR_POINT16 *points, HR_UINT32 count) {
    if (count == 0 || points == nullptr) return 0;
    if (static_cast<HR_UINT64>(count) + static_cast<HR_UINT64>(kernel->pointTotal) + 1 > HW_POINT_LIMIT) return 0;
    if (kernel->strokeTotal >= HW_STROKE_MAX) return 0;
    // A call that brings more strokes than the table has room for is refused
    // whole rather than stored in part.
    HR_UINT32 runs = 0;
    ForEachRun(points, count, [&runs](HR_UINT32, HR_UINT32) { ++runs; });
    if (static_cast<HR_UINT32>(kernel->strokeTotal) + runs > HW_STROKE_MAX) return 0;
    ForEachRun(points, count, [kernel, points](HR_UINT32 start, HR_UINT32 n) {
        StoreStroke(kernel, points + start, n);
        HWKernel_Recognize(kernel);
    });
    return 1;
}

int HWKernel_DelStroke(_HW_KERNEL *kernel) {
    if (kernel->strokeTotal <= 0) return 0;
    kernel->strokeTotal -= 1;
    kernel->pointTotal = kernel->stroke[kernel->strokeTotal].first;  // 0 for the first stroke
    if (kernel->strokeTotal > 0) kernel->point[kernel->pointTotal] = kDataEnd;
    if (LineMode(kernel)) return HWLine_DelLastStroke(&kernel->line);
    return PYCand_DelLastStroke(&kernel->cand);
}

HR_INT32 HWKernel_GetStrokeTotal(const _HW_KERNEL *kernel) { return kernel->strokeTotal; }

const _HR_POINT16 *HWKernel_GetStrokeDataPtr(const _HW_KERNEL *kernel, HR_UINT16 index) {
    if (index >= kernel->strokeTotal) return nullptr;
    return &kernel->point[kernel->stroke[index].first];
}

HR_UINT16 HWKernel_GetStrokeDataLen(const _HW_KERNEL *kernel, HR_UINT16 index) {
    if (index >= kernel->strokeTotal) return 0;
    return static_cast<HR_UINT16>(kernel->stroke[index].length);
}

HR_UINT32 HWKernel_GetCandTotal(const _HW_KERNEL *kernel) {
    if (LineMode(kernel)) return HWLine_GetTotal(&kernel->line);
    return PYCand_GetTotal(&kernel->cand);
}

HR_INT32 HWKernel_GetCandItem(const _HW_KERNEL *kernel, HR_UINT16 index, HR_UINT16 *buffer, HR_UINT16 capacity) {
    if (LineMode(kernel)) return HWLine_GetItemString(&kernel->line, index, buffer, capacity);
    return PYCand_GetItemString(&kernel->cand, index, buffer, capacity);
}

HR_INT32 HWKernel_GetCandItemUtf8(const _HW_KERNEL *kernel, HR_UINT16 index, char *buffer, HR_UINT16 capacity) {
    if (LineMode(kernel)) return HWLine_GetItemStringUtf8(&kernel->line, index, buffer, capacity);
    return PYCand_GetItemStringUtf8(&kernel->cand, index, buffer, capacity);
}

HR_UINT16 HWKernel_Log(const _HW_KERNEL *kernel, char *text) {
    if (LineMode(kernel)) return static_cast<HR_UINT16>(HWLine_Dump(&kernel->line, text, HW_KERNEL_LOG_SIZE - 1));
    return PYCand_Dump(&kernel->cand, text);
}

int HWKernel_Recognize(_HW_KERNEL *kernel) {
    HR_INT32 n = kernel->strokeTotal;
    if (n <= 0) return 0;
    if (LineMode(kernel))
        RecognizeLine(kernel, n);
    else
        RecognizeClassic(kernel, n);
    return 1;
}

void HWKernel_CalcHistogram(_HW_KERNEL *kernel) {
    HR_INT32 n = kernel->strokeTotal;
    kernel->segmentTotal = 0;
    if (n <= 0) return;
    _HW_RECT all;
    HR_INT32 size = UnionBox(kernel, &all);
    HR_INT32 width = all.right - all.left;
    if (3 * size >= 2 * width) {
        AppendSegment(kernel, 0, n);
        return;
    }
    HR_INT32 minGap = 40 * size / width;
    HR_INT32 bins[HW_HISTOGRAM_BINS] = {0};
    for (HR_INT32 m = 0; m < n; ++m) {
        HR_INT32 b0 = (kernel->box[m].left - all.left) * HW_HISTOGRAM_BINS / width;
        HR_INT32 b1 = (kernel->box[m].right - all.left) * HW_HISTOGRAM_BINS / width;
        for (HR_INT32 b = b0; b < b1; ++b) ++bins[b];
    }
    Gap gaps[HW_HISTOGRAM_BINS];
    int gapCount = FindGaps(bins, gaps);
    HR_INT32 longest = 0;
    for (int g = 0; g < gapCount; ++g)
        if (gaps[g].end - gaps[g].start > longest) longest = gaps[g].end - gaps[g].start;
    HR_INT32 threshold = minGap < longest ? minGap : longest;
    _HW_RECT boxes[HW_HISTOGRAM_BINS];
    int boxCount = CutBoxes(all, width, gaps, gapCount, threshold, boxes);
    AssignStrokes(kernel, boxes, boxCount);
}

int HWKernel_InRect(const _HW_RECT *a, const _HW_RECT *b) {
    return a->left >= b->left && a->top >= b->top && a->right <= b->right && a->bottom <= b->bottom;
}

const char *HWKernel_GetVersion(void) { return PENRUNE_VERSION_STRING; }

_HW_KERNEL *HWKernel_InitializeImage(void *block, const HR_UINT8 *image, HR_UINT32 size) {
    return HWKernel_InitializeImages(block, image, size, nullptr, 0);
}

_HW_KERNEL *HWKernel_InitializeImages(void *block, const HR_UINT8 *model, HR_UINT32 modelSize, const HR_UINT8 *lexicon,
                                      HR_UINT32 lexiconSize) {
    if (block == nullptr || model == nullptr || reinterpret_cast<std::uintptr_t>(model) % 2 != 0) return nullptr;
    if (!HRReco_CheckModel(model, modelSize)) return nullptr;
    if (lexicon != nullptr && !PYLex_CheckLexicon(lexicon, lexiconSize)) return nullptr;
    _HW_KERNEL *kernel = HWKernel_Initialize(block, 0, &model);
    if (kernel == nullptr || lexicon == nullptr) return kernel;
    // The builder and the line search hold a pointer to the view, so
    // pointing it at the host's image is all they need.
    PYLex_Initialize(&kernel->lex, &lexicon);
    return kernel;
}

int HWKernel_SetCharsetPenalty(_HW_KERNEL *kernel, HR_UINT16 charset, HR_UINT16 penalty) {
    if (kernel == nullptr) return 0;
    kernel->reco->penaltyCharset = charset;
    kernel->reco->charsetPenalty = penalty;
    return 1;
}

int HWKernel_SetCharsetMask(_HW_KERNEL *kernel, HR_UINT16 mask) {
    if (kernel == nullptr || !SelectsPrototype(*kernel->reco, mask)) return 0;
    kernel->reco->charsetMask = mask;
    return 1;
}

}  // extern "C"
