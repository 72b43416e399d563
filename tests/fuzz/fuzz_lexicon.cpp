// SPDX-License-Identifier: MIT
// Lexicon images: every accessor must stay inside an image that
// PYLex_CheckLexicon accepts. The input is either the image itself (first
// byte even) or changes to a small image built at start-up: the group
// indexes alone exceed the fuzzer's input size.
#include <string>
#include <vector>

#include "FuzzSupport.h"
#include "penrune/HWLex.h"
#include "lex/HWLexEx.h"

using penrune_fuzz::Fail;
using penrune_fuzz::FuzzInput;

namespace {

std::string g_base;

// Reads every unit of a phrase text.
HR_UINT32 Sum(const HR_UINT16 *text, int length) {
    HR_UINT32 sum = 0;
    for (int i = 0; i < length; ++i) sum += text[i];
    return sum;
}

void WalkGroups(const _PY_LEX *lex) {
    HR_UINT32 seen = 0;
    for (HR_UINT32 g = 0; g < PYLex_GetGroupTotal(lex); ++g) {
        for (HR_INT32 i = 0; i < PYLex_GetGroupItemTotal(lex, g); ++i, ++seen) {
            const HR_UINT16 *text = PYLex_GetGroupItemDataPtr(lex, g, i);
            const int length = PYLex_GetGroupItemLength(lex, g, i);
            if (text == nullptr || PYLex_GetGroupId(lex, text[0]) != g) Fail("item outside its group");
            Sum(text, length);
            PYLex_GetGroupItemWeight(lex, g, i);
        }
        for (HR_INT32 i = 0; i < PYLex_GetGroupRItemTotal(lex, g); ++i) {
            const HR_UINT16 *text = PYLex_GetGroupRItemDataPtr(lex, g, i);
            const int length = PYLex_GetGroupRItemLength(lex, g, i);
            if (text == nullptr || PYLex_GetGroupId(lex, text[length - 1]) != g) Fail("R-item outside its group");
            PYLex_GetGroupRItemWeight(lex, g, i);
        }
    }
    if (seen != PYLex_GetTotal(lex)) Fail("group totals do not add up");
}

void WalkItems(const _PY_LEX *lex) {
    for (HR_INT32 i = 0; i < static_cast<HR_INT32>(PYLex_GetTotal(lex)); ++i) {
        Sum(PYLex_GetItemDataPtr(lex, i), PYLex_GetItemLength(lex, i));
        PYLex_GetItemWeight(lex, i);
        PYLex_GetPhraseDescribe(lex, PYLex_GetItemPhraseId(lex, i));
    }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***) {
    const std::string phrases = "ab x 5\n\xE4\xB8\xAD\xE6\x96\x87 x 9\n\xE3\x80\x81 x 2\n\xE2\x82\xAC x 1\n";
    const std::string path = penrune_fuzz::WriteScratch(
        "phrases.txt", reinterpret_cast<const std::uint8_t *>(phrases.data()), phrases.size());
    const std::string image = penrune_fuzz::ScratchPath("lex.dat");
    const std::string description =
        penrune_fuzz::WriteScratch("description.txt", reinterpret_cast<const std::uint8_t *>("base"), 4);
    if (PYLex_CreateSysLex(description.c_str(), path.c_str(), image.c_str(),
                           penrune_fuzz::ScratchPath("errors.txt").c_str()) != PYLEX_BUILD_OK)
        Fail("base lexicon not built");
    g_base = penrune_fuzz::ReadWhole(image);
    const std::vector<std::uint8_t> copy =
        penrune_fuzz::Bytes(reinterpret_cast<const std::uint8_t *>(g_base.data()), g_base.size());
    if (!PYLex_CheckLexicon(copy.data(), static_cast<HR_UINT32>(copy.size()))) Fail("base lexicon refused");
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    FuzzInput in(data, size);
    const std::uint8_t *base = reinterpret_cast<const std::uint8_t *>(g_base.data());
    std::vector<std::uint8_t> image =
        in.Byte() % 2 == 0 ? penrune_fuzz::Bytes(data, size) : penrune_fuzz::Mutate(base, g_base.size(), in);
    _PY_LEX lex;
    const int accepted =
        PYLex_InitializeImage(&lex, image.empty() ? nullptr : image.data(), static_cast<HR_UINT32>(image.size()));
    if (accepted != PYLex_CheckLexicon(image.empty() ? nullptr : image.data(), static_cast<HR_UINT32>(image.size())))
        Fail("view and check disagree");
    if (!accepted) return 0;
    WalkGroups(&lex);
    WalkItems(&lex);
    return 0;
}
