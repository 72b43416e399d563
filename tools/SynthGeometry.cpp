// SPDX-License-Identifier: MIT
#include "SynthGeometry.h"

#include <algorithm>
#include <cmath>

namespace penrune::synth {

double Distance(Point a, Point b) { return std::hypot(a.x - b.x, a.y - b.y); }

Point Normalized(Point v) {
    const double length = std::hypot(v.x, v.y);
    return length > 0 ? v * (1.0 / length) : Point{0, 0};
}

namespace {

// Grows `box` to hold p; `empty` tells that box holds nothing yet.
void Include(Box &box, bool &empty, Point p) {
    if (empty) {
        box = {p.x, p.y, p.x, p.y};
        empty = false;
        return;
    }
    box.left = std::min(box.left, p.x);
    box.top = std::min(box.top, p.y);
    box.right = std::max(box.right, p.x);
    box.bottom = std::max(box.bottom, p.y);
}

}  // namespace

Box Bounds(const Stroke &stroke) {
    Box box{0, 0, 0, 0};
    bool empty = true;
    for (const Point &p : stroke) Include(box, empty, p);
    return box;
}

Box Bounds(const Ink &ink) {
    Box box{0, 0, 0, 0};
    bool empty = true;
    for (const Stroke &stroke : ink)
        for (const Point &p : stroke) Include(box, empty, p);
    return box;
}

bool Overlap(const Box &a, const Box &b, double margin) {
    return a.left - margin <= b.right && b.left - margin <= a.right && a.top - margin <= b.bottom &&
           b.top - margin <= a.bottom;
}

Point Centroid(const Stroke &stroke) {
    Point sum{0, 0};
    for (const Point &p : stroke) sum = sum + p;
    return stroke.empty() ? sum : sum * (1.0 / stroke.size());
}

double Length(const Stroke &stroke) {
    double length = 0;
    for (std::size_t i = 1; i < stroke.size(); ++i) length += Distance(stroke[i - 1], stroke[i]);
    return length;
}

std::size_t PointCount(const Ink &ink) {
    std::size_t count = 0;
    for (const Stroke &stroke : ink) count += stroke.size();
    return count;
}

std::vector<double> ArcLengths(const Stroke &stroke) {
    std::vector<double> arcs(stroke.size(), 0.0);
    for (std::size_t i = 1; i < stroke.size(); ++i) arcs[i] = arcs[i - 1] + Distance(stroke[i - 1], stroke[i]);
    return arcs;
}

Point PointAt(const Stroke &stroke, const std::vector<double> &arcs, double s) {
    if (s <= 0 || stroke.size() == 1) return stroke.front();
    if (s >= arcs.back()) return stroke.back();
    const std::size_t i = std::upper_bound(arcs.begin(), arcs.end(), s) - arcs.begin();
    const double span = arcs[i] - arcs[i - 1];
    const double t = span > 0 ? (s - arcs[i - 1]) / span : 0;
    return stroke[i - 1] + (stroke[i] - stroke[i - 1]) * t;
}

Point StartDirection(const Stroke &stroke, double reach) {
    const std::vector<double> arcs = ArcLengths(stroke);
    return Normalized(PointAt(stroke, arcs, reach) - stroke.front());
}

Point EndDirection(const Stroke &stroke, double reach) {
    const std::vector<double> arcs = ArcLengths(stroke);
    return Normalized(stroke.back() - PointAt(stroke, arcs, arcs.back() - reach));
}

Stroke Densify(const Stroke &stroke, double step) {
    Stroke dense;
    for (std::size_t i = 0; i < stroke.size(); ++i) {
        if (i > 0) {
            const int pieces = static_cast<int>(std::ceil(Distance(stroke[i - 1], stroke[i]) / step));
            for (int k = 1; k < pieces; ++k)
                dense.push_back(stroke[i - 1] + (stroke[i] - stroke[i - 1]) * (double(k) / pieces));
        }
        dense.push_back(stroke[i]);
    }
    return dense;
}

Stroke Cut(const Stroke &stroke, double from, double to) {
    const std::vector<double> arcs = ArcLengths(stroke);
    Stroke part{PointAt(stroke, arcs, from)};
    for (std::size_t i = 0; i < stroke.size(); ++i)
        if (arcs[i] > from && arcs[i] < to) part.push_back(stroke[i]);
    part.push_back(PointAt(stroke, arcs, to));
    return part;
}

namespace {

double SegmentDistance(Point p, Point a, Point b) {
    const Point ab = b - a;
    const double squared = ab.x * ab.x + ab.y * ab.y;
    if (squared == 0) return Distance(p, a);
    const double t = std::clamp(((p.x - a.x) * ab.x + (p.y - a.y) * ab.y) / squared, 0.0, 1.0);
    return Distance(p, a + ab * t);
}

// Marks the points to keep between first and last (both kept already).
// An explicit stack instead of recursion: dense traces have thousands of
// points on a straight line.
void MarkKept(const Stroke &stroke, double tolerance, std::vector<bool> &keep) {
    std::vector<std::pair<std::size_t, std::size_t>> spans{{0, stroke.size() - 1}};
    while (!spans.empty()) {
        const auto [first, last] = spans.back();
        spans.pop_back();
        double farthest = -1;
        std::size_t index = first;
        for (std::size_t i = first + 1; i < last; ++i) {
            const double d = SegmentDistance(stroke[i], stroke[first], stroke[last]);
            if (d > farthest) {
                farthest = d;
                index = i;
            }
        }
        if (farthest > tolerance) {
            keep[index] = true;
            spans.push_back({first, index});
            spans.push_back({index, last});
        }
    }
}

}  // namespace

Stroke ReduceVertices(const Stroke &stroke, double tolerance) {
    if (stroke.size() < 3) return stroke;
    std::vector<bool> keep(stroke.size(), false);
    keep.front() = keep.back() = true;
    MarkKept(stroke, tolerance, keep);
    Stroke reduced;
    for (std::size_t i = 0; i < stroke.size(); ++i)
        if (keep[i]) reduced.push_back(stroke[i]);
    return reduced;
}

Stroke Bezier(Point from, Point control, Point to, double step) {
    const double length = Distance(from, control) + Distance(control, to);
    const int pieces = std::max(1, static_cast<int>(std::ceil(length / step)));
    Stroke curve;
    for (int k = 1; k < pieces; ++k) {
        const double t = double(k) / pieces;
        curve.push_back(from * ((1 - t) * (1 - t)) + control * (2 * t * (1 - t)) + to * (t * t));
    }
    return curve;
}

}  // namespace penrune::synth
