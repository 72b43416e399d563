// SPDX-License-Identifier: MIT
// On-line adaptation: a store of the user's samples as compressed features
// and a nearest-sample classifier over it.
#include "penrune/HROnline.h"

#include "penrune/HRFeature.h"
#include "penrune/HRNormalize.h"

namespace {

constexpr int kFeatureDim = HR_FEATURE_DIM;

// Reduces n 16-bit points (converted and normalised in place) to the
// 64-value compressed feature under the context's matrix.
void CompressCharacter(const _HR_ONLINE *context, _HR_POINT16 *points, HR_UINT16 n, HR_INT16 *out) {
    _HR_POINT8 *bytes = reinterpret_cast<_HR_POINT8 *>(points);
    HRFeature_Point16ToPoint8(points, n, bytes);
    HRNormalize_Process(bytes, n);
    HR_INT16 feature[kFeatureDim];
    HRFeature_Extract1024DimFeature(bytes, n, feature);
    HRFeature_Transform(feature, kFeatureDim, out, HR_ONLINE_DIM, context->matrix);
}

// Samples that may be read: the count, kept within the store's arrays even
// if the host has changed the store's fields.
int StoredCount(const _HR_ONLINE_STORE *store) {
    const int limit = store->capacity < HR_ONLINE_CAPACITY ? store->capacity : HR_ONLINE_CAPACITY;
    if (store->count < 0) return 0;
    return store->count < limit ? store->count : limit;
}

// Sum of the per-dimension costs, stopped as soon as it is no longer below
// best; the 8-bit values keep every index within the 511-entry table.
HR_UINT32 SampleCost(const HR_UINT16 *table, const HR_INT16 *stored, const HR_INT16 *query, HR_UINT32 best,
                     bool *complete) {
    HR_UINT32 sum = 0;
    int d = 0;
    for (; d < HR_ONLINE_DIM && sum < best; ++d)
        sum += table[(stored[d] & 0xFF) - (query[d] & 0xFF) + HR_ONLINE_COST_OFFSET];
    *complete = d == HR_ONLINE_DIM;
    return sum;
}

}  // namespace

extern "C" {

void HROnline_BuildCostTable(HR_UINT16 *table) {
    for (int i = 0; i < HR_ONLINE_COST_TABLE_SIZE; ++i) {
        const int difference = i - HR_ONLINE_COST_OFFSET;
        table[i] = static_cast<HR_UINT16>(difference * difference);
    }
}

int HROnline_Initialize(_HR_ONLINE *context, const HR_INT16 *matrix, const HR_UINT16 *costTable,
                        _HR_ONLINE_STORE *store) {
    context->store = store;
    context->matrix = matrix;
    context->costTable = costTable;
    store->capacity = HR_ONLINE_CAPACITY;
    store->count = 0;
    return 1;
}

int HROnline_AddSample(_HR_ONLINE *context, HR_UINT32 code, _HR_POINT16 *points, HR_UINT16 n) {
    _HR_ONLINE_STORE *store = context->store;
    const int count = store->count;
    if (count < 0 || count >= store->capacity || count >= HR_ONLINE_CAPACITY) return 0;
    store->codes[count] = static_cast<HR_UINT16>(code);
    CompressCharacter(context, points, n, store->features[count]);
    store->count = count + 1;
    return 1;
}

int HROnline_Recognize(_HR_ONLINE *context, _HR_POINT16 *points, HR_UINT16 n, int, HR_UINT16 *codeOut,
                       HR_UINT16 *distOut) {
    const _HR_ONLINE_STORE *store = context->store;
    const int count = StoredCount(store);
    if (count == 0) return 0;
    HR_INT16 query[HR_ONLINE_DIM];
    CompressCharacter(context, points, n, query);
    HR_UINT32 best = HR_ONLINE_NO_MATCH;
    HR_UINT16 result = 0;
    for (int s = 0; s < count; ++s) {
        bool complete = false;
        const HR_UINT32 sum = SampleCost(context->costTable, store->features[s], query, best, &complete);
        if (complete && sum < best) {
            best = sum;
            result = store->codes[s];
        }
    }
    if (result == 0) return 0;
    *codeOut = result;
    if (distOut != nullptr) *distOut = static_cast<HR_UINT16>(best);
    return 1;
}

void HROnline_Terminate(void) {}

}  // extern "C"
