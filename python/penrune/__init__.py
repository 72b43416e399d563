# SPDX-License-Identifier: MIT
"""Python binding of libpenrune: handwritten Chinese from pen strokes.

    import penrune
    penrune.recognize([[(10, 10), (200, 10)], [(100, 0), (100, 300)]])

A stroke is a list of (x, y) points with integer coordinates 0..65534 in any
unit (the kernel normalises the size); a line of writing is a list of
strokes in writing order. Candidates come best first.

The library is loaded through cffi in ABI mode, so nothing is compiled at
install. It is found, in this order, at the path in the environment variable
PENRUNE_LIBRARY, in the build/ directory of the source tree this package
sits in, and through the system loader path.
"""
import operator
import os
import weakref
from pathlib import Path

import cffi

__all__ = ["CLASSIC", "LINE", "Kernel", "library_version", "recognize"]

# Recognition modes (HW_MODE_CLASSIC, HW_MODE_LINE of HWKernel.h).
CLASSIC = 0
LINE = 1

# Largest coordinate of a point; 0xFFFF marks stroke ends.
MAX_COORDINATE = 65534
# HW_POINT_LIMIT and HW_STROKE_MAX of HWKernel.h: a stroke is refused when
# its points, its end marker, the points held and the end-of-data point
# exceed the limit, or when the stroke table is full.
POINT_LIMIT = 0x3FFF
STROKE_MAX = 1024

_MARKER = 0xFFFF
# Room for one candidate in UTF-8; longer ones are asked for again.
_TEXT_SIZE = 256

_ffi = cffi.FFI()
_ffi.cdef("""
typedef struct { uint16_t x; uint16_t y; } _HR_POINT16;
typedef struct _HW_KERNEL _HW_KERNEL;
uint32_t HWKernel_GetInstanceSize(void);
_HW_KERNEL *HWKernel_Initialize(void *block, uint32_t reserved, const uint8_t *const *model);
int HWKernel_SetMode(_HW_KERNEL *kernel, int32_t mode);
void HWKernel_Reset(_HW_KERNEL *kernel);
void HWKernel_Terminate(_HW_KERNEL *kernel);
int HWKernel_AddStroke(_HW_KERNEL *kernel, const _HR_POINT16 *points, uint32_t count);
int HWKernel_DelStroke(_HW_KERNEL *kernel);
int32_t HWKernel_GetStrokeTotal(const _HW_KERNEL *kernel);
uint16_t HWKernel_GetStrokeDataLen(const _HW_KERNEL *kernel, uint16_t index);
uint32_t HWKernel_GetCandTotal(const _HW_KERNEL *kernel);
int32_t HWKernel_GetCandItemUtf8(const _HW_KERNEL *kernel, uint16_t index, char *buffer, uint16_t capacity);
const char *HWKernel_GetVersion(void);
""")


def _library_candidates():
    """Paths or names to try for libpenrune, in order of preference."""
    path = os.environ.get("PENRUNE_LIBRARY")
    if path:
        return [path]
    in_tree = Path(__file__).resolve().parents[2] / "build" / "libpenrune.so"
    names = [str(in_tree)] if in_tree.exists() else []
    return names + ["libpenrune.so", "libpenrune.so.0"]


def _load():
    errors = []
    for name in _library_candidates():
        try:
            return _ffi.dlopen(name)
        except OSError as error:
            errors.append(f"{name}: {error}")
    raise ImportError("libpenrune not found (set PENRUNE_LIBRARY to the path of libpenrune.so): "
                      + "; ".join(errors))


_lib = _load()


def library_version():
    """Version string of the loaded libpenrune."""
    return _ffi.string(_lib.HWKernel_GetVersion()).decode()


def _coordinate(value, where):
    if isinstance(value, bool):
        raise ValueError(f"{where}: coordinates must be integers, not {value!r}")
    try:
        number = operator.index(value)
    except TypeError:
        raise ValueError(f"{where}: coordinates must be integers, not {value!r}") from None
    if not 0 <= number <= MAX_COORDINATE:
        raise ValueError(f"{where}: coordinate {number} outside 0..{MAX_COORDINATE}")
    return number


def _points(stroke, held):
    """The stroke as a _HR_POINT16 array ended by its marker, checked
    against the points the kernel already holds."""
    if isinstance(stroke, (str, bytes)) or not hasattr(stroke, "__len__"):
        raise ValueError(f"a stroke must be a list of (x, y) points, not {stroke!r}")
    if len(stroke) == 0:
        raise ValueError("empty stroke: a stroke needs at least one point")
    room = POINT_LIMIT - held - 2
    if len(stroke) > room:
        raise ValueError(f"stroke of {len(stroke)} points does not fit: the line has room for "
                         f"{max(room, 0)} more points (each stroke takes one more for its end)")
    points = _ffi.new("_HR_POINT16[]", len(stroke) + 1)
    for i, point in enumerate(stroke):
        where = f"point {i + 1}"
        if isinstance(point, (str, bytes)) or not hasattr(point, "__len__") or len(point) != 2:
            raise ValueError(f"{where}: expected an (x, y) pair, not {point!r}")
        points[i].x = _coordinate(point[0], where)
        points[i].y = _coordinate(point[1], where)
    points[len(stroke)].x = _MARKER
    points[len(stroke)].y = 0
    return points


class Kernel:
    """One writing area: strokes go in one at a time, and after each call
    candidates() gives the ranked readings of everything written so far.

    A Kernel is used by one thread at a time; separate Kernels may run in
    parallel threads.
    """

    def __init__(self, mode=LINE):
        size = _lib.HWKernel_GetInstanceSize()
        # uint64_t cells align the instance block for pointers.
        self._block = _ffi.new("uint64_t[]", (size + 7) // 8)
        self._kernel = _lib.HWKernel_Initialize(self._block, 0, _ffi.NULL)
        if self._kernel == _ffi.NULL:
            raise RuntimeError("kernel initialisation failed")
        # The finalizer holds the block until the instance is ended.
        weakref.finalize(self, lambda kernel, block: _lib.HWKernel_Terminate(kernel), self._kernel, self._block)
        self.mode = mode

    @property
    def mode(self):
        """CLASSIC or LINE. Setting it forgets every stroke held."""
        return self._mode

    @mode.setter
    def mode(self, mode):
        if type(mode) is not int or mode not in (CLASSIC, LINE):
            raise ValueError(f"unknown mode {mode!r}: use penrune.CLASSIC or penrune.LINE")
        if not _lib.HWKernel_SetMode(self._kernel, mode):
            raise RuntimeError(f"the kernel refused mode {mode}")
        self._mode = mode

    @property
    def stroke_count(self):
        """Strokes held."""
        return _lib.HWKernel_GetStrokeTotal(self._kernel)

    def add_stroke(self, stroke):
        """Adds one stroke, a list of (x, y) points, and recognises again.
        Raises ValueError, leaving the kernel unchanged, for a bad stroke or
        one that does not fit."""
        if self.stroke_count >= STROKE_MAX:
            raise ValueError(f"the kernel holds at most {STROKE_MAX} strokes")
        held = sum(_lib.HWKernel_GetStrokeDataLen(self._kernel, i) for i in range(self.stroke_count))
        points = _points(stroke, held)
        if not _lib.HWKernel_AddStroke(self._kernel, points, len(points)):
            raise ValueError("the kernel refused the stroke")

    def undo(self):
        """Removes the newest stroke and brings back the previous candidates.
        Returns False when no stroke is held."""
        return _lib.HWKernel_DelStroke(self._kernel) != 0

    def reset(self):
        """Forgets every stroke and candidate."""
        _lib.HWKernel_Reset(self._kernel)

    def candidates(self):
        """The current candidates, best first, as a list of str."""
        return [self._text(i) for i in range(_lib.HWKernel_GetCandTotal(self._kernel))]

    def _text(self, index):
        buffer = _ffi.new("char[]", _TEXT_SIZE)
        needed = _lib.HWKernel_GetCandItemUtf8(self._kernel, index, buffer, _TEXT_SIZE)
        if needed >= _TEXT_SIZE:
            buffer = _ffi.new("char[]", needed + 1)
            _lib.HWKernel_GetCandItemUtf8(self._kernel, index, buffer, needed + 1)
        return _ffi.string(buffer).decode("utf-8")


def recognize(strokes, mode=LINE):
    """Ranked candidates, best first, for a line of strokes in writing order."""
    if isinstance(strokes, (str, bytes)) or not hasattr(strokes, "__iter__"):
        raise ValueError(f"strokes must be a list of strokes, not {strokes!r}")
    kernel = Kernel(mode)
    for number, stroke in enumerate(strokes, 1):
        try:
            kernel.add_stroke(stroke)
        except ValueError as error:
            raise ValueError(f"stroke {number}: {error}") from None
    return kernel.candidates()
