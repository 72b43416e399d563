// SPDX-License-Identifier: MIT
// Charset code table of a training run and the UTF-8 conversions of the
// training tools.
#include "train/HTCode.h"

#include <cstdio>
#include <cstring>
#include <memory>

#include "penrune/HWUtils.h"
#include "train/HTLog.h"
#include "train/HTPlatform.h"

namespace {

// The process-wide table: one fixed static block, zero at load.
_CODE_TABLE g_stCode;

constexpr unsigned char kByteOrderMark[3] = {0xEF, 0xBB, 0xBF};
constexpr HR_UINT32 kLargestCode = 0xFFFF;

// Opens a UTF-8 text file and skips a byte-order mark at its very start.
std::FILE *OpenText(const char *path) {
    std::FILE *fp = std::fopen(path, "r");
    if (fp == nullptr) return nullptr;
    unsigned char head[3];
    size_t got = std::fread(head, 1, sizeof head, fp);
    if (got != sizeof head || std::memcmp(head, kByteOrderMark, sizeof head) != 0) std::rewind(fp);
    return fp;
}

// Code of the first character of word; 0 when it is not a valid sequence of
// a character of the Basic Multilingual Plane.
HR_UINT16 FirstCharacter(const char *word) {
    HR_UINT32 value = HTCode_EncodeByUTF8(reinterpret_cast<const HR_UINT8 *>(word));
    return value <= kLargestCode ? static_cast<HR_UINT16>(value) : 0;
}

// Calls visit(code, line) for every line of fp that yields a word whose
// first character is usable.
template <typename Visit>
void ForEachWord(std::FILE *fp, Visit visit) {
    char line[HT_CODE_LINE_MAX];
    char word[HT_CODE_LINE_MAX];
    while (std::fgets(line, sizeof line, fp) != nullptr) {
        if (std::sscanf(line, "%1023s", word) != 1) continue;
        HR_UINT16 code = FirstCharacter(word);
        if (code != 0) visit(code, line);
    }
}

// Reads charset file i of dir into codes (capacity HT_CODE_COUNT) and returns
// how many of them are usable.
int ReadCharset(const char *dir, int charset, HR_UINT16 *codes) {
    char path[HT_PATH_MAX];
    if (!HT_FormatPath(path, "%s/char_bit%d.txt", dir, charset)) return 0;
    int count = HTCode_ReadCodeCharsetBit(path, codes, HT_CODE_COUNT);
    return count < HT_CODE_COUNT ? count : HT_CODE_COUNT;
}

}  // namespace

HR_INT32 *g_bCodeExist = g_stCode.codeExist;
HR_UINT16 *g_nCodeIndex = g_stCode.codeIndex;

extern "C" int HTCode_Initialize(const char *dir, HR_UINT32 mask) {
    g_stCode.charsetFlags = static_cast<HR_UINT16>(mask);
    HTLog_Print("code initialize begin.\n");
    char path[HT_PATH_MAX];
    bool ok = HT_FormatPath(path, "%s/char_number.txt", dir) && HTCode_ReadCodeIndexAndNodeNum(&g_stCode, path) &&
              HTCode_ReadCodeExist(&g_stCode, dir, mask) && HTCode_ReadCodeCharset(&g_stCode, dir, mask);
    HTLog_Print(ok ? "code initialize finished.\n" : "code initialize fail.\n");
    return ok ? 1 : 0;
}

extern "C" void HTCode_Terminate(void) {}

extern "C" int HTCode_GetItemTotal(void) { return g_stCode.itemTotal; }

extern "C" const _CODE_ITEM *HTCode_GetItemPtr(void) { return g_stCode.items; }

extern "C" HR_UINT16 HTCode_GetCodeMaxVal(void) {
    HR_UINT16 largest = 0;
    for (int i = 0; i < g_stCode.itemTotal; ++i)
        if (g_stCode.items[i].code > largest) largest = g_stCode.items[i].code;
    return largest;
}

extern "C" HR_UINT16 HTCode_GetCharsetFlags(void) { return g_stCode.charsetFlags; }

extern "C" int HTCode_ReadCodeIndexAndNodeNum(_CODE_TABLE *table, const char *path) {
    table->itemTotal = 0;
    std::FILE *fp = OpenText(path);
    if (fp == nullptr) return 0;
    // Node number per code; a later line for the same code replaces an
    // earlier one, and the number is kept as a 16-bit value.
    std::unique_ptr<HR_UINT16[]> nodeNum(new HR_UINT16[HT_CODE_COUNT]());
    char word[HT_CODE_LINE_MAX];
    ForEachWord(fp, [&](HR_UINT16 code, const char *line) {
        int number;
        if (std::sscanf(line, "%1023s %d", word, &number) == 2) nodeNum[code] = static_cast<HR_UINT16>(number);
    });
    std::fclose(fp);
    for (HR_UINT32 code = 0; code < HT_CODE_COUNT; ++code) {
        if (nodeNum[code] == 0) {
            table->codeIndex[code] = HT_CODE_NO_ITEM;
            continue;
        }
        _CODE_ITEM &item = table->items[table->itemTotal];
        item.code = static_cast<HR_UINT16>(code);
        item.charset = 0;
        item.nodeNum = nodeNum[code];
        table->codeIndex[code] = static_cast<HR_UINT16>(table->itemTotal);
        ++table->itemTotal;
    }
    return table->itemTotal > 0 ? 1 : 0;
}

extern "C" int HTCode_ReadCodeExist(_CODE_TABLE *table, const char *dir, HR_UINT32 mask) {
    std::memset(table->codeExist, 0, sizeof table->codeExist);
    std::unique_ptr<HR_UINT16[]> codes(new HR_UINT16[HT_CODE_COUNT]);
    for (int charset = 0; charset < HT_CODE_CHARSETS; ++charset) {
        if ((mask & (1u << charset)) == 0) continue;
        int count = ReadCharset(dir, charset, codes.get());
        for (int i = 0; i < count; ++i) table->codeExist[codes[i]] = 1;
    }
    return 1;
}

extern "C" int HTCode_ReadCodeCharset(_CODE_TABLE *table, const char *dir, HR_UINT32 mask) {
    std::unique_ptr<HR_UINT16[]> codes(new HR_UINT16[HT_CODE_COUNT]);
    for (int charset = 0; charset < HT_CODE_CHARSETS; ++charset) {
        HR_UINT16 bit = static_cast<HR_UINT16>((1u << charset) & mask);
        int count = ReadCharset(dir, charset, codes.get());
        for (int i = 0; i < count; ++i) {
            HR_UINT16 index = table->codeIndex[codes[i]];
            if (index < table->itemTotal) table->items[index].charset |= bit;
        }
    }
    return 1;
}

extern "C" int HTCode_ReadCodeCharsetBit(const char *path, HR_UINT16 *codes, int capacity) {
    std::FILE *fp = OpenText(path);
    if (fp == nullptr) return 0;
    int count = 0;
    ForEachWord(fp, [&](HR_UINT16 code, const char *) {
        if (count < capacity) codes[count] = code;
        ++count;
    });
    std::fclose(fp);
    return count;
}

// The code table reads and writes UTF-8 with the library's codec.
extern "C" int HTCode_GetUTF8Size(HR_UINT8 lead) { return enc_get_utf8_size(&lead); }

extern "C" HR_UINT32 HTCode_EncodeByUTF8(const HR_UINT8 *bytes) {
    unsigned long value = 0;
    enc_utf8_to_utf32_one(bytes, &value);
    return static_cast<HR_UINT32>(value);
}

extern "C" int HTCode_DecodeToUTF8(HR_UINT32 value, char *out, int capacity) {
    return enc_utf32_to_utf8_one(value, out, capacity);
}
