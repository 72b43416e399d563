// SPDX-License-Identifier: MIT
#include "train/HTSample.h"

#include <cstring>

#include "util/HWBytes.h"

namespace penrune {

namespace {

constexpr HR_UINT8 kMarker = 0xFF;
constexpr HR_UINT8 kStrokeEnd[2] = {kMarker, 0x00};
constexpr HR_UINT8 kEndMarkers[4] = {kMarker, 0x00, kMarker, kMarker};

}  // namespace

bool SampleReader::Next() {
    bytes_.resize(2);
    if (std::fread(bytes_.data(), 1, 2, in_) != 2) return false;
    const HR_UINT16 length = Length();
    if (length <= 2) return true;
    bytes_.resize(length);
    const size_t read = std::fread(bytes_.data() + 2, 1, length - 2u, in_);
    bytes_.resize(2 + read);
    return read > 0;
}

HR_UINT16 SampleReader::Length() const { return LoadU16(bytes_.data()); }

HR_UINT16 SampleReader::Code() const { return bytes_.size() >= 4 ? LoadU16(bytes_.data() + 2) : 0; }

_HR_POINT8 *SampleReader::Points(HR_UINT16 *count) {
    const size_t usable = Usable();
    std::memcpy(bytes_.data() + usable - sizeof kEndMarkers, kEndMarkers, sizeof kEndMarkers);
    *count = static_cast<HR_UINT16>((usable - HT_SAMPLE_HEAD) / 2);
    return reinterpret_cast<_HR_POINT8 *>(bytes_.data() + HT_SAMPLE_HEAD);
}

SampleRecordBuilder::SampleRecordBuilder(HR_UINT16 code) : code_(code), bytes_(HT_SAMPLE_HEAD, 0) {}

void SampleRecordBuilder::Point(HR_UINT8 x, HR_UINT8 y) { bytes_.insert(bytes_.end(), {x, y}); }

void SampleRecordBuilder::EndStroke() { bytes_.insert(bytes_.end(), kStrokeEnd, kStrokeEnd + 2); }

bool SampleRecordBuilder::AppendTo(std::vector<HR_UINT8> &out) {
    bytes_.insert(bytes_.end(), {kMarker, kMarker});
    if (bytes_.size() > HT_SAMPLE_MAX_LENGTH) return false;
    StoreU16(bytes_.data(), static_cast<HR_UINT16>(bytes_.size()));
    StoreU16(bytes_.data() + 2, code_);
    out.insert(out.end(), bytes_.begin(), bytes_.end());
    return true;
}

}  // namespace penrune
