// SPDX-License-Identifier: MIT
// A kernel instance for the tools: the embedded model and lexicon, or a
// model and lexicon file, in a block aligned for pointers, strokes in,
// candidate texts and scores out.
#ifndef PENRUNE_TOOLS_KERNEL_SESSION_H
#define PENRUNE_TOOLS_KERNEL_SESSION_H

#include <string>
#include <vector>

#include "penrune/HWKernel.h"

namespace penrune {

// One stroke's points ended by a stroke-end marker.
using KernelStroke = std::vector<_HR_POINT16>;

class KernelSession {
public:
    // An empty path takes the embedded model or lexicon. Throws
    // std::runtime_error when a file cannot be read or the kernel refuses it.
    explicit KernelSession(HR_INT32 mode, const std::string &modelPath = "", const std::string &lexiconPath = "");
    ~KernelSession();
    KernelSession(const KernelSession &) = delete;
    KernelSession &operator=(const KernelSession &) = delete;

    bool Add(const KernelStroke &stroke);
    bool Delete() { return HWKernel_DelStroke(kernel_) != 0; }
    void Reset() { HWKernel_Reset(kernel_); }
    HR_UINT32 Total() const { return HWKernel_GetCandTotal(kernel_); }
    std::string Text(HR_UINT32 index) const;
    long long Score(HR_UINT32 index) const;
    _HW_KERNEL *Get() { return kernel_; }
    // The model image the kernel recognises with.
    const HR_UINT8 *Model() const;

private:
    std::vector<HR_UINT64> model_;  // file images, 8-byte aligned
    std::vector<HR_UINT64> lexicon_;
    std::vector<HR_UINT64> block_;
    _HW_KERNEL *kernel_ = nullptr;
};

}  // namespace penrune

#endif  // PENRUNE_TOOLS_KERNEL_SESSION_H
