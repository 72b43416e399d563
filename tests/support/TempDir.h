/* SPDX-License-Identifier: MIT */
// A scratch directory for file-based tests, removed with everything in it
// when the object goes away.
#ifndef PENRUNE_TESTS_TEMPDIR_H
#define PENRUNE_TESTS_TEMPDIR_H

#include <string>

namespace penrune::test {

class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir &) = delete;
    TempDir &operator=(const TempDir &) = delete;

    const std::string &path() const { return path_; }
    // path() + "/" + name.
    std::string File(const std::string &name) const;
    // Writes bytes to File(name) and returns that path.
    std::string Write(const std::string &name, const std::string &bytes) const;

private:
    std::string path_;
};

// Whole content of a file; empty when it cannot be read.
std::string ReadFile(const std::string &path);

// Occurrences of `what` in `text`, e.g. of a line in a log.
int CountOf(const std::string &text, const std::string &what);

}  // namespace penrune::test

#endif  // PENRUNE_TESTS_TEMPDIR_H
