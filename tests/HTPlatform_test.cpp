#include "HTPlatform.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cstring>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "TempDir.h"

using penrune_test::ReadFile;
using penrune_test::TempDir;

namespace {

using Slots = std::vector<std::array<char, HT_PATH_MAX>>;

int List(const std::string &dir, Slots &slots, int capacity) {
    return HT_GetFileList(dir.c_str(), reinterpret_cast<char(*)[HT_PATH_MAX]>(slots.data()), capacity);
}

// Hidden files, directories and links are passed over; the count goes on
// beyond the capacity, but only capacity slots are written.
TEST(HTPlatformList, OnlyVisibleRegularFilesAreListedUpToCapacity) {
    TempDir dir;
    std::set<std::string> paths;
    for (int i = 0; i < 5; ++i) paths.insert(dir.Write("f" + std::to_string(i), "x"));
    dir.Write(".hidden", "h");
    ASSERT_EQ(mkdir(dir.File("subdir").c_str(), 0775), 0);
    ASSERT_EQ(symlink(dir.File("f0").c_str(), dir.File("link").c_str()), 0);
    Slots slots(3);
    std::strcpy(slots[2].data(), "untouched");
    ASSERT_EQ(List(dir.path(), slots, 2), 5);
    EXPECT_EQ(paths.count(slots[0].data()), 1u);
    EXPECT_EQ(paths.count(slots[1].data()), 1u);
    EXPECT_STRNE(slots[0].data(), slots[1].data());
    EXPECT_STREQ(slots[2].data(), "untouched");
    EXPECT_EQ(List(dir.File("missing"), slots, 2), 0);
}

TEST(HTPlatformList, PathsTooLongForASlotAreSkipped) {
    TempDir dir;
    // "dir/name" of 260 characters needs 261 bytes with its terminator; 259 fit.
    dir.Write(std::string(HT_PATH_MAX - 1 - dir.path().size(), 'n'), "x");
    std::string fitting = dir.Write(std::string(HT_PATH_MAX - 2 - dir.path().size(), 'm'), "x");
    Slots slots(4);
    ASSERT_EQ(List(dir.path(), slots, 4), 1);
    EXPECT_EQ(slots[0].data(), fitting);
}

// Absolute paths: the leading separator at position 0 must not be taken as
// a level of its own.
TEST(HTPlatformCreate, EveryLevelIsCreatedButTheFileName) {
    TempDir dir;
    const std::string abc = dir.File("a/b/c");
    EXPECT_EQ(HT_CreateMultiLevelPath(abc.c_str()), 1);
    EXPECT_EQ(HT_IsDir(abc.c_str()), 1);
    mode_t mask = umask(0);
    umask(mask);
    struct stat info;
    ASSERT_EQ(stat(dir.File("a/b").c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0775u & ~mask);
    EXPECT_EQ(HT_CreateMultiLevelPath(abc.c_str()), 1);  // existing levels are fine
    EXPECT_EQ(HT_CreateMultiLevelPath(dir.File("x/y/").c_str()), 1);
    EXPECT_EQ(HT_IsDir(dir.File("x/y").c_str()), 1);

    EXPECT_EQ(HT_CreatePathByFileName(dir.File("d1/d2/model.dat").c_str()), 1);
    EXPECT_EQ(HT_IsDir(dir.File("d1/d2").c_str()), 1);
    EXPECT_EQ(HT_IsFile(dir.File("d1/d2/model.dat").c_str()), 0);
}

TEST(HTPlatformCreate, BlockedOrOverlongPathsFail) {
    TempDir dir;
    const std::string file = dir.Write("file", "x");
    EXPECT_EQ(HT_CreateMultiLevelPath((file + "/sub").c_str()), 0);
    EXPECT_EQ(HT_CreatePathByFileName((file + "/sub/name").c_str()), 0);
    EXPECT_EQ(HT_CreateMultiLevelPath(file.c_str()), 0);
    std::string overlong = dir.File("long/") + std::string(HT_DIR_PATH_MAX, 'z');
    EXPECT_EQ(HT_CreateMultiLevelPath(overlong.c_str()), 0);
    EXPECT_EQ(HT_CreatePathByFileName(overlong.c_str()), 0);
    EXPECT_EQ(HT_IsFile(dir.File("long").c_str()), 0);
}

TEST(HTPlatformFiles, ExistenceTypeDeletionAndLength) {
    TempDir dir;
    std::string file = dir.Write("f", "0123456789");
    EXPECT_EQ(HT_IsFile(file.c_str()), 1);
    EXPECT_EQ(HT_IsFile(dir.path().c_str()), 1);  // any existing path
    EXPECT_EQ(HT_IsDir(file.c_str()), 0);
    EXPECT_EQ(HT_IsDir(dir.path().c_str()), 1);

    FILE *fp = std::fopen(file.c_str(), "rb");
    ASSERT_NE(fp, nullptr);
    std::fseek(fp, 4, SEEK_SET);
    EXPECT_EQ(HT_FileLength(fp), 10u);
    EXPECT_EQ(std::ftell(fp), 0);  // rewound
    std::fclose(fp);

    EXPECT_EQ(HT_DeleteFile(file.c_str()), 1);
    EXPECT_EQ(HT_IsFile(file.c_str()), 0);
    EXPECT_EQ(HT_DeleteFile(file.c_str()), 0);
}

TEST(HTPlatformFiles, CopySpansSeveralBlocksAndAlwaysTruncatesTheDestination) {
    TempDir dir;
    std::string content;
    for (int i = 0; i < 2 * HT_COPY_BLOCK + 100; ++i) content.push_back(static_cast<char>(i * 7));
    std::string src = dir.Write("src", content);
    std::string dst = dir.Write("dst", "old content to be replaced");
    EXPECT_EQ(HT_CopyFile(src.c_str(), dst.c_str()), 1);
    EXPECT_EQ(ReadFile(dst), content);

    EXPECT_EQ(HT_CopyFile(dir.File("missing").c_str(), dst.c_str()), 0);
    EXPECT_EQ(HT_IsFile(dst.c_str()), 1);
    EXPECT_EQ(ReadFile(dst), "");
    EXPECT_EQ(HT_CopyFile(src.c_str(), dir.File("no/dir/dst").c_str()), 0);
#if defined(__linux__)
    EXPECT_EQ(HT_CopyFile(src.c_str(), "/dev/full"), 0);
#endif
}

TEST(HTPlatformNames, BaseNameAfterLastSeparatorFromPositionOne) {
    const std::pair<const char *, size_t> cases[] = {
        {"dir\\name.txt", 4}, {"a/b\\c/d.pot", 6}, {"name.txt", 0}, {"/name.txt", 0}, {"dir/", 4}, {"", 0}};
    for (const auto &[path, offset] : cases) EXPECT_EQ(HT_GetFileNameByFilePath(path), path + offset) << path;
}

}  // namespace
