// SPDX-License-Identifier: MIT
#include "train/HTStore.h"

#include <gtest/gtest.h>

#include <random>
#include <string>

#include "TempDir.h"

using penrune::test::ReadFile;
using penrune::test::TempDir;

namespace {

// Exports bytes as the model source and returns the text written.
std::string ExportModel(const TempDir &dir, const std::string &bytes) {
    std::string image = dir.Write("image.dat", bytes), source = dir.File("image.c");
    EXPECT_EQ(HTStore_SaveToCpp(image.c_str(), source.c_str()), 1);
    return ReadFile(source);
}

// Eight entries to a line; a partial line keeps its trailing space before the
// closing brace.
TEST(HTStore, ModelSourceListsTheImageEightEntriesToALine) {
    TempDir dir;
    EXPECT_EQ(ExportModel(dir, std::string("\x00\x01\x02\x03\x04\x05\x06\x07\xff", 9)),
              "#include \"HRData.h\"\n\nconst HR_UINT8 g_hr_data[] = {\n"
              "    0x00, 0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07,\n    0xff, };\n\n"
              "const HR_UINT8 * HRData_GetDataPtr()\n{\n    return g_hr_data;\n}\n\n"
              "const HR_UINT32 HRData_GetDataSize()\n{\n    return 9;\n}\n\n");

    std::mt19937 random(7);
    std::string bytes(1001, '\0');
    for (char &b : bytes) b = static_cast<char>(random());
    std::string text = ExportModel(dir, bytes), parsed;
    // Every "0x%02x," entry, in order.
    for (size_t at = text.find("0x"); at != std::string::npos; at = text.find("0x", at + 1))
        if (text.compare(at + 4, 1, ",") == 0) parsed.push_back((char)std::stoi(text.substr(at + 2, 2), nullptr, 16));
    EXPECT_EQ(parsed, bytes);
    EXPECT_NE(text.find("    return 1001;\n"), std::string::npos);
}

TEST(HTStore, MissingImageOrShortWriteFails) {
    TempDir dir;
    EXPECT_EQ(HTStore_SaveToCpp(dir.File("missing.dat").c_str(), dir.File("out.c").c_str()), 0);
#if defined(__linux__)
    const std::string image = dir.Write("image.dat", "abc");
    EXPECT_EQ(HTStore_SaveToCpp(image.c_str(), "/dev/full"), 0);  // the write fails at close
#endif
}

}  // namespace
