// SPDX-License-Identifier: MIT
// The instruction sets whose kernel versions can run on this machine, for
// the tests that hold every version to the scalar one. Header-only: the
// WebAssembly run of the kernel tests (web/test-kernels.sh) includes it
// without the rest of the test support.
#ifndef PENRUNE_TESTS_ARCHISAS_H
#define PENRUNE_TESTS_ARCHISAS_H

#include <vector>

#include "arch/HAIsa.h"

namespace penrune::test {

inline std::vector<HAIsa> AvailableIsas() {
    std::vector<HAIsa> isas;
    for (int i = 0; i < kHAIsaCount; ++i) {
        if (HA_IsaAvailable(static_cast<HAIsa>(i))) isas.push_back(static_cast<HAIsa>(i));
    }
    return isas;
}

}  // namespace penrune::test

#endif  // PENRUNE_TESTS_ARCHISAS_H
