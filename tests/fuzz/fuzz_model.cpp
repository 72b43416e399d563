// SPDX-License-Identifier: MIT
// Model images: an image HRReco_CheckModel accepts must be safe to
// recognise with. The input is either the image itself (first byte even)
// or changes to the embedded model, whose transform alone exceeds the
// fuzzer's input size.
#include <cstdint>
#include <vector>

#include "FuzzSupport.h"
#include "penrune/HRData.h"
#include "penrune/HRKernel.h"

using penrune_fuzz::FuzzInput;

namespace {

// Recognises a fixed two-stroke character with the most candidates.
void Recognise(const std::uint8_t *image) {
    static std::vector<std::uint64_t> block((HRReco_GetInstanceSize() + 7) / 8);
    _HR_RECO *reco = HRReco_Initialize(block.data(), HRReco_GetInstanceSize(), &image);
    _HR_POINT16 points[] = {{100, 100},  {900, 120},       {HR_MARKER16, 0},          {500, 0},
                            {520, 1000}, {HR_MARKER16, 0}, {HR_MARKER16, HR_MARKER16}};
    HR_UINT16 codes[HR_RECO_MAX_CANDS], distances[HR_RECO_MAX_CANDS];
    HRReco_RecognizeShort(reco, points, sizeof points / sizeof points[0], 127, codes, distances);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    FuzzInput in(data, size);
    std::vector<std::uint8_t> image = in.Byte() % 2 == 0
                                          ? penrune_fuzz::Bytes(data, size)
                                          : penrune_fuzz::Mutate(HRData_GetDataPtr(), HRData_GetDataSize(), in);
    if (!image.empty() && HRReco_CheckModel(image.data(), static_cast<HR_UINT32>(image.size())))
        Recognise(image.data());
    return 0;
}
