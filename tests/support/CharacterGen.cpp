// SPDX-License-Identifier: MIT
#include "CharacterGen.h"

#include <cmath>

namespace penrune::test {
namespace {

constexpr int kCanvasMax = 254;
constexpr double kPi = 3.14159265358979323846;

int UniformInt(std::mt19937 &rng, int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); }
double Uniform(std::mt19937 &rng, double lo, double hi) { return std::uniform_real_distribution<double>(lo, hi)(rng); }

// Keeps a coordinate on the canvas by reflecting it at the edges; flips the
// matching component of the heading when it does.
double Bounce(double v, double &heading) {
    if (v >= 0 && v <= kCanvasMax) return v;
    heading = -heading;
    return v < 0 ? -v : 2.0 * kCanvasMax - v;
}

_HR_POINT8 Point(int x, int y) { return {static_cast<HR_UINT8>(x), static_cast<HR_UINT8>(y)}; }

void EndStroke(std::vector<_HR_POINT8> &points) { points.push_back({HR_MARKER8, 0}); }

}  // namespace

std::vector<_HR_POINT8> SmoothCharacter(std::mt19937 &rng, int strokes, int pointsPerStroke) {
    std::vector<_HR_POINT8> points;
    for (int s = 0; s < strokes; ++s) {
        double x = Uniform(rng, 0, kCanvasMax), y = Uniform(rng, 0, kCanvasMax);
        const double angle = Uniform(rng, 0, 2 * kPi);
        double hx = std::cos(angle), hy = std::sin(angle);
        const double turn = Uniform(rng, -0.15, 0.15);
        for (int i = 0; i < pointsPerStroke; ++i) {
            points.push_back(Point(static_cast<int>(std::lround(x)), static_cast<int>(std::lround(y))));
            const double speed = Uniform(rng, 2, 9);
            const double nx = hx * std::cos(turn) - hy * std::sin(turn);
            hy = hx * std::sin(turn) + hy * std::cos(turn);
            hx = nx;
            x = Bounce(x + speed * hx, hx);
            y = Bounce(y + speed * hy, hy);
        }
        EndStroke(points);
    }
    points.push_back({HR_MARKER8, HR_MARKER8});
    return points;
}

std::vector<_HR_POINT8> JumbleCharacter(std::mt19937 &rng, int maxPoints) {
    std::vector<_HR_POINT8> points;
    const int total = UniformInt(rng, 1, maxPoints);
    auto coordinate = [&rng]() {  // the edges 0 and 254 a third of the time
        const int kind = UniformInt(rng, 0, 5);
        return kind == 0 ? 0 : kind == 1 ? kCanvasMax : UniformInt(rng, 0, kCanvasMax);
    };
    for (int i = 0; i < total; ++i) {
        const int kind = UniformInt(rng, 0, 9);
        if (kind == 0 && !points.empty()) {
            EndStroke(points);
        } else if (kind == 1 && !points.empty() && points.back().x != HR_MARKER8) {
            points.push_back(points.back());
        } else {
            points.push_back(Point(coordinate(), coordinate()));
        }
    }
    if (points.back().x != HR_MARKER8) EndStroke(points);
    points.push_back({HR_MARKER8, HR_MARKER8});
    return points;
}

std::vector<_HR_POINT16> ToPoint16(const std::vector<_HR_POINT8> &points, int scale) {
    std::vector<_HR_POINT16> out;
    out.reserve(points.size());
    for (const _HR_POINT8 &p : points) {
        if (p.x == HR_MARKER8)
            out.push_back({HR_MARKER16, static_cast<HR_UINT16>(p.y == 0 ? 0 : HR_MARKER16)});
        else
            out.push_back({static_cast<HR_UINT16>(p.x * scale), static_cast<HR_UINT16>(p.y * scale)});
    }
    return out;
}

}  // namespace penrune::test
