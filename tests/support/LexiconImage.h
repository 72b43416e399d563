/* SPDX-License-Identifier: MIT */
// Builds phrase lexicon images with the library's builder for tests.
#ifndef PENRUNE_TESTS_LEXICONIMAGE_H
#define PENRUNE_TESTS_LEXICONIMAGE_H

#include <string>
#include <vector>

#include "penrune/HWLex.h"
#include "TempDir.h"

namespace penrune::test {

// What one run of PYLex_CreateSysLex left behind.
struct LexiconBuild {
    int result = 0;
    std::string image;   // the image file, empty when none was written
    std::string source;  // the generated C source, empty when none
    std::string errors;  // the error file
    std::string output;  // what the builder printed on standard output

    // A view over a 4-byte aligned copy of image, as the view requires;
    // valid while this build is alive and View() is not called again.
    _PY_LEX View();

private:
    std::vector<HR_UINT32> aligned_;
};

// Writes `phrases` (and `description` unless null) into dir and builds the
// image "lex.dat" from them.
LexiconBuild BuildLexicon(const TempDir &dir, const std::string &phrases, const std::string *description);

}  // namespace penrune::test

#endif  // PENRUNE_TESTS_LEXICONIMAGE_H
