// SPDX-License-Identifier: MIT
// The larger models of models/ and their lexicons as a host opens them with
// HWKernel_InitializeImages: the shipped files pass the image checks, damaged
// copies are refused, and a GB2312 level-2 character is recognised by the
// larger models only. Their committed charsets hold what data/README.md
// says.
#include <gtest/gtest.h>

#include <cstdint>
#include <map>
#include <cstring>
#include <fstream>
#include <iterator>
#include <set>
#include <string>
#include <vector>

#include "penrune/HWKernel.h"
#include "train/HTCode.h"

namespace {

// A file's bytes at an 8-byte aligned address.
struct Image {
    std::vector<std::uint64_t> words;
    HR_UINT32 size = 0;
    const HR_UINT8 *data() const { return reinterpret_cast<const HR_UINT8 *>(words.data()); }
    HR_UINT8 *bytes() { return reinterpret_cast<HR_UINT8 *>(words.data()); }
};

Image Load(const std::string &name) {
    std::ifstream in(PENRUNE_SOURCE_DIR "/models/" + name, std::ios::binary);
    const std::vector<char> bytes(std::istreambuf_iterator<char>(in), {});
    Image image;
    image.words.assign(bytes.size() / 8 + 1, 0);
    std::memcpy(image.words.data(), bytes.data(), bytes.size());
    image.size = static_cast<HR_UINT32>(bytes.size());
    return image;
}

HR_UINT32 Word(const Image &image, HR_UINT32 offset) {
    HR_UINT32 value;
    std::memcpy(&value, image.data() + offset, sizeof value);
    return value;
}

struct Block {
    std::vector<std::uint64_t> words = std::vector<std::uint64_t>(HWKernel_GetInstanceSize() / 8 + 1, 0);
    void *data() { return words.data(); }
};

struct Model {
    const char *name;
    std::set<HR_UINT16> charsets;  // the charset bit words of its prototypes
};
const Model kModels[] = {{"gb2312", {0x0001, 0x0002, 0x000C, 0x0010}},
                         {"gb2312-big5", {0x0001, 0x0002, 0x000C, 0x0010, 0x0020}}};

// 廿 (U+5EFF, GB2312 level 2, D8A5): the long bar, the two verticals, the
// short bar that closes them at the foot.
std::vector<std::vector<_HR_POINT16>> Nian() {
    auto line = [](int x0, int y0, int x1, int y1) {
        std::vector<_HR_POINT16> points;
        for (int i = 0; i <= 4; ++i)
            points.push_back(
                {static_cast<HR_UINT16>(x0 + (x1 - x0) * i / 4), static_cast<HR_UINT16>(y0 + (y1 - y0) * i / 4)});
        points.push_back({HR_MARKER16, 0});
        return points;
    };
    return {line(100, 350, 900, 350), line(350, 100, 350, 800), line(650, 100, 650, 800), line(350, 800, 650, 800)};
}

// The first candidate of the line mode for the strokes, and whether any
// candidate holds U+5EFF.
std::pair<std::string, bool> Recognise(_HW_KERNEL *kernel) {
    EXPECT_EQ(HWKernel_SetMode(kernel, HW_MODE_LINE), 1);
    for (const std::vector<_HR_POINT16> &stroke : Nian())
        EXPECT_EQ(HWKernel_AddStroke(kernel, stroke.data(), static_cast<HR_UINT32>(stroke.size())), 1);
    std::pair<std::string, bool> result{"", false};
    for (HR_UINT16 i = 0; i < HWKernel_GetCandTotal(kernel); ++i) {
        char text[256];
        HWKernel_GetCandItemUtf8(kernel, i, text, sizeof text);
        if (i == 0) result.first = text;
        result.second = result.second || std::string(text).find("\u5EFF") != std::string::npos;
    }
    return result;
}

// Code -> charset bits of every character of a charset directory.
std::map<HR_UINT16, HR_UINT16> ReadCharset(const std::string &name) {
    std::map<HR_UINT16, HR_UINT16> bits;
    if (!HTCode_Initialize((PENRUNE_SOURCE_DIR "/data/" + name).c_str(), 0xFFFF)) return bits;
    for (int i = 0; i < HTCode_GetItemTotal(); ++i) bits[HTCode_GetItemPtr()[i].code] = HTCode_GetItemPtr()[i].charset;
    return bits;
}

std::map<HR_UINT16, int> CountBits(const std::map<HR_UINT16, HR_UINT16> &charset) {
    std::map<HR_UINT16, int> counts;
    for (const auto &[code, bits] : charset) ++counts[bits];
    return counts;
}

TEST(LargerModels, CharsetsExtendTheEmbeddedOneWithABitPerAddedSet) {
    const std::map<HR_UINT16, HR_UINT16> level1 = ReadCharset("charset"), gb2312 = ReadCharset("charset-gb2312"),
                                         big5 = ReadCharset("charset-gb2312-big5");
    EXPECT_EQ(CountBits(gb2312), (std::map<HR_UINT16, int>{{0x0001, 62}, {0x0002, 1}, {0x000C, 3755}, {0x0010, 3008}}));
    EXPECT_EQ(CountBits(big5),
              (std::map<HR_UINT16, int>{{0x0001, 62}, {0x0002, 1}, {0x000C, 3755}, {0x0010, 3008}, {0x0020, 1777}}));
    // Every character keeps its bits from the smaller charset in the larger.
    for (const auto &[code, bits] : level1) EXPECT_EQ(gb2312.at(code), bits) << code;
    for (const auto &[code, bits] : gb2312) EXPECT_EQ(big5.at(code), bits) << code;
    EXPECT_EQ(gb2312.at(0x5EFF), 0x0010);  // 廿, GB2312 D8A5
    EXPECT_EQ(big5.at(0x570B), 0x0020);    // 國, Big5 B0EA
    EXPECT_EQ(big5.count(0x56FD), 1u);     // 国 is GB2312 level 1, not Big5-only
}

TEST(LargerModels, PassTheImageChecksAndOpenWithTheirLexicons) {
    for (const Model &m : kModels) {
        SCOPED_TRACE(m.name);
        const Image model = Load(std::string(m.name) + ".dat"), lexicon = Load(std::string(m.name) + ".lex");
        ASSERT_GT(model.size, 0u);
        EXPECT_LE(model.size, 2500000u);
        EXPECT_EQ(HRReco_CheckModel(model.data(), model.size), 1);
        EXPECT_EQ(PYLex_CheckLexicon(lexicon.data(), lexicon.size), 1);
        Block block;
        _HW_KERNEL *kernel =
            HWKernel_InitializeImages(block.data(), model.data(), model.size, lexicon.data(), lexicon.size);
        ASSERT_NE(kernel, nullptr);
        EXPECT_EQ(kernel->reco->codes, model.data() + Word(model, 8));
        // The kernel reads the host's lexicon, which has more phrases than
        // the embedded one (80,965).
        const HR_UINT8 *pool = reinterpret_cast<const HR_UINT8 *>(kernel->lex.pool);
        EXPECT_TRUE(pool > lexicon.data() && pool < lexicon.data() + lexicon.size);
        EXPECT_GT(PYLex_GetTotal(&kernel->lex), 82000u);
        std::set<HR_UINT16> charsets;
        for (HR_UINT32 f = 0; f < kernel->reco->prototypeCount; ++f)
            charsets.insert(
                static_cast<HR_UINT16>(kernel->reco->charsets[2 * f] | kernel->reco->charsets[2 * f + 1] << 8));
        EXPECT_EQ(charsets, m.charsets);
    }
}

TEST(LargerModels, TruncatedOrCorruptedCopiesAreRefused) {
    for (const Model &m : kModels) {
        SCOPED_TRACE(m.name);
        const Image model = Load(std::string(m.name) + ".dat"), lexicon = Load(std::string(m.name) + ".lex");
        Image badModel = model, badLexicon = lexicon;
        badModel.bytes()[8] ^= 0x02;    // header word 2, where the codes start
        badLexicon.bytes()[4] ^= 0x02;  // the format version
        Block block;
        EXPECT_EQ(HWKernel_InitializeImages(block.data(), model.data(), model.size - 1, lexicon.data(), lexicon.size),
                  nullptr);
        EXPECT_EQ(HWKernel_InitializeImages(block.data(), badModel.data(), model.size, lexicon.data(), lexicon.size),
                  nullptr);
        EXPECT_EQ(HWKernel_InitializeImages(block.data(), model.data(), model.size, lexicon.data(), lexicon.size - 4),
                  nullptr);
        EXPECT_EQ(HWKernel_InitializeImages(block.data(), model.data(), model.size, badLexicon.data(), lexicon.size),
                  nullptr);
        EXPECT_NE(HWKernel_InitializeImages(block.data(), model.data(), model.size, lexicon.data(), lexicon.size),
                  nullptr);
    }
}

TEST(LargerModels, RecogniseALevel2CharacterThatTheEmbeddedModelCannot) {
    Block embeddedBlock;
    const std::pair<std::string, bool> embedded = Recognise(HWKernel_Initialize(embeddedBlock.data(), 0, nullptr));
    EXPECT_FALSE(embedded.second) << embedded.first;
    for (const Model &m : kModels) {
        SCOPED_TRACE(m.name);
        const Image model = Load(std::string(m.name) + ".dat"), lexicon = Load(std::string(m.name) + ".lex");
        Block block;
        _HW_KERNEL *kernel =
            HWKernel_InitializeImages(block.data(), model.data(), model.size, lexicon.data(), lexicon.size);
        ASSERT_NE(kernel, nullptr);
        EXPECT_EQ(Recognise(kernel).first, "\u5EFF");
        // Narrowed to what the embedded model knows, it cannot either.
        ASSERT_EQ(HWKernel_SetCharsetMask(kernel, 0x000F), 1);
        EXPECT_FALSE(Recognise(kernel).second);
    }
}

}  // namespace
