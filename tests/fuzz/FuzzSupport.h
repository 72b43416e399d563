// SPDX-License-Identifier: MIT
// Helpers shared by the fuzz targets: reading structured values off the
// fuzzer's bytes, output buffers with guard bytes, scratch files.
#ifndef PENRUNE_TESTS_FUZZ_FUZZSUPPORT_H
#define PENRUNE_TESTS_FUZZ_FUZZSUPPORT_H

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace penrune_fuzz {

// Stops the run with a report: an invariant of the library did not hold.
[[noreturn]] void Fail(const char *what);

// Reads values from the front of the fuzzer's input; an exhausted input
// gives zeros.
class FuzzInput {
public:
    FuzzInput(const std::uint8_t *data, std::size_t size) : data_(data), size_(size) {}
    bool empty() const { return at_ >= size_; }
    std::size_t remaining() const { return size_ - at_; }
    std::uint8_t Byte() { return empty() ? 0 : data_[at_++]; }
    std::uint16_t U16() { return static_cast<std::uint16_t>(Byte() | (Byte() << 8)); }
    std::uint32_t U32() { return U16() | (static_cast<std::uint32_t>(U16()) << 16); }

private:
    const std::uint8_t *data_;
    std::size_t size_;
    std::size_t at_ = 0;
};

// An output buffer of `capacity` elements followed by guard elements that
// the code under test must leave alone.
template <typename T>
class Guarded {
public:
    explicit Guarded(std::size_t capacity) : capacity_(capacity), buffer_(capacity + kGuard, Pattern()) {}
    T *data() { return buffer_.data(); }
    const T &operator[](std::size_t i) const { return buffer_[i]; }
    // Fails when anything past the capacity was written.
    void Check() const {
        for (std::size_t i = capacity_; i < buffer_.size(); ++i)
            if (buffer_[i] != Pattern()) Fail("write past the buffer's capacity");
    }

private:
    static constexpr std::size_t kGuard = 16;
    static T Pattern() { return static_cast<T>(0x5A); }
    std::size_t capacity_;
    std::vector<T> buffer_;
};

// A heap copy of bytes starting at an 8-byte aligned address, as images
// must, with no slack after them for the sanitizers to overlook.
std::vector<std::uint8_t> Bytes(const std::uint8_t *data, std::size_t size);

// A path in this process's scratch directory, created on first use.
std::string ScratchPath(const char *name);
// Writes the bytes to ScratchPath(name) and returns the path.
std::string WriteScratch(const char *name, const std::uint8_t *data, std::size_t size);
// Whole content of a file; empty when it cannot be read.
std::string ReadWhole(const std::string &path);

// Applies the rest of the input to a copy of a valid image: first a cut
// (a byte: 0 keeps the whole image, else the image loses 4 x U16 bytes),
// then changes of one byte each (U32: offset, value). Returns the image.
std::vector<std::uint8_t> Mutate(const std::uint8_t *image, std::size_t size, FuzzInput &in);

}  // namespace penrune_fuzz

#endif  // PENRUNE_TESTS_FUZZ_FUZZSUPPORT_H
