/* SPDX-License-Identifier: MIT */
/* File-system helpers of the training tools (POSIX only).
 *
 * Paths are built as directory, "/" and name in HT_PATH_MAX-byte buffers;
 * when a path is taken apart both "/" and "\\" count as separators.
 * Functions return 1 for success or true and 0 otherwise unless stated. */
#ifndef HT_PLATFORM_H
#define HT_PLATFORM_H

#include <stdio.h>

#include "penrune/HRTypes.h"

PENRUNE_EXTERN_C_BEGIN

#define HT_PATH_MAX 260      /* one path slot, terminator included */
#define HT_DIR_PATH_MAX 1024 /* longest path the directory creators accept */
#define HT_COPY_BLOCK 16384  /* block size of HT_CopyFile */
#define HT_DIR_MODE 0775     /* permission bits of created directories */

/* Formats a path printf-style into out (HT_PATH_MAX bytes). Returns 1 when
 * it fits; otherwise out is left empty and 0 is returned, so a cut path
 * never names another file. */
#if defined(__GNUC__)
__attribute__((format(printf, 2, 3)))
#endif
int HT_FormatPath(char *out, const char *format, ...);

/* 1 if anything exists at path. */
int HT_IsFile(const char *path);
/* 1 if path is a directory. */
int HT_IsDir(const char *path);
/* 1 if the file was removed. */
int HT_DeleteFile(const char *path);

/* Creates every directory along path, its last component included.
 * Paths longer than HT_DIR_PATH_MAX characters are refused (0). */
int HT_CreateMultiLevelPath(const char *path);
/* Creates every directory along path except its last component, which is a
 * file name. Paths longer than HT_DIR_PATH_MAX characters are refused (0). */
int HT_CreatePathByFileName(const char *path);

/* Lists the regular files of dir whose names do not begin with "." (by the
 * type readdir reports; symbolic links and unknown types are skipped), in
 * directory order, as "dir/name" into slots. Returns the number of files
 * found, which may exceed capacity: only the first capacity are stored.
 * Files whose path would not fit a slot are skipped and not counted.
 * Returns 0 when dir cannot be opened. */
int HT_GetFileList(const char *dir, char (*slots)[HT_PATH_MAX], int capacity);

/* A file that a later run skips when it exists is written under the
 * temporary name path + ".part" and renamed to path only once complete, so
 * a run cut short (killed, or out of disk) never leaves a partial file
 * under path. HT_PartPath gives the temporary name (0 when it does not
 * fit). HT_CommitPart renames part to path when ok is nonzero and removes
 * part otherwise; it returns 1 only when the rename was made. */
int HT_PartPath(char *out, const char *path);
int HT_CommitPart(const char *part, const char *path, int ok);

/* Copies src to dst byte for byte. dst is created (or truncated) even when
 * src cannot be opened. Returns 0 on a failed open, read or write. */
int HT_CopyFile(const char *src, const char *dst);

/* Length of the open binary stream fp, which is left at its start.
 * Lengths of 4 GiB or more give 0xFFFFFFFF; 0 when the length cannot be
 * taken. */
HR_UINT32 HT_FileLength(FILE *fp);

/* Pointer into path just after its last separator at position 1 or later;
 * path itself when there is none. */
const char *HT_GetFileNameByFilePath(const char *path);

PENRUNE_EXTERN_C_END

#endif /* HT_PLATFORM_H */
