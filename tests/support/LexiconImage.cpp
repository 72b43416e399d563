// SPDX-License-Identifier: MIT
#include "LexiconImage.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>

#include "lex/HWLexEx.h"

namespace penrune::test {

_PY_LEX LexiconBuild::View() {
    aligned_.assign((image.size() + 3) / 4, 0);
    std::memcpy(aligned_.data(), image.data(), image.size());
    const HR_UINT8 *data = reinterpret_cast<const HR_UINT8 *>(aligned_.data());
    _PY_LEX lex;
    PYLex_Initialize(&lex, &data);
    return lex;
}

LexiconBuild BuildLexicon(const TempDir &dir, const std::string &phrases, const std::string *description) {
    const std::string phrasePath = dir.Write("phrases.txt", phrases);
    const std::string descriptionPath =
        description != nullptr ? dir.Write("description.txt", *description) : dir.File("no-description.txt");
    const std::string imagePath = dir.File("lex.dat"), errorPath = dir.File("errors.txt");
    std::remove(imagePath.c_str());
    std::remove((imagePath + ".c").c_str());

    LexiconBuild build;
    testing::internal::CaptureStdout();
    build.result =
        PYLex_CreateSysLex(descriptionPath.c_str(), phrasePath.c_str(), imagePath.c_str(), errorPath.c_str());
    build.output = testing::internal::GetCapturedStdout();
    build.image = ReadFile(imagePath);
    build.source = ReadFile(imagePath + ".c");
    build.errors = ReadFile(errorPath);
    return build;
}

}  // namespace penrune::test
