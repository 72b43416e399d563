/* SPDX-License-Identifier: MIT */
/* The instruction sets the vector kernels of src/arch are written for, and
 * the one choice of the set they use on this machine. Internal to the
 * library; it depends on nothing but the integer types.
 *
 * Every kernel has a scalar version, the reference; a vector version gives
 * the same bits for every input its callers can pass, and the equivalence
 * tests hold each one to that. */
#ifndef PENRUNE_ARCH_HAISA_H
#define PENRUNE_ARCH_HAISA_H

/* Which vector versions this compiler builds: 16-byte vectors of the
 * compiler's vector extension (SSE2 on x86-64, NEON on ARM), AVX2 (compiled
 * per function and used only where the processor has it), and WebAssembly
 * SIMD when the build targets it (-msimd128), which a wasm engine either has
 * or refuses to load the module. */
#if defined(__GNUC__)
#define HA_HAVE_VEC128 1
#else
#define HA_HAVE_VEC128 0
#endif
#if defined(__GNUC__) && defined(__x86_64__)
#define HA_HAVE_AVX2 1
#else
#define HA_HAVE_AVX2 0
#endif
#if defined(__wasm_simd128__)
#define HA_HAVE_SIMD128 1
#else
#define HA_HAVE_SIMD128 0
#endif

namespace penrune {

/* In the order of preference: a later set is faster where it can run. */
enum class HAIsa : int { kScalar, kVec128, kAvx2, kSimd128 };
constexpr int kHAIsaCount = 4;

/* Whether the versions for isa are built and can run on this processor. */
bool HA_IsaAvailable(HAIsa isa);

/* The set the kernels use here: the last available one. Chosen at the
 * first call, once for the process (a function-local static, so the choice
 * is thread-safe and allocates nothing). */
HAIsa HA_Isa();

/* "scalar", "vec128", "avx2" or "simd128". */
const char *HA_IsaName(HAIsa isa);

}  // namespace penrune

#endif /* PENRUNE_ARCH_HAISA_H */
