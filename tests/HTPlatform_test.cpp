#include "HTPlatform.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cstring>
#include <set>
#include <string>
#include <vector>

#include "TempDir.h"

using penrune_test::ReadFile;
using penrune_test::TempDir;

namespace {

using Slots = std::vector<std::array<char, HT_PATH_MAX>>;

int List(const std::string &dir, Slots &slots) {
    return HT_GetFileList(dir.c_str(), reinterpret_cast<char(*)[HT_PATH_MAX]>(slots.data()),
                          static_cast<int>(slots.size()));
}

TEST(HTPlatformList, OnlyVisibleRegularFilesOfAnExistingDirectoryAreListed) {
    TempDir dir;
    dir.Write(".hidden", "h");
    std::string plain = dir.Write("sample.txt", "s");
    ASSERT_EQ(mkdir(dir.File("subdir").c_str(), 0775), 0);
    ASSERT_EQ(symlink(plain.c_str(), dir.File("link").c_str()), 0);
    Slots slots(8);
    ASSERT_EQ(List(dir.path(), slots), 1);
    EXPECT_STREQ(slots[0].data(), (dir.path() + "/sample.txt").c_str());
    EXPECT_EQ(List(dir.File("missing"), slots), 0);
}

TEST(HTPlatformList, CountGoesBeyondCapacityButStoresOnlyCapacity) {
    TempDir dir;
    std::set<std::string> paths;
    for (int i = 0; i < 5; ++i)
        paths.insert(dir.Write("f" + std::to_string(i), "x"));
    Slots slots(3);
    std::strcpy(slots[2].data(), "untouched");
    ASSERT_EQ(HT_GetFileList(dir.path().c_str(), reinterpret_cast<char(*)[HT_PATH_MAX]>(slots.data()), 2), 5);
    EXPECT_EQ(paths.count(slots[0].data()), 1u);
    EXPECT_EQ(paths.count(slots[1].data()), 1u);
    EXPECT_STRNE(slots[0].data(), slots[1].data());
    EXPECT_STREQ(slots[2].data(), "untouched");
}

TEST(HTPlatformList, PathsTooLongForASlotAreSkipped) {
    TempDir dir;
    // "dir/name" of 260 characters needs 261 bytes with its terminator.
    std::string longName(HT_PATH_MAX - 1 - dir.path().size(), 'n');
    dir.Write(longName, "x");
    std::string fitting(HT_PATH_MAX - 2 - dir.path().size(), 'm');  // 259 characters: fits
    dir.Write(fitting, "x");
    Slots slots(4);
    ASSERT_EQ(List(dir.path(), slots), 1);
    EXPECT_EQ(std::string(slots[0].data()), dir.path() + "/" + fitting);
}

// Runs the directory-creation tests inside a scratch directory so relative
// paths stay in it.
class HTPlatformCreate : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_NE(getcwd(previous_, sizeof previous_), nullptr);
        ASSERT_EQ(chdir(dir_.path().c_str()), 0);
    }
    void TearDown() override { ASSERT_EQ(chdir(previous_), 0); }
    TempDir dir_;
    char previous_[4096];
};

TEST_F(HTPlatformCreate, MultiLevelPathCreatesEveryLevel) {
    EXPECT_EQ(HT_CreateMultiLevelPath("a/b/c"), 1);
    EXPECT_EQ(HT_IsDir("a/b/c"), 1);
    mode_t mask = umask(0);
    umask(mask);
    struct stat info;
    ASSERT_EQ(stat("a/b", &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0775u & ~mask);
    EXPECT_EQ(HT_CreateMultiLevelPath("a/b/c"), 1);
    EXPECT_EQ(HT_CreateMultiLevelPath("x/y/"), 1);
    EXPECT_EQ(HT_IsDir("x/y"), 1);
    std::string absolute = dir_.File("p/q");
    EXPECT_EQ(HT_CreateMultiLevelPath(absolute.c_str()), 1);
    EXPECT_EQ(HT_IsDir(absolute.c_str()), 1);
}

TEST_F(HTPlatformCreate, PathByFileNameLeavesTheFileName) {
    EXPECT_EQ(HT_CreatePathByFileName("d1/d2/model.dat"), 1);
    EXPECT_EQ(HT_IsDir("d1/d2"), 1);
    EXPECT_EQ(HT_IsFile("d1/d2/model.dat"), 0);
    EXPECT_EQ(HT_CreatePathByFileName("f"), 1);
    EXPECT_EQ(HT_IsFile("f"), 0);
}

TEST_F(HTPlatformCreate, BlockedOrOverlongPathsFail) {
    dir_.Write("file", "x");
    EXPECT_EQ(HT_CreateMultiLevelPath("file/sub"), 0);
    EXPECT_EQ(HT_CreatePathByFileName("file/sub/name"), 0);
    EXPECT_EQ(HT_CreateMultiLevelPath("file"), 0);
    std::string overlong = "long/" + std::string(HT_DIR_PATH_MAX, 'z');
    EXPECT_EQ(HT_CreateMultiLevelPath(overlong.c_str()), 0);
    EXPECT_EQ(HT_CreatePathByFileName(overlong.c_str()), 0);
    EXPECT_EQ(HT_IsFile("long"), 0);
}

TEST(HTPlatformFiles, ExistenceTypeAndDeletion) {
    TempDir dir;
    std::string file = dir.Write("f", "x");
    EXPECT_EQ(HT_IsFile(file.c_str()), 1);
    EXPECT_EQ(HT_IsFile(dir.path().c_str()), 1);
    EXPECT_EQ(HT_IsDir(file.c_str()), 0);
    EXPECT_EQ(HT_IsDir(dir.path().c_str()), 1);
    EXPECT_EQ(HT_DeleteFile(file.c_str()), 1);
    EXPECT_EQ(HT_IsFile(file.c_str()), 0);
    EXPECT_EQ(HT_DeleteFile(file.c_str()), 0);
}

TEST(HTPlatformFiles, CopySpansSeveralBlocks) {
    TempDir dir;
    std::string content;
    for (int i = 0; i < 2 * HT_COPY_BLOCK + 100; ++i)
        content.push_back(static_cast<char>(i * 7));
    std::string src = dir.Write("src", content);
    std::string dst = dir.Write("dst", "old content to be replaced and longer than nothing");
    EXPECT_EQ(HT_CopyFile(src.c_str(), dst.c_str()), 1);
    EXPECT_EQ(ReadFile(dst), content);
}

TEST(HTPlatformFiles, CopyFromMissingSourceLeavesEmptyDestination) {
    TempDir dir;
    std::string dst = dir.Write("dst", "previous");
    EXPECT_EQ(HT_CopyFile(dir.File("missing").c_str(), dst.c_str()), 0);
    EXPECT_EQ(HT_IsFile(dst.c_str()), 1);
    EXPECT_EQ(ReadFile(dst), "");
    std::string src = dir.Write("src", "x");
    EXPECT_EQ(HT_CopyFile(src.c_str(), dir.File("no/dir/dst").c_str()), 0);
#if defined(__linux__)
    EXPECT_EQ(HT_CopyFile(src.c_str(), "/dev/full"), 0);
#endif
}

TEST(HTPlatformFiles, FileLengthRewindsToStart) {
    TempDir dir;
    std::string path = dir.Write("f", "0123456789");
    FILE *fp = std::fopen(path.c_str(), "rb");
    ASSERT_NE(fp, nullptr);
    std::fseek(fp, 4, SEEK_SET);
    EXPECT_EQ(HT_FileLength(fp), 10u);
    EXPECT_EQ(std::ftell(fp), 0);
    std::fclose(fp);
}

TEST(HTPlatformNames, BaseNameAfterLastSeparatorFromPositionOne) {
    const char *backslash = "dir\\name.txt";
    EXPECT_EQ(HT_GetFileNameByFilePath(backslash), backslash + 4);
    const char *nested = "a/b\\c/d.pot";
    EXPECT_EQ(HT_GetFileNameByFilePath(nested), nested + 6);
    const char *bare = "name.txt";
    EXPECT_EQ(HT_GetFileNameByFilePath(bare), bare);
    const char *rooted = "/name.txt";
    EXPECT_EQ(HT_GetFileNameByFilePath(rooted), rooted);
    const char *trailing = "dir/";
    EXPECT_STREQ(HT_GetFileNameByFilePath(trailing), "");
    EXPECT_STREQ(HT_GetFileNameByFilePath(""), "");
}

}  // namespace
