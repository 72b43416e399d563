// SPDX-License-Identifier: MIT
// The line mode's search over the lattice of character hypotheses.
//
// A path covers strokes 0..b-1 with a sequence of words; a word is a
// lexicon phrase spelled through consecutive hypotheses, or one recognised
// character. Its cost, all in units of recognition distance:
//   per character: the candidate's distance (plus a margin behind the run's
//     best candidate, less a share of the writer's usual distance), the
//     run's shape against the line's character size (too narrow, too wide,
//     an empty column inside it), how far it reaches back over the
//     character before it, how far its width/height ratio is from the
//     candidate's usual one (the shape table), the strokes it has beyond the
//     most the candidate is written with, a constant, and for letters
//     of one shape in both cases whether the case fits the run's height;
//   per word: the lexicon's frequency cost of the word; a character no
//     word covers costs its weight alone, or, when less, the weight of the
//     most frequent word it begins or ends (many characters are seldom
//     written alone but often inside words), capped.
// Every boundary keeps its HW_LINE_PATHS best paths with distinct texts, so
// the search is a beam of that width over segmentation paths.
#include "kernel/HWLineSearch.h"

#include "kernel/HWShape.h"
#include "penrune/HRKernel.h"
#include "penrune/HWUtils.h"
#include "util/HWText.h"

namespace {

// The box of no character: the path that covers nothing has it.
const HR_INT32 kNoBox = -1;
const HR_UINT32 kHashSeed = 2166136261u;
const HR_UINT32 kHashPrime = 16777619u;
// Ratios are in thousandths.
const HR_INT32 kPerMille = 1000;

HR_UINT32 HashUnit(HR_UINT32 hash, HR_UINT16 unit) { return (hash ^ unit) * kHashPrime; }

HR_UINT32 HashText(HR_UINT32 hash, const HR_UINT16 *text, HR_UINT32 length) {
    for (HR_UINT32 i = 0; i < length; ++i) hash = HashUnit(hash, text[i]);
    return hash;
}

void Widen(_HW_RECT *box, const _HW_RECT &b) {
    if (b.left < box->left) box->left = b.left;
    if (b.top < box->top) box->top = b.top;
    if (b.right > box->right) box->right = b.right;
    if (b.bottom > box->bottom) box->bottom = b.bottom;
}

HR_INT32 Ratio(const _HW_LINE *line, HR_INT32 length) {
    return static_cast<HR_INT32>(static_cast<HR_INT64>(length) * kPerMille / line->charSize);
}

// The character size of the line: the height of the recent strokes' union,
// and at least the longer side of the largest of them, so that a line of
// flat characters (一一) still has a size.
HR_INT32 EstimateCharSize(const _HW_RECT *boxes, HR_UINT32 strokes) {
    HR_UINT32 from = strokes > 2 * HW_LINE_WINDOW ? strokes - 2 * HW_LINE_WINDOW : 0;
    _HW_RECT all = boxes[from];
    HR_INT32 side = 0;
    for (HR_UINT32 m = from; m < strokes; ++m) {
        Widen(&all, boxes[m]);
        HR_INT32 w = boxes[m].right - boxes[m].left, h = boxes[m].bottom - boxes[m].top;
        if (w > side) side = w;
        if (h > side) side = h;
    }
    HR_INT32 size = all.bottom - all.top;
    if (side > size) size = side;
    return size > 0 ? size : 1;
}

// Widest empty column between the strokes start..end-1, in host units.
HR_INT32 InnerGap(const _HW_RECT *boxes, HR_UINT32 start, HR_UINT32 end) {
    HR_INT32 left[HW_LINE_WINDOW], right[HW_LINE_WINDOW];
    HR_UINT32 n = 0;
    for (HR_UINT32 m = start; m < end; ++m, ++n) {  // insertion sort by left edge
        HR_UINT32 i = n;
        for (; i > 0 && left[i - 1] > boxes[m].left; --i) {
            left[i] = left[i - 1];
            right[i] = right[i - 1];
        }
        left[i] = boxes[m].left;
        right[i] = boxes[m].right;
    }
    HR_INT32 gap = 0, reach = right[0];
    for (HR_UINT32 i = 1; i < n; ++i) {
        if (left[i] - reach > gap) gap = left[i] - reach;
        if (right[i] > reach) reach = right[i];
    }
    return gap;
}

// Cost of the strokes start..end-1, whose union is box, as one character.
HR_INT32 ShapeCost(const _HW_LINE *line, const _HW_RECT *boxes, HR_UINT32 start, HR_UINT32 end, const _HW_RECT &box) {
    const _HW_LINE_WEIGHTS &w = line->weights;
    HR_INT32 width = Ratio(line, box.right - box.left);
    HR_INT32 cost = w.perChar + w.innerGap * Ratio(line, InnerGap(boxes, start, end));
    if (width < w.narrowBelow) cost += w.narrow * (w.narrowBelow - width);
    if (width > w.wideAbove) cost += w.wide * (width - w.wideAbove);
    return cost;
}

// Cost of a character in box after one in `before`.
HR_INT32 JoinCost(const _HW_LINE *line, const _HW_RECT &before, const _HW_RECT &box) {
    if (before.right == kNoBox) return 0;
    HR_INT32 back = before.right - box.left;
    return back > 0 ? line->weights.overlap * Ratio(line, back) : 0;
}

// Letters whose lower and upper case (and 0 for o) differ only in size,
// which the size-normalised recognizer cannot see.
bool IsSmallLetter(HR_UINT16 code) {
    for (const char *c = "cosuvwxz"; *c != 0; ++c)
        if (code == static_cast<HR_UINT16>(*c)) return true;
    return false;
}

bool IsTallTwin(HR_UINT16 code) { return code == '0' || (code >= 'A' && code <= 'Z' && IsSmallLetter(code + 32)); }

// The line shows what the recognizer cannot: a run as high as the line's
// characters is no lower-case c, o, s..., a small one no capital or 0.
HR_INT32 CaseCost(const _HW_LINE *line, const _HW_LINE_HYP &hyp, HR_UINT16 code) {
    bool small = Ratio(line, hyp.box.bottom - hyp.box.top) <= line->weights.smallBelow;
    if ((IsSmallLetter(code) && !small) || (IsTallTwin(code) && small)) return line->weights.letterCase;
    return 0;
}

// A run far narrower or wider than its character is usually written is
// more likely a part of it, or it and a neighbour (土 and 方 of 坊).
HR_INT32 RatioCost(const _HW_LINE *line, const _HW_LINE_HYP &hyp, HR_UINT32 rank) {
    if (hyp.usual[rank] == HW_LINE_NO_RATIO) return 0;
    HR_INT32 off = hyp.ratio - hyp.usual[rank];
    HR_INT32 beyond = (off < 0 ? -off : off) - line->weights.ratioFree;
    return beyond > 0 ? line->weights.ratio * beyond : 0;
}

// Writers join strokes far more often than they break one, so a run of
// more strokes than its character has is more likely that character and a
// neighbour, or a part of one (育 and the 氵 of 泣 after it).
HR_INT32 StrokeCost(const _HW_LINE *line, const _HW_LINE_HYP &hyp, HR_UINT32 rank) {
    HR_INT32 beyond = hyp.extra[rank] - line->weights.strokesFree;
    return beyond > 0 ? line->weights.strokes * beyond : 0;
}

HR_INT32 CharCost(const _HW_LINE *line, const _HW_LINE_HYP &hyp, HR_UINT32 rank) {
    HR_INT32 behind = hyp.distance[rank] - hyp.distance[0];
    return hyp.distance[rank] + line->weights.margin * behind / 16 - line->weights.credit * line->usualDistance / 16 +
           hyp.shape + CaseCost(line, hyp, hyp.code[rank]) + RatioCost(line, hyp, rank) + StrokeCost(line, hyp, rank);
}

// Best distance of a run that ends at the newest boundary; -1 when none was
// recognised.
HR_INT32 BestDistance(const _HW_LINE *line) {
    HR_INT32 d = -1;
    for (HR_UINT32 i = 0; i < HW_LINE_WINDOW && i < line->strokes; ++i) {
        const _HW_LINE_HYP &hyp = line->hyp[line->strokes][i];
        if (hyp.count > 0 && (d < 0 || hyp.distance[0] < d)) d = hyp.distance[0];
    }
    return d;
}

// How far this writer's characters usually are from the prototypes: the
// median, over the newest boundaries, of the best distance of a run ending
// there. Every character pays its whole distance, so without a credit of
// about this much a writer whose ink is far from the prototypes would gain
// by reading two characters as one.
HR_INT32 UsualDistance(const _HW_LINE *line) {
    HR_INT32 best[HW_LINE_WINDOW];
    HR_UINT32 n = 0;
    for (HR_UINT32 b = line->strokes; b > 0 && n < HW_LINE_WINDOW; --b) {
        HR_INT32 d = line->bestDistance[b];
        if (d < 0) continue;
        HR_UINT32 at = n++;
        for (; at > 0 && best[at - 1] > d; --at) best[at] = best[at - 1];  // insertion sort
        best[at] = d;
    }
    return n > 0 ? best[n / 2] : 0;
}

HR_INT32 WordCost(const _HW_LINE *line, HR_INT32 weight, HR_UINT32 length) {
    return (length == 1 ? line->weights.single : line->weights.word) * weight / 16;
}

// Rank of code among the hypothesis's candidates, or -1.
HR_INT32 RankOf(const _HW_LINE_HYP &hyp, HR_UINT16 code) {
    for (HR_UINT32 j = 0; j < hyp.count; ++j)
        if (hyp.code[j] == code) return static_cast<HR_INT32>(j);
    return -1;
}

HR_UINT32 MaskBit(HR_UINT16 code) { return 1u << (code & 31u); }
HR_UINT32 MaskWord(HR_UINT16 code) { return (code >> 5) % HW_LINE_MASK_WORDS; }

// Whether some run ending at the boundary may have code among its
// candidates (a set bit may be another code's).
bool MayEndWith(const _HW_LINE *line, HR_UINT32 boundary, HR_UINT16 code) {
    return (line->codeMask[boundary][MaskWord(code)] & MaskBit(code)) != 0;
}

void MaskCodes(_HW_LINE *line, HR_UINT32 boundary) {
    HR_UINT32 *mask = line->codeMask[boundary];
    for (HR_UINT32 w = 0; w < HW_LINE_MASK_WORDS; ++w) mask[w] = 0;
    for (HR_UINT32 i = 0; i < HW_LINE_WINDOW && i < boundary; ++i) {
        const _HW_LINE_HYP &hyp = line->hyp[boundary][i];
        for (HR_UINT32 j = 0; j < hyp.count; ++j) mask[MaskWord(hyp.code[j])] |= MaskBit(hyp.code[j]);
    }
}

// Puts a path into the boundary's table when it is among the best distinct
// ones: a path with the same text is replaced only by a cheaper one.
void Offer(_HW_LINE *line, HR_UINT32 boundary, const _HW_LINE_PATH &path) {
    _HW_LINE_PATH *table = line->path[boundary];
    HR_UINT32 count = line->pathCount[boundary], at = count;
    for (HR_UINT32 i = 0; i < count; ++i)
        if (table[i].hash == path.hash && table[i].length == path.length) at = i;
    if (at < count) {
        if (path.cost >= table[at].cost) return;
    } else if (count < HW_LINE_PATHS) {
        line->pathCount[boundary] = static_cast<HR_UINT16>(++count);
    } else {
        at = count - 1;
        if (path.cost >= table[at].cost) return;
    }
    while (at > 0 && table[at - 1].cost > path.cost) {  // keep the table sorted, best first
        table[at] = table[at - 1];
        --at;
    }
    table[at] = path;  // the shift above overwrote a replaced duplicate
}

// Whether a path of this cost cannot enter the full table of the newest
// boundary (a same-text path there costs no more than its worst).
bool Beaten(const _HW_LINE *line, HR_INT32 cost) {
    HR_UINT32 count = line->pathCount[line->strokes];
    return count == HW_LINE_PATHS && cost >= line->path[line->strokes][count - 1].cost;
}

// A word that spans strokes from..newest: its text, its cost without the
// path it extends, its first character's box and the last character's box.
struct Word {
    HR_UINT32 phraseId;
    HR_UINT16 code;
    const HR_UINT16 *text;
    HR_UINT32 length;
    HR_INT32 cost;
    _HW_RECT first;
    _HW_RECT last;
};

// Extends every path at boundary `from` by the word and offers the results
// to the newest boundary.
void ExtendPaths(_HW_LINE *line, HR_UINT32 from, const Word &word) {
    for (HR_UINT32 r = 0; r < line->pathCount[from]; ++r) {
        const _HW_LINE_PATH &before = line->path[from][r];
        // The paths at `from` come cheapest first and joins cost nothing or
        // more: once one is beaten, so is every later one.
        if (Beaten(line, before.cost + word.cost)) break;
        _HW_LINE_PATH path;
        path.cost = before.cost + word.cost + JoinCost(line, before.last, word.first);
        if (Beaten(line, path.cost)) continue;
        path.hash = HashText(before.hash, word.text, word.length);
        path.phraseId = word.phraseId;
        path.code = word.code;
        path.prev = static_cast<HR_UINT16>(from);
        path.prevRank = static_cast<HR_UINT16>(r);
        path.length = static_cast<HR_UINT16>(before.length + word.length);
        path.last = word.last;
        Offer(line, line->strokes, path);
    }
}

// Spells the units text[0..index] backwards through the hypotheses that end
// at `boundary`, the character after them being in box `next`; each way
// that reaches the word's first character extends the paths before it.
void SpellBack(_HW_LINE *line, Word word, HR_UINT32 index, HR_UINT32 boundary, const _HW_RECT &next) {
    if (!MayEndWith(line, boundary, word.text[index])) return;
    for (HR_UINT32 i = 0; i < HW_LINE_WINDOW && i < boundary; ++i) {
        const _HW_LINE_HYP &hyp = line->hyp[boundary][i];
        if (hyp.count == 0) continue;
        HR_INT32 rank = RankOf(hyp, word.text[index]);
        if (rank < 0) continue;
        Word longer = word;
        longer.cost += CharCost(line, hyp, static_cast<HR_UINT32>(rank)) + JoinCost(line, hyp.box, next);
        longer.first = hyp.box;
        if (index == 0)
            ExtendPaths(line, hyp.start, longer);
        else if (hyp.start >= index)  // every character needs a stroke of its own
            SpellBack(line, longer, index - 1, hyp.start, hyp.box);
    }
}

// Offers the paths whose last character is candidate `rank` of the
// hypothesis that ends at the newest stroke: the character alone, and every
// lexicon word that ends with it.
void OfferCandidate(_HW_LINE *line, const _HW_LINE_HYP &hyp, HR_UINT32 rank) {
    const _PY_LEX *lex = line->lex;
    HR_UINT16 code = hyp.code[rank];
    HR_INT32 charCost = CharCost(line, hyp, rank);
    HR_INT32 alone = line->weights.charWeightCap;
    HR_UINT32 group = PYLex_GetGroupId(lex, code);
    HR_INT32 total = PYLex_GetGroupRItemTotal(lex, group);
    // Phrases come by increasing weight: the first is the group's most frequent.
    HR_INT32 inWord = PYLex_GetGroupItemTotal(lex, group) > 0 ? PYLex_GetGroupItemWeight(lex, group, 0) : alone;
    for (HR_INT32 p = 0; p < total; ++p) {
        HR_UINT32 length = static_cast<HR_UINT32>(PYLex_GetGroupRItemLength(lex, group, p));
        const HR_UINT16 *text = PYLex_GetGroupRItemDataPtr(lex, group, p);
        if (length == 0 || text == nullptr || text[length - 1] != code) continue;
        HR_INT32 weight = PYLex_GetGroupRItemWeight(lex, group, p);
        if (weight < inWord) inWord = weight;
        if (length == 1) {
            if (weight < alone) alone = weight;
        } else if (hyp.start >= length - 1) {
            Word word = {PYLex_GetGroupRItemPhraseId(lex, group, p), 0,       text,   length,
                         charCost + WordCost(line, weight, length),  hyp.box, hyp.box};
            SpellBack(line, word, length - 2, hyp.start, hyp.box);
        }
    }
    if (inWord + line->weights.inWord < alone) alone = inWord + line->weights.inWord;
    Word single = {0, code, &hyp.code[rank], 1, charCost + WordCost(line, alone, 1), hyp.box, hyp.box};
    ExtendPaths(line, hyp.start, single);
}

const _HW_LINE_PATH *CurrentPath(const _HW_LINE *line, HR_UINT32 index) {
    if (index >= HWLine_GetTotal(line)) return nullptr;
    return &line->path[line->strokes][index];
}

// Writes the path's text, path->length units, to out.
void PathText(const _HW_LINE *line, const _HW_LINE_PATH *path, HR_UINT16 *out) {
    HR_UINT32 end = path->length;
    while (path->length > 0) {
        const HR_UINT16 *text = &path->code;
        HR_UINT32 length = 1;
        if (path->phraseId != 0) {
            text = PYLex_GetPhraseDataPtr(line->lex, path->phraseId);
            length = static_cast<HR_UINT32>(PYLex_GetPhraseLength(line->lex, path->phraseId));
        }
        end -= length;
        HR_memcpy(out + end, text, length * sizeof(HR_UINT16));
        path = &line->path[path->prev][path->prevRank];
    }
}

// Calls copy(text, length) with the text of candidate index and returns its
// result; 0 out of range.
template <typename Copy>
HR_INT32 WithItemText(const _HW_LINE *line, HR_UINT32 index, Copy copy) {
    const _HW_LINE_PATH *path = CurrentPath(line, index);
    if (path == nullptr) return 0;
    HR_UINT16 text[HW_LINE_BOUNDARY_MAX];
    PathText(line, path, text);
    return static_cast<HR_INT32>(copy(text, path->length));
}

// Appends text to the report when it fits; returns 0 when it does not.
bool Append(char *report, HR_UINT32 *used, HR_UINT32 capacity, const char *piece) {
    HR_UINT32 n = 0;
    while (piece[n] != 0) ++n;
    if (*used + n + 1 > capacity) return false;
    HR_memcpy(report + *used, piece, n);
    *used += n;
    report[*used] = 0;
    return true;
}

// Writes a cost in decimal with a terminator (costs may be negative when
// the per-character weight is).
void FormatCost(HR_INT32 value, char *out) {
    HR_UINT32 n = 0;
    if (value < 0) out[n++] = '-';
    HR_UINT32 magnitude = value < 0 ? 0u - static_cast<HR_UINT32>(value) : static_cast<HR_UINT32>(value);
    n += HW_FormatDecimal(out + n, magnitude);
    out[n] = 0;
}

}  // namespace

// Fitted by bench/lines/fit-weights.py on synthetic lines of three writers:
// the training synthesis, a careless one and one whose strokes stray farther
// still (their seeds are neither a training nor the benchmark's). The letter
// case weights are set by hand, as no line set holds letters.
_HW_LINE_WEIGHTS HWLine_DefaultWeights(void) {
    _HW_LINE_WEIGHTS w;
    w.margin = 19;
    w.word = 1;
    w.single = 2;
    w.charWeightCap = 22400;
    w.inWord = 0;
    w.perChar = -148;
    w.narrowBelow = 500;
    w.narrow = 8;
    w.wideAbove = 1015;
    w.wide = 3;
    w.innerGap = 0;
    w.overlap = 15;
    w.widestRun = 2400;
    w.smallBelow = 600;
    w.letterCase = 2000;
    w.ratioFree = 8;
    w.ratio = 16;
    w.credit = 8;
    w.strokesFree = 0;
    w.strokes = 1000;
    return w;
}

void HWLine_Initialize(_HW_LINE *line, const _PY_LEX *lex) {
    line->lex = lex;
    line->weights = HWLine_DefaultWeights();
    HWLine_Reset(line);
}

void HWLine_Reset(_HW_LINE *line) {
    _HW_LINE_PATH &root = line->path[0][0];
    root.cost = 0;
    root.hash = kHashSeed;
    root.phraseId = 0;
    root.code = 0;
    root.prev = 0;
    root.prevRank = 0;
    root.length = 0;
    root.last = {kNoBox, kNoBox, kNoBox, kNoBox};
    line->pathCount[0] = 1;
    line->strokes = 0;
    line->charSize = 1;
    line->usualDistance = 0;
}

void HWLine_BeginPass(_HW_LINE *line, const _HW_RECT *boxes, HR_UINT32 strokes) {
    line->strokes = strokes;
    line->charSize = EstimateCharSize(boxes, strokes);
    line->pathCount[strokes] = 0;
    for (HR_UINT32 i = 0; i < HW_LINE_WINDOW; ++i) line->hyp[strokes][i].count = 0;
}

int HWLine_OpenRun(_HW_LINE *line, const _HW_RECT *boxes, HR_UINT32 start) {
    HR_UINT32 newest = line->strokes - 1, slot = newest - start;
    _HW_LINE_HYP &hyp = line->hyp[line->strokes][slot];
    hyp.box = boxes[start];
    if (slot > 0) Widen(&hyp.box, line->hyp[line->strokes][slot - 1].box);
    if (slot > 0 && Ratio(line, hyp.box.right - hyp.box.left) > line->weights.widestRun) return 0;
    hyp.start = static_cast<HR_UINT16>(start);
    hyp.shape = ShapeCost(line, boxes, start, line->strokes, hyp.box);
    hyp.ratio = static_cast<HR_INT8>(HWShape_OfBox(hyp.box.right - hyp.box.left + 1, hyp.box.bottom - hyp.box.top + 1));
    return 1;
}

void HWLine_AddRun(_HW_LINE *line, HR_UINT32 start, const HR_UINT16 *codes, const HR_UINT16 *distances,
                   HR_UINT32 count) {
    _HW_LINE_HYP &hyp = line->hyp[line->strokes][line->strokes - 1 - start];
    HR_INT32 runStrokes = static_cast<HR_INT32>(line->strokes - start);
    HR_UINT32 kept = 0;
    for (HR_UINT32 j = 0; j < count && kept < HW_LINE_CANDS; ++j) {
        if (codes[j] == HR_RECO_EMPTY_CODE) continue;
        HR_INT32 usual = HW_LINE_NO_RATIO, strokes = 0;
        HWShape_Find(codes[j], &usual, &strokes);
        hyp.code[kept] = codes[j];
        hyp.usual[kept] = static_cast<HR_INT8>(usual);
        hyp.extra[kept] = static_cast<HR_UINT8>(strokes > 0 && runStrokes > strokes ? runStrokes - strokes : 0);
        hyp.distance[kept++] = distances[j];
    }
    hyp.count = static_cast<HR_UINT16>(kept);
}

void HWLine_FinishPass(_HW_LINE *line) {
    HR_UINT32 n = line->strokes;
    MaskCodes(line, n);
    line->bestDistance[n] = BestDistance(line);
    line->usualDistance = UsualDistance(line);
    for (HR_UINT32 i = 0; i < HW_LINE_WINDOW && i < n; ++i) {
        const _HW_LINE_HYP &hyp = line->hyp[n][i];
        for (HR_UINT32 j = 0; j < hyp.count; ++j) OfferCandidate(line, hyp, j);
    }
}

// The path over no stroke is where every path starts, not a candidate.
HR_UINT32 HWLine_GetTotal(const _HW_LINE *line) { return line->strokes == 0 ? 0 : line->pathCount[line->strokes]; }

int HWLine_DelLastStroke(_HW_LINE *line) {
    if (line->strokes == 0) return 0;
    line->strokes -= 1;
    return 1;
}

HR_INT32 HWLine_GetItemString(const _HW_LINE *line, HR_UINT32 index, HR_UINT16 *buffer, HR_UINT32 capacity) {
    return WithItemText(line, index, [&](const HR_UINT16 *text, HR_UINT32 length) {
        return HW_Utf16CopyCut(text, length, buffer, capacity);
    });
}

HR_INT32 HWLine_GetItemStringUtf8(const _HW_LINE *line, HR_UINT32 index, char *buffer, HR_UINT32 capacity) {
    return WithItemText(line, index, [&](const HR_UINT16 *text, HR_UINT32 length) {
        return HW_Utf16ToUtf8Cut(text, length, buffer, capacity);
    });
}

HR_INT32 HWLine_GetItemScore(const _HW_LINE *line, HR_UINT32 index) {
    const _HW_LINE_PATH *path = CurrentPath(line, index);
    return path == nullptr ? 0 : path->cost;
}

HR_UINT32 HWLine_Dump(const _HW_LINE *line, char *text, HR_UINT32 capacity) {
    HR_UINT32 used = 0;
    if (capacity == 0) return 0;
    text[0] = 0;
    char piece[3 * HW_LINE_BOUNDARY_MAX + 32];
    for (HR_UINT32 i = 0; i < HWLine_GetTotal(line); ++i) {
        HR_UINT32 n = HW_FormatDecimal(piece, i);
        piece[n++] = '.';
        HWLine_GetItemStringUtf8(line, i, piece + n, sizeof piece - n - 24);
        while (piece[n] != 0) ++n;
        piece[n++] = ' ';
        FormatCost(HWLine_GetItemScore(line, i), piece + n);
        if (!Append(text, &used, capacity, piece) || !Append(text, &used, capacity, " | ")) return used;
    }
    if (!Append(text, &used, capacity, "\r\n\r\n")) return used;
    for (HR_UINT32 i = 0; i < HW_LINE_WINDOW && i < line->strokes; ++i) {
        const _HW_LINE_HYP &hyp = line->hyp[line->strokes][i];
        if (hyp.count == 0) continue;
        HR_UINT32 n = static_cast<HR_UINT32>(
            HR_utf16_to_utf8(hyp.code, static_cast<int>(hyp.count), piece, static_cast<int>(sizeof piece)));
        piece[n] = 0;
        if (!Append(text, &used, capacity, piece) || !Append(text, &used, capacity, "\r\n")) return used;
    }
    return used;
}
