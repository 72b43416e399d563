// SPDX-License-Identifier: MIT
// The file list of a training stage: the regular files of one directory
// (HT_GetFileList), held on the heap, with a stated policy for a directory
// that holds more files than the list.
#ifndef HT_FILE_LIST_H
#define HT_FILE_LIST_H

#include <memory>

#include "train/HTPlatform.h"

/* Files one stage lists at most. */
#define HT_FILE_LIST_CAPACITY 65536

namespace penrune {

using FileList = std::unique_ptr<char[][HT_PATH_MAX]>;

// What a stage does with a directory of more than HT_FILE_LIST_CAPACITY files.
enum class TooManyFiles {
    kFail,      // the stage fails rather than work on part of its input
    kUseFirst,  // the stage goes on with the first HT_FILE_LIST_CAPACITY files
};

// Lists the regular files of dir into list. Returns the number listed, or
// -1 when the list cannot be allocated or, under kFail, dir holds too many
// files. Every such case, and a list cut under kUseFirst, is logged.
int ListFiles(const char *dir, FileList &list, TooManyFiles policy);

}  // namespace penrune

#endif  // HT_FILE_LIST_H
