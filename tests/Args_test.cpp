// SPDX-License-Identifier: MIT
#include "Args.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// Args over the given words, as a command receives them after its name.
struct Words {
    explicit Words(std::vector<std::string> words) : text(std::move(words)) {
        for (std::string &word : text) argv.push_back(word.data());
    }
    penrune::Args Parse() { return penrune::Args(static_cast<int>(argv.size()), argv.data()); }
    std::vector<std::string> text;
    std::vector<char *> argv;
};

TEST(Args, SplitsOptionsFlagsAndPositionalsAndReadsOldSpellingsAsKebabCase) {
    Words words(
        {"out", "--stroke-shift=3", "--errors", "-", "--shearMean=-0.5", "--top=4", "--source=a", "--source=b"});
    penrune::Args args = words.Parse();
    EXPECT_EQ(args.Positional(), (std::vector<std::string>{"out", "-"}));
    EXPECT_TRUE(args.Flag("errors"));
    EXPECT_FALSE(args.Flag("json"));
    long long top = 0;
    ASSERT_TRUE(args.Integer("top", top, 1, 32));
    EXPECT_EQ(top, 4);
    EXPECT_EQ(args.Texts("source"), (std::vector<std::string>{"a", "b"}));
    const auto rest = args.Rest();
    ASSERT_EQ(rest.size(), 2u);
    EXPECT_EQ(rest[0], std::make_pair(std::string("stroke-shift"), std::string("3")));
    EXPECT_EQ(rest[1], std::make_pair(std::string("shear-mean"), std::string("-0.5")));
    EXPECT_NO_THROW(args.Finish());
    EXPECT_EQ(penrune::KebabCase("hookRate"), "hook-rate");
    EXPECT_EQ(penrune::KebabCase("chars-per-file"), "chars-per-file");
}

// What goes wrong is named: the option and the range it needed.
TEST(Args, WrongArgumentsThrowAMessageThatNamesTheOption) {
    const auto problem = [](std::vector<std::string> text, auto use) -> std::string {
        Words words(std::move(text));
        penrune::Args args = words.Parse();
        try {
            use(args);
            args.Finish();
        } catch (const penrune::ArgError &error) {
            return error.what();
        }
        return "";
    };
    long long n = 0;
    double x = 0;
    EXPECT_EQ(problem({"--top=x"}, [&](penrune::Args &a) { a.Integer("top", n, 1, 32); }),
              "--top needs a whole number from 1 to 32, not 'x'");
    EXPECT_EQ(problem({"--top=33"}, [&](penrune::Args &a) { a.Integer("top", n, 1, 32); }),
              "--top needs a whole number from 1 to 32, not '33'");
    EXPECT_EQ(problem({"--thin=-1"}, [&](penrune::Args &a) { a.Number("thin", x, 0, 10); }),
              "--thin needs a number from 0 to 10, not '-1'");
    EXPECT_EQ(problem({"--errors=1"}, [](penrune::Args &a) { a.Flag("errors"); }), "--errors takes no value");
    EXPECT_EQ(problem({"--top"}, [&](penrune::Args &a) { a.Integer("top", n, 1, 32); }), "--top needs =VALUE");
    EXPECT_EQ(problem({"--colour=red"}, [](penrune::Args &) {}), "unknown option --colour");
    EXPECT_EQ(problem({"--top=7"}, [&](penrune::Args &a) { a.Integer("top", n, 1, 32); }), "");
    EXPECT_EQ(n, 7);
}

}  // namespace
