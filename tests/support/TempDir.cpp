// SPDX-License-Identifier: MIT
#include "TempDir.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace penrune::test {

TempDir::TempDir() {
    path_ = (std::filesystem::temp_directory_path() / "penrune-test-XXXXXX").string();
    if (mkdtemp(path_.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
}

TempDir::~TempDir() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
}

std::string TempDir::File(const std::string &name) const { return path_ + "/" + name; }

std::string TempDir::Write(const std::string &name, const std::string &bytes) const {
    std::string full = File(name);
    std::ofstream(full, std::ios::binary) << bytes;
    return full;
}

std::string ReadFile(const std::string &path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream content;
    content << in.rdbuf();  // a directory or missing file reads as empty
    return content.str();
}

int CountOf(const std::string &text, const std::string &what) {
    int n = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
    return n;
}

}  // namespace penrune::test
