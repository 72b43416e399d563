/* 8-direction features of one character: cell densities on an 8 x 8 grid
 * along the pen-down strokes and along the simplified pen path, compressed by
 * a square root, and their projection to 64 bytes. Integer arithmetic only,
 * so training and recognition agree on every platform.
 *
 * Speed: a character is several hundred short segments, so the per-segment
 * work is kept to table lookups (angles of small steps and the weights of
 * every angle, both built at compile time from the same functions that
 * serve the general case) and one 8-slot vector addition per sample into a
 * grid of quarter cells, which is spread over the feature cells once per
 * plane. */
#include "HRFeature.h"

#include <string.h>

#include "HRNormalize.h"
#include "HRTable.h"
#include "feature/HRFrame.h"
#include "feature/HRSimd.h"
#include "feature/HRTableData.h"

namespace {

/* The 8 direction slots of one cell, added as one vector; the compiler lowers
 * it to scalar code where the target has no SIMD. */
typedef HR_UINT16 SlotVector __attribute__((vector_size(HR_FEATURE_SLOTS * sizeof(HR_UINT16))));

constexpr HR_UINT8 kCos[] = {HR_COS_TABLE_DATA};
constexpr HR_UINT16 kTan[] = {HR_TAN_TABLE_DATA};
static_assert(sizeof kCos / sizeof kCos[0] == HR_COS_TABLE_SIZE, "cosine table size");
static_assert(sizeof kTan / sizeof kTan[0] == HR_TAN_TABLE_SIZE, "tangent table size");

/* 8-bit points range over 0..254 (255 marks a marker). */
constexpr HR_UINT32 kPoint8Scale = 255;
/* Degrees of the direction slots, in slot order. */
constexpr HR_INT32 kSlotDegrees[HR_FEATURE_SLOTS] = {0, 225, 270, 315, 180, 45, 90, 135};
constexpr HR_INT32 kFullCircle = 360;
/* A direction feeds the slots within this many degrees of it. */
constexpr HR_INT32 kSlotReach = 45;
/* Angle of a point to itself. */
constexpr HR_UINT16 kAngleOfSamePoint = 315;
/* Fixed-point unit of slopes and tangents. */
constexpr HR_INT32 kSlopeUnit = 128;
/* Slope of a segment along an axis, and of a point to itself. */
constexpr HR_INT16 kAxisSlope = 32000;
constexpr HR_INT16 kSamePointSlope = kSlopeUnit;
/* Last tangent index the angle search may return: 45 +- 43 gives 2..88. */
constexpr int kLastTanIndex = HR_TAN_TABLE_SIZE - 2;
/* Steps of normalised points (0..63) are below this: their angles are
 * looked up. */
constexpr int kSmallStep = HR_NORMALIZE_SIZE;
/* Cell factors of a sample: own cell, side cells, diagonal cell. */
constexpr HR_UINT16 kOwnCellFactor = 32;
constexpr HR_UINT16 kSideCellFactor = 16;
constexpr HR_UINT16 kDiagonalCellFactor = 8;
constexpr int kFrame = HR_FEATURE_GRID * HR_FEATURE_CELL;
/* In the pen path, both legs of a corner are kept when each is longer than
 * this city-block distance; otherwise the corner is cut by the chord. */
constexpr int kPathCornerDistance = 7;
/* Samples taken within one segment never exceed the scratch: the longest
 * span of 8-bit coordinates sampled at the smallest step, plus the end
 * point. A step beyond the span gives one sample like any larger one. */
constexpr HR_INT32 kMinStep = 1;
constexpr HR_INT32 kMaxSpan = 255;
constexpr HR_INT32 kMaxStep = kMaxSpan + 1;
static_assert((kMaxSpan + kMinStep - 1) / kMinStep + 1 <= HR_FEATURE_SCRATCH_POINTS,
              "scratch too small for a segment");

bool IsMarker(_HR_POINT8 p) { return p.x == HR_MARKER8; }

constexpr int Abs(int v) { return v < 0 ? -v : v; }

/* Largest i in 0..kLastTanIndex with kTan[i] < t, or 0 if none, by
 * bisection over the increasing table. */
constexpr int TanIndexBelow(HR_UINT32 t) {
    int lo = 0, hi = kLastTanIndex + 1; /* entries below lo are < t; from hi on, >= t */
    while (lo < hi) {
        const int mid = (lo + hi) / 2;
        if (kTan[mid] < t) {
            lo = mid + 1;
        } else {
            hi = mid;
        }
    }
    return lo > 0 ? lo - 1 : 0;
}

/* Ratio long/short in slope units; a zero short side is steeper than any
 * table entry. */
constexpr HR_UINT32 TangentOf(HR_UINT32 longer, HR_UINT32 shorter) {
    return shorter == 0 ? 0xFFFFFFFFu : longer * kSlopeUnit / shorter;
}

constexpr int ComputeQuadrantAngle(HR_UINT32 dx, HR_UINT32 dy) {
    if (dx == dy) return 45;
    if (dy > dx) return 45 + TanIndexBelow(TangentOf(dy, dx));
    return 45 - TanIndexBelow(TangentOf(dx, dy));
}

struct QuadrantAngleTable {
    HR_UINT8 angle[kSmallStep][kSmallStep]; /* [dx][dy] */
};

constexpr QuadrantAngleTable MakeQuadrantAngleTable() {
    QuadrantAngleTable table{};
    for (int dx = 0; dx < kSmallStep; ++dx) {
        for (int dy = 0; dy < kSmallStep; ++dy) {
            table.angle[dx][dy] = static_cast<HR_UINT8>(ComputeQuadrantAngle(dx, dy));
        }
    }
    return table;
}

constexpr QuadrantAngleTable kQuadrantAngles = MakeQuadrantAngleTable();

inline int QuadrantAngle(int dx, int dy) {
    if (dx < kSmallStep && dy < kSmallStep) return kQuadrantAngles.angle[dx][dy];
    return ComputeQuadrantAngle(static_cast<HR_UINT32>(dx), static_cast<HR_UINT32>(dy));
}

/* The direction of a step as base + sign * (first-quadrant angle), by the
 * signs of dx and dy (index 3 * (sign dx + 1) + sign dy + 1; y grows
 * downward). Steps along an axis ignore the quadrant angle. Looking the
 * case up instead of branching keeps the random directions of a character
 * from defeating branch prediction. */
struct AngleCase {
    HR_INT16 base;
    HR_INT16 sign;
};
// clang-format off
constexpr AngleCase kAngleCases[9] = {
    {180, -1}, {180, 0},               {180, 1},          /* left: up, level, down */
    {90, 0},   {kAngleOfSamePoint, 0}, {270, 0},          /* vertical: up, none, down */
    {0, 1},    {0, 0},                 {kFullCircle, -1}, /* right: up, level, down */
};
// clang-format on

constexpr int Sign(int v) { return (v > 0) - (v < 0); }

HR_UINT16 TwoPointAngle(_HR_POINT8 p, _HR_POINT8 q) {
    const int dx = q.x - p.x, dy = q.y - p.y;
    const AngleCase c = kAngleCases[3 * (Sign(dx) + 1) + Sign(dy) + 1];
    return static_cast<HR_UINT16>(c.base + c.sign * QuadrantAngle(Abs(dx), Abs(dy)));
}

/* A step seen along its major axis (y when steeper than 45 degrees, else
 * x): the signed extents along both axes. */
struct MajorStep {
    bool yMajor;
    int major;
    int minor;
};

MajorStep MajorStepOf(_HR_POINT8 p, _HR_POINT8 q) {
    const int dx = q.x - p.x, dy = q.y - p.y;
    const bool yMajor = Abs(dy) > Abs(dx);
    return {yMajor, yMajor ? dy : dx, yMajor ? dx : dy};
}

/* Major over minor extent in slope units, truncated toward zero; +-32000
 * (the sign of the major extent) along an axis, 128 for no step at all. */
HR_INT16 SlopeOf(const MajorStep &m) {
    const int ratio = m.major * kSlopeUnit / (m.minor != 0 ? m.minor : 1);
    const int axis = m.major > 0 ? kAxisSlope : m.major < 0 ? -kAxisSlope : kSamePointSlope;
    return static_cast<HR_INT16>(m.minor != 0 ? ratio : axis);
}

/* Weight of a slot at distance d degrees from the direction. */
constexpr HR_UINT16 SlotWeight(HR_INT32 d) {
    return d >= 0 && d <= kSlotReach ? kCos[(3 * d) / 2] : 0;
}

/* Distance of the 0 degree slot: measured from 0 below 45 and from 360
 * above 315; between them the slot is out of reach. */
constexpr HR_INT32 DistanceToSlotZero(HR_INT32 angle) {
    if (angle <= kSlotReach) return angle;
    if (angle >= kFullCircle - kSlotReach) return kFullCircle - angle;
    return -1;
}

struct SlotWeights {
    HR_UINT16 w[HR_FEATURE_SLOTS];
};

constexpr SlotWeights ComputeDirectionWeights(HR_INT32 angle) {
    SlotWeights weights{};
    weights.w[0] = SlotWeight(DistanceToSlotZero(angle));
    for (int k = 1; k < HR_FEATURE_SLOTS; ++k) {
        weights.w[k] = SlotWeight(Abs(angle - kSlotDegrees[k]));
    }
    return weights;
}

struct DirectionWeightTable {
    SlotWeights byAngle[kFullCircle];
};

constexpr DirectionWeightTable MakeDirectionWeightTable() {
    DirectionWeightTable table{};
    for (int angle = 0; angle < kFullCircle; ++angle) {
        table.byAngle[angle] = ComputeDirectionWeights(angle);
    }
    return table;
}

constexpr DirectionWeightTable kDirectionWeights = MakeDirectionWeightTable();

SlotVector LoadSlots(const HR_UINT16 *slots) {
    SlotVector v;
    memcpy(&v, slots, sizeof v);
    return v;
}

SlotVector DirectionWeights(HR_UINT16 angle) {
    if (angle < kFullCircle) return LoadSlots(kDirectionWeights.byAngle[angle].w);
    return LoadSlots(ComputeDirectionWeights(angle).w);
}

/* Samples are first summed per quarter cell: which cells a sample reaches,
 * and with which factor, depends only on the quarter of its cell it lies in
 * (and on the row, for the lower-left rule). Spreading the quarter sums once
 * per plane gives the same 16-bit wrapped totals as spreading every sample,
 * since factor * sum and the sum of factor * weight agree modulo 65536. */
constexpr int kQuarterGrid = 2 * HR_FEATURE_GRID;
constexpr int kQuarterShift = 2; /* a quarter cell is 4 x 4 points */

struct QuarterGrid {
    HR_UINT16 slots[kQuarterGrid * kQuarterGrid * HR_FEATURE_SLOTS];
};

void AddSlots(HR_UINT16 *slots, SlotVector w) {
    const SlotVector sum = LoadSlots(slots) + w;
    memcpy(slots, &sum, sizeof sum);
}

void AccumulateSample(_HR_POINT8 s, SlotVector weights, QuarterGrid &grid) {
    if (s.x >= kFrame || s.y >= kFrame) return;
    const int quarter = (s.y >> kQuarterShift) * kQuarterGrid + (s.x >> kQuarterShift);
    AddSlots(grid.slots + quarter * HR_FEATURE_SLOTS, weights);
}

/* The plane accumulates with 16-bit wrapping additions. */
void AddCell(HR_INT16 *plane, int row, int column, SlotVector w) {
    HR_INT16 *cell = plane + (row * HR_FEATURE_GRID + column) * HR_FEATURE_SLOTS;
    AddSlots(reinterpret_cast<HR_UINT16 *>(cell), w);
}

bool OnGrid(int index) { return index >= 0 && index < HR_FEATURE_GRID; }

/* Spreads the sum of one quarter cell over its own cell (factor 32), the
 * nearest side column and side row cells (16) and the diagonal cell between
 * them (8), as far as they lie on the grid. A lower-left quarter reaches the
 * row below only in the upper half of the grid: the trained prototypes were
 * made with that rule. */
void SpreadQuarter(HR_INT16 *plane, int quarterRow, int quarterColumn, SlotVector sum) {
    const int row = quarterRow / 2, column = quarterColumn / 2;
    const bool left = quarterColumn % 2 == 0, upper = quarterRow % 2 == 0;
    const int sideColumn = left ? column - 1 : column + 1;
    const int sideRow = upper ? row - 1 : row + 1;
    const bool columnOk = OnGrid(sideColumn);
    const bool lowerLeftQuirk = !upper && left && column >= 1;
    const bool rowOk = lowerLeftQuirk ? row <= HR_FEATURE_GRID / 2 - 1 : OnGrid(sideRow);
    AddCell(plane, row, column, sum * kOwnCellFactor);
    if (columnOk) AddCell(plane, row, sideColumn, sum * kSideCellFactor);
    if (!rowOk) return;
    AddCell(plane, sideRow, column, sum * kSideCellFactor);
    if (columnOk) AddCell(plane, sideRow, sideColumn, sum * kDiagonalCellFactor);
}

void SpreadQuarters(const QuarterGrid &grid, HR_INT16 *plane) {
    const HR_UINT16 *sum = grid.slots;
    for (int qr = 0; qr < kQuarterGrid; ++qr) {
        for (int qc = 0; qc < kQuarterGrid; ++qc, sum += HR_FEATURE_SLOTS) {
            SpreadQuarter(plane, qr, qc, LoadSlots(sum));
        }
    }
}

/* Where the samples of one segment go: the scratch list and, with the
 * segment's direction weights, the quarter grid. */
struct SampleSink {
    _HR_POINT8 *scratch;
    int count;
    SlotVector weights;
    QuarterGrid &grid;

    void Emit(_HR_POINT8 s) {
        scratch[count++] = s;
        AccumulateSample(s, weights, grid);
    }
};

/* Samples p -> q every step units along the major axis, p included and q
 * excluded (at most ceil(kMaxSpan / step) samples). Most segments of a
 * character have one sample, p itself, and need no division. */
void Interpolate(_HR_POINT8 p, _HR_POINT8 q, HR_INT32 step, SampleSink &sink) {
    const MajorStep m = MajorStepOf(p, q);
    const int span = Abs(m.major);
    if (span == 0) return;
    sink.Emit(p);
    if (span <= step) return;
    const int major0 = m.yMajor ? p.y : p.x, minor0 = m.yMajor ? p.x : p.y;
    const int delta = m.major > 0 ? step : -step;
    const int slope = SlopeOf(m);
    for (int offset = delta; Abs(offset) < span; offset += delta) {
        const auto major = static_cast<HR_UINT8>(major0 + offset);
        const auto minor = static_cast<HR_UINT8>(minor0 + offset * kSlopeUnit / slope);
        sink.Emit(m.yMajor ? _HR_POINT8{minor, major} : _HR_POINT8{major, minor});
    }
}

/* Samples segment p -> q (and q itself when includeEnd) into scratch and,
 * weighted by the segment's direction, into the grid. */
void ExtractSegment(_HR_POINT8 p, _HR_POINT8 q, bool includeEnd, HR_INT32 step, _HR_POINT8 *scratch,
                    QuarterGrid &grid) {
    SampleSink sink{scratch, 0, DirectionWeights(TwoPointAngle(p, q)), grid};
    Interpolate(p, q, step, sink);
    if (includeEnd) sink.Emit(q);
}

int CityBlock(_HR_POINT8 a, _HR_POINT8 b) { return Abs(a.x - b.x) + Abs(a.y - b.y); }

/* Plane 0: every segment of a stroke; the last one of a stroke includes
 * its end point. */
void ExtractStrokes(const _HR_POINT8 *points, HR_UINT16 n, _HR_POINT8 *scratch, QuarterGrid &grid) {
    for (int i = 0; i + 2 < n; ++i) {
        if (IsMarker(points[i]) || IsMarker(points[i + 1])) continue;
        ExtractSegment(points[i], points[i + 1], IsMarker(points[i + 2]), HR_FEATURE_STEP, scratch,
                       grid);
    }
}

/* Plane 1: the pen path through all points, pen-up moves included. Each
 * window of three consecutive points a, b, c contributes its two legs when
 * both are long, else the chord a -> c. */
void ExtractPenPath(const _HR_POINT8 *points, HR_UINT16 n, _HR_POINT8 *scratch, QuarterGrid &grid) {
    _HR_POINT8 a = {0, 0}, b = {0, 0};
    int seen = 0;
    for (HR_UINT32 i = 0; i < n; ++i) {
        const _HR_POINT8 c = points[i];
        if (IsMarker(c)) continue;
        if (seen >= 2) {
            if (CityBlock(a, b) > kPathCornerDistance && CityBlock(b, c) > kPathCornerDistance) {
                ExtractSegment(a, b, false, HR_FEATURE_STEP, scratch, grid);
                ExtractSegment(b, c, false, HR_FEATURE_STEP, scratch, grid);
            } else {
                ExtractSegment(a, c, false, HR_FEATURE_STEP, scratch, grid);
            }
        }
        a = b;
        b = c;
        ++seen;
    }
}


}  // namespace

extern "C" {

void HRFeature_Point16ToPoint8(const _HR_POINT16 *points, HR_UINT16 n, _HR_POINT8 *out) {
    if (n == 0) return;
    penrune::HRFrame frame = penrune::HRFrame_Measure(points, n, HR_MARKER16);
    /* A character smaller than the 8-bit range is only translated. */
    if (frame.xDivisor < kPoint8Scale && frame.yDivisor < kPoint8Scale) {
        frame.xDivisor = frame.yDivisor = kPoint8Scale;
    }
    penrune::HRFrame_Scale(frame, kPoint8Scale, points, n, HR_MARKER16, out, [](HR_UINT32 y) {
        return _HR_POINT8{HR_MARKER8, static_cast<HR_UINT8>(y == 0 ? 0 : HR_MARKER8)};
    });
}

HR_INT32 HRFeature_GetAngleValue(HR_UINT8 dx, HR_UINT8 dy) { return QuadrantAngle(dx, dy); }

HR_UINT16 HRFeature_GetTwoPointAngle(_HR_POINT8 p, _HR_POINT8 q) { return TwoPointAngle(p, q); }

HR_INT16 HRFeature_GetTwoPointSlope(_HR_POINT8 p, _HR_POINT8 q) {
    return SlopeOf(MajorStepOf(p, q));
}

void HRFeature_EightDirectionMapping(HR_UINT16 angle, HR_UINT16 *weights) {
    const SlotVector w = DirectionWeights(angle);
    memcpy(weights, &w, sizeof w);
}

void HRFeature_CountEightDirectionFeature(const _HR_POINT8 *samples, HR_INT32 count,
                                          const HR_UINT16 *weights, HR_INT16 *plane) {
    QuarterGrid grid{};
    const SlotVector w = LoadSlots(weights);
    for (HR_INT32 i = 0; i < count; ++i) AccumulateSample(samples[i], w, grid);
    SpreadQuarters(grid, plane);
}

void HRFeature_ExtractEightDirectionFeatureBetweenTwoPoint(_HR_POINT8 p, _HR_POINT8 q,
                                                           HR_INT32 includeEnd, HR_INT32 step,
                                                           _HR_POINT8 *scratch, HR_INT16 *plane) {
    if (step < kMinStep) step = kMinStep;
    if (step > kMaxStep) step = kMaxStep;
    QuarterGrid grid{};
    ExtractSegment(p, q, includeEnd != 0, step, scratch, grid);
    SpreadQuarters(grid, plane);
}

void HRFeature_CoxBoxTransform(HR_INT16 *values, HR_INT32 count) {
    penrune::HRSimd_Roots()(values, count);
}

int HRFeature_Extract1024DimFeature(_HR_POINT8 *points, HR_UINT16 n, HR_INT16 *v) {
    HRNormalize_Process(points, n);
    memset(v, 0, HR_FEATURE_DIM * sizeof(*v));
    _HR_POINT8 scratch[HR_FEATURE_SCRATCH_POINTS];
    QuarterGrid grid{};
    ExtractStrokes(points, n, scratch, grid);
    SpreadQuarters(grid, v);
    grid = QuarterGrid{};
    ExtractPenPath(points, n, scratch, grid);
    SpreadQuarters(grid, v + HR_FEATURE_PLANE_SIZE);
    HRFeature_CoxBoxTransform(v, HR_FEATURE_DIM);
    return 1;
}

void HRFeature_Transform(const HR_INT16 *x, HR_UINT16 nIn, HR_INT16 *out, HR_UINT16 nOut,
                         const HR_INT16 *matrix) {
    penrune::HRSimd_Project()(x, nIn, out, nOut, matrix);
}

}  // extern "C"
