// SPDX-License-Identifier: MIT
// On-line adaptation: samples and queries of any points, on an empty store
// or on a full one.
#include <vector>

#include "FuzzSupport.h"
#include "penrune/HRKernel.h"
#include "penrune/HROnline.h"

using penrune_fuzz::Fail;
using penrune_fuzz::FuzzInput;

namespace {

// Points of one sample or query: a count, then raw 16-bit values.
std::vector<_HR_POINT16> Points(FuzzInput &in) {
    std::vector<_HR_POINT16> points(in.Byte());
    for (_HR_POINT16 &p : points) p = _HR_POINT16{in.U16(), in.U16()};
    return points;
}

_HR_RECO *g_reco;
HR_UINT16 g_table[HR_ONLINE_COST_TABLE_SIZE];
_HR_ONLINE_STORE g_store, g_full;

}  // namespace

// Fills a store to its capacity through the API once; inputs may start
// from it to reach the full store without a thousand calls each.
extern "C" int LLVMFuzzerInitialize(int *, char ***) {
    g_reco = HRHan_New();
    HROnline_BuildCostTable(g_table);
    _HR_ONLINE context;
    HROnline_Initialize(&context, g_reco->matrix, g_table, &g_full);
    for (int i = 0; i < HR_ONLINE_CAPACITY; ++i) {
        _HR_POINT16 stroke[] = {
            {static_cast<HR_UINT16>(64 * i), 0}, {1000, static_cast<HR_UINT16>(i)}, {HR_MARKER16, 0}};
        if (!HROnline_AddSample(&context, static_cast<HR_UINT32>(i), stroke, 3)) Fail("store full too early");
    }
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    _HR_ONLINE context;
    HROnline_Initialize(&context, g_reco->matrix, g_table, &g_store);
    FuzzInput in(data, size);
    if (in.Byte() % 2 == 1) g_store = g_full;
    while (!in.empty()) {
        const std::uint8_t op = in.Byte();
        std::vector<_HR_POINT16> points = Points(in);
        const HR_UINT16 n = static_cast<HR_UINT16>(points.size());
        const HR_INT32 before = g_store.count;
        if (op % 2 == 0) {
            HR_UINT16 code = 0xABCD, distance = 0xABCD;
            const int found = HROnline_Recognize(&context, points.data(), n, 0, &code, &distance);
            if (!found && (code != 0xABCD || distance != 0xABCD)) Fail("a miss wrote its outputs");
            if (found && (code == 0 || distance >= HR_ONLINE_NO_MATCH)) Fail("a match above the limit");
        } else {
            const int added = HROnline_AddSample(&context, in.U32(), points.data(), n);
            if (g_store.count != before + added || g_store.count > HR_ONLINE_CAPACITY) Fail("store count");
        }
    }
    return 0;
}
