// SPDX-License-Identifier: MIT
#include "KernelSession.h"

#include <cstring>
#include <fstream>
#include <iterator>
#include <stdexcept>

#include "kernel/HWLineSearch.h"
#include "penrune/HRData.h"

namespace penrune {

namespace {

// The bytes of a file in 8-byte words (the tail padded with zeros); the
// byte count goes to *size.
std::vector<HR_UINT64> ReadImage(const std::string &path, HR_UINT32 *size) {
    std::ifstream in(path, std::ios::binary);
    if (!in) throw std::runtime_error("cannot open " + path);
    const std::vector<char> bytes((std::istreambuf_iterator<char>(in)), {});
    if (bytes.empty()) throw std::runtime_error("cannot read " + path);
    std::vector<HR_UINT64> words((bytes.size() + sizeof(HR_UINT64) - 1) / sizeof(HR_UINT64), 0);
    std::memcpy(words.data(), bytes.data(), bytes.size());
    *size = static_cast<HR_UINT32>(bytes.size());
    return words;
}

const HR_UINT8 *Bytes(const std::vector<HR_UINT64> &words) { return reinterpret_cast<const HR_UINT8 *>(words.data()); }

}  // namespace

KernelSession::KernelSession(HR_INT32 mode, const std::string &modelPath, const std::string &lexiconPath)
    : block_((HWKernel_GetInstanceSize() + sizeof(HR_UINT64) - 1) / sizeof(HR_UINT64)) {
    const HR_UINT8 *model = HRData_GetDataPtr();
    HR_UINT32 modelSize = static_cast<HR_UINT32>(HRData_GetDataSize()), lexiconSize = 0;
    if (!modelPath.empty()) {
        model_ = ReadImage(modelPath, &modelSize);
        model = Bytes(model_);
    }
    if (!lexiconPath.empty()) lexicon_ = ReadImage(lexiconPath, &lexiconSize);
    kernel_ = HWKernel_InitializeImages(block_.data(), model, modelSize, lexicon_.empty() ? nullptr : Bytes(lexicon_),
                                        lexiconSize);
    if (kernel_ == nullptr) throw std::runtime_error("the kernel refused the model or lexicon image");
    if (!HWKernel_SetMode(kernel_, mode)) throw std::runtime_error("kernel initialisation failed");
}

KernelSession::~KernelSession() { HWKernel_Terminate(kernel_); }

const HR_UINT8 *KernelSession::Model() const { return model_.empty() ? HRData_GetDataPtr() : Bytes(model_); }

bool KernelSession::Add(const KernelStroke &stroke) {
    return HWKernel_AddStroke(kernel_, stroke.data(), static_cast<HR_UINT32>(stroke.size())) != 0;
}

std::string KernelSession::Text(HR_UINT32 index) const {
    HR_UINT16 i = static_cast<HR_UINT16>(index);
    std::string text(64, '\0');
    HR_INT32 needed = HWKernel_GetCandItemUtf8(kernel_, i, &text[0], static_cast<HR_UINT16>(text.size()));
    if (needed >= static_cast<HR_INT32>(text.size())) {
        text.assign(static_cast<size_t>(needed) + 1, '\0');
        HWKernel_GetCandItemUtf8(kernel_, i, &text[0], static_cast<HR_UINT16>(text.size()));
    }
    text.resize(static_cast<size_t>(needed));
    return text;
}

long long KernelSession::Score(HR_UINT32 index) const {
    if (kernel_->mode == HW_MODE_LINE) return HWLine_GetItemScore(&kernel_->line, index);
    return PYCand_GetItem(&kernel_->cand, static_cast<HR_UINT16>(index))->score;
}

}  // namespace penrune
