// SPDX-License-Identifier: MIT
#include "FuzzSupport.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <unistd.h>

namespace penrune_fuzz {

void Fail(const char *what) {
    std::fprintf(stderr, "fuzz invariant failed: %s\n", what);
    std::abort();
}

std::vector<std::uint8_t> Bytes(const std::uint8_t *data, std::size_t size) {
    std::vector<std::uint8_t> copy(size);
    if (size > 0) std::memcpy(copy.data(), data, size);
    return copy;
}

std::string ScratchPath(const char *name) {
    static const std::string dir = [] {
        char pattern[] = "/tmp/penrune-fuzz-XXXXXX";
        if (mkdtemp(pattern) == nullptr) Fail("no scratch directory");
        return std::string(pattern);
    }();
    return dir + "/" + name;
}

std::string WriteScratch(const char *name, const std::uint8_t *data, std::size_t size) {
    const std::string path = ScratchPath(name);
    std::ofstream(path, std::ios::binary | std::ios::trunc)
        .write(reinterpret_cast<const char *>(data), static_cast<std::streamsize>(size));
    return path;
}

std::string ReadWhole(const std::string &path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream content;
    content << in.rdbuf();
    return content.str();
}

std::vector<std::uint8_t> Mutate(const std::uint8_t *image, std::size_t size, FuzzInput &in) {
    const std::size_t cut = in.Byte() == 0 ? 0 : 4u * in.U16();
    std::vector<std::uint8_t> copy = Bytes(image, cut < size ? size - cut : 0);
    while (in.remaining() >= 4 && !copy.empty()) {
        const std::uint32_t change = in.U32();
        copy[(change >> 8) % copy.size()] = static_cast<std::uint8_t>(change);
    }
    return copy;
}

}  // namespace penrune_fuzz
