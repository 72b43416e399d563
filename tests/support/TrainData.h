/* SPDX-License-Identifier: MIT */
// Small training-file fixtures for the tests of the model-building stages:
// a charset code table with chosen node numbers, 66-byte feature records and
// little-endian reads of written files.
#ifndef PENRUNE_TESTS_SUPPORT_TRAINDATA_H
#define PENRUNE_TESTS_SUPPORT_TRAINDATA_H

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace penrune::test {

// WriteCodeTable (SampleGen.h), then loads the table into the process-wide
// code table. Returns whether writing and loading succeeded.
bool LoadCodeTable(const std::string &dir, const std::vector<std::pair<std::uint16_t, int>> &codes);

// One 66-byte record of a .fec or .mdc file: the u16 label, then 64 signed
// components (missing ones are 0).
std::string FeatureRecord(std::uint16_t label, const std::vector<int> &components);

// The records of a .fec or .mdc file as (label, 64 components) pairs.
std::vector<std::pair<std::uint16_t, std::vector<int>>> ReadFeatureRecords(const std::string &path);

// Little-endian field of a byte string.
std::uint32_t LoadU32(const std::string &bytes, std::size_t at);
std::uint16_t LoadU16(const std::string &bytes, std::size_t at);

}  // namespace penrune::test

#endif  // PENRUNE_TESTS_SUPPORT_TRAINDATA_H
