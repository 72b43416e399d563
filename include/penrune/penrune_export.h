/* SPDX-License-Identifier: MIT */
/* Export control for libpenrune.
 *
 * The library is built with hidden visibility; only declarations marked
 * PENRUNE_API are part of the shared object's interface. */
#ifndef PENRUNE_EXPORT_H
#define PENRUNE_EXPORT_H

#if defined(__GNUC__) || defined(__clang__)
#define PENRUNE_API __attribute__((visibility("default")))
#else
#define PENRUNE_API
#endif

#ifdef __cplusplus
#define PENRUNE_EXTERN_C_BEGIN extern "C" {
#define PENRUNE_EXTERN_C_END }
#else
#define PENRUNE_EXTERN_C_BEGIN
#define PENRUNE_EXTERN_C_END
#endif

#endif /* PENRUNE_EXPORT_H */
