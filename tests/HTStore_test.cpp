#include "HTStore.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <random>
#include <string>
#include <utility>

#include "TempDir.h"

using penrune_test::ReadFile;
using penrune_test::TempDir;

namespace {

const std::string kModelHead =
    "#include \"HRData.h\"\n\nconst HR_UINT8 g_hr_data[] = {\n";

std::string ModelTail(int size) {
    return "};\n\nconst HR_UINT8 * HRData_GetDataPtr()\n{\n    return g_hr_data;\n}\n\n"
           "const HR_UINT32 HRData_GetDataSize()\n{\n    return " +
           std::to_string(size) + ";\n}\n\n";
}

// Exports bytes as the model source and returns the text written.
std::string ExportModel(const TempDir &dir, const std::string &bytes) {
    std::string image = dir.Write("image.dat", bytes);
    std::string source = dir.File("image.c");
    EXPECT_EQ(HTStore_SaveToCpp(image.c_str(), source.c_str()), 1);
    return ReadFile(source);
}

// The byte values of the "0x%02x," entries of a source text, in order.
std::string ParseEntries(const std::string &text) {
    std::string bytes;
    for (size_t at = text.find("0x"); at != std::string::npos; at = text.find("0x", at + 1)) {
        if (text.compare(at + 4, 1, ",") == 0)
            bytes.push_back(static_cast<char>(std::stoi(text.substr(at + 2, 2), nullptr, 16)));
    }
    return bytes;
}

// A partial line keeps its trailing space before the closing brace; a full
// line ends with a line feed and the brace stands alone; an empty image has
// no entries.
TEST(HTStoreLayout, EntriesEightToALine) {
    const std::pair<std::string, std::string> cases[] = {
        {std::string("\x01\xab\xff", 3), "    0x01, 0xab, 0xff, "},
        {std::string("\x00\x01\x02\x03\x04\x05\x06\x07", 8), "    0x00, 0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07,\n"},
        {"", ""}};
    for (const auto &[bytes, entries] : cases) {
        TempDir dir;
        EXPECT_EQ(ExportModel(dir, bytes), kModelHead + entries + ModelTail(static_cast<int>(bytes.size())));
    }
}

TEST(HTStoreLayout, EntriesReproduceTheImage) {
    std::mt19937 random(7);
    std::string bytes(1001, '\0');
    for (char &b : bytes)
        b = static_cast<char>(random());
    TempDir dir;
    std::string text = ExportModel(dir, bytes);
    EXPECT_EQ(ParseEntries(text), bytes);
    EXPECT_NE(text.find("    return 1001;\n"), std::string::npos);
}

TEST(HTStoreForms, OtherFormIsWrittenVerbatim) {
    const _HT_SOURCE_FORM form = {"#include \"Other.h\"\n", "const HR_UINT8 g_other[] = {\n",
                                  "const HR_UINT8 * Other_GetDataPtr()\n",
                                  "    return g_other;\n", "const HR_UINT32 Other_GetDataSize()\n"};
    TempDir dir;
    std::string image = dir.Write("lex.dat", "\x7f");
    std::string source = dir.File("lex.c");
    ASSERT_EQ(HTStore_SaveImageSource(image.c_str(), source.c_str(), &form), 1);
    EXPECT_EQ(ReadFile(source),
              "#include \"Other.h\"\n\nconst HR_UINT8 g_other[] = {\n    0x7f, };\n\n"
              "const HR_UINT8 * Other_GetDataPtr()\n{\n    return g_other;\n}\n\n"
              "const HR_UINT32 Other_GetDataSize()\n{\n    return 1;\n}\n\n");
}

TEST(HTStoreFailures, MissingImageLeavesEmptySource) {
    TempDir dir;
    std::string source = dir.File("out.c");
    EXPECT_EQ(HTStore_SaveToCpp(dir.File("missing.dat").c_str(), source.c_str()), 0);
    std::FILE *fp = std::fopen(source.c_str(), "rb");
    ASSERT_NE(fp, nullptr);
    std::fclose(fp);
    EXPECT_EQ(ReadFile(source), "");
}

TEST(HTStoreFailures, UnwritableSourceIsReported) {
    TempDir dir;
    std::string image = dir.Write("image.dat", "abc");
    EXPECT_EQ(HTStore_SaveToCpp(image.c_str(), dir.File("no/such/dir/out.c").c_str()), 0);
    EXPECT_EQ(HTStore_SaveImageSource(image.c_str(), dir.File("out.c").c_str(), nullptr), 0);
#if defined(__linux__)
    EXPECT_EQ(HTStore_SaveToCpp(image.c_str(), "/dev/full"), 0);  // short write at close
#endif
}

}  // namespace
