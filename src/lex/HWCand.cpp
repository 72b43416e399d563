// SPDX-License-Identifier: MIT
// Phrase candidate builder: the lattice of character hypotheses, lexicon
// phrase matching, completions and the per-stroke-count candidate lists.
#include "penrune/HWCand.h"

#include "penrune/HWUtils.h"
#include "util/HWText.h"

namespace {

bool SameText(const _PY_CAND_ITEM &slot, const HR_UINT16 *text, HR_UINT32 length) {
    if (slot.length != length) return false;
    for (HR_UINT32 i = 0; i < length; ++i)
        if (slot.text[i] != text[i]) return false;
    return true;
}

// First slot in [from, to) with the same text, or -1.
HR_INT32 FindSameText(const _PY_CAND *cand, HR_UINT32 from, HR_UINT32 to, const HR_UINT16 *text, HR_UINT32 length) {
    for (HR_UINT32 i = from; i < to; ++i)
        if (SameText(cand->cand[i], text, length)) return static_cast<HR_INT32>(i);
    return -1;
}

bool HasFreeSlot(const _PY_CAND *cand) { return cand->candTotal < PY_CAND_SLOT_MAX; }

void SetPhrase(_PY_CAND_ITEM *slot, HR_UINT32 phraseId, const HR_UINT16 *text, HR_UINT32 length, HR_UINT16 code,
               HR_UINT32 score, HR_UINT16 weight) {
    slot->text = text;
    slot->code = code;
    slot->length = static_cast<HR_UINT16>(length);
    slot->phraseId = phraseId;
    slot->score = score;
    slot->weight = weight;
}

// Appends a slot; the caller has checked HasFreeSlot.
void AppendPhrase(_PY_CAND *cand, HR_UINT32 phraseId, const HR_UINT16 *text, HR_UINT32 length, HR_UINT16 code,
                  HR_UINT32 score, HR_UINT16 weight) {
    SetPhrase(&cand->cand[cand->candTotal++], phraseId, text, length, code, score, weight);
}

// The segmentation candidate: the best character of every segment, read from
// the block of the segment's first stroke in the pass of its end stroke. It
// is left out when a segment is malformed, its entry was never stored (the
// recognition table was full), or the text or slot tables have no room.
void AddSegmentation(_PY_CAND *cand, HR_UINT32 strokes, int segmentCount, const _HW_SEGMENT *segments) {
    if (segmentCount < 2 || segmentCount > PY_CAND_STROKE_MAX || segments == nullptr) return;
    HR_UINT32 count = static_cast<HR_UINT32>(segmentCount);
    if (!HasFreeSlot(cand) || cand->segTextTotal + count > PY_CAND_SEG_TEXT_MAX) return;
    HR_UINT16 *text = cand->segText + cand->segTextTotal;
    for (HR_UINT32 i = 0; i < count; ++i) {
        HR_INT32 first = segments[i].first, end = segments[i].end;
        if (first < 0 || end <= first || static_cast<HR_UINT32>(end) > strokes) return;
        const _PY_CAND_RANGE &range = cand->entryRange[end];
        HR_UINT32 position = range.first + PY_CAND_BLOCK * static_cast<HR_UINT32>(first);
        if (position >= range.end) return;
        text[i] = cand->entry[position].code;
    }
    cand->segTextTotal += count;
    cand->segmentCount = count;
    AppendPhrase(cand, 0, text, count, 0, 0, 0);
}

// Among the multi-character slots from base on: how many there are, and the
// first one with the highest score (-1 while every score is 0).
HR_INT32 WorstMultiCharSlot(const _PY_CAND *cand, HR_UINT32 base, HR_UINT32 *multiCount) {
    HR_INT32 worst = -1;
    HR_UINT32 worstScore = 0;
    *multiCount = 0;
    for (HR_UINT32 i = base; i < cand->candTotal; ++i) {
        const _PY_CAND_ITEM &slot = cand->cand[i];
        if (slot.length < 2) continue;
        ++*multiCount;
        if (slot.score > worstScore) {
            worstScore = slot.score;
            worst = static_cast<HR_INT32>(i);
        }
    }
    return worst;
}

// Offers a lexicon phrase that spelled through the lattice with `score` to
// the list that starts at base: merged into a slot of the same text, kept
// beside at most PY_CAND_PHRASE_KEEP other multi-character slots, or put in
// place of the worst of them when strictly better.
void OfferWholeInput(_PY_CAND *cand, HR_UINT32 base, HR_UINT32 phraseId, const HR_UINT16 *text, HR_UINT32 length,
                     HR_UINT16 code, HR_UINT32 score, HR_UINT16 weight) {
    if (!HasFreeSlot(cand)) return;
    HR_INT32 same = FindSameText(cand, base, cand->candTotal, text, length);
    if (same >= 0) {
        if (score < cand->cand[same].score) cand->cand[same].score = score;
        return;
    }
    HR_UINT32 multiCount = 0;
    HR_INT32 worst = WorstMultiCharSlot(cand, base, &multiCount);
    if (multiCount >= PY_CAND_PHRASE_KEEP && length >= 2) {
        if (worst >= 0 && cand->cand[worst].score > score)
            SetPhrase(&cand->cand[worst], phraseId, text, length, code, score, weight);
        return;
    }
    AppendPhrase(cand, phraseId, text, length, code, score, weight);
}

// Lexicon phrases that end in the code of entry e and spell back to stroke 0.
void AddWholeInputPhrases(_PY_CAND *cand, HR_UINT32 base, HR_UINT32 e) {
    const _PY_LEX *lex = cand->lex;
    HR_UINT16 code = cand->entry[e].code;
    HR_UINT32 group = PYLex_GetGroupId(lex, code);
    HR_INT32 total = PYLex_GetGroupRItemTotal(lex, group);
    for (HR_INT32 r = 0; r < total; ++r) {
        HR_UINT32 length = static_cast<HR_UINT32>(PYLex_GetGroupRItemLength(lex, group, r));
        const HR_UINT16 *text = PYLex_GetGroupRItemDataPtr(lex, group, r);
        if (length == 0 || text[length - 1] != code) continue;
        HR_UINT32 score = 0;
        if (!PYCand_IsMatch(cand, e, text, length, &score)) continue;
        OfferWholeInput(cand, base, PYLex_GetGroupRItemPhraseId(lex, group, r), text, length, code, score,
                        static_cast<HR_UINT16>(PYLex_GetGroupRItemWeight(lex, group, r)));
    }
}

// The completion among slots [from, candTotal) with the highest weight (the
// rarest), the first one when several share it.
HR_UINT32 RarestCompletion(const _PY_CAND *cand, HR_UINT32 from) {
    HR_UINT32 rarest = from;
    for (HR_UINT32 i = from + 1; i < cand->candTotal; ++i)
        if (cand->cand[i].weight > cand->cand[rarest].weight) rarest = i;
    return rarest;
}

// Longer lexicon phrases that begin with the text of slot c; completions of
// this pass occupy the slots from `completions` on.
void AddCompletions(_PY_CAND *cand, HR_UINT32 base, HR_UINT32 completions, HR_UINT32 c) {
    const _PY_LEX *lex = cand->lex;
    const _PY_CAND_ITEM prefix = cand->cand[c];
    HR_UINT32 group = PYLex_GetGroupId(lex, prefix.text[0]);
    HR_INT32 total = PYLex_GetGroupItemTotal(lex, group);
    for (HR_INT32 r = 0; r < total; ++r) {
        HR_UINT32 length = static_cast<HR_UINT32>(PYLex_GetGroupItemLength(lex, group, r));
        const HR_UINT16 *text = PYLex_GetGroupItemDataPtr(lex, group, r);
        if (length <= prefix.length || HR_wcsncmp(prefix.text, text, prefix.length) != 0) continue;
        if (FindSameText(cand, base, cand->candTotal, text, length) >= 0) continue;
        HR_UINT32 phraseId = PYLex_GetGroupItemPhraseId(lex, group, r);
        HR_UINT16 weight = static_cast<HR_UINT16>(PYLex_GetGroupItemWeight(lex, group, r));
        if (cand->candTotal - completions >= PY_CAND_COMPLETION_KEEP) {
            HR_UINT32 rarest = RarestCompletion(cand, completions);
            if (weight < cand->cand[rarest].weight)
                SetPhrase(&cand->cand[rarest], phraseId, text, length, 0, prefix.score + 1, weight);
        } else if (HasFreeSlot(cand)) {
            AppendPhrase(cand, phraseId, text, length, 0, prefix.score + 1, weight);
        }
    }
}

int CompareSlots(const void *a, const void *b, void *) {
    return PYCand_PhraseCompare(static_cast<const _PY_CAND_ITEM *>(a), static_cast<const _PY_CAND_ITEM *>(b));
}

// Slots of the current list, or an empty range when the stroke count is
// beyond the tables. The end is clamped to the slots in use.
_PY_CAND_RANGE CurrentList(const _PY_CAND *cand) {
    _PY_CAND_RANGE list = {0, 0};
    if (cand->beyond || cand->strokes >= PY_CAND_STROKE_MAX) return list;
    list = cand->candRange[cand->strokes];
    if (list.end > cand->candTotal) list.end = cand->candTotal;
    if (list.first > list.end) list.first = list.end;
    return list;
}

// Bounded text under construction: pieces are appended whole or, once one
// does not fit, not at all, so a cut report ends at a piece boundary.
struct DumpText {
    char *text;
    HR_UINT32 capacity;
    HR_UINT32 length;
    bool full;
};

void Append(DumpText *out, const char *piece, HR_UINT32 pieceLength) {
    if (out->full || out->length + pieceLength >= out->capacity) {
        out->full = true;
        return;
    }
    HR_memcpy(out->text + out->length, piece, pieceLength);
    out->length += pieceLength;
    out->text[out->length] = 0;
}

HR_UINT32 CopyString(char *dst, const char *src) {
    HR_UINT32 n = 0;
    while (src[n] != 0) {
        dst[n] = src[n];
        ++n;
    }
    return n;
}

HR_UINT32 StringLength(const char *s) {
    HR_UINT32 n = 0;
    while (s[n] != 0) ++n;
    return n;
}

HR_UINT32 FormatHex8(char *dst, HR_UINT32 value) {
    static const char kHex[] = "0123456789abcdef";
    for (int i = 0; i < 8; ++i) dst[i] = kHex[(value >> (28 - 4 * i)) & 0xF];
    return 8;
}

// "%d.%s %d 0x%08x | ": position in the list, text, score, phrase id.
void DumpItem(DumpText *out, HR_UINT32 position, const _PY_CAND_ITEM &item) {
    char scratch[PY_CAND_DUMP_TEXT_MAX];
    char piece[PY_CAND_DUMP_TEXT_MAX + 40];
    HW_Utf16ToUtf8Cut(item.text, item.length, scratch, sizeof scratch);
    HR_UINT32 n = HW_FormatDecimal(piece, position);
    piece[n++] = '.';
    n += CopyString(piece + n, scratch);
    piece[n++] = ' ';
    n += HW_FormatDecimal(piece + n, item.score);
    n += CopyString(piece + n, " 0x");
    n += FormatHex8(piece + n, item.phraseId);
    n += CopyString(piece + n, " | ");
    Append(out, piece, n);
}

void DumpEntryCodes(DumpText *out, const _PY_CAND *cand, HR_UINT32 strokeCount) {
    const _PY_CAND_RANGE &range = cand->entryRange[strokeCount];
    HR_UINT32 end = range.end < cand->entryTotal ? range.end : cand->entryTotal;
    for (HR_UINT32 e = range.first; e < end; ++e) {
        char utf8[4];
        HR_utf16_to_utf8(&cand->entry[e].code, 1, utf8, sizeof utf8);
        Append(out, utf8, StringLength(utf8));
    }
}

}  // namespace

extern "C" {

int PYCand_Initialize(_PY_CAND *cand, const _PY_LEX *lex) {
    cand->lex = lex;
    PYCand_Reset(cand);
    return 1;
}

void PYCand_Reset(_PY_CAND *cand) {
    cand->candTotal = 0;
    cand->strokes = 0;
    cand->segmentCount = 0;
    cand->segTextTotal = 0;
    cand->entryTotal = 0;
    cand->passOpen = 0;
    cand->beyond = 0;
    cand->candRange[0].first = cand->candRange[0].end = 0;
    cand->entryRange[0].first = cand->entryRange[0].end = 0;
    cand->segTextFirst[0] = 0;
}

void PYCand_Terminate(_PY_CAND *) {}

int PYCand_BeginStroke(_PY_CAND *cand, HR_UINT16 strokeCount) {
    cand->passOpen = 0;
    if (strokeCount >= PY_CAND_STROKE_MAX) {
        cand->beyond = 1;
        return 0;
    }
    cand->beyond = 0;
    // Stroke counts skipped by a caller that did not open every pass get
    // empty ranges, so nothing reads stale positions through them.
    for (HR_UINT32 n = cand->strokes + 1; n < strokeCount; ++n) {
        cand->entryRange[n].first = cand->entryRange[n].end = cand->entryTotal;
        cand->candRange[n].first = cand->candRange[n].end = cand->candTotal;
        cand->segTextFirst[n] = cand->segTextTotal;
    }
    cand->strokes = strokeCount;
    cand->entryRange[strokeCount].first = cand->entryTotal;
    cand->entryRange[strokeCount].end = cand->entryTotal;
    cand->candRange[strokeCount].first = cand->candTotal;
    cand->candRange[strokeCount].end = cand->candTotal;
    cand->segTextFirst[strokeCount] = cand->segTextTotal;
    cand->passOpen = 1;
    return 1;
}

int PYCand_AddRecoResult(_PY_CAND *cand, HR_UINT16 count, const HR_UINT16 *codes, const HR_UINT16 *distances,
                         HR_UINT16 strokes) {
    if (!cand->passOpen || strokes == 0 || strokes > cand->strokes) return 0;
    if (cand->entryTotal + count > PY_CAND_ENTRY_MAX - 1) return 0;
    HR_UINT16 start = static_cast<HR_UINT16>(cand->strokes - strokes);
    for (HR_UINT16 j = 0; j < count; ++j) {
        _PY_RECO_ITEM &entry = cand->entry[cand->entryTotal++];
        entry.code = codes[j];
        entry.distance = distances[j];
        entry.start = start;
    }
    return 1;
}

int PYCand_IsMatch(const _PY_CAND *cand, HR_UINT32 entry, const HR_UINT16 *text, HR_UINT32 length, HR_UINT32 *score) {
    if (entry >= cand->entryTotal || length == 0) return 0;
    HR_UINT32 start = cand->entry[entry].start;
    HR_UINT32 sum = cand->entry[entry].distance;
    HR_UINT32 j = length - 1;
    *score = sum;
    while (start != 0 && j != 0) {
        --j;
        // Only earlier passes are searched: their ranges are complete.
        if (start >= cand->strokes) return 0;
        const _PY_CAND_RANGE &range = cand->entryRange[start];
        HR_UINT32 end = range.end < cand->entryTotal ? range.end : cand->entryTotal;
        HR_UINT32 found = range.first;
        while (found < end && cand->entry[found].code != text[j]) ++found;
        if (found >= end) return 0;
        sum += cand->entry[found].distance;
        *score = sum;
        start = cand->entry[found].start;
    }
    return start == 0 && j == 0;
}

int PYCand_FinishStroke(_PY_CAND *cand, HR_UINT16 strokeCount, int segmentCount, const _HW_SEGMENT *segments) {
    if (!cand->passOpen || strokeCount != cand->strokes) return 0;
    cand->passOpen = 0;
    _PY_CAND_RANGE &entries = cand->entryRange[strokeCount];
    entries.end = cand->entryTotal;
    HR_UINT32 base = cand->candTotal;
    cand->candRange[strokeCount].first = base;

    AddSegmentation(cand, strokeCount, segmentCount, segments);
    for (HR_UINT32 e = entries.first; e < entries.end; ++e) AddWholeInputPhrases(cand, base, e);
    HR_UINT32 completions = cand->candTotal;
    for (HR_UINT32 c = base; c < completions; ++c) AddCompletions(cand, base, completions, c);

    cand->candRange[strokeCount].end = cand->candTotal;
    HR_quicksort(cand->cand + base, static_cast<int>(cand->candTotal - base), sizeof(_PY_CAND_ITEM), CompareSlots,
                 nullptr);
    return 1;
}

int PYCand_DelLastStroke(_PY_CAND *cand) {
    cand->passOpen = 0;
    if (cand->beyond) {
        // The stroke beyond the tables had no pass: the last list held is
        // current again as it is.
        cand->beyond = 0;
        return 1;
    }
    HR_UINT32 n = cand->strokes;
    if (n == 0) return 0;
    cand->entryTotal = cand->entryRange[n].first;
    cand->candTotal = cand->candRange[n].first;
    cand->segTextTotal = cand->segTextFirst[n];
    cand->strokes = n - 1;
    return 1;
}

HR_UINT32 PYCand_GetTotal(const _PY_CAND *cand) {
    _PY_CAND_RANGE list = CurrentList(cand);
    return list.end - list.first;
}

const _PY_CAND_ITEM *PYCand_GetItem(const _PY_CAND *cand, HR_UINT16 index) {
    _PY_CAND_RANGE list = CurrentList(cand);
    HR_UINT32 slot = list.first + index;
    return slot < list.end ? &cand->cand[slot] : nullptr;
}

int PYCand_GetItemString(const _PY_CAND *cand, HR_UINT16 index, HR_UINT16 *buffer, HR_UINT16 capacity) {
    const _PY_CAND_ITEM *item = PYCand_GetItem(cand, index);
    if (item == nullptr) return 0;
    return static_cast<int>(HW_Utf16CopyCut(item->text, item->length, buffer, capacity));
}

HR_UINT16 PYCand_GetItemStringUtf8(const _PY_CAND *cand, HR_UINT16 index, char *buffer, HR_UINT16 capacity) {
    const _PY_CAND_ITEM *item = PYCand_GetItem(cand, index);
    if (item == nullptr) return 0;
    return static_cast<HR_UINT16>(HW_Utf16ToUtf8Cut(item->text, item->length, buffer, capacity));
}

int PYCand_PhraseCompare(const _PY_CAND_ITEM *a, const _PY_CAND_ITEM *b) {
    if (a->score != b->score) return a->score < b->score ? -1 : 1;
    return static_cast<int>(a->weight) - static_cast<int>(b->weight);
}

HR_UINT16 PYCand_DumpBounded(const _PY_CAND *cand, char *text, HR_UINT32 capacity) {
    if (capacity == 0) return 0;
    if (capacity > PY_CAND_DUMP_SIZE) capacity = PY_CAND_DUMP_SIZE;
    DumpText out = {text, capacity, 0, false};
    text[0] = 0;
    _PY_CAND_RANGE list = CurrentList(cand);
    for (HR_UINT32 slot = list.first; slot < list.end; ++slot) DumpItem(&out, slot - list.first, cand->cand[slot]);
    static const char kLineEnd[] = "\r\n";
    Append(&out, kLineEnd, 2);
    Append(&out, kLineEnd, 2);
    HR_UINT32 last = cand->strokes < PY_CAND_STROKE_MAX ? cand->strokes : PY_CAND_STROKE_MAX - 1;
    for (HR_UINT32 k = 1; k <= last; ++k) {
        DumpEntryCodes(&out, cand, k);
        Append(&out, kLineEnd, 2);
    }
    return static_cast<HR_UINT16>(out.length);
}

HR_UINT16 PYCand_Dump(const _PY_CAND *cand, char *text) { return PYCand_DumpBounded(cand, text, PY_CAND_DUMP_SIZE); }

}  // extern "C"
