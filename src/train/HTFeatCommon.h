// SPDX-License-Identifier: MIT
// Plumbing shared by the feature stages (HTFeatOrig.cpp, HTFeatCoarse.cpp,
// HTFeatSets.cpp): files, byte order, the code filter, the stage frame and
// the file list.
#ifndef HT_FEAT_COMMON_H
#define HT_FEAT_COMMON_H

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>

#include "train/HTCode.h"
#include "train/HTFeat.h"
#include "train/HTFileList.h"
#include "train/HTLog.h"
#include "train/HTPlatform.h"
#include "util/HWBytes.h"

namespace htfeat {

constexpr int kTimerSlot = 1;

struct FileCloser {
    void operator()(FILE *fp) const { std::fclose(fp); }
};
using File = std::unique_ptr<FILE, FileCloser>;

inline File Open(const char *path, const char *mode) { return File(std::fopen(path, mode)); }

struct FreeDeleter {
    void operator()(void *p) const { std::free(p); }
};

using penrune::FileList;

using penrune::LoadI32;
using penrune::LoadU16;
using penrune::StoreI32;
using penrune::StoreU16;

inline bool Wanted(HR_UINT16 code) { return g_bCodeExist[code] != 0; }

inline bool WriteAll(FILE *fp, const void *data, size_t size, size_t count) {
    // An empty container may hand over a null pointer, which fwrite rejects.
    return count == 0 || std::fwrite(data, size, count, fp) == count;
}

inline bool ReadAll(FILE *fp, void *data, size_t size, size_t count) {
    return std::fread(data, size, count, fp) == count;
}

// Runs body, turning a failed allocation into a failure result.
template <class Body>
inline int CatchNoMemory(Body body) {
    try {
        return body();
    } catch (const std::bad_alloc &) {
        HTLog_Print("  out of memory\n");
        return 0;
    }
}

// Logs "<name> begin.", runs the stage body and logs "<name> finished." or
// "<name> fail." and the stage time.
template <class Body>
inline int RunStage(const char *name, Body body) {
    HTLog_TimeBegin(kTimerSlot);
    HTLog_Print("%s begin.\n", name);
    const int ok = CatchNoMemory(body) ? 1 : 0;
    HTLog_Print(ok ? "%s finished.\n" : "%s fail.\n", name);
    HTLog_TimeStop(kTimerSlot);
    return ok;
}

// A stage's list of input files; a stage never works on part of a directory.
inline int ListFiles(const char *dir, FileList &list) {
    return penrune::ListFiles(dir, list, penrune::TooManyFiles::kFail);
}

// dir/<base name of input><ext>, the part of the name from its last "."
// replaced by ext (appended when the name has no "."). 0 when too long.
inline int DerivedPath(char *out, const char *dir, const char *input, const char *ext) {
    const char *name = HT_GetFileNameByFilePath(input);
    const char *dot = std::strrchr(name, '.');
    const int stem = static_cast<int>(dot != nullptr ? dot - name : std::strlen(name));
    if (!HT_FormatPath(out, "%s/%.*s%s", dir, stem, name, ext)) {
        HTLog_Print("  output path for %s too long\n", input);
        return 0;
    }
    return 1;
}

inline int SortedPath(char *out, const char *sortDir, unsigned code) {
    return HT_FormatPath(out, "%s/%x.fec", sortDir, code);
}

}  // namespace htfeat

#endif  // HT_FEAT_COMMON_H
