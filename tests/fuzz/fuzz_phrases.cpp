// SPDX-License-Identifier: MIT
// Phrase lists: the lexicon builder's reader on any text, and on short
// lists the whole build, whose image PYLex_CheckLexicon must accept.
#include <string>
#include <vector>

#include "FuzzSupport.h"
#include "penrune/HWLex.h"
#include "lex/HWLexEx.h"

using penrune_fuzz::Fail;

namespace {

// Every phrase of the list stands once in each group map, in its groups.
void CheckGroups(const PYLexGroups &groups, const std::vector<_PHRASE_ITEM> &list, bool byFirst) {
    std::size_t total = 0;
    for (const auto &group : groups) {
        total += group.second.size();
        for (const _PHRASE_ITEM &item : group.second)
            if ((byFirst ? item.firstGroup : item.lastGroup) != group.first) Fail("phrase in a foreign group");
    }
    if (total != list.size()) Fail("group maps and list disagree");
}

void Build(const std::string &phrases) {
    const std::string image = penrune_fuzz::ScratchPath("lex.dat");
    const int result = PYLex_CreateSysLex(penrune_fuzz::ScratchPath("none").c_str(), phrases.c_str(), image.c_str(),
                                          penrune_fuzz::ScratchPath("build-errors.txt").c_str());
    if (result != PYLEX_BUILD_OK) return;
    const std::string bytes = penrune_fuzz::ReadWhole(image);
    const std::vector<std::uint8_t> copy =
        penrune_fuzz::Bytes(reinterpret_cast<const std::uint8_t *>(bytes.data()), bytes.size());
    if (!PYLex_CheckLexicon(copy.data(), static_cast<HR_UINT32>(copy.size()))) Fail("built image refused");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    const std::string phrases = penrune_fuzz::WriteScratch("phrases.txt", data, size);
    PYLexGroups first, last;
    std::vector<_PHRASE_ITEM> list;
    std::vector<HR_UINT16> pool;
    PYLex_LoadPhrase(first, last, list, pool, phrases.c_str(), penrune_fuzz::ScratchPath("errors.txt").c_str());
    for (const _PHRASE_ITEM &item : list)
        if (item.offset < 1 || item.length < 1 || static_cast<std::size_t>(item.offset + item.length) > pool.size())
            Fail("phrase outside the pool");
    CheckGroups(first, list, true);
    CheckGroups(last, list, false);
    // The build writes a large C source: only some short lists take it.
    if (size <= 2048 && size % 64 == 0) Build(phrases);
    return 0;
}
