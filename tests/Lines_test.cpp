// SPDX-License-Identifier: MIT
// The line benchmark: its scoring of a recognised line, and a whole run of
// `penrune lines` on a small stroke source.
#include <gtest/gtest.h>

#include <cstdlib>
#include <regex>
#include <sstream>
#include <string>

#include "LineScore.h"
#include "TempDir.h"

namespace {

using penrune::Align;
using penrune::EditCounts;
using penrune::LineText16;

TEST(LineScore, CountsTheEditsOfTheBestAlignment) {
    struct Case {
        LineText16 ref, hyp;
        long s, d, i;
    } cases[] = {
        {{1, 2, 3}, {1, 2, 3}, 0, 0, 0},
        {{1, 2, 3}, {1, 9, 3}, 1, 0, 0},
        {{1, 2, 3}, {1, 3}, 0, 1, 0},        // a character lost
        {{1, 2, 3}, {1, 7, 8, 3}, 1, 0, 1},  // one character read as two
        {{1, 2}, {}, 0, 2, 0},
        {{}, {4, 5}, 0, 0, 2},
        {{1, 2, 3, 4}, {2, 3, 4, 5}, 0, 1, 1},
    };
    for (const Case &c : cases) {
        EditCounts e = Align(c.ref, c.hyp);
        EXPECT_EQ(e.s, c.s);
        EXPECT_EQ(e.d, c.d);
        EXPECT_EQ(e.i, c.i);
        // The counts are those of an alignment: they account for both texts.
        EXPECT_EQ(static_cast<long>(c.ref.size()) - e.d + e.i, static_cast<long>(c.hyp.size()));
    }
}

// Four hands: 一 二 三 十, in the sources' 1024-unit box.
std::string WriteHands(const penrune::test::TempDir &dir) {
    return dir.Write("hands.jsonl",
                     "{\"char\":\"一\",\"strokes\":[[[100,500],[900,500]]]}\n"
                     "{\"char\":\"二\",\"strokes\":[[[200,300],[800,300]],[[100,700],[900,700]]]}\n"
                     "{\"char\":\"三\",\"strokes\":[[[200,200],[800,200]],[[250,500],[750,500]],"
                     "[[100,800],[900,800]]]}\n"
                     "{\"char\":\"十\",\"strokes\":[[[100,500],[900,500]],[[500,100],[500,900]]]}\n");
}

TEST(LinesTool, PrintsEveryKindAndSpacingForBothModes) {
    penrune::test::TempDir dir;
    const std::string source = WriteHands(dir);
    const std::string phrases = dir.Write("phrases.txt", "十一 m 100\n一二 m 50\n二十 m 20\n");
    const std::string out = dir.File("out.txt");
    ASSERT_EQ(std::system(("'" PENRUNE_TOOL_PATH "' lines --source='" + source + "' --phrases='" + phrases +
                           "' --count=3 --long=1 --seed=5 >'" + out + "'")
                              .c_str()),
              0);
    std::istringstream table(penrune::test::ReadFile(out));
    const std::regex row(
        R"(\| lines \| (\S+) / (\S+) (\S+) \| (\d+) \| (\d+) \| (classic|line) \| ([\d.]+) % \| ([\d.]+) % .*)");
    int rows = 0, latency = 0;
    for (std::string line; std::getline(table, line);) {
        std::smatch m;
        if (std::regex_match(line, m, row)) {
            ++rows;
            EXPECT_LE(std::stod(m[8]), std::stod(m[7])) << "AR never exceeds CR: " << line;
            EXPECT_LE(std::stod(m[7]), 100.0) << line;
        } else if (line.find("| lines | classic |") == 0 || line.find("| lines | line |") == 0) {
            ++latency;
        }
    }
    // Per mode: phrase, other and long at three spacings, alone once.
    EXPECT_EQ(rows, 2 * (3 * 3 + 1));
    EXPECT_GE(latency, 2);
}

TEST(LinesTool, CommonOthersAreMadeOfTheFrequentPhrasesCharacters) {
    penrune::test::TempDir dir;
    const std::string source = WriteHands(dir);
    const std::string phrases = dir.Write("phrases.txt", "十一 m 100\n一二 m 50\n");  // no 三
    // The true texts of the missed lines that are no phrase (--errors
    // prints them); the classic mode misses most of them.
    const auto others = [&](const std::string &flag) {
        const std::string out = dir.File("out.txt");
        EXPECT_EQ(std::system(("'" PENRUNE_TOOL_PATH "' lines --source='" + source + "' --phrases='" + phrases +
                               "' --count=6 --seed=5 --errors --no-latency " + flag + " >'" + out + "'")
                                  .c_str()),
                  0);
        std::istringstream table(penrune::test::ReadFile(out));
        std::string texts;
        for (std::string line; std::getline(table, line);) {
            std::istringstream fields(line);
            std::string miss, mode, kind, text;
            std::getline(fields, miss, '\t');
            std::getline(fields, mode, '\t');
            std::getline(fields, kind, '\t');
            std::getline(fields, text, '\t');
            if (kind.find("other") != std::string::npos) texts += text + " ";
        }
        return texts;
    };
    const std::string all = others(""), common = others("--common-others");
    EXPECT_NE(all.find("三"), std::string::npos) << "every character makes the others";
    ASSERT_FALSE(common.empty());
    EXPECT_EQ(common.find("三"), std::string::npos) << common;
}

}  // namespace
