// SPDX-License-Identifier: MIT
// The handle API: any points (negative lengths and lengths past the
// 128-point window included), any wanted count, and output buffers of any
// capacity with guard bytes past it.
#include <algorithm>
#include <cstring>
#include <vector>

#include "FuzzSupport.h"
#include "penrune/HRKernel.h"

using penrune_fuzz::Fail;
using penrune_fuzz::FuzzInput;
using penrune_fuzz::Guarded;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    static _HR_RECO *handle = HRHan_New();
    FuzzInput in(data, size);
    const int wanted = static_cast<std::int8_t>(in.Byte());
    const HR_INT16 capacity = static_cast<HR_INT16>(in.U16() % 1024 - 16);
    std::vector<HR_INT16> points(in.remaining() / 2);
    for (HR_INT16 &v : points) v = static_cast<HR_INT16>(in.U16());
    // A negative length is the caller's to give; a positive one must be backed by points.
    const HR_INT16 length = static_cast<HR_INT16>(points.empty() ? -static_cast<int>(size % 32768)
                                                                 : std::min<std::size_t>(points.size(), 32767));
    Guarded<char> out(capacity > 0 ? capacity : 0);
    const int written = HRHan_Recognize(handle, points.data(), length, wanted, out.data(), capacity);
    out.Check();
    if (capacity <= 0) {
        if (written != 0) Fail("text written without room");
        return 0;
    }
    if (written < 0 || written >= capacity || std::strlen(out.data()) != static_cast<std::size_t>(written))
        Fail("text length");
    return 0;
}
