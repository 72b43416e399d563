// SPDX-License-Identifier: MIT
#include "KernelSession.h"

#include <stdexcept>

#include "kernel/HWLineSearch.h"

namespace penrune {

KernelSession::KernelSession(HR_INT32 mode)
    : block_((HWKernel_GetInstanceSize() + sizeof(HR_UINT64) - 1) / sizeof(HR_UINT64)) {
    kernel_ = HWKernel_Initialize(block_.data(), 0, nullptr);
    if (kernel_ == nullptr || !HWKernel_SetMode(kernel_, mode))
        throw std::runtime_error("kernel initialisation failed");
}

KernelSession::~KernelSession() { HWKernel_Terminate(kernel_); }

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
