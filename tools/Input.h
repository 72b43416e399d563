// SPDX-License-Identifier: MIT
// Input files of the penrune commands, where "-" names standard input.
#ifndef PENRUNE_TOOLS_INPUT_H
#define PENRUNE_TOOLS_INPUT_H

#include <fstream>
#include <istream>
#include <string>

namespace penrune {

// Standard input for "-", otherwise file opened on path (check the stream
// for failure).
std::istream &OpenInput(const std::string &path, std::ifstream &file);

}  // namespace penrune

#endif  // PENRUNE_TOOLS_INPUT_H
