// SPDX-License-Identifier: MIT
// The host entries beside the kernel's lifecycle: the version, a kernel over
// a model image (and a lexicon image) the host holds, the charset mask and
// the charset penalty.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "ModelImage.h"
#include "penrune/HRData.h"
#include "penrune/HWKernel.h"
#include "penrune/HWLexData.h"

namespace {

using penrune::test::BuildModelImage;
using penrune::test::RandomModelLayout;

// "十": a horizontal bar, then a vertical one through its middle.
const _HR_POINT16 kCross[] = {{100, 300}, {200, 300}, {300, 300}, {400, 300}, {500, 300}, {0xFFFF, 0},
                              {300, 100}, {300, 200}, {300, 300}, {300, 400}, {300, 500}, {0xFFFF, 0}};

// A host block, filled with a pattern so that a refusal can be seen to
// leave it alone.
struct Block {
    std::vector<std::uint64_t> words = std::vector<std::uint64_t>(HWKernel_GetInstanceSize() / 8 + 1, kPattern);
    static constexpr std::uint64_t kPattern = 0xA5A5A5A5A5A5A5A5ull;
    void *data() { return words.data(); }
    bool Untouched() const {
        for (std::uint64_t w : words)
            if (w != kPattern) return false;
        return true;
    }
};

// An image copied to an even address of the host's memory.
std::vector<std::uint16_t> Copy(const HR_UINT8 *image, HR_UINT32 size) {
    std::vector<std::uint16_t> copy(size / 2 + 1);
    std::memcpy(copy.data(), image, size);
    return copy;
}

const HR_UINT8 *Bytes(const std::vector<std::uint16_t> &copy) {
    return reinterpret_cast<const HR_UINT8 *>(copy.data());
}

std::vector<std::string> Candidates(const _HW_KERNEL *kernel) {
    std::vector<std::string> list;
    for (HR_UINT16 i = 0; i < HWKernel_GetCandTotal(kernel); ++i) {
        char text[1024];
        HWKernel_GetCandItemUtf8(kernel, i, text, sizeof text);
        list.push_back(text);
    }
    return list;
}

std::vector<std::string> WriteCross(_HW_KERNEL *kernel) {
    HWKernel_Reset(kernel);
    EXPECT_EQ(HWKernel_AddStroke(kernel, kCross, 6), 1);
    EXPECT_EQ(HWKernel_AddStroke(kernel, kCross + 6, 6), 1);
    return Candidates(kernel);
}

bool AllAscii(const std::string &text) {
    for (unsigned char c : text)
        if (c >= 0x80) return false;
    return true;
}

TEST(HostVersion, FunctionMacroAndNumbersAgree) {
    EXPECT_STREQ(HWKernel_GetVersion(), PENRUNE_VERSION_STRING);
    const std::string parts = std::to_string(PENRUNE_VERSION_MAJOR) + "." + std::to_string(PENRUNE_VERSION_MINOR) +
                              "." + std::to_string(PENRUNE_VERSION_PATCH);
    EXPECT_EQ(parts, PENRUNE_VERSION_STRING);
}

TEST(KernelImage, RefusesImagesTheModelCheckRejectsAndWritesNothing) {
    const HR_UINT8 *embedded = HRData_GetDataPtr();
    const HR_UINT32 size = HRData_GetDataSize();
    const std::vector<std::uint16_t> zeros(2048, 0);  // 4 KiB of zeros
    std::vector<std::uint16_t> corrupt = Copy(embedded, size);
    corrupt[2] ^= 0x0100;  // header word 1, the end of the first section
    const std::vector<std::uint16_t> odd = Copy(embedded, size);
    struct Case {
        const char *what;
        const HR_UINT8 *image;
        HR_UINT32 size;
    } cases[] = {
        {"null image", nullptr, size},
        {"zero-filled", Bytes(zeros), 4096},
        {"empty", embedded, 0},
        {"header only", embedded, HR_MODEL_HEADER_SIZE},
        {"one byte short", embedded, size - 1},
        {"corrupt header", Bytes(corrupt), size},
        {"odd address", Bytes(odd) + 1, size - 1},
    };
    for (const Case &c : cases) {
        Block block;
        EXPECT_EQ(HWKernel_InitializeImage(block.data(), c.image, c.size), nullptr) << c.what;
        EXPECT_TRUE(block.Untouched()) << c.what;
    }
    EXPECT_EQ(HWKernel_InitializeImage(nullptr, embedded, size), nullptr);
}

TEST(KernelImage, DamagedImagesAreRefusedOrRecogniseWithinTheirBytes) {
    // Run under AddressSanitizer, a read past an accepted image's end fails.
    const std::vector<std::uint8_t> model = BuildModelImage(RandomModelLayout(7, {40, 80, 12, 160}));
    std::mt19937 rng(11);
    int accepted = 0;
    for (int round = 0; round < 300; ++round) {
        std::vector<std::uint8_t> image = model;
        // Damage the header, the tree or anywhere, or cut the image short.
        const std::size_t regions[] = {HR_MODEL_HEADER_SIZE, image.size() / 4, image.size()};
        for (int k = 0; k < 1 + round % 3; ++k)
            image[rng() % regions[round % 3]] ^= static_cast<std::uint8_t>(1 + rng() % 255);
        if (round % 5 == 0) image.resize(rng() % image.size());
        Block block;
        _HW_KERNEL *kernel = HWKernel_InitializeImage(block.data(), image.data(), static_cast<HR_UINT32>(image.size()));
        if (kernel == nullptr) {
            EXPECT_TRUE(block.Untouched()) << round;
            continue;
        }
        ++accepted;
        HWKernel_SetCharsetMask(kernel, static_cast<HR_UINT16>(rng()));
        WriteCross(kernel);
    }
    EXPECT_GT(accepted, 0);  // damage to prototype values leaves a usable image
    EXPECT_LT(accepted, 300);
}

TEST(KernelImage, ACopyOfTheEmbeddedModelRecognisesAsTheEmbeddedOne) {
    const std::vector<std::uint16_t> copy = Copy(HRData_GetDataPtr(), HRData_GetDataSize());
    Block own, embedded;
    _HW_KERNEL *a = HWKernel_InitializeImage(own.data(), Bytes(copy), HRData_GetDataSize());
    _HW_KERNEL *b = HWKernel_Initialize(embedded.data(), 0, nullptr);
    ASSERT_NE(a, nullptr);
    ASSERT_NE(b, nullptr);
    EXPECT_EQ(a->reco->prototypes, reinterpret_cast<const HR_INT8 *>(Bytes(copy)) +
                                       (b->reco->prototypes - reinterpret_cast<const HR_INT8 *>(HRData_GetDataPtr())));
    const std::vector<std::string> expected = WriteCross(b);
    ASSERT_FALSE(expected.empty());
    EXPECT_EQ(expected[0], "十");
    EXPECT_EQ(WriteCross(a), expected);
}

// A copy of the embedded lexicon at a 4-byte aligned address.
std::vector<std::uint32_t> LexiconCopy() {
    std::vector<std::uint32_t> copy(HWLex_GetDataSize() / 4 + 1);
    std::memcpy(copy.data(), HWLex_GetDataPtr(), HWLex_GetDataSize());
    return copy;
}

TEST(KernelImages, TakeTheHostsLexiconInPlaceOfTheEmbeddedOne) {
    const std::vector<std::uint16_t> model = Copy(HRData_GetDataPtr(), HRData_GetDataSize());
    const std::vector<std::uint32_t> lexicon = LexiconCopy();
    const HR_UINT8 *lex = reinterpret_cast<const HR_UINT8 *>(lexicon.data());
    Block own, embedded;
    _HW_KERNEL *a = HWKernel_InitializeImages(own.data(), Bytes(model), HRData_GetDataSize(), lex, HWLex_GetDataSize());
    _HW_KERNEL *b = HWKernel_Initialize(embedded.data(), 0, nullptr);
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(reinterpret_cast<const HR_UINT8 *>(a->lex.pool) - lex,
              reinterpret_cast<const HR_UINT8 *>(b->lex.pool) - HWLex_GetDataPtr());
    EXPECT_EQ(WriteCross(a), WriteCross(b));
    ASSERT_EQ(HWKernel_SetMode(a, HW_MODE_LINE), 1);  // the line mode reads the same view
    ASSERT_EQ(HWKernel_SetMode(b, HW_MODE_LINE), 1);
    EXPECT_EQ(WriteCross(a), WriteCross(b));
    // Without a lexicon the embedded one serves.
    Block plain;
    _HW_KERNEL *c = HWKernel_InitializeImages(plain.data(), Bytes(model), HRData_GetDataSize(), nullptr, 0);
    ASSERT_NE(c, nullptr);
    EXPECT_EQ(c->lex.pool, b->lex.pool);
}

TEST(KernelImages, RefuseATruncatedOrDamagedLexiconAndWriteNothing) {
    const std::vector<std::uint16_t> model = Copy(HRData_GetDataPtr(), HRData_GetDataSize());
    std::vector<std::uint32_t> damaged = LexiconCopy();
    damaged[0] ^= 1;  // the magic
    std::vector<std::uint32_t> directory = LexiconCopy();
    directory[PYLEX_HEADER_SIZE / 4 + 1] += 4;  // the first section's offset
    const std::vector<std::uint32_t> good = LexiconCopy();
    const HR_UINT8 *lex = reinterpret_cast<const HR_UINT8 *>(good.data());
    struct Case {
        const char *what;
        const HR_UINT8 *lexicon;
        HR_UINT32 size;
    } cases[] = {
        {"one byte short", lex, HWLex_GetDataSize() - 1},
        {"header only", lex, PYLEX_HEADER_SIZE},
        {"bad magic", reinterpret_cast<const HR_UINT8 *>(damaged.data()), HWLex_GetDataSize()},
        {"bad directory", reinterpret_cast<const HR_UINT8 *>(directory.data()), HWLex_GetDataSize()},
        {"misaligned", lex + 2, HWLex_GetDataSize() - 2},
    };
    for (const Case &c : cases) {
        Block block;
        EXPECT_EQ(HWKernel_InitializeImages(block.data(), Bytes(model), HRData_GetDataSize(), c.lexicon, c.size),
                  nullptr)
            << c.what;
        EXPECT_TRUE(block.Untouched()) << c.what;
    }
    // A good lexicon does not save a bad model.
    Block block;
    EXPECT_EQ(HWKernel_InitializeImages(block.data(), Bytes(model), HRData_GetDataSize() - 1, lex, HWLex_GetDataSize()),
              nullptr);
    EXPECT_TRUE(block.Untouched());
}

TEST(CharsetPenalty, DefaultsLeaveTheEmbeddedModelsRankingAndZeroRanksByDistance) {
    EXPECT_EQ(HWKernel_SetCharsetPenalty(nullptr, 0x0030, 100), 0);
    Block block;
    _HW_KERNEL *kernel = HWKernel_Initialize(block.data(), 0, nullptr);
    EXPECT_EQ(kernel->reco->penaltyCharset, HR_RECO_DEFAULT_PENALTY_CHARSET);
    EXPECT_EQ(kernel->reco->charsetPenalty, HR_RECO_DEFAULT_PENALTY);
    const std::vector<std::string> defaults = WriteCross(kernel);
    // The embedded model has no prototype of the penalty charset.
    ASSERT_EQ(HWKernel_SetCharsetPenalty(kernel, 0x0030, 0), 1);
    EXPECT_EQ(WriteCross(kernel), defaults);
    // Its hanzi (0x000C) penalised beyond any distance leave the letters and
    // digits first; the setting outlives a reset.
    ASSERT_EQ(HWKernel_SetCharsetPenalty(kernel, 0x0004, 60000), 1);
    HWKernel_Reset(kernel);
    const std::vector<std::string> latin = WriteCross(kernel);
    ASSERT_FALSE(latin.empty());
    EXPECT_TRUE(AllAscii(latin[0])) << latin[0];
}

TEST(CharsetMask, NarrowsTheCandidatesToTheSelectedCharset) {
    Block block;
    _HW_KERNEL *kernel = HWKernel_Initialize(block.data(), 0, nullptr);
    const std::vector<std::string> all = WriteCross(kernel);
    ASSERT_EQ(HWKernel_SetCharsetMask(kernel, 0x0001), 1);  // digits and Latin letters
    const std::vector<std::string> latin = WriteCross(kernel);
    ASSERT_FALSE(latin.empty());
    for (const std::string &text : latin) EXPECT_TRUE(AllAscii(text)) << text;
    HWKernel_Reset(kernel);                                 // the mask outlives a reset
    ASSERT_EQ(HWKernel_SetCharsetMask(kernel, 0x000C), 1);  // hanzi
    const std::vector<std::string> hanzi = WriteCross(kernel);
    ASSERT_FALSE(hanzi.empty());
    for (const std::string &text : hanzi) EXPECT_FALSE(AllAscii(text)) << text;
    ASSERT_EQ(HWKernel_SetCharsetMask(kernel, HR_RECO_DEFAULT_CHARSET), 1);
    EXPECT_EQ(WriteCross(kernel), all);
}

TEST(CharsetMask, RefusesMasksThatSelectNoPrototypeAndKeepsTheOldOne) {
    EXPECT_EQ(HWKernel_SetCharsetMask(nullptr, 0x0001), 0);
    // A model of digits (charset 0x0001) and hanzi (0x000C) only.
    const std::vector<std::uint8_t> image = BuildModelImage(RandomModelLayout(3, {40, 80, 12, 160}));
    Block block;
    _HW_KERNEL *kernel = HWKernel_InitializeImage(block.data(), image.data(), static_cast<HR_UINT32>(image.size()));
    ASSERT_NE(kernel, nullptr);
    ASSERT_EQ(HWKernel_SetCharsetMask(kernel, 0x0004), 1);
    for (HR_UINT16 mask : {0x0000, 0x0002, 0x8000, 0x7FF2})
        EXPECT_EQ(HWKernel_SetCharsetMask(kernel, static_cast<HR_UINT16>(mask)), 0) << mask;
    EXPECT_EQ(kernel->reco->charsetMask, 0x0004);
    EXPECT_EQ(HWKernel_SetCharsetMask(kernel, 0x0003), 1);
}

}  // namespace
