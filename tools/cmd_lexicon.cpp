// SPDX-License-Identifier: MIT
// penrune lexicon: builds a phrase lexicon image and its C source from a
// phrase list with frequencies.
#include <cstdio>

#include "Args.h"
#include "Command.h"
#include "lex/HWLexEx.h"

namespace {

int Main(int argc, char **argv) {
    penrune::Args(argc, argv).Finish();
    if (argc != 4) {
        return penrune::UsageError("lexicon");
    }
    // A missing description only drops the description section, and an
    // unreadable phrase list yields an empty image, so check the list here
    // where the user can still be told.
    std::FILE *phrases = std::fopen(argv[1], "rb");
    if (phrases == nullptr) {
        std::fprintf(stderr, "penrune lexicon: cannot open phrase list '%s'\n", argv[1]);
        return 1;
    }
    std::fclose(phrases);
    if (PYLex_CreateSysLex(argv[0], argv[1], argv[2], argv[3]) != 0) {
        std::fprintf(stderr, "penrune lexicon: cannot write lexicon image '%s'\n", argv[2]);
        return 1;
    }
    return 0;
}

}  // namespace

static penrune::RegisterCommand reg("lexicon", &Main, "DESCRIPTION PHRASES OUTPUT ERRORS",
                                    "Build the phrase lexicon image OUTPUT and its C source OUTPUT.c from the "
                                    "phrase list PHRASES, listing rejected lines in ERRORS.");
