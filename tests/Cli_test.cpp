// SPDX-License-Identifier: MIT
// The penrune command line as a user meets it: --version, --help of every
// command on standard output, usage errors on standard error, "-" for
// standard input, and the command list of the README and the man page in
// step with the usage texts the commands register.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <utility>
#include <vector>

#include "TempDir.h"
#include "penrune/penrune_version.h"

namespace {

using penrune::test::ReadFile;
using penrune::test::TempDir;

struct Result {
    int status = -1;
    std::string out;
    std::string err;
};

// Runs penrune with the shell arguments given.
Result Penrune(const std::string &arguments) {
    TempDir dir;
    const std::string command =
        "'" PENRUNE_TOOL_PATH "' " + arguments + " >'" + dir.File("out") + "' 2>'" + dir.File("err") + "'";
    Result result;
    const int raw = std::system(command.c_str());
    result.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    result.out = ReadFile(dir.File("out"));
    result.err = ReadFile(dir.File("err"));
    return result;
}

// Name and synopsis of every command, from the overall usage text.
std::vector<std::pair<std::string, std::string>> Commands() {
    std::vector<std::pair<std::string, std::string>> commands;
    std::istringstream lines(Penrune("--help").out);
    for (std::string line; std::getline(lines, line);) {
        if (line.size() < 3 || line.compare(0, 2, "  ") != 0 || line[2] == ' ') continue;
        const std::size_t space = line.find(' ', 2);
        commands.push_back({line.substr(2, space - 2), line.substr(space + 1)});
    }
    return commands;
}

TEST(Cli, VersionAndOverallHelpGoToStandardOutput) {
    const Result version = Penrune("--version");
    EXPECT_EQ(version.status, 0);
    EXPECT_EQ(version.out, "penrune " PENRUNE_VERSION_STRING "\n");
    const Result help = Penrune("--help");
    EXPECT_EQ(help.status, 0);
    EXPECT_EQ(help.out.rfind("usage: penrune COMMAND", 0), 0u);
    const Result none = Penrune("");
    EXPECT_EQ(none.status, 2);
    EXPECT_EQ(none.err, help.out);
    EXPECT_EQ(Penrune("no-such-command").status, 2);
}

TEST(Cli, EveryCommandAnswersHelpOnStandardOutputAndWrongArgumentsOnStandardError) {
    const auto commands = Commands();
    ASSERT_GE(commands.size(), 10u);
    for (const auto &[name, synopsis] : commands) {
        const Result help = Penrune(name + " --help");
        EXPECT_EQ(help.status, 0) << name;
        EXPECT_EQ(help.err, "") << name;
        EXPECT_EQ(help.out.rfind("usage: penrune " + name + " " + synopsis + "\n", 0), 0u) << help.out;
        // Every command needs arguments.
        const Result wrong = Penrune(name);
        EXPECT_EQ(wrong.status, 2) << name;
        EXPECT_EQ(wrong.out, "") << name;
        EXPECT_EQ(wrong.err, help.out) << name;
    }
}

TEST(Cli, RecognizeReadsStandardInputForADash) {
    const std::string file = PENRUNE_SOURCE_DIR "/examples/zhongguo.json";
    const Result named = Penrune("recognize '" + file + "'");
    const Result piped = Penrune("recognize - <'" + file + "'");
    EXPECT_EQ(named.status, 0);
    EXPECT_EQ(piped.status, 0);
    EXPECT_EQ(named.out.rfind("1\t中国\t", 0), 0u) << named.out;
    EXPECT_EQ(piped.out, named.out);
}

TEST(Cli, RecognizeTakesAModelAndALexiconFileAndRefusesOthers) {
    const std::string file = "'" PENRUNE_SOURCE_DIR "/examples/zhongguo.json'";
    const std::string models = PENRUNE_SOURCE_DIR "/models/";
    const Result larger =
        Penrune("recognize " + file + " --model='" + models + "gb2312.dat' --lexicon='" + models + "gb2312.lex'");
    EXPECT_EQ(larger.status, 0) << larger.err;
    EXPECT_EQ(larger.out.rfind("1\t中国\t", 0), 0u) << larger.out;
    // A lexicon is no model, a model no lexicon, and a missing file neither.
    for (const std::string &options : {"--model='" + models + "gb2312.lex'", "--lexicon='" + models + "gb2312.dat'",
                                       "--model='" + models + "missing.dat'"}) {
        const Result refused = Penrune("recognize " + file + " " + options);
        EXPECT_EQ(refused.status, 1) << options;
        EXPECT_NE(refused.err.find("penrune recognize"), std::string::npos) << refused.err;
    }
}

TEST(Cli, ToSamplesReadsStandardInputForADash) {
    TempDir dir;
    const std::string hands = dir.Write("hands.jsonl", R"({"char":"一","strokes":[[[100,500],[900,480]]]})"
                                                       "\n");
    ASSERT_EQ(Penrune("tosamples '" + dir.File("file") + "' '" + hands + "'").status, 0);
    ASSERT_EQ(Penrune("tosamples '" + dir.File("piped") + "' - <'" + hands + "'").status, 0);
    const std::string samples = ReadFile(dir.File("file/hands.smp"));
    EXPECT_FALSE(samples.empty());
    EXPECT_EQ(ReadFile(dir.File("piped/stdin.smp")), samples);
}

TEST(Cli, ReadmeAndManPageListEveryCommandWithItsUsage) {
    const std::string readme = ReadFile(PENRUNE_SOURCE_DIR "/README.md");
    const std::string man = ReadFile(PENRUNE_SOURCE_DIR "/man/penrune.1");
    ASSERT_FALSE(readme.empty());
    ASSERT_FALSE(man.empty());
    EXPECT_NE(man.find("\"penrune " PENRUNE_VERSION_STRING "\""), std::string::npos) << "man page version";
    for (const auto &[name, synopsis] : Commands()) {
        EXPECT_NE(readme.find("| `" + name + " " + synopsis + "` |"), std::string::npos) << name;
        EXPECT_NE(man.find("\\fB" + name + "\\fR " + synopsis + "\n"), std::string::npos) << name;
    }
}

}  // namespace
