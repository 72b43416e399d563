/* SPDX-License-Identifier: MIT */
// Plane geometry of pen traces for the sample synthesiser.
//
// Ink is held in floating point, in a 1024-unit box with y pointing down;
// only the last step of synthesis quantises it into sample-file bytes.
#ifndef PENRUNE_TOOLS_SYNTH_GEOMETRY_H
#define PENRUNE_TOOLS_SYNTH_GEOMETRY_H

#include <vector>

namespace penrune::synth {

struct Point {
    double x;
    double y;
};

using Stroke = std::vector<Point>;  // points in writing order
using Ink = std::vector<Stroke>;    // strokes in writing order

struct Box {
    double left;
    double top;
    double right;
    double bottom;
};

inline Point operator+(Point a, Point b) { return {a.x + b.x, a.y + b.y}; }
inline Point operator-(Point a, Point b) { return {a.x - b.x, a.y - b.y}; }
inline Point operator*(Point a, double k) { return {a.x * k, a.y * k}; }
double Distance(Point a, Point b);

// Unit vector of v, or (0, 0) for a vector of length 0.
Point Normalized(Point v);

// Bounding box of every point; all zero without points.
Box Bounds(const Stroke &stroke);
Box Bounds(const Ink &ink);
bool Overlap(const Box &a, const Box &b, double margin);

Point Centroid(const Stroke &stroke);
double Length(const Stroke &stroke);
std::size_t PointCount(const Ink &ink);

// Cumulative arc length at every point (first entry 0).
std::vector<double> ArcLengths(const Stroke &stroke);

// The point at arc length s, interpolated linearly; s is clamped to the
// stroke. `arcs` are the stroke's ArcLengths.
Point PointAt(const Stroke &stroke, const std::vector<double> &arcs, double s);

// Direction of travel at the start and at the end of a stroke, measured over
// about `reach` units of arc; (0, 0) for a stroke without length.
Point StartDirection(const Stroke &stroke, double reach);
Point EndDirection(const Stroke &stroke, double reach);

// Inserts points so that neighbours are at most `step` apart; every
// original point is kept.
Stroke Densify(const Stroke &stroke, double step);

// The part of a stroke between arc lengths `from` and `to`.
Stroke Cut(const Stroke &stroke, double from, double to);

// Douglas-Peucker vertex reduction: keeps the first and last point and every
// point farther than `tolerance` from the simplified line.
Stroke ReduceVertices(const Stroke &stroke, double tolerance);

// Quadratic Bezier from `from` over `control` to `to`, both ends excluded,
// with points at most `step` apart.
Stroke Bezier(Point from, Point control, Point to, double step);

}  // namespace penrune::synth

#endif  // PENRUNE_TOOLS_SYNTH_GEOMETRY_H
