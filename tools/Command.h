// Subcommand registry of the penrune tool.
//
// Every tools/*.cpp file that implements a subcommand defines one static
// RegisterCommand object; penrune.cpp dispatches on the first argument.
#ifndef PENRUNE_TOOLS_COMMAND_H
#define PENRUNE_TOOLS_COMMAND_H

#include <map>
#include <string>

namespace penrune {

// A subcommand: argc/argv start after the subcommand name. Returns the
// process exit code.
using CommandMain = int (*)(int argc, char **argv);

struct CommandInfo {
    CommandMain run;
    std::string usage;  // one line: "NAME ARGS... -- what it does"
};

std::map<std::string, CommandInfo> &Commands();

struct RegisterCommand {
    RegisterCommand(const char *name, CommandMain run, const char *usage) {
        Commands()[name] = CommandInfo{run, usage};
    }
};

}  // namespace penrune

#endif  // PENRUNE_TOOLS_COMMAND_H
