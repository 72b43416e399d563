// SPDX-License-Identifier: MIT
// penrune: command-line front end of libpenrune.
#include <cstdio>
#include <cstring>
#include <exception>

#include "Args.h"
#include "Command.h"
#include "penrune/HWKernel.h"

namespace penrune {

std::map<std::string, CommandInfo> &Commands() {
    static std::map<std::string, CommandInfo> commands;
    return commands;
}

namespace {

void PrintCommandUsage(const std::string &name, const CommandInfo &info, std::FILE *out) {
    std::fprintf(out, "usage: penrune %s %s\n\n%s\n", name.c_str(), info.synopsis.c_str(), info.summary.c_str());
    if (info.details != nullptr) {
        std::fputc('\n', out);
        info.details(out);
    }
}

void PrintUsage(std::FILE *out) {
    std::fprintf(out,
                 "usage: penrune COMMAND [ARGS...]\n"
                 "       penrune COMMAND --help\n"
                 "       penrune --version\n\n"
                 "commands:\n");
    for (const auto &entry : Commands())
        std::fprintf(out, "  %s %s\n      %s\n", entry.first.c_str(), entry.second.synopsis.c_str(),
                     entry.second.summary.c_str());
}

bool IsHelp(const char *arg) { return std::strcmp(arg, "--help") == 0 || std::strcmp(arg, "-h") == 0; }

bool AsksForHelp(int argc, char **argv) {
    for (int i = 0; i < argc; ++i)
        if (IsHelp(argv[i])) return true;
    return false;
}

}  // namespace

int UsageError(const std::string &name, const std::string &problem) {
    if (!problem.empty()) std::fprintf(stderr, "penrune %s: %s\n", name.c_str(), problem.c_str());
    PrintCommandUsage(name, Commands().at(name), stderr);
    return 2;
}

}  // namespace penrune

int main(int argc, char **argv) {
    if (argc < 2) {
        penrune::PrintUsage(stderr);
        return 2;
    }
    if (penrune::IsHelp(argv[1])) {
        penrune::PrintUsage(stdout);
        return 0;
    }
    if (std::strcmp(argv[1], "--version") == 0) {
        std::printf("penrune %s\n", HWKernel_GetVersion());
        return 0;
    }
    auto found = penrune::Commands().find(argv[1]);
    if (found == penrune::Commands().end()) {
        std::fprintf(stderr, "penrune: unknown command '%s'\n", argv[1]);
        penrune::PrintUsage(stderr);
        return 2;
    }
    if (penrune::AsksForHelp(argc - 2, argv + 2)) {
        penrune::PrintCommandUsage(found->first, found->second, stdout);
        return 0;
    }
    try {
        return found->second.run(argc - 2, argv + 2);
    } catch (const penrune::ArgError &error) {
        return penrune::UsageError(found->first, error.what());
    } catch (const std::exception &error) {
        std::fprintf(stderr, "penrune %s: %s\n", found->first.c_str(), error.what());
        return 1;
    }
}
