// SPDX-License-Identifier: MIT
#include "Input.h"

#include <iostream>

namespace penrune {

std::istream &OpenInput(const std::string &path, std::ifstream &file) {
    if (path == "-") return std::cin;
    file.open(path, std::ios::binary);
    return file;
}

}  // namespace penrune
