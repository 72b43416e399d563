// SPDX-License-Identifier: MIT
// The one run-time dispatch of the vector kernels.
#include "arch/HAIsa.h"

namespace penrune {
namespace {

bool ProcessorHasAvx2() {
#if HA_HAVE_AVX2
    // The first call may come from a static initialiser that runs before
    // libgcc has read the processor model, so it is read here. The check
    // covers the operating system's support of the 256-bit registers.
    __builtin_cpu_init();
    return __builtin_cpu_supports("avx2");
#else
    return false;
#endif
}

HAIsa BestAvailable() {
    for (int i = kHAIsaCount - 1; i > 0; --i) {
        if (HA_IsaAvailable(static_cast<HAIsa>(i))) return static_cast<HAIsa>(i);
    }
    return HAIsa::kScalar;
}

}  // namespace

bool HA_IsaAvailable(HAIsa isa) {
    switch (isa) {
        case HAIsa::kScalar:
            return true;
        case HAIsa::kVec128:
            return HA_HAVE_VEC128;
        case HAIsa::kAvx2: {
            static const bool avx2 = ProcessorHasAvx2();
            return avx2;
        }
        case HAIsa::kSimd128:
            return HA_HAVE_SIMD128;
    }
    return false;
}

HAIsa HA_Isa() {
    static const HAIsa isa = BestAvailable();
    return isa;
}

const char *HA_IsaName(HAIsa isa) {
    switch (isa) {
        case HAIsa::kScalar:
            return "scalar";
        case HAIsa::kVec128:
            return "vec128";
        case HAIsa::kAvx2:
            return "avx2";
        case HAIsa::kSimd128:
            return "simd128";
    }
    return "unknown";
}

}  // namespace penrune
