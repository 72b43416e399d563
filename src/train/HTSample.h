// SPDX-License-Identifier: MIT
// Sample files: the handwriting records that the feature stage, the
// evaluation stage and `penrune rank` read and that the synthesiser and the
// test generators write. This is the only code that knows the layout.
//
// A file is a run of records, little-endian, no header:
//   u16 length L (this field included), u16 character code, 2 reserved zero
//   bytes, then (L - 6) / 2 points of one byte each {x, y}; the point
//   (255, 0) ends a stroke and (255, 255) ends the character.
// Readers take the last two points of a record as the two end markers,
// whatever they hold.
#ifndef HT_SAMPLE_H
#define HT_SAMPLE_H

#include <cstddef>
#include <cstdio>
#include <vector>

#include "penrune/HRTypes.h"

#define HT_SAMPLE_HEAD 6            /* length, code and reserved bytes */
#define HT_SAMPLE_MIN_LENGTH 10     /* the head and the two end markers */
#define HT_SAMPLE_MAX_LENGTH 0xBFFF /* longest record the feature stage takes */

namespace penrune {

// Reads the records of an open sample file one after another.
class SampleReader {
public:
    explicit SampleReader(FILE *in) : in_(in) {}

    // Reads the next record. False at the end of the file: no length field
    // left, or a length field with no byte of its record after it.
    bool Next();

    // The length field of the record.
    HR_UINT16 Length() const;
    // The record was read to the length its field gives (and that length
    // covers at least the field itself).
    bool Whole() const { return Length() >= 2 && bytes_.size() == Length(); }
    // The length is even and leaves room for the head and the end markers.
    bool IsSample() const { return Length() >= HT_SAMPLE_MIN_LENGTH && Length() % 2 == 0; }
    // The code field; 0 when the record ends before it.
    HR_UINT16 Code() const;
    // Bytes read of the record in whole points, the length field included.
    size_t Usable() const { return bytes_.size() & ~static_cast<size_t>(1); }
    // The record as read, the length field included.
    const HR_UINT8 *Bytes() const { return bytes_.data(); }

    // Writes the two end markers over the last two usable points and returns
    // the points, count of them in *count. Needs Usable() >= HT_SAMPLE_MIN_LENGTH.
    _HR_POINT8 *Points(HR_UINT16 *count);

private:
    FILE *in_;
    std::vector<HR_UINT8> bytes_;
};

// Builds one record point by point.
class SampleRecordBuilder {
public:
    explicit SampleRecordBuilder(HR_UINT16 code);
    void Point(HR_UINT8 x, HR_UINT8 y);
    void EndStroke();
    // Ends the record and appends it to out. False, with nothing appended,
    // when it would be longer than HT_SAMPLE_MAX_LENGTH.
    bool AppendTo(std::vector<HR_UINT8> &out);

private:
    HR_UINT16 code_;
    std::vector<HR_UINT8> bytes_;
};

// Appends the record of strokes (each a sequence of points with byte members
// x and y, the end markers left out); false as SampleRecordBuilder::AppendTo.
template <class Strokes>
bool AppendSampleRecord(std::vector<HR_UINT8> &out, HR_UINT16 code, const Strokes &strokes) {
    SampleRecordBuilder record(code);
    for (const auto &stroke : strokes) {
        for (const auto &p : stroke) record.Point(p.x, p.y);
        record.EndStroke();
    }
    return record.AppendTo(out);
}

}  // namespace penrune

#endif  // HT_SAMPLE_H
