// SPDX-License-Identifier: MIT
// The arguments of one penrune subcommand: options --name=VALUE, flags
// --name, and positionals (a lone "-" among them, for standard input).
//
// Option names are kebab-case. An older camelCase spelling (--strokeShift)
// is read as its kebab-case form (--stroke-shift), so scripts written
// against it keep working. Each getter takes its option off the list;
// Finish() then rejects whatever no getter took. Wrong arguments throw
// ArgError with a message that names the option.
#ifndef PENRUNE_TOOLS_ARGS_H
#define PENRUNE_TOOLS_ARGS_H

#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

namespace penrune {

struct ArgError : std::invalid_argument {
    using std::invalid_argument::invalid_argument;
};

// "strokeShift" -> "stroke-shift"; kebab-case names are left as they are.
std::string KebabCase(const std::string &name);

class Args {
public:
    Args(int argc, char **argv);

    // --name given (as a flag; a value is an error).
    bool Flag(const std::string &name);
    // The value of the last --name=VALUE into value; false when absent.
    bool Text(const std::string &name, std::string &value);
    // Every --name=VALUE, in order.
    std::vector<std::string> Texts(const std::string &name);
    // A whole number low..high, or a number low..high; false when absent.
    bool Integer(const std::string &name, long long &value, long long low, long long high);
    bool Number(const std::string &name, double &value, double low, double high);
    // The options no getter took, as (name, value) in order; they count as
    // taken.
    std::vector<std::pair<std::string, std::string>> Rest();
    // Throws for an option no getter took.
    void Finish() const;

    const std::vector<std::string> &Positional() const { return positional_; }

private:
    struct Option {
        std::string name;
        std::string value;
        bool hasValue;
        bool taken;
    };
    Option *Take(const std::string &name);

    std::vector<Option> options_;
    std::vector<std::string> positional_;
};

// Parses text as a whole number low..high; throws ArgError naming what.
long long ParseInteger(const std::string &what, const std::string &text, long long low, long long high);

}  // namespace penrune

#endif  // PENRUNE_TOOLS_ARGS_H
