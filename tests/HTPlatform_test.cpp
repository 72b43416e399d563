// SPDX-License-Identifier: MIT
#include "train/HTPlatform.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cstring>
#include <set>
#include <string>
#include <vector>

#include "TempDir.h"

using penrune::test::TempDir;

namespace {

// Hidden files, directories and links are passed over; the count goes on
// beyond the capacity, but only capacity slots are written; paths too long
// for a slot are skipped.
TEST(HTPlatformList, OnlyVisibleRegularFilesThatFitAreListedUpToCapacity) {
    TempDir dir;
    std::set<std::string> paths;
    for (int i = 0; i < 3; ++i) paths.insert(dir.Write("f" + std::to_string(i), "x"));
    dir.Write(".hidden", "h");
    ASSERT_EQ(mkdir(dir.File("subdir").c_str(), 0775), 0);
    ASSERT_EQ(symlink(dir.File("f0").c_str(), dir.File("link").c_str()), 0);
    // "dir/name" of 260 characters needs 261 bytes with its terminator; 259 fit.
    dir.Write(std::string(HT_PATH_MAX - 1 - dir.path().size(), 'n'), "x");
    paths.insert(dir.Write(std::string(HT_PATH_MAX - 2 - dir.path().size(), 'm'), "x"));
    std::vector<std::array<char, HT_PATH_MAX>> slots(4);
    std::strcpy(slots[3].data(), "untouched");
    auto list = [&](const std::string &d) {
        return HT_GetFileList(d.c_str(), reinterpret_cast<char(*)[HT_PATH_MAX]>(slots.data()), 3);
    };
    ASSERT_EQ(list(dir.path()), 4);
    std::set<std::string> listed = {slots[0].data(), slots[1].data(), slots[2].data()};
    EXPECT_EQ(listed.size(), 3u);
    for (const std::string &path : listed) EXPECT_EQ(paths.count(path), 1u) << path;
    EXPECT_STREQ(slots[3].data(), "untouched");
    EXPECT_EQ(list(dir.File("missing")), 0);
}

TEST(HTPlatformCreate, OverlongPathsFailWithoutCreatingAnything) {
    TempDir dir;
    const std::string overlong = dir.File("long/") + std::string(HT_DIR_PATH_MAX, 'z');
    EXPECT_EQ(HT_CreateMultiLevelPath(overlong.c_str()), 0);
    EXPECT_EQ(HT_CreatePathByFileName(overlong.c_str()), 0);
    EXPECT_EQ(HT_IsFile(dir.File("long").c_str()), 0);
}

}  // namespace
