/* SPDX-License-Identifier: MIT */
/* Version of libpenrune. The build reads PENRUNE_VERSION_STRING from this
 * header; HWKernel_GetVersion returns the version of the library actually
 * loaded, which can differ from the header a host was compiled with. */
#ifndef PENRUNE_VERSION_H
#define PENRUNE_VERSION_H

#define PENRUNE_VERSION_MAJOR 0
#define PENRUNE_VERSION_MINOR 1
#define PENRUNE_VERSION_PATCH 0
#define PENRUNE_VERSION_STRING "0.1.0"

#endif /* PENRUNE_VERSION_H */
