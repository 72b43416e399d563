// SPDX-License-Identifier: MIT
/* 8-direction features of one character: cell densities on an 8 x 8 grid
 * along the pen-down strokes and along the simplified pen path, compressed by
 * a square root, and their projection to 64 bytes. Integer arithmetic only,
 * so training and recognition agree on every platform.
 *
 * Speed: a character is several hundred short segments, nearly all of them
 * a few units long, so a segment is one lookup in a table built at compile
 * time by the same sampling code that serves the general case (direction
 * weights and sample offsets of every short step) and one 8-slot vector
 * addition per sample into a grid of quarter cells. Longer segments follow
 * the truncated slope without a division per sample, and the quarter grid
 * is spread over the feature cells once per plane by a separable filter.
 * The projection and the square roots run in the vector kernels of
 * src/arch. */
#include "penrune/HRFeature.h"

#include <string.h>

#include "penrune/HRNormalize.h"
#include "arch/HARecoKernels.h"
#include "feature/HRTable.h"
#include "feature/HRFrame.h"
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
/* The grid is 8 x 8 cells of 8 x 8 points: a 64 x 64 frame. */
constexpr int kGrid = HR_FEATURE_GRID;
constexpr int kFrame = HR_FEATURE_GRID * HR_FEATURE_CELL;
static_assert(kFrame == HR_NORMALIZE_SIZE, "normalised points fill the feature frame");
/* In the pen path, both legs of a corner are kept when each is longer than
 * this city-block distance; otherwise the corner is cut by the chord. */
constexpr int kPathCornerDistance = 7;
/* Samples taken within one segment never exceed the scratch: the longest
 * span of 8-bit coordinates sampled at the smallest step, plus the end
 * point. A step beyond the span gives one sample like any larger one. */
constexpr HR_INT32 kMinStep = 1;
constexpr HR_INT32 kMaxSpan = 255;
constexpr HR_INT32 kMaxStep = kMaxSpan + 1;
static_assert((kMaxSpan + kMinStep - 1) / kMinStep + 1 <= HR_FEATURE_SCRATCH_POINTS, "scratch too small for a segment");

bool IsMarker(_HR_POINT8 p) { return p.x == HR_MARKER8; }

constexpr int Abs(int v) { return v < 0 ? -v : v; }

constexpr int Sign(int v) { return (v > 0) - (v < 0); }

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

constexpr int QuadrantAngle(HR_UINT32 dx, HR_UINT32 dy) {
    if (dx == dy) return 45;
    if (dy > dx) return 45 + TanIndexBelow(TangentOf(dy, dx));
    return 45 - TanIndexBelow(TangentOf(dx, dy));
}

/* The direction of a step as base + sign * (first-quadrant angle), by the
 * signs of dx and dy (index 3 * (sign dx + 1) + sign dy + 1; y grows
 * downward). Steps along an axis ignore the quadrant angle. */
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

constexpr HR_UINT16 StepAngle(int dx, int dy) {
    const AngleCase c = kAngleCases[3 * (Sign(dx) + 1) + Sign(dy) + 1];
    return static_cast<HR_UINT16>(c.base + c.sign * QuadrantAngle(Abs(dx), Abs(dy)));
}

HR_UINT16 TwoPointAngle(_HR_POINT8 p, _HR_POINT8 q) { return StepAngle(q.x - p.x, q.y - p.y); }

/* A step seen along its major axis (y when steeper than 45 degrees, else
 * x): the signed extents along both axes. */
struct MajorStep {
    bool yMajor;
    int major;
    int minor;
};

constexpr MajorStep MajorStepOf(_HR_POINT8 p, _HR_POINT8 q) {
    const int dx = q.x - p.x, dy = q.y - p.y;
    const bool yMajor = Abs(dy) > Abs(dx);
    return {yMajor, yMajor ? dy : dx, yMajor ? dx : dy};
}

/* Major over minor extent in slope units, truncated toward zero; +-32000
 * (the sign of the major extent) along an axis, 128 for no step at all. */
constexpr HR_INT16 SlopeOf(int major, int minor) {
    if (minor != 0) return static_cast<HR_INT16>(major * kSlopeUnit / minor);
    return major > 0 ? kAxisSlope : major < 0 ? -kAxisSlope : kSamePointSlope;
}

/* Weight of a slot at distance d degrees from the direction. */
constexpr HR_UINT16 SlotWeight(HR_INT32 d) { return d >= 0 && d <= kSlotReach ? kCos[(3 * d) / 2] : 0; }

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

/* The samples between the ends of a segment. The sample at major offset
 * k * step (k = 1, 2, ... while below the span) has the minor coordinate
 * minor0 + trunc(k * step * 128 / slope) = minor0 + sign * floor(k * a / S)
 * with a = step * 128, S = |slope| and sign the sign of the minor extent (+1
 * along an axis, where the slope is +-32000 with the major extent's sign).
 * The quotient grows by floor(a / S) per step, plus one whenever the
 * remainder, growing by a mod S, reaches S: no division per sample. */
template <bool kYMajor, typename Sink>
constexpr void WalkInterior(int major, int minor, int delta, int sign, int samples, int quotientStep, int remainderStep,
                            int divisor, Sink &sink) {
    const int minorStep = sign * quotientStep;
    int remainder = 0;
    for (int k = 0; k < samples; ++k) {
        major += delta;
        minor += minorStep;
        remainder += remainderStep;
        const int carry = -static_cast<int>(remainder >= divisor); /* all ones or 0, without a branch */
        remainder -= divisor & carry;
        minor += sign & carry;
        if (kYMajor) {
            sink(minor, major);
        } else {
            sink(major, minor);
        }
    }
}

template <typename Sink>
constexpr void SampleInterior(_HR_POINT8 p, const MajorStep &m, int step, Sink &sink) {
    const int divisor = Abs(SlopeOf(m.major, m.minor));
    const int advance = step * kSlopeUnit;
    const int samples = (Abs(m.major) - 1) / step; /* offsets step, 2 step, ... below the span */
    const int delta = m.major > 0 ? step : -step;
    const int sign = m.minor < 0 ? -1 : 1;
    if (m.yMajor) {
        WalkInterior<true>(p.y, p.x, delta, sign, samples, advance / divisor, advance % divisor, divisor, sink);
    } else {
        WalkInterior<false>(p.x, p.y, delta, sign, samples, advance / divisor, advance % divisor, divisor, sink);
    }
}

/* Calls sink(x, y) for the samples of segment p -> q every `step` units
 * along the major axis: p itself unless q equals p, those between, and q
 * when includeEnd. */
template <typename Sink>
constexpr void SampleSegment(_HR_POINT8 p, _HR_POINT8 q, bool includeEnd, int step, Sink &sink) {
    const MajorStep m = MajorStepOf(p, q);
    const int span = Abs(m.major);
    if (span != 0) {
        sink(p.x, p.y);
        if (span > step) SampleInterior(p, m, step, sink);
    }
    if (includeEnd) sink(q.x, q.y);
}

/* The steps within kNearStep on both axes, nearly all segments of a
 * normalised character, are looked up whole: their direction weights,
 * whether they sample their start point (every step but the zero step), and
 * the offsets from the start point of the samples between their ends at the
 * extraction step, as SampleSegment places them. */
constexpr int kNearStep = 7;
constexpr int kNearSteps = 2 * kNearStep + 1;
constexpr int kMostInterior = (kNearStep - 1) / HR_FEATURE_STEP;

struct NearStep {
    SlotWeights weights;
    bool moves;
    HR_UINT8 interior;
    HR_INT8 dx[kMostInterior];
    HR_INT8 dy[kMostInterior];
};

/* Records the samples of a near step taken from the origin. */
struct NearStepRecorder {
    int x0, y0;
    NearStep &step;

    constexpr void operator()(int x, int y) {
        if (x == x0 && y == y0) {
            step.moves = true;
            return;
        }
        step.dx[step.interior] = static_cast<HR_INT8>(x - x0);
        step.dy[step.interior] = static_cast<HR_INT8>(y - y0);
        ++step.interior;
    }
};

struct alignas(64) NearStepTable {
    NearStep byStep[kNearSteps * kNearSteps]; /* [(dy + kNearStep) * kNearSteps + dx + kNearStep] */
};

constexpr NearStepTable MakeNearStepTable() {
    NearStepTable table{};
    /* Any start point from which both ends stay within 0..254 will do. */
    constexpr int kOrigin = kNearStep;
    for (int dy = -kNearStep; dy <= kNearStep; ++dy) {
        for (int dx = -kNearStep; dx <= kNearStep; ++dx) {
            NearStep &step = table.byStep[(dy + kNearStep) * kNearSteps + dx + kNearStep];
            step.weights = ComputeDirectionWeights(StepAngle(dx, dy));
            const _HR_POINT8 p = {kOrigin, kOrigin};
            const _HR_POINT8 q = {static_cast<HR_UINT8>(kOrigin + dx), static_cast<HR_UINT8>(kOrigin + dy)};
            NearStepRecorder record{kOrigin, kOrigin, step};
            SampleSegment(p, q, false, HR_FEATURE_STEP, record);
        }
    }
    return table;
}

constexpr NearStepTable kNearStepTable = MakeNearStepTable();

/* The near step from p to q, or null when q is further away. */
const NearStep *NearStepOf(_HR_POINT8 p, _HR_POINT8 q) {
    const auto column = static_cast<unsigned>(q.x - p.x + kNearStep);
    const auto row = static_cast<unsigned>(q.y - p.y + kNearStep);
    if (column >= kNearSteps || row >= kNearSteps) return nullptr;
    return &kNearStepTable.byStep[row * kNearSteps + column];
}

/* Samples are first summed per quarter cell: which cells a sample reaches,
 * and with which factor, depends only on the quarter of its cell it lies in
 * (and on the row, for the lower-left rule). Spreading the quarter sums once
 * per plane gives the same 16-bit wrapped totals as spreading every sample,
 * since factor * sum and the sum of factor * weight agree modulo 65536. */
constexpr int kQuarterGrid = 2 * kGrid;
constexpr int kQuarterShift = 2; /* a quarter cell is 4 x 4 points */

struct QuarterGrid {
    SlotVector quarter[kQuarterGrid][kQuarterGrid]; /* [row][column] */
};

/* Adds w to the quarter of (x, y), which must lie in the frame. */
void AddToQuarter(QuarterGrid &grid, unsigned x, unsigned y, SlotVector w) {
    grid.quarter[y >> kQuarterShift][x >> kQuarterShift] += w;
}

/* The feature cells as vectors. */
struct CellGrid {
    SlotVector cell[kGrid][kGrid];
};

/* One quarter row spread over the 8 cell columns: a cell takes its own two
 * quarters twice and the nearer quarter of each neighbouring cell once.
 * Without the left quarters of columns 1..7 (leftQuarters false) it is the
 * share a lower quarter row passes to the row below under the lower-left
 * rule. */
void SpreadAcross(const SlotVector *quarters, bool leftQuarters, SlotVector *cells) {
    for (int c = 0; c < kGrid; ++c) {
        const SlotVector left = (leftQuarters || c == 0) ? quarters[2 * c] : SlotVector{};
        SlotVector sum = (left + quarters[2 * c + 1]) * 2;
        if (c > 0) sum += quarters[2 * c - 1];
        if (c + 1 < kGrid && leftQuarters) sum += quarters[2 * c + 2];
        cells[c] = sum;
    }
}

/* Spreads the quarter sums over the cells and adds them to the plane. With
 * the own cell, the side column, the side row and the diagonal weighted 32,
 * 16, 16 and 8, the spread is the product of the same 2-2-1 pattern across
 * and down, times 8, except that a lower-left quarter (of column 1..7)
 * reaches the row below only in the upper half of the grid (rows 0..3):
 * the trained prototypes were made with that rule. */
void SpreadQuarters(const QuarterGrid &grid, HR_INT16 *plane) {
    constexpr int kFactor = 8;
    constexpr int kLowerLeftLastRow = kGrid / 2 - 1;
    CellGrid across[2];                /* [0]: upper quarter rows, [1]: lower quarter rows */
    SlotVector downward[kGrid][kGrid]; /* what each row's lower quarters pass below */
    for (int row = 0; row < kGrid; ++row) {
        SpreadAcross(grid.quarter[2 * row], true, across[0].cell[row]);
        SpreadAcross(grid.quarter[2 * row + 1], true, across[1].cell[row]);
        if (row <= kLowerLeftLastRow) {
            memcpy(downward[row], across[1].cell[row], sizeof downward[row]);
        } else {
            SpreadAcross(grid.quarter[2 * row + 1], false, downward[row]);
        }
    }
    for (int row = 0; row < kGrid; ++row) {
        for (int c = 0; c < kGrid; ++c) {
            SlotVector sum = (across[0].cell[row][c] + across[1].cell[row][c]) * 2;
            if (row > 0) sum += downward[row - 1][c];
            if (row + 1 < kGrid) sum += across[0].cell[row + 1][c];
            HR_INT16 *cell = plane + (row * kGrid + c) * HR_FEATURE_SLOTS;
            const SlotVector total = LoadSlots(reinterpret_cast<const HR_UINT16 *>(cell)) + sum * kFactor;
            memcpy(cell, &total, sizeof total);
        }
    }
}

/* Where the samples of the public single-segment functions go: the scratch
 * list and, for those inside the frame, the quarter grid. */
struct ScratchSink {
    _HR_POINT8 *scratch;
    int count;
    SlotVector weights;
    QuarterGrid &grid;

    void operator()(int x, int y) {
        const _HR_POINT8 s = {static_cast<HR_UINT8>(x), static_cast<HR_UINT8>(y)};
        scratch[count++] = s;
        if (s.x < kFrame && s.y < kFrame) AddToQuarter(grid, s.x, s.y, weights);
    }
};

/* Where the samples of a normalised character go: all of them lie in the
 * frame, between the ends of their segment. */
struct GridSink {
    QuarterGrid &grid;
    SlotVector weights;

    void operator()(int x, int y) const { AddToQuarter(grid, x, y, weights); }
};

/* Samples a segment longer than a near step, p -> q of a normalised
 * character, into the grid: pen-up moves and fast strokes. */
__attribute__((noinline)) void AddFarSegment(_HR_POINT8 p, _HR_POINT8 q, bool includeEnd, QuarterGrid &grid) {
    GridSink sink{grid, DirectionWeights(TwoPointAngle(p, q))};
    SampleSegment(p, q, includeEnd, HR_FEATURE_STEP, sink);
}

/* Samples segment p -> q of a normalised character (both points in the
 * frame) at the extraction step into the grid. */
__attribute__((always_inline)) inline void AddSegment(_HR_POINT8 p, _HR_POINT8 q, bool includeEnd, QuarterGrid &grid) {
    const NearStep *near = NearStepOf(p, q);
    if (near == nullptr) {
        AddFarSegment(p, q, includeEnd, grid);
        return;
    }
    const SlotVector w = LoadSlots(near->weights.w);
    if (near->moves) AddToQuarter(grid, p.x, p.y, w);
    for (int k = 0; k < near->interior; ++k) AddToQuarter(grid, p.x + near->dx[k], p.y + near->dy[k], w);
    if (includeEnd) AddToQuarter(grid, q.x, q.y, w);
}

int CityBlock(_HR_POINT8 a, _HR_POINT8 b) { return Abs(a.x - b.x) + Abs(a.y - b.y); }

/* Plane 0: every segment of a stroke; the last one of a stroke includes
 * its end point. */
void ExtractStrokes(const _HR_POINT8 *points, HR_UINT16 n, QuarterGrid &grid) {
    for (int i = 0; i + 2 < n; ++i) {
        if (IsMarker(points[i]) || IsMarker(points[i + 1])) continue;
        AddSegment(points[i], points[i + 1], IsMarker(points[i + 2]), grid);
    }
}

/* Plane 1: the pen path through all points, pen-up moves included. Each
 * window of three consecutive points a, b, c contributes its two legs when
 * both are long, else the chord a -> c. */
void ExtractPenPath(const _HR_POINT8 *points, HR_UINT16 n, QuarterGrid &grid) {
    _HR_POINT8 a = {0, 0}, b = {0, 0};
    int seen = 0;
    int legAB = 0; /* city-block length of a -> b */
    for (HR_UINT32 i = 0; i < n; ++i) {
        const _HR_POINT8 c = points[i];
        if (IsMarker(c)) continue;
        const int legBC = CityBlock(b, c);
        if (seen >= 2) {
            if (legAB > kPathCornerDistance && legBC > kPathCornerDistance) {
                AddSegment(a, b, false, grid);
                AddSegment(b, c, false, grid);
            } else {
                AddSegment(a, c, false, grid);
            }
        }
        a = b;
        b = c;
        legAB = legBC;
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
    const MajorStep m = MajorStepOf(p, q);
    return SlopeOf(m.major, m.minor);
}

void HRFeature_EightDirectionMapping(HR_UINT16 angle, HR_UINT16 *weights) {
    const SlotVector w = DirectionWeights(angle);
    memcpy(weights, &w, sizeof w);
}

void HRFeature_CountEightDirectionFeature(const _HR_POINT8 *samples, HR_INT32 count, const HR_UINT16 *weights,
                                          HR_INT16 *plane) {
    QuarterGrid grid{};
    const SlotVector w = LoadSlots(weights);
    for (HR_INT32 i = 0; i < count; ++i) {
        if (samples[i].x < kFrame && samples[i].y < kFrame) AddToQuarter(grid, samples[i].x, samples[i].y, w);
    }
    SpreadQuarters(grid, plane);
}

void HRFeature_ExtractEightDirectionFeatureBetweenTwoPoint(_HR_POINT8 p, _HR_POINT8 q, HR_INT32 includeEnd,
                                                           HR_INT32 step, _HR_POINT8 *scratch, HR_INT16 *plane) {
    if (step < kMinStep) step = kMinStep;
    if (step > kMaxStep) step = kMaxStep;
    QuarterGrid grid{};
    ScratchSink sink{scratch, 0, DirectionWeights(TwoPointAngle(p, q)), grid};
    SampleSegment(p, q, includeEnd != 0, step, sink);
    SpreadQuarters(grid, plane);
}

void HRFeature_CoxBoxTransform(HR_INT16 *values, HR_INT32 count) {
    penrune::HA_RecoKernels().roots(values, count, HR_FEATURE_MAX_VALUE);
}

int HRFeature_Extract1024DimFeature(_HR_POINT8 *points, HR_UINT16 n, HR_INT16 *v) {
    /* Normalisation maps every point that is not a marker into the frame. */
    HRNormalize_Process(points, n);
    memset(v, 0, HR_FEATURE_DIM * sizeof(*v));
    QuarterGrid grid{};
    ExtractStrokes(points, n, grid);
    SpreadQuarters(grid, v);
    grid = QuarterGrid{};
    ExtractPenPath(points, n, grid);
    SpreadQuarters(grid, v + HR_FEATURE_PLANE_SIZE);
    HRFeature_CoxBoxTransform(v, HR_FEATURE_DIM);
    return 1;
}

void HRFeature_Transform(const HR_INT16 *x, HR_UINT16 nIn, HR_INT16 *out, HR_UINT16 nOut, const HR_INT16 *matrix) {
    penrune::HA_RecoKernels().project(x, nIn, out, nOut, matrix);
}

}  // extern "C"
