// SPDX-License-Identifier: MIT
#include "lex/HWLexEx.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <memory>
#include <set>
#include <string>

#include "train/HTStore.h"
#include "penrune/HWLex.h"
#include "penrune/HWUtils.h"
#include "util/HWBytes.h"

namespace {

struct FileCloser {
    void operator()(FILE *fp) const { std::fclose(fp); }
};
using File = std::unique_ptr<FILE, FileCloser>;

File Open(const char *path, const char *mode) { return File(path != nullptr ? std::fopen(path, mode) : nullptr); }

struct BlockFree {
    void operator()(HR_UINT8 *p) const { std::free(p); }
};

// ---------------------------------------------------------------------------
// Reading the phrase list

// The rest of a stream, read in blocks.
std::string ReadAll(FILE *fp) {
    std::string content;
    char block[16384];
    size_t n;
    while ((n = std::fread(block, 1, sizeof(block), fp)) > 0) content.append(block, n);
    return content;
}

// The next line of text, with its line end, from position `at` onwards; lines
// of any length come whole, so an over-long one is reported, not split.
bool NextLine(const std::string &text, size_t &at, std::string &line) {
    if (at >= text.size()) return false;
    size_t end = text.find('\n', at);
    end = end == std::string::npos ? text.size() : end + 1;
    line.assign(text, at, end - at);
    at = end;
    return true;
}

bool IsSpace(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f'; }

std::vector<std::string> SplitFields(const std::string &line) {
    std::vector<std::string> fields;
    size_t i = 0;
    while (i < line.size()) {
        while (i < line.size() && IsSpace(line[i])) ++i;
        size_t start = i;
        while (i < line.size() && !IsSpace(line[i])) ++i;
        if (i > start) fields.push_back(line.substr(start, i - start));
    }
    return fields;
}

// A decimal frequency from 1 to INT32_MAX, or 0 when the field is not one.
HR_INT32 ParseFrequency(const std::string &field) {
    HR_INT64 value = 0;
    for (char c : field) {
        if (c < '0' || c > '9') return 0;
        value = value * 10 + (c - '0');
        if (value > INT32_MAX) return 0;
    }
    return static_cast<HR_INT32>(value);
}

// Whether a line of three or more fields is fit to be used: no over-long
// line or field, exactly three fields, a positive 32-bit frequency.
bool IsValidLine(const std::string &line, const std::vector<std::string> &fields) {
    return line.size() <= PYLEX_MAX_LINE && fields.size() == 3 && fields[0].size() <= PYLEX_MAX_FIELD &&
           fields[1].size() <= PYLEX_MAX_FIELD && ParseFrequency(fields[2]) > 0;
}

// Writes "<number>\t<line>" with a line end, even for a last line without one.
void WriteNumberedLine(FILE *fp, int number, const std::string &line) {
    std::fprintf(fp, "%d\t", number);
    std::fwrite(line.data(), 1, line.size(), fp);
    if (line.back() != '\n') std::fputc('\n', fp);
}

void ReportRepeat(int number, const std::string &line) {
    std::fputs("rep: ", stdout);
    WriteNumberedLine(stdout, number, line);
}

void ReportError(FILE *errors, int number, const std::string &line) {
    WriteNumberedLine(errors, number, line);
    std::fputs("err: ", stdout);
    WriteNumberedLine(stdout, number, line);
}

// Appends one phrase to the list and the pool; the pool already ends with the
// phrase's weight slot and gets the next one.
void AddPhrase(const HR_UINT16 *units, int n, HR_INT32 frequency, std::vector<_PHRASE_ITEM> &list,
               std::vector<HR_UINT16> &pool) {
    _PHRASE_ITEM item{};
    item.offset = static_cast<HR_INT32>(pool.size());
    item.length = n;
    item.frequency = frequency;
    list.push_back(item);
    pool.insert(pool.end(), units, units + n);
    pool.push_back(0);
}

// Weights and groups of every phrase, from the frequency total.
void ComputeWeights(std::vector<_PHRASE_ITEM> &list, std::vector<HR_UINT16> &pool, HR_INT64 total) {
    for (_PHRASE_ITEM &item : list) {
        double ratio = static_cast<double>(item.frequency) / static_cast<double>(total);
        item.weight = static_cast<HR_INT32>(std::log(ratio) * -1000.0);
        pool[item.offset - 1] = static_cast<HR_UINT16>(item.weight);
        item.firstGroup = PYLex_GetGroupId(nullptr, pool[item.offset]);
        item.lastGroup = PYLex_GetGroupId(nullptr, pool[item.offset + item.length - 1]);
    }
}

// ---------------------------------------------------------------------------
// Writing the image

void PutU32(std::vector<HR_UINT8> &out, HR_UINT32 v) {
    out.resize(out.size() + 4);
    penrune::StoreU32(out.data() + out.size() - 4, v);
}

void PadTo4(std::vector<HR_UINT8> &out) {
    while (out.size() % 4 != 0) out.push_back(0);
}

struct Section {
    HR_UINT32 tag;
    std::vector<HR_UINT8> bytes;  // unpadded
};

// Group index then item list of one group map.
void GroupSections(const PYLexGroups &groups, HR_UINT32 indexTag, HR_UINT32 itemsTag, std::vector<Section> &out) {
    Section index{indexTag, {}};
    Section items{itemsTag, {}};
    HR_UINT32 running = 0;
    PutU32(index.bytes, 0);
    for (const auto &group : groups) {
        running += static_cast<HR_UINT32>(group.second.size());
        PutU32(index.bytes, running);
        for (const _PHRASE_ITEM &item : group.second) {
            PutU32(items.bytes, (static_cast<HR_UINT32>(item.length) << 24) | static_cast<HR_UINT32>(item.offset));
        }
    }
    out.push_back(std::move(index));
    out.push_back(std::move(items));
}

// Two decimal digits as one packed BCD byte.
HR_UINT8 ToBcd(int value) { return static_cast<HR_UINT8>(((value / 10 % 10) << 4) | (value % 10)); }

// The local date of the run as the BCD digits of "%04d%02d%02d".
void PutBuildDate(std::vector<HR_UINT8> &out) {
    std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    int year = local.tm_year + 1900;
    out.push_back(ToBcd(year / 100));
    out.push_back(ToBcd(year % 100));
    out.push_back(ToBcd(local.tm_mon + 1));
    out.push_back(ToBcd(local.tm_mday));
}

std::vector<HR_UINT8> BuildImage(const _HR_BLOCK &description, const PYLexGroups &firstGroups,
                                 const PYLexGroups &lastGroups, const std::vector<HR_UINT16> &pool) {
    std::vector<Section> sections;
    if (description.size > 0) {
        sections.push_back(Section{PYLEX_TAG_DESCRIPTION, {description.data, description.data + description.size}});
    }
    GroupSections(firstGroups, PYLEX_TAG_FIRST_INDEX, PYLEX_TAG_FIRST_ITEMS, sections);
    GroupSections(lastGroups, PYLEX_TAG_LAST_INDEX, PYLEX_TAG_LAST_ITEMS, sections);
    Section poolSection{PYLEX_TAG_POOL, std::vector<HR_UINT8>(pool.size() * 2)};
    for (size_t i = 0; i < pool.size(); ++i) penrune::StoreU16(&poolSection.bytes[2 * i], pool[i]);
    sections.push_back(std::move(poolSection));

    const HR_UINT32 count = static_cast<HR_UINT32>(sections.size());
    const HR_UINT32 base = PYLEX_HEADER_SIZE + PYLEX_DIR_ENTRY_SIZE * count;
    std::vector<HR_UINT8> data;
    std::vector<HR_UINT8> directory;
    for (const Section &section : sections) {
        PadTo4(data);  // only the description can leave data unaligned
        PutU32(directory, section.tag);
        PutU32(directory, static_cast<HR_UINT32>(data.size()));
        PutU32(directory, static_cast<HR_UINT32>(section.bytes.size()));
        PutU32(directory, 0);
        data.insert(data.end(), section.bytes.begin(), section.bytes.end());
    }
    PadTo4(data);

    const char magic[] = PYLEX_MAGIC;
    std::vector<HR_UINT8> image(magic, magic + 4);
    PutU32(image, PYLEX_VERSION);
    PutU32(image, static_cast<HR_UINT32>(base + data.size()));
    PutBuildDate(image);
    PutU32(image, count);
    PutU32(image, PYLEX_HEADER_SIZE);
    PutU32(image, base);
    PutU32(image, 0);
    image.insert(image.end(), directory.begin(), directory.end());
    image.insert(image.end(), data.begin(), data.end());
    return image;
}

bool PoolFits(const std::vector<_PHRASE_ITEM> &list) {
    for (const _PHRASE_ITEM &item : list) {
        if (static_cast<HR_UINT32>(item.offset) > PYLEX_MAX_POOL_OFFSET) return false;
    }
    return true;
}

// Reads the phrase lines into the list and the pool (which starts with the
// first phrase's weight slot), reporting rejected lines. Returns the sum of
// the accepted frequencies.
HR_INT64 ReadPhrases(const std::string &text, FILE *errors, std::vector<_PHRASE_ITEM> &list,
                     std::vector<HR_UINT16> &pool) {
    std::set<std::string> seen;
    HR_INT64 total = 0;
    size_t at = 0;
    std::string line;
    HR_UINT16 units[PYLEX_MAX_FIELD + 1];
    for (int number = 1; NextLine(text, at, line); ++number) {
        // Past the 24-bit pool offsets no image can be written; stop before
        // offsets grow further.
        if (!list.empty() && static_cast<HR_UINT32>(list.back().offset) > PYLEX_MAX_POOL_OFFSET) break;
        std::vector<std::string> fields = SplitFields(line);
        if (fields.size() < 3) continue;
        if (!IsValidLine(line, fields)) {
            ReportError(errors, number, line);
            continue;
        }
        const std::string &phrase = fields[0];
        if (!seen.insert(phrase).second) {
            ReportRepeat(number, line);
            continue;
        }
        int n = HR_utf8_to_utf16(phrase.data(), static_cast<int>(phrase.size()), units, PYLEX_MAX_FIELD + 1);
        if (n == 0) {
            ReportError(errors, number, line);
            continue;
        }
        HR_INT32 frequency = ParseFrequency(fields[2]);
        AddPhrase(units, n, frequency, list, pool);
        total += frequency;
    }
    return total;
}

}  // namespace

bool PYLex_FreqSort(const _PHRASE_ITEM &a, const _PHRASE_ITEM &b) { return a.frequency > b.frequency; }

int PYLex_LoadPhrase(PYLexGroups &firstGroups, PYLexGroups &lastGroups, std::vector<_PHRASE_ITEM> &list,
                     std::vector<HR_UINT16> &pool, const char *path, const char *errorPath) {
    firstGroups.clear();
    lastGroups.clear();
    list.clear();
    pool.clear();
    for (HR_UINT32 g = 0; g < PYLEX_GROUP_TOTAL; ++g) {
        firstGroups[g];
        lastGroups[g];
    }
    File input = Open(path, "rb");
    File errors = Open(errorPath, "wb");
    if (!input || !errors) return 0;

    pool.push_back(0);  // weight slot of the first phrase
    HR_INT64 total = ReadPhrases(ReadAll(input.get()), errors.get(), list, pool);
    pool.pop_back();  // the weight slot after the last phrase

    ComputeWeights(list, pool, total);
    // Stable, so phrases of equal frequency keep their input order.
    std::stable_sort(list.begin(), list.end(), PYLex_FreqSort);
    for (const _PHRASE_ITEM &item : list) firstGroups[item.firstGroup].push_back(item);
    for (const _PHRASE_ITEM &item : list) lastGroups[item.lastGroup].push_back(item);
    return 1;
}

extern "C" {

int PYLex_LoadDataFile(_HR_BLOCK *block, const char *path) {
    block->data = nullptr;
    block->size = 0;
    File fp = Open(path, "rb");
    if (!fp || std::fseek(fp.get(), 0, SEEK_END) != 0) return -1;
    long length = std::ftell(fp.get());
    if (length < 0 || static_cast<unsigned long>(length) > UINT32_MAX || std::fseek(fp.get(), 0, SEEK_SET) != 0) {
        return -1;
    }
    if (length == 0) return 0;
    std::unique_ptr<HR_UINT8, BlockFree> data(static_cast<HR_UINT8 *>(std::malloc(static_cast<size_t>(length))));
    if (!data || std::fread(data.get(), 1, static_cast<size_t>(length), fp.get()) != static_cast<size_t>(length)) {
        return -1;
    }
    block->data = data.release();
    block->size = static_cast<HR_UINT32>(length);
    return 0;
}

int PYLex_SaveToCpp(const char *imagePath, const char *cPath) {
    static const _HT_SOURCE_FORM kLexiconForm = {
        "#include \"HWLexData.h\"\n", "const HR_UINT8 g_lex_data[] = {\n",     "const HR_UINT8 * HWLex_GetDataPtr()\n",
        "    return g_lex_data;\n",   "const HR_UINT32 HWLex_GetDataSize()\n",
    };
    return HTStore_SaveImageSource(imagePath, cPath, &kLexiconForm);
}

int PYLex_CreateSysLex(const char *description, const char *phrases, const char *output, const char *errors) {
    _HR_BLOCK loaded{};
    PYLex_LoadDataFile(&loaded, description);
    std::unique_ptr<HR_UINT8, BlockFree> descriptionData(loaded.data);

    PYLexGroups firstGroups;
    PYLexGroups lastGroups;
    std::vector<_PHRASE_ITEM> list;
    std::vector<HR_UINT16> pool;
    PYLex_LoadPhrase(firstGroups, lastGroups, list, pool, phrases, errors);
    if (!PoolFits(list)) {
        std::printf("err: the phrase pool of %zu units exceeds 24-bit offsets; no image written\n", pool.size());
        return PYLEX_BUILD_POOL_FULL;
    }

    std::vector<HR_UINT8> image = BuildImage(loaded, firstGroups, lastGroups, pool);
    File out = Open(output, "wb");
    if (!out) return PYLEX_BUILD_NO_OUTPUT;
    bool written = std::fwrite(image.data(), 1, image.size(), out.get()) == image.size();
    written = std::fclose(out.release()) == 0 && written;
    if (!written) {
        std::printf("err: could not write %s\n", output);
        std::remove(output);
        return PYLEX_BUILD_WRITE_FAILED;
    }
    PYLex_SaveToCpp(output, (std::string(output) + ".c").c_str());
    return PYLEX_BUILD_OK;
}

}  // extern "C"
