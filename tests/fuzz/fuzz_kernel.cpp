// SPDX-License-Identifier: MIT
// Kernel call sequences in both modes: strokes of any points (markers and
// extreme coordinates included), deletes, resets, mode changes, and reads of
// candidates, strokes and the log into buffers with guard bytes past their
// capacity.
#include <cstring>
#include <vector>

#include "FuzzSupport.h"
#include "penrune/HWKernel.h"

using penrune_fuzz::Fail;
using penrune_fuzz::FuzzInput;
using penrune_fuzz::Guarded;

namespace {

_HW_KERNEL *NewKernel() {
    static std::vector<std::uint64_t> block((HWKernel_GetInstanceSize() + 7) / 8);
    return HWKernel_Initialize(block.data(), 0, nullptr);
}

// A call of up to the point limit and a little more, its points taken from
// the input (raw 16-bit values) and zero past its end.
void AddStroke(_HW_KERNEL *kernel, FuzzInput &in) {
    const std::uint32_t count = in.U16() % (HW_POINT_LIMIT + 16);
    std::vector<_HR_POINT16> points(count);
    for (_HR_POINT16 &p : points) p = _HR_POINT16{in.U16(), in.U16()};
    const HR_INT32 before = HWKernel_GetStrokeTotal(kernel);
    const int added = HWKernel_AddStroke(kernel, points.data(), count);
    if (!added && HWKernel_GetStrokeTotal(kernel) != before) Fail("a refused call changed the strokes");
}

void ReadCandidate(_HW_KERNEL *kernel, FuzzInput &in, bool utf8) {
    const HR_UINT32 total = HWKernel_GetCandTotal(kernel);
    const HR_UINT16 index = static_cast<HR_UINT16>(in.U16() % (total + 2));
    const HR_UINT16 capacity = in.Byte();
    Guarded<HR_UINT16> units(capacity);
    Guarded<char> bytes(capacity);
    const HR_INT32 length = utf8 ? HWKernel_GetCandItemUtf8(kernel, index, bytes.data(), capacity)
                                 : HWKernel_GetCandItem(kernel, index, units.data(), capacity);
    units.Check();
    bytes.Check();
    if (length < 0 || (index >= total && length != 0)) Fail("candidate length out of range");
    if (index >= total || capacity == 0 || length >= capacity) return;
    if (utf8 ? bytes[length] != '\0' : units[length] != 0) Fail("candidate text not terminated");
}

void ReadStrokes(_HW_KERNEL *kernel, FuzzInput &in) {
    const HR_INT32 total = HWKernel_GetStrokeTotal(kernel);
    if (total < 0 || total > HW_STROKE_MAX) Fail("stroke total out of range");
    const HR_UINT16 index = in.U16();
    const _HR_POINT16 *points = HWKernel_GetStrokeDataPtr(kernel, index);
    const HR_UINT16 length = HWKernel_GetStrokeDataLen(kernel, index);
    if (index >= total) {
        if (points != nullptr || length != 0) Fail("stroke past the total");
        return;
    }
    if (points == nullptr || length < 2 || points[length - 1].x != HR_MARKER16) Fail("stroke without its marker");
    Guarded<char> log(HW_KERNEL_LOG_SIZE);
    const HR_UINT16 written = HWKernel_Log(kernel, log.data());
    log.Check();
    if (std::strlen(log.data()) != written) Fail("log length");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    _HW_KERNEL *kernel = NewKernel();
    FuzzInput in(data, size);
    while (!in.empty()) {
        switch (in.Byte() % 7) {
            case 0:
                AddStroke(kernel, in);
                break;
            case 6: {  // either mode, or an unknown one that must be refused
                const HR_INT32 mode = in.Byte() % 3;
                if (HWKernel_SetMode(kernel, mode) != (mode != 2)) Fail("mode refusal");
                break;
            }
            case 1:
                HWKernel_DelStroke(kernel);
                break;
            case 2:
                HWKernel_Reset(kernel);
                break;
            case 3:
                ReadCandidate(kernel, in, false);
                break;
            case 4:
                ReadCandidate(kernel, in, true);
                break;
            default:
                ReadStrokes(kernel, in);
                break;
        }
    }
    HWKernel_Terminate(kernel);
    return 0;
}
