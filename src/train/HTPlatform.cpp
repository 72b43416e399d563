// SPDX-License-Identifier: MIT
// File-system helpers of the training tools, on POSIX calls only so that
// Linux and macOS build the same source.
#include "train/HTPlatform.h"

#include <dirent.h>
#include <sys/stat.h>
#include <sys/types.h>

#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <vector>

namespace {

bool IsSeparator(char c) { return c == '/' || c == '\\'; }

bool MakeDirectory(const char *path) { return HT_IsDir(path) || mkdir(path, HT_DIR_MODE) == 0; }

// Creates every prefix of path that ends before a separator at position 1 or
// later, working on a private copy. Returns false when path is too long or a
// prefix can neither be found as a directory nor created.
bool CreatePrefixes(const char *path, char (&copy)[HT_DIR_PATH_MAX + 1]) {
    if (path == nullptr) return false;
    size_t length = std::strlen(path);
    if (length > HT_DIR_PATH_MAX) return false;
    std::memcpy(copy, path, length + 1);
    for (size_t i = 1; i < length; ++i) {
        if (!IsSeparator(copy[i])) continue;
        char separator = copy[i];
        copy[i] = '\0';
        bool made = MakeDirectory(copy);
        copy[i] = separator;
        if (!made) return false;
    }
    return true;
}

bool IsListedFile(const struct dirent *entry) { return entry->d_type == DT_REG && entry->d_name[0] != '.'; }

}  // namespace

extern "C" int HT_FormatPath(char *out, const char *format, ...) {
    va_list args;
    va_start(args, format);
    int length = std::vsnprintf(out, HT_PATH_MAX, format, args);
    va_end(args);
    if (length >= 0 && length < HT_PATH_MAX) return 1;
    out[0] = '\0';
    return 0;
}

extern "C" int HT_IsFile(const char *path) {
    struct stat info;
    return path != nullptr && stat(path, &info) == 0 ? 1 : 0;
}

extern "C" int HT_IsDir(const char *path) {
    struct stat info;
    return path != nullptr && stat(path, &info) == 0 && S_ISDIR(info.st_mode) ? 1 : 0;
}

extern "C" int HT_DeleteFile(const char *path) { return path != nullptr && std::remove(path) == 0 ? 1 : 0; }

extern "C" int HT_CreateMultiLevelPath(const char *path) {
    char copy[HT_DIR_PATH_MAX + 1];
    return CreatePrefixes(path, copy) && MakeDirectory(copy) ? 1 : 0;
}

extern "C" int HT_CreatePathByFileName(const char *path) {
    char copy[HT_DIR_PATH_MAX + 1];
    return CreatePrefixes(path, copy) ? 1 : 0;
}

extern "C" int HT_GetFileList(const char *dir, char (*slots)[HT_PATH_MAX], int capacity) {
    DIR *handle = dir != nullptr ? opendir(dir) : nullptr;
    if (handle == nullptr) return 0;
    int count = 0;
    char path[HT_PATH_MAX];
    for (const struct dirent *entry = readdir(handle); entry != nullptr; entry = readdir(handle)) {
        // A path too long for a slot is skipped rather than stored cut,
        // since a cut path could name another file.
        if (!IsListedFile(entry) || !HT_FormatPath(path, "%s/%s", dir, entry->d_name)) continue;
        if (count < capacity && slots != nullptr) std::memcpy(slots[count], path, std::strlen(path) + 1);
        ++count;
    }
    closedir(handle);
    return count;
}

extern "C" int HT_PartPath(char *out, const char *path) { return HT_FormatPath(out, "%s.part", path); }

extern "C" int HT_CommitPart(const char *part, const char *path, int ok) {
    if (ok && std::rename(part, path) == 0) return 1;
    std::remove(part);
    return 0;
}

extern "C" int HT_CopyFile(const char *src, const char *dst) {
    // Both are opened before either is checked: the destination is created
    // (or truncated) even when the source is missing.
    std::FILE *in = src != nullptr ? std::fopen(src, "rb") : nullptr;
    std::FILE *out = dst != nullptr ? std::fopen(dst, "wb") : nullptr;
    bool ok = in != nullptr && out != nullptr;
    if (ok) {
        std::vector<char> block(HT_COPY_BLOCK);
        size_t got;
        while (ok && (got = std::fread(block.data(), 1, block.size(), in)) > 0)
            ok = std::fwrite(block.data(), 1, got, out) == got;
        ok = ok && !std::ferror(in);
    }
    if (in != nullptr) std::fclose(in);
    if (out != nullptr && std::fclose(out) != 0) ok = false;
    return ok ? 1 : 0;
}

extern "C" HR_UINT32 HT_FileLength(FILE *fp) {
    if (fp == nullptr || fseeko(fp, 0, SEEK_END) != 0) return 0;
    off_t length = ftello(fp);
    std::rewind(fp);
    if (length < 0) return 0;
    return static_cast<std::uint64_t>(length) > UINT32_MAX ? UINT32_MAX : static_cast<HR_UINT32>(length);
}

extern "C" const char *HT_GetFileNameByFilePath(const char *path) {
    if (path == nullptr) return nullptr;
    for (size_t i = std::strlen(path); i-- > 1;)
        if (IsSeparator(path[i])) return path + i + 1;
    return path;
}
