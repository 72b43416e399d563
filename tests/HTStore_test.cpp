#include "HTStore.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <random>
#include <string>
#include <utility>

#include "TempDir.h"

using penrune_test::ReadFile;
using penrune_test::TempDir;

namespace {

const std::string kModelHead = "#include \"HRData.h\"\n\nconst HR_UINT8 g_hr_data[] = {\n";

std::string ModelTail(size_t size) {
    return "};\n\nconst HR_UINT8 * HRData_GetDataPtr()\n{\n    return g_hr_data;\n}\n\n"
           "const HR_UINT32 HRData_GetDataSize()\n{\n    return " + std::to_string(size) + ";\n}\n\n";
}

// Exports bytes as the model source and returns the text written.
std::string ExportModel(const TempDir &dir, const std::string &bytes) {
    std::string image = dir.Write("image.dat", bytes), source = dir.File("image.c");
    EXPECT_EQ(HTStore_SaveToCpp(image.c_str(), source.c_str()), 1);
    return ReadFile(source);
}

// A partial line keeps its trailing space before the closing brace; a full
// line ends with a line feed; an empty image has no entries.
TEST(HTStoreLayout, EntriesEightToALine) {
    const std::pair<std::string, std::string> cases[] = {
        {std::string("\x01\xab\xff", 3), "    0x01, 0xab, 0xff, "},
        {std::string("\x00\x01\x02\x03\x04\x05\x06\x07\x08", 9),
         "    0x00, 0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07,\n    0x08, "},
        {std::string("\x00\x01\x02\x03\x04\x05\x06\x07", 8), "    0x00, 0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07,\n"},
        {"", ""}};
    for (const auto &[bytes, entries] : cases) {
        TempDir dir;
        EXPECT_EQ(ExportModel(dir, bytes), kModelHead + entries + ModelTail(bytes.size())) << bytes.size();
    }
}

TEST(HTStoreLayout, EntriesReproduceTheImage) {
    std::mt19937 random(7);
    std::string bytes(1001, '\0');
    for (char &b : bytes) b = static_cast<char>(random());
    TempDir dir;
    std::string text = ExportModel(dir, bytes), parsed;
    // Every "0x%02x," entry, in order.
    for (size_t at = text.find("0x"); at != std::string::npos; at = text.find("0x", at + 1))
        if (text.compare(at + 4, 1, ",") == 0) parsed.push_back((char)std::stoi(text.substr(at + 2, 2), nullptr, 16));
    EXPECT_EQ(parsed, bytes);
    EXPECT_NE(text.find("    return 1001;\n"), std::string::npos);
}

TEST(HTStoreForms, OtherFormIsWrittenVerbatim) {
    const _HT_SOURCE_FORM form = {"#include \"Other.h\"\n", "const HR_UINT8 g_other[] = {\n",
                                  "const HR_UINT8 * Other_GetDataPtr()\n", "    return g_other;\n",
                                  "const HR_UINT32 Other_GetDataSize()\n"};
    TempDir dir;
    std::string image = dir.Write("lex.dat", "\x7f"), source = dir.File("lex.c");
    ASSERT_EQ(HTStore_SaveImageSource(image.c_str(), source.c_str(), &form), 1);
    EXPECT_EQ(ReadFile(source), "#include \"Other.h\"\n\nconst HR_UINT8 g_other[] = {\n    0x7f, };\n\n"
                                "const HR_UINT8 * Other_GetDataPtr()\n{\n    return g_other;\n}\n\n"
                                "const HR_UINT32 Other_GetDataSize()\n{\n    return 1;\n}\n\n");
}

TEST(HTStoreFailures, MissingImageOrUnwritableSourceFails) {
    TempDir dir;
    // The source is created (empty) even when the image is missing.
    std::string source = dir.Write("out.c", "stale");
    EXPECT_EQ(HTStore_SaveToCpp(dir.File("missing.dat").c_str(), source.c_str()), 0);
    EXPECT_TRUE(std::filesystem::exists(source));
    EXPECT_EQ(ReadFile(source), "");
    std::string image = dir.Write("image.dat", "abc");
    EXPECT_EQ(HTStore_SaveToCpp(image.c_str(), dir.File("no/such/dir/out.c").c_str()), 0);
    EXPECT_EQ(HTStore_SaveImageSource(image.c_str(), dir.File("other.c").c_str(), nullptr), 0);
#if defined(__linux__)
    EXPECT_EQ(HTStore_SaveToCpp(image.c_str(), "/dev/full"), 0);  // short write at close
#endif
}

}  // namespace
