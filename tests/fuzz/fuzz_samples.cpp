// SPDX-License-Identifier: MIT
// Training sample files, through both of their readers: the conversion to
// original features and the evaluation's recognition of every record.
#include <algorithm>
#include <string>
#include <vector>

#include "FuzzSupport.h"
#include "train/HTCode.h"
#include "train/HTEval.h"
#include "train/HTFeat.h"
#include "penrune/HRKernel.h"

using penrune_fuzz::Fail;

extern "C" int LLVMFuzzerInitialize(int *, char ***) {
    std::fill(g_bCodeExist, g_bCodeExist + HT_FEAT_CODE_SLOTS, 1);  // every code is wanted
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    static std::vector<std::uint64_t> block((HRReco_GetInstanceSize() + 7) / 8);
    static _HR_RECO *reco = HRReco_Initialize(block.data(), HRReco_GetInstanceSize(), nullptr);
    const std::string samples = penrune_fuzz::WriteScratch("samples.dat", data, size);
    const std::string ori = penrune_fuzz::ScratchPath("samples.ori");
    if (HTFeat_OrigFeatureByFile(samples.c_str(), ori.c_str()) &&
        penrune_fuzz::ReadWhole(ori).size() % HT_FEAT_ORI_RECORD != 0)
        Fail("a partial .ori record");
    HTEval_ResetCounters();
    HTTest_RecoFile(samples.c_str(), reco);
    return 0;
}
