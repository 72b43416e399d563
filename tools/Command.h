// SPDX-License-Identifier: MIT
// Subcommand registry of the penrune tool.
//
// Every tools/*.cpp file that implements a subcommand defines one static
// RegisterCommand object with its usage text; penrune.cpp dispatches on the
// first argument and answers --help from that text, so a command states its
// usage in one place only.
#ifndef PENRUNE_TOOLS_COMMAND_H
#define PENRUNE_TOOLS_COMMAND_H

#include <cstdio>
#include <map>
#include <string>

namespace penrune {

// A subcommand: argc/argv start after the subcommand name. Returns the
// process exit code.
using CommandMain = int (*)(int argc, char **argv);
// Writes usage lines beyond the synopsis and summary (for example a table
// of options).
using CommandDetails = void (*)(std::FILE *out);

struct CommandInfo {
    CommandMain run;
    std::string synopsis;    // the arguments: "MODEL_FILE TEST_DIR"
    std::string summary;     // what the command does, one sentence
    CommandDetails details;  // may be null
};

std::map<std::string, CommandInfo> &Commands();

struct RegisterCommand {
    RegisterCommand(const char *name, CommandMain run, const char *synopsis, const char *summary,
                    CommandDetails details = nullptr) {
        Commands()[name] = CommandInfo{run, synopsis, summary, details};
    }
};

// Prints the usage of command name to stderr and returns 2, the exit code
// of a call with wrong arguments. With a problem, "penrune NAME: problem"
// comes first. An ArgError (Args.h) that a command lets through ends in the
// same way; any other exception it lets through is printed as
// "penrune NAME: what" with exit code 1.
int UsageError(const std::string &name, const std::string &problem = "");

}  // namespace penrune

#endif  // PENRUNE_TOOLS_COMMAND_H
