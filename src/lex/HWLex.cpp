// SPDX-License-Identifier: MIT
#include "penrune/HWLex.h"

#include <cstdint>
#include <cstring>

#include "penrune/HWLexData.h"
#include "penrune/HWUtils.h"
#include "util/HWBytes.h"

namespace {

// Shared output buffer of PYLex_GetPhraseDescribe.
char szLex[PYLEX_DESCRIBE_SIZE];

constexpr HR_UINT32 kOffsetMask = 0xFFFFFFu;
constexpr int kLengthShift = 24;

// Image fields are little-endian and read without assuming alignment.
using penrune::LoadU16;
using penrune::LoadU32;

template <typename T>
const T *SectionPtr(const HR_UINT8 *image, HR_UINT32 base, HR_UINT32 offset) {
    return reinterpret_cast<const T *>(image + base + offset);
}

// One of the two (group index, item list) pairs of the view.
struct GroupList {
    const HR_UINT32 *index;
    const HR_UINT32 *items;
};

GroupList FirstList(const _PY_LEX *lex) { return GroupList{lex->firstIndex, lex->firstItems}; }
GroupList LastList(const _PY_LEX *lex) { return GroupList{lex->lastIndex, lex->lastItems}; }

HR_INT32 GroupSize(GroupList list, HR_UINT32 group) {
    if (list.index == nullptr || group >= PYLEX_GROUP_TOTAL) return 0;
    return static_cast<HR_INT32>(LoadU32(list.index + group + 1) - LoadU32(list.index + group));
}

// Phrase id of item `index` of a group, 0 when there is no such item.
HR_UINT32 GroupItemId(GroupList list, HR_UINT32 group, HR_INT32 index) {
    if (list.items == nullptr || index < 0 || index >= GroupSize(list, group)) return 0;
    return LoadU32(list.items + LoadU32(list.index + group) + index);
}

HR_UINT32 ItemId(const _PY_LEX *lex, HR_INT32 index) {
    if (lex->firstItems == nullptr || index < 0 || static_cast<HR_UINT32>(index) >= lex->total) return 0;
    return LoadU32(lex->firstItems + index);
}

// ---------------------------------------------------------------------------
// Checking an image before use

constexpr HR_UINT32 kSectionsWithDescription = 6;
constexpr HR_UINT32 kDataSections = 5;
constexpr HR_UINT32 kIndexBytes = 4 * (PYLEX_GROUP_TOTAL + 1);
constexpr HR_UINT32 kImageAlignment = 4;

// The sections in the order they are listed and stored; the first one, the
// description, is optional.
constexpr HR_UINT32 kSectionTags[kSectionsWithDescription] = {PYLEX_TAG_DESCRIPTION, PYLEX_TAG_FIRST_INDEX,
                                                              PYLEX_TAG_FIRST_ITEMS, PYLEX_TAG_LAST_INDEX,
                                                              PYLEX_TAG_LAST_ITEMS,  PYLEX_TAG_POOL};
enum DataSection { kFirstIndex, kFirstItems, kLastIndex, kLastItems, kPool };

// Where a section lies, in bytes from the start of the image.
struct Range {
    HR_UINT32 at;
    HR_UINT32 size;
};

HR_UINT32 DataBase(HR_UINT32 sections) { return PYLEX_HEADER_SIZE + PYLEX_DIR_ENTRY_SIZE * sections; }

// The header and its section count; *limit becomes the image size it states.
bool CheckHeader(const HR_UINT8 *image, HR_UINT32 size, HR_UINT32 *limit, HR_UINT32 *sections) {
    if (size < PYLEX_HEADER_SIZE || std::memcmp(image, PYLEX_MAGIC, 4) != 0) return false;
    *limit = LoadU32(image + 8);
    *sections = LoadU32(image + 16);
    if (LoadU32(image + 4) != PYLEX_VERSION || *limit > size || *limit % 4 != 0) return false;
    if (*sections != kDataSections && *sections != kSectionsWithDescription) return false;
    return LoadU32(image + 20) == PYLEX_HEADER_SIZE && LoadU32(image + 24) == DataBase(*sections) &&
           LoadU32(image + 28) == 0 && DataBase(*sections) <= *limit;
}

// The directory: the expected tags in order, each section starting where the
// one before ends, rounded up to 4 bytes, all ending within limit. Fills the
// ranges of the five data sections.
bool CheckDirectory(const HR_UINT8 *image, HR_UINT32 limit, HR_UINT32 sections, Range ranges[kDataSections]) {
    const HR_UINT32 base = DataBase(sections);
    const HR_UINT32 skipped = kSectionsWithDescription - sections;
    HR_UINT64 end = 0;  // from the data base
    for (HR_UINT32 i = 0; i < sections; ++i) {
        const HR_UINT8 *entry = image + PYLEX_HEADER_SIZE + i * PYLEX_DIR_ENTRY_SIZE;
        const HR_UINT32 offset = LoadU32(entry + 4);
        const HR_UINT32 bytes = LoadU32(entry + 8);
        if (LoadU32(entry) != kSectionTags[i + skipped] || LoadU32(entry + 12) != 0) return false;
        if (offset != (end + 3) / 4 * 4) return false;
        end = static_cast<HR_UINT64>(offset) + bytes;
        if (base + end > limit) return false;
        if (i + skipped > 0) ranges[i + skipped - 1] = Range{base + offset, bytes};
    }
    const HR_UINT32 itemBytes = ranges[kFirstItems].size;
    return ranges[kFirstIndex].size == kIndexBytes && ranges[kLastIndex].size == kIndexBytes && itemBytes % 4 == 0 &&
           ranges[kLastItems].size == itemBytes && ranges[kPool].size % 2 == 0;
}

// A phrase id of group `group`: its weight and text lie in the pool and its
// first (or last) unit belongs to the group.
bool CheckPhrase(const HR_UINT8 *pool, HR_UINT32 poolUnits, HR_UINT32 id, HR_UINT32 group, bool byFirst) {
    const HR_UINT32 offset = id & kOffsetMask;
    const HR_UINT32 length = id >> kLengthShift;
    if (length == 0 || offset == 0 || offset + length > poolUnits) return false;
    const HR_UINT32 unit = byFirst ? offset : offset + length - 1;
    return PYLex_GetGroupId(nullptr, LoadU16(pool + 2 * unit)) == group;
}

// One group index and its item list: the index starts at 0, never
// decreases and ends at the item count; every item is a phrase of its group.
bool CheckGroupList(const HR_UINT8 *image, const Range &index, const Range &items, const Range &pool, bool byFirst) {
    const HR_UINT8 *at = image + index.at;
    const HR_UINT32 total = items.size / 4;
    if (LoadU32(at) != 0 || LoadU32(at + 4 * PYLEX_GROUP_TOTAL) != total) return false;
    for (HR_UINT32 group = 0; group < PYLEX_GROUP_TOTAL; ++group) {
        const HR_UINT32 first = LoadU32(at + 4 * group), end = LoadU32(at + 4 * (group + 1));
        if (end < first || end > total) return false;
        for (HR_UINT32 k = first; k < end; ++k) {
            const HR_UINT32 id = LoadU32(image + items.at + 4 * k);
            if (!CheckPhrase(image + pool.at, pool.size / 2, id, group, byFirst)) return false;
        }
    }
    return true;
}

// Units of a phrase whose UTF-8 form fits in `room` bytes.
int UnitsFitting(const HR_UINT16 *text, int length, int room) {
    int used = 0;
    for (int i = 0; i < length; ++i) {
        used += enc_utf32_to_utf8_one(LoadU16(text + i), nullptr, 0);
        if (used > room) return i;
    }
    return length;
}

}  // namespace

extern "C" {

int PYLex_Initialize(_PY_LEX *lex, const HR_UINT8 *const *source) {
    const HR_UINT8 *image = source != nullptr ? *source : HWLex_GetDataPtr();
    std::memset(lex, 0, sizeof(*lex));
    if (image == nullptr) return 1;
    HR_UINT32 sections = LoadU32(image + 16);
    HR_UINT32 directory = LoadU32(image + 20);
    HR_UINT32 base = LoadU32(image + 24);
    for (HR_UINT32 i = 0; i < sections; ++i) {
        const HR_UINT8 *entry = image + directory + i * PYLEX_DIR_ENTRY_SIZE;
        HR_UINT32 tag = LoadU32(entry);
        HR_UINT32 offset = LoadU32(entry + 4);
        HR_UINT32 size = LoadU32(entry + 8);
        switch (tag) {
            case PYLEX_TAG_POOL:
                lex->pool = SectionPtr<HR_UINT16>(image, base, offset);
                lex->weightBase = lex->pool - 1;
                break;
            case PYLEX_TAG_FIRST_INDEX:
                lex->firstIndex = SectionPtr<HR_UINT32>(image, base, offset);
                break;
            case PYLEX_TAG_LAST_INDEX:
                lex->lastIndex = SectionPtr<HR_UINT32>(image, base, offset);
                break;
            case PYLEX_TAG_FIRST_ITEMS:
                lex->firstItems = SectionPtr<HR_UINT32>(image, base, offset);
                lex->total = size / 4;
                break;
            case PYLEX_TAG_LAST_ITEMS:
                lex->lastItems = SectionPtr<HR_UINT32>(image, base, offset);
                lex->total = size / 4;
                break;
            default:  // the description and unknown sections are not read
                break;
        }
    }
    return 1;
}

int PYLex_CheckLexicon(const HR_UINT8 *image, HR_UINT32 size) {
    if (image == nullptr || reinterpret_cast<std::uintptr_t>(image) % kImageAlignment != 0) return 0;
    HR_UINT32 limit = 0, sections = 0;
    Range ranges[kDataSections] = {};
    if (!CheckHeader(image, size, &limit, &sections) || !CheckDirectory(image, limit, sections, ranges)) return 0;
    return CheckGroupList(image, ranges[kFirstIndex], ranges[kFirstItems], ranges[kPool], true) &&
                   CheckGroupList(image, ranges[kLastIndex], ranges[kLastItems], ranges[kPool], false)
               ? 1
               : 0;
}

int PYLex_InitializeImage(_PY_LEX *lex, const HR_UINT8 *image, HR_UINT32 size) {
    if (!PYLex_CheckLexicon(image, size)) {
        std::memset(lex, 0, sizeof(*lex));
        return 0;
    }
    return PYLex_Initialize(lex, &image);
}

void PYLex_Terminate(void) {}

HR_UINT32 PYLex_GetTotal(const _PY_LEX *lex) { return lex->total; }

HR_UINT32 PYLex_GetItemPhraseId(const _PY_LEX *lex, HR_INT32 index) { return ItemId(lex, index); }

int PYLex_GetItemWeight(const _PY_LEX *lex, HR_INT32 index) { return PYLex_GetPhraseWeight(lex, ItemId(lex, index)); }

int PYLex_GetItemLength(const _PY_LEX *lex, HR_INT32 index) { return PYLex_GetPhraseLength(lex, ItemId(lex, index)); }

const HR_UINT16 *PYLex_GetItemDataPtr(const _PY_LEX *lex, HR_INT32 index) {
    return PYLex_GetPhraseDataPtr(lex, ItemId(lex, index));
}

HR_UINT32 PYLex_GetGroupTotal(const _PY_LEX *) { return PYLEX_GROUP_TOTAL; }

HR_UINT32 PYLex_GetGroupId(const _PY_LEX *, HR_UINT16 code) {
    if (code <= 0xFF) return code;
    if (code == 0x3001) return 257;
    if (code >= 0x4E00 && code <= 0x9FA5) return code - 0x4CFEu;
    return 0;
}

HR_INT32 PYLex_GetGroupItemTotal(const _PY_LEX *lex, HR_UINT32 group) { return GroupSize(FirstList(lex), group); }

HR_UINT32 PYLex_GetGroupItemPhraseId(const _PY_LEX *lex, HR_UINT32 group, HR_INT32 index) {
    return GroupItemId(FirstList(lex), group, index);
}

int PYLex_GetGroupItemWeight(const _PY_LEX *lex, HR_UINT32 group, HR_INT32 index) {
    return PYLex_GetPhraseWeight(lex, GroupItemId(FirstList(lex), group, index));
}

int PYLex_GetGroupItemLength(const _PY_LEX *lex, HR_UINT32 group, HR_INT32 index) {
    return PYLex_GetPhraseLength(lex, GroupItemId(FirstList(lex), group, index));
}

const HR_UINT16 *PYLex_GetGroupItemDataPtr(const _PY_LEX *lex, HR_UINT32 group, HR_INT32 index) {
    return PYLex_GetPhraseDataPtr(lex, GroupItemId(FirstList(lex), group, index));
}

HR_INT32 PYLex_GetGroupRItemTotal(const _PY_LEX *lex, HR_UINT32 group) { return GroupSize(LastList(lex), group); }

HR_UINT32 PYLex_GetGroupRItemPhraseId(const _PY_LEX *lex, HR_UINT32 group, HR_INT32 index) {
    return GroupItemId(LastList(lex), group, index);
}

int PYLex_GetGroupRItemWeight(const _PY_LEX *lex, HR_UINT32 group, HR_INT32 index) {
    return PYLex_GetPhraseWeight(lex, GroupItemId(LastList(lex), group, index));
}

int PYLex_GetGroupRItemLength(const _PY_LEX *lex, HR_UINT32 group, HR_INT32 index) {
    return PYLex_GetPhraseLength(lex, GroupItemId(LastList(lex), group, index));
}

const HR_UINT16 *PYLex_GetGroupRItemDataPtr(const _PY_LEX *lex, HR_UINT32 group, HR_INT32 index) {
    return PYLex_GetPhraseDataPtr(lex, GroupItemId(LastList(lex), group, index));
}

// Id 0 (length 0) is what the item accessors give for a missing item; it
// decodes to no text rather than to the pool's first unit.
const HR_UINT16 *PYLex_GetPhraseDataPtr(const _PY_LEX *lex, HR_UINT32 id) {
    if (lex->pool == nullptr || (id >> kLengthShift) == 0) return nullptr;
    return lex->pool + (id & kOffsetMask);
}

int PYLex_GetPhraseWeight(const _PY_LEX *lex, HR_UINT32 id) {
    if (lex->weightBase == nullptr || (id >> kLengthShift) == 0) return 0;
    return LoadU16(lex->weightBase + (id & kOffsetMask));
}

int PYLex_GetPhraseLength(const _PY_LEX *, HR_UINT32 id) { return static_cast<int>(id >> kLengthShift); }

const char *PYLex_GetPhraseDescribe(const _PY_LEX *lex, HR_UINT32 id) {
    const HR_UINT16 *text = PYLex_GetPhraseDataPtr(lex, id);
    int length = text != nullptr ? PYLex_GetPhraseLength(lex, id) : 0;
    // Keep one byte for the terminator: a cut phrase ends at a whole
    // character and is always terminated.
    int units = text != nullptr ? UnitsFitting(text, length, PYLEX_DESCRIBE_SIZE - 1) : 0;
    HR_utf16_to_utf8(text, units, szLex, PYLEX_DESCRIBE_SIZE);
    return szLex;
}

}  // extern "C"
