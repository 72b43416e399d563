// SPDX-License-Identifier: MIT
#include "TrainData.h"

#include <stdexcept>

#include "train/HTCode.h"
#include "SampleGen.h"
#include "TempDir.h"

namespace penrune::test {

constexpr int kComponents = 64;  // per feature record

bool LoadCodeTable(const std::string &dir, const std::vector<std::pair<std::uint16_t, int>> &codes) {
    try {
        WriteCodeTable(dir, codes);
    } catch (const std::runtime_error &) {
        return false;
    }
    return HTCode_Initialize(dir.c_str(), 0xFFFF) == 1;
}

std::string FeatureRecord(std::uint16_t label, const std::vector<int> &components) {
    std::string record(2 + kComponents, '\0');
    record[0] = static_cast<char>(label & 0xFF);
    record[1] = static_cast<char>(label >> 8);
    for (std::size_t j = 0; j < components.size() && j < kComponents; ++j)
        record[2 + j] = static_cast<char>(static_cast<std::int8_t>(components[j]));
    return record;
}

std::vector<std::pair<std::uint16_t, std::vector<int>>> ReadFeatureRecords(const std::string &path) {
    const std::string bytes = penrune::test::ReadFile(path);
    std::vector<std::pair<std::uint16_t, std::vector<int>>> records;
    for (std::size_t at = 0; at + 2 + kComponents <= bytes.size(); at += 2 + kComponents) {
        std::vector<int> components(kComponents);
        for (int j = 0; j < kComponents; ++j) components[j] = static_cast<std::int8_t>(bytes[at + 2 + j]);
        records.emplace_back(LoadU16(bytes, at), components);
    }
    return records;
}

std::uint32_t LoadU32(const std::string &bytes, std::size_t at) {
    return LoadU16(bytes, at) | (static_cast<std::uint32_t>(LoadU16(bytes, at + 2)) << 16);
}

std::uint16_t LoadU16(const std::string &bytes, std::size_t at) {
    return static_cast<std::uint16_t>(static_cast<std::uint8_t>(bytes.at(at)) |
                                      (static_cast<std::uint8_t>(bytes.at(at + 1)) << 8));
}

}  // namespace penrune::test
