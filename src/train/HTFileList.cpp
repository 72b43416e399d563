// SPDX-License-Identifier: MIT
#include "train/HTFileList.h"

#include <new>

#include "train/HTLog.h"

namespace penrune {

int ListFiles(const char *dir, FileList &list, TooManyFiles policy) {
    list.reset(new (std::nothrow) char[HT_FILE_LIST_CAPACITY][HT_PATH_MAX]);
    if (!list) {
        HTLog_Print("  no memory for the file list\n");
        return -1;
    }
    const int count = HT_GetFileList(dir, list.get(), HT_FILE_LIST_CAPACITY);
    if (count <= HT_FILE_LIST_CAPACITY) return count;
    if (policy == TooManyFiles::kFail) {
        HTLog_Print("  %s holds %d files, more than %d\n", dir, count, HT_FILE_LIST_CAPACITY);
        return -1;
    }
    HTLog_Print("  %s holds %d files, only the first %d are used\n", dir, count, HT_FILE_LIST_CAPACITY);
    return HT_FILE_LIST_CAPACITY;
}

}  // namespace penrune
