// penrune: command-line front end of libpenrune.
#include <cstdio>
#include <cstring>

#include "Command.h"

namespace penrune {

std::map<std::string, CommandInfo> &Commands() {
    static std::map<std::string, CommandInfo> commands;
    return commands;
}

}  // namespace penrune

static void PrintUsage(FILE *out) {
    std::fprintf(out, "usage: penrune COMMAND [ARGS...]\n\ncommands:\n");
    for (const auto &entry : penrune::Commands())
        std::fprintf(out, "  %s %s\n", entry.first.c_str(), entry.second.usage.c_str());
}

int main(int argc, char **argv) {
    if (argc < 2 || std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0) {
        PrintUsage(argc < 2 ? stderr : stdout);
        return argc < 2 ? 2 : 0;
    }
    auto found = penrune::Commands().find(argv[1]);
    if (found == penrune::Commands().end()) {
        std::fprintf(stderr, "penrune: unknown command '%s'\n", argv[1]);
        PrintUsage(stderr);
        return 2;
    }
    return found->second.run(argc - 2, argv + 2);
}
