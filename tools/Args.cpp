// SPDX-License-Identifier: MIT
#include "Args.h"

#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>

namespace penrune {

namespace {

std::string Range(double low, double high) {
    char text[64];
    std::snprintf(text, sizeof text, "%.15g to %.15g", low, high);
    return text;
}

}  // namespace

std::string KebabCase(const std::string &name) {
    std::string out;
    for (char c : name) {
        if (std::isupper(static_cast<unsigned char>(c))) {
            out += '-';
            out += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        } else {
            out += c;
        }
    }
    return out;
}

long long ParseInteger(const std::string &what, const std::string &text, long long low, long long high) {
    char *end = nullptr;
    errno = 0;
    const long long value = std::strtoll(text.c_str(), &end, 10);
    if (text.empty() || errno != 0 || *end != '\0' || value < low || value > high)
        throw ArgError(what + " needs a whole number from " + std::to_string(low) + " to " + std::to_string(high) +
                       ", not '" + text + "'");
    return value;
}

Args::Args(int argc, char **argv) {
    for (int i = 0; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg.size() <= 2 || arg.compare(0, 2, "--") != 0) {
            positional_.push_back(arg);
            continue;
        }
        const std::size_t equals = arg.find('=');
        const bool hasValue = equals != std::string::npos;
        options_.push_back(Option{KebabCase(arg.substr(2, hasValue ? equals - 2 : std::string::npos)),
                                  hasValue ? arg.substr(equals + 1) : std::string(), hasValue, false});
    }
}

Args::Option *Args::Take(const std::string &name) {
    Option *last = nullptr;
    for (Option &option : options_) {
        if (option.taken || option.name != name) continue;
        option.taken = true;
        last = &option;
    }
    return last;
}

bool Args::Flag(const std::string &name) {
    const Option *option = Take(name);
    if (option != nullptr && option->hasValue) throw ArgError("--" + name + " takes no value");
    return option != nullptr;
}

bool Args::Text(const std::string &name, std::string &value) {
    const Option *option = Take(name);
    if (option == nullptr) return false;
    if (!option->hasValue) throw ArgError("--" + name + " needs =VALUE");
    value = option->value;
    return true;
}

std::vector<std::string> Args::Texts(const std::string &name) {
    std::vector<std::string> values;
    for (Option &option : options_) {
        if (option.taken || option.name != name) continue;
        if (!option.hasValue) throw ArgError("--" + name + " needs =VALUE");
        option.taken = true;
        values.push_back(option.value);
    }
    return values;
}

bool Args::Integer(const std::string &name, long long &value, long long low, long long high) {
    std::string text;
    if (!Text(name, text)) return false;
    value = ParseInteger("--" + name, text, low, high);
    return true;
}

bool Args::Number(const std::string &name, double &value, double low, double high) {
    std::string text;
    if (!Text(name, text)) return false;
    char *end = nullptr;
    errno = 0;
    value = std::strtod(text.c_str(), &end);
    if (text.empty() || errno != 0 || *end != '\0' || !(value >= low && value <= high))
        throw ArgError("--" + name + " needs a number from " + Range(low, high) + ", not '" + text + "'");
    return true;
}

std::vector<std::pair<std::string, std::string>> Args::Rest() {
    std::vector<std::pair<std::string, std::string>> rest;
    for (Option &option : options_) {
        if (option.taken) continue;
        if (!option.hasValue) throw ArgError("--" + option.name + " needs =VALUE");
        option.taken = true;
        rest.emplace_back(option.name, option.value);
    }
    return rest;
}

void Args::Finish() const {
    for (const Option &option : options_)
        if (!option.taken) throw ArgError("unknown option --" + option.name);
}

}  // namespace penrune
