// SPDX-License-Identifier: MIT
#include "SynthPen.h"

#include <algorithm>
#include <cmath>

namespace penrune::synth {

namespace {

constexpr double kSourceStep = 4;       // densest spacing of a hand before distortion
constexpr double kTraceStep = 2;        // spacing of the path that the pen trace follows
constexpr double kDirectionReach = 20;  // arc over which a stroke's end direction is measured
constexpr double kMinShapedLength = 8;  // shorter strokes (dots) keep their shape
constexpr double kMaxTrim = 0.3;        // at most this share of a stroke is cut at each end
constexpr double kSwapMargin = 40;      // strokes this close count as touching
constexpr double kFlatSlope = 0.6;      // |dy/dx| of a stroke's chord up to which it counts as flat
constexpr double kTremorKnot = 40;      // arc between two knots of the tremor curve
constexpr double kSpeedRamp = 60;       // arc over which the pen gets up to speed
constexpr double kMinSpeed = 0.1;       // slowest pace, relative to full speed
constexpr double kTouchSlack = 1;       // ends this close to another stroke already touch it

Point Rotate(Point v, double angle) {
    const double c = std::cos(angle), s = std::sin(angle);
    return {c * v.x - s * v.y, s * v.x + c * v.y};
}

// ---- stroke shape --------------------------------------------------------

// Cuts a share of the stroke's length off each end (positive) or extends the
// end along its direction (negative).
void TrimEnds(Stroke &stroke, double startShare, double endShare) {
    const double length = Length(stroke);
    const Point startDirection = StartDirection(stroke, kDirectionReach);
    const Point endDirection = EndDirection(stroke, kDirectionReach);
    stroke = Cut(stroke, std::max(startShare, 0.0) * length, length - std::max(endShare, 0.0) * length);
    if (startShare < 0) stroke.insert(stroke.begin(), stroke.front() - startDirection * (-startShare * length));
    if (endShare < 0) stroke.push_back(stroke.back() + endDirection * (-endShare * length));
}

// Bows the stroke sideways by `bow` times its chord, most in the middle.
// Closed and nearly closed strokes have no chord to bow against.
void Bow(Stroke &stroke, double bow) {
    const Point chord = stroke.back() - stroke.front();
    const double chordLength = std::hypot(chord.x, chord.y);
    const std::vector<double> arcs = ArcLengths(stroke);
    if (chordLength < 0.25 * arcs.back()) return;
    const Point normal{-chord.y / chordLength, chord.x / chordLength};
    for (std::size_t i = 0; i < stroke.size(); ++i)
        stroke[i] = stroke[i] + normal * (bow * chordLength * std::sin(M_PI * arcs[i] / arcs.back()));
}

// Adds the flick with which the pen leaves the paper towards `target`.
void AddHook(Stroke &stroke, Point target, double length) {
    const Point end = stroke.back();
    const Point towards = Normalized(target - end);
    if (towards.x == 0 && towards.y == 0) return;
    const Point control = end + EndDirection(stroke, kDirectionReach) * (0.35 * length);
    const Point tip = end + towards * length;
    const Stroke curve = Bezier(end, control, tip, kSourceStep);
    stroke.insert(stroke.end(), curve.begin(), curve.end());
    stroke.push_back(tip);
}

void MoveStroke(Stroke &stroke, double scale, double angle, Point shift) {
    const Point centre = Centroid(stroke);
    for (Point &p : stroke) p = centre + Rotate((p - centre) * scale, angle) + shift;
}

// ---- closed gaps ---------------------------------------------------------

double Cross(Point a, Point b) { return a.x * b.y - a.y * b.x; }

// Distance along the ray from `origin` in unit `direction` to where it
// crosses segment a-b; negative when it misses the segment.
double RayHit(Point origin, Point direction, Point a, Point b) {
    const Point ab = b - a;
    const double denominator = Cross(direction, ab);
    if (denominator == 0) return -1;
    const Point ao = a - origin;
    const double along = Cross(ao, direction) / denominator;  // 0..1 on the segment
    return along >= 0 && along <= 1 ? Cross(ao, ab) / denominator : -1;
}

// The points that carry the end at `tip` on along unit `direction` to the
// nearest other stroke of the ink within `reach`, outwards from the tip (which
// is left out); none when no stroke lies within reach.
Stroke Extension(const Ink &ink, std::size_t self, Point tip, Point direction, double reach) {
    double nearest = 0;
    for (std::size_t j = 0; j < ink.size(); ++j) {
        if (j == self) continue;
        for (std::size_t k = 0; k + 1 < ink[j].size(); ++k) {
            const double t = RayHit(tip, direction, ink[j][k], ink[j][k + 1]);
            if (t > kTouchSlack && t <= reach && (nearest == 0 || t < nearest)) nearest = t;
        }
    }
    if (nearest == 0) return {};
    Stroke line = Densify({tip, tip + direction * nearest}, kSourceStep);
    line.erase(line.begin());
    return line;
}

// ---- cursive joins -------------------------------------------------------

// Appends `next` to `stroke` with the curve that the pen draws between them
// when it stays down: it leaves along the stroke's end direction and bends
// towards the next stroke's start.
void Connect(Stroke &stroke, const Stroke &next) {
    const Point end = stroke.back();
    const Point start = next.front();
    const double gap = Distance(end, start);
    const Point direction = EndDirection(stroke, kDirectionReach);
    const Point control = (direction.x == 0 && direction.y == 0) ? (end + start) * 0.5 : end + direction * (0.3 * gap);
    const Stroke curve = Bezier(end, control, start, kSourceStep);
    stroke.insert(stroke.end(), curve.begin(), curve.end());
    stroke.insert(stroke.end(), next.begin(), next.end());
}

// ---- pen trace -----------------------------------------------------------

// The stroke resampled at equal arc steps of at most `step`.
Stroke ResampleEvenly(const Stroke &stroke, double step) {
    const std::vector<double> arcs = ArcLengths(stroke);
    const int pieces = std::max(1, static_cast<int>(std::ceil(arcs.back() / step)));
    Stroke even;
    for (int k = 0; k <= pieces; ++k) even.push_back(PointAt(stroke, arcs, arcs.back() * k / pieces));
    return even;
}

// Gaussian smoothing over point indices. Beyond its ends the path is
// continued by point reflection, which keeps both end points in place and
// straight ends straight.
Stroke Smooth(const Stroke &path, double sigma) {
    const int last = static_cast<int>(path.size()) - 1;
    const int radius = static_cast<int>(std::ceil(3 * sigma));
    if (sigma <= 0 || last < 2) return path;
    std::vector<double> weights(radius + 1);
    double total = 0;
    for (int j = 0; j <= radius; ++j) {
        weights[j] = std::exp(-0.5 * j * j / (sigma * sigma));
        total += j == 0 ? weights[j] : 2 * weights[j];
    }
    auto at = [&](int i) {
        if (i < 0) return path[0] * 2 - path[std::min(-i, last)];
        if (i > last) return path[last] * 2 - path[std::max(2 * last - i, 0)];
        return path[i];
    };
    Stroke smooth(path.size());
    for (int k = 0; k <= last; ++k) {
        Point sum = path[k] * weights[0];
        for (int j = 1; j <= radius; ++j) sum = sum + (at(k - j) + at(k + j)) * weights[j];
        smooth[k] = sum * (1.0 / total);
    }
    return smooth;
}

// Cosine of the path's turn at point k, its direction measured `reach`
// points back and ahead (no farther than the ends): 1 straight on, -1 back.
double TurnCosine(const Stroke &path, std::size_t k, std::size_t reach) {
    const Point in = Normalized(path[k] - path[k > reach ? k - reach : 0]);
    const Point out = Normalized(path[std::min(k + reach, path.size() - 1)] - path[k]);
    return in.x * out.x + in.y * out.y;
}

// Pace of the pen along an evenly sampled path, relative to full speed: the
// pen starts and stops slowly and slows down in bends.
std::vector<double> Pace(const Stroke &path, double step, double variation) {
    const int last = static_cast<int>(path.size()) - 1;
    const double length = last * step;
    const double ramp = std::min(length / 3, kSpeedRamp);
    const auto reach = static_cast<std::size_t>(std::max(1L, std::lround(8 / step)));
    std::vector<double> pace(path.size());
    for (int k = 0; k <= last; ++k) {
        const double turn = std::acos(std::clamp(TurnCosine(path, static_cast<std::size_t>(k), reach), -1.0, 1.0));
        const double s = k * step;
        const double ease = std::sqrt(std::clamp(std::min(s, length - s) / ramp, 0.0, 1.0));
        pace[k] = std::max(kMinSpeed, 1 - variation + variation * ease / (1 + 2 * turn));
    }
    return pace;
}

// Samples the stroke at equal time steps of a pen that covers `spacing`
// units per step at full speed.
Stroke TraceStroke(const Stroke &stroke, double smoothing, double spacing, double variation) {
    if (stroke.size() < 2 || Length(stroke) <= 0) return {stroke.front()};
    const Stroke even = ResampleEvenly(stroke, kTraceStep);
    const double step = Length(stroke) / (even.size() - 1);
    const Stroke path = Smooth(even, smoothing / step);
    const std::vector<double> pace = Pace(path, step, variation);
    const std::vector<double> arcs = ArcLengths(path);
    Stroke trace{path.front()};
    for (double s = spacing * pace[0]; s < arcs.back();) {
        trace.push_back(PointAt(path, arcs, s));
        const std::size_t k = std::min(path.size() - 1, static_cast<std::size_t>(s / step));
        s += spacing * pace[k];
    }
    trace.push_back(path.back());
    return trace;
}

// Adds a slow, smooth wander of the pen along each stroke.
void AddTremor(Stroke &stroke, double amplitude, Random &rng) {
    const std::vector<double> arcs = ArcLengths(stroke);
    const int knots = static_cast<int>(arcs.back() / kTremorKnot) + 2;
    std::vector<Point> offsets(knots);
    for (Point &offset : offsets) offset = {rng.Normal(amplitude), rng.Normal(amplitude)};
    for (std::size_t i = 0; i < stroke.size(); ++i) {
        const double position = arcs[i] / kTremorKnot;
        const int k = static_cast<int>(position);
        const double t = 0.5 - 0.5 * std::cos(M_PI * (position - k));
        stroke[i] = stroke[i] + offsets[k] * (1 - t) + offsets[k + 1] * t;
    }
}

}  // namespace

void SwapStrokes(Ink &ink, const SynthParams &params, Random &rng) {
    if (ink.size() < 2 || !rng.Chance(params.swapRate)) return;
    // Writers exchange strokes that meet or cross (the bar and the stem of
    // 十), not strokes on opposite sides of the character.
    std::vector<std::size_t> touching;
    for (std::size_t i = 0; i + 1 < ink.size(); ++i)
        if (Overlap(Bounds(ink[i]), Bounds(ink[i + 1]), kSwapMargin)) touching.push_back(i);
    if (touching.empty()) return;
    const std::size_t i = touching[rng.Below(static_cast<int>(touching.size()))];
    std::swap(ink[i], ink[i + 1]);
}

void DrawFlatStrokesRightwards(Ink &ink, const SynthParams &params, Random &rng) {
    // A flat stroke that the model hand draws leftwards (the short top
    // stroke of 千 or 反) is often written as a plain left-to-right bar.
    for (Stroke &stroke : ink) {
        const Point chord = stroke.back() - stroke.front();
        if (chord.x < 0 && std::abs(chord.y) <= -chord.x * kFlatSlope && rng.Chance(params.rightwardRate))
            std::reverse(stroke.begin(), stroke.end());
    }
}

void VaryStrokes(Ink &ink, const SynthParams &params, Random &rng) {
    // Hooks aim where the next stroke was meant to start.
    std::vector<Point> starts;
    for (const Stroke &stroke : ink) starts.push_back(stroke.front());
    for (std::size_t i = 0; i < ink.size(); ++i) {
        Stroke &stroke = ink[i];
        if (Length(stroke) >= kMinShapedLength) {
            const double startTrim = std::clamp(rng.Normal(params.strokeTrim), -kMaxTrim, kMaxTrim);
            const double endTrim = std::clamp(rng.Normal(params.strokeTrim), -kMaxTrim, kMaxTrim);
            TrimEnds(stroke, startTrim, endTrim);
            Bow(stroke, rng.Normal(params.strokeBend));
        }
        if (i + 1 < ink.size() && rng.Chance(params.hookRate))
            AddHook(stroke, starts[i + 1], params.hookLength * rng.Uniform(0.3, 1.0));
        const double scale = std::exp(rng.Normal(params.strokeScale));
        const double angle = rng.Normal(params.strokeRotate);
        const Point shift{rng.Normal(params.strokeShift), rng.Normal(params.strokeShift)};
        MoveStroke(stroke, scale, angle, shift);
    }
}

// Writers set the parts of a left-right character (林, 板, 泣) apart by
// gaps of their own. The part boundary is the column in the middle of the
// character (30 to 70 % of its width) that no stroke crosses, the one
// nearest the centre; every stroke right of it moves right by up to
// componentGap of the width. Characters without such a column keep their
// shape.
void SpreadParts(Ink &ink, const SynthParams &params, Random &rng) {
    if (params.componentGap <= 0 || ink.empty()) return;
    const Box box = Bounds(ink);
    const double width = box.right - box.left;
    std::vector<Box> boxes;
    for (const Stroke &stroke : ink) boxes.push_back(Bounds(stroke));
    double boundary = 0, nearest = 1;
    for (int percent = 30; percent <= 70; ++percent) {
        const double column = box.left + width * percent / 100;
        bool crossed = false;
        for (const Box &b : boxes) crossed = crossed || (b.left < column && b.right > column);
        if (!crossed && std::fabs(percent / 100.0 - 0.5) < nearest) {
            boundary = column;
            nearest = std::fabs(percent / 100.0 - 0.5);
        }
    }
    if (nearest >= 1) return;
    const double gap = rng.Uniform(0, params.componentGap) * width;
    for (std::size_t s = 0; s < ink.size(); ++s)
        if (boxes[s].left >= boundary)
            for (Point &p : ink[s]) p.x += gap;
}

// Writers often carry a stroke on until it meets the stroke it points at,
// where the stroke source leaves a gap (the two dots of a 立 drawn from bar
// to bar, the sides of a box run into its base). Each stroke end, with
// probability touchRate, is drawn on along its direction to the nearest
// other stroke within touchReach.
void CloseGaps(Ink &ink, const SynthParams &params, Random &rng) {
    for (std::size_t i = 0; i < ink.size(); ++i) {
        Stroke &stroke = ink[i];
        if (rng.Chance(params.touchRate)) {
            const Point backward = StartDirection(stroke, kDirectionReach) * -1.0;
            const Stroke lead = Extension(ink, i, stroke.front(), backward, params.touchReach);
            stroke.insert(stroke.begin(), lead.rbegin(), lead.rend());
        }
        if (rng.Chance(params.touchRate)) {
            const Stroke tail =
                Extension(ink, i, stroke.back(), EndDirection(stroke, kDirectionReach), params.touchReach);
            stroke.insert(stroke.end(), tail.begin(), tail.end());
        }
    }
}

void ApplyWriterStyle(Ink &ink, const SynthParams &params, Random &rng) {
    const double angle = rng.Normal(params.rotate);
    const double slant = rng.Normal(params.slant);
    const double shear = params.shearMean + rng.Normal(params.shear);
    const double stretch = std::exp(0.5 * rng.Normal(params.aspect));
    // The warp is a sum of two plane waves per axis with wavelengths of
    // about one character.
    struct Wave {
        double amplitude, kx, ky, phase;
    } waves[2][2];
    for (auto &axis : waves) {
        for (Wave &wave : axis) {
            const double k = 2 * M_PI * rng.Uniform(0.5, 1.5) / 1024;
            const double direction = rng.Uniform(0, 2 * M_PI);
            wave = {params.warp * rng.Uniform(-1, 1), k * std::cos(direction), k * std::sin(direction),
                    rng.Uniform(0, 2 * M_PI)};
        }
    }
    auto displace = [&](const Wave(&axis)[2], Point p) {
        double sum = 0;
        for (const Wave &w : axis) sum += w.amplitude * std::sin(w.kx * p.x + w.ky * p.y + w.phase);
        return sum;
    };
    const Box box = Bounds(ink);
    const Point centre{(box.left + box.right) / 2, (box.top + box.bottom) / 2};
    for (Stroke &stroke : ink) {
        for (Point &p : stroke) {
            Point q = p - centre + Point{displace(waves[0], p), displace(waves[1], p)};
            q = {q.x * stretch, q.y / stretch};
            q.x += slant * q.y;
            q.y += shear * q.x;
            p = centre + Rotate(q, angle);
        }
    }
}

void JoinStrokes(Ink &ink, const SynthParams &params, Random &rng) {
    if (ink.size() < 2) return;
    // Some writers join almost everything, others print: the rate of the
    // sample is drawn around the mean rate.
    const double cursiveness = std::min(1.0, params.joinRate * rng.Uniform(0, 2));
    Ink joined{ink[0]};
    for (std::size_t i = 1; i < ink.size(); ++i) {
        const double gap = Distance(joined.back().back(), ink[i].front());
        const double chance = cursiveness * std::max(0.0, 1 - gap / params.joinReach);
        if (rng.Chance(chance))
            Connect(joined.back(), ink[i]);
        else
            joined.push_back(ink[i]);
    }
    ink = std::move(joined);
}

namespace {

// Index of the stroke's sharpest turn, its direction measured over `span`
// points on each side; 0 when the stroke is too short to turn.
std::size_t SharpestTurn(const Stroke &stroke, std::size_t span) {
    std::size_t sharpest = 0;
    double least = 2;  // the lower the cosine, the sharper the turn
    for (std::size_t i = span; i + span < stroke.size(); ++i) {
        const double cosine = TurnCosine(stroke, i, span);
        if (cosine < least) least = cosine, sharpest = i;
    }
    return sharpest;
}

}  // namespace

void BreakStrokes(Ink &ink, const SynthParams &params, Random &rng) {
    if (params.breakRate <= 0) return;
    const auto span = static_cast<std::size_t>(kDirectionReach / kSourceStep);
    Ink broken;
    for (const Stroke &stroke : ink) {
        const std::size_t turn = rng.Chance(params.breakRate) ? SharpestTurn(stroke, span) : 0;
        if (turn == 0) {
            broken.push_back(stroke);
            continue;
        }
        // The pen lifts at the turn and comes down where it left off.
        broken.emplace_back(stroke.begin(), stroke.begin() + static_cast<std::ptrdiff_t>(turn) + 1);
        broken.emplace_back(stroke.begin() + static_cast<std::ptrdiff_t>(turn), stroke.end());
    }
    ink = std::move(broken);
}

void TracePen(Ink &ink, const SynthParams &params, Random &rng) {
    const double smoothing = rng.Uniform(0, params.smoothing);
    double spacing = rng.LogUniform(params.spacingMin, params.spacingMax);
    Ink traced;
    for (;; spacing *= 2) {
        traced.clear();
        for (const Stroke &stroke : ink)
            traced.push_back(TraceStroke(stroke, smoothing, spacing, params.speedVariation));
        if (PointCount(traced) <= kMaxSamplePoints) break;
    }
    for (Stroke &stroke : traced) {
        AddTremor(stroke, params.tremor, rng);
        for (Point &p : stroke) p = p + Point{rng.Normal(params.jitter), rng.Normal(params.jitter)};
    }
    ink = std::move(traced);
}

void ReduceSample(Ink &ink, const SynthParams &params, Random &rng) {
    if (!rng.Chance(params.reduceRate)) return;
    const double tolerance = rng.Uniform(params.reduceMin, params.reduceMax);
    for (Stroke &stroke : ink) stroke = ReduceVertices(stroke, tolerance);
}

namespace {

// The parameters of one sample's writer: stroke deviations and joins scaled
// by the writer's care.
SynthParams WithCare(const SynthParams &params, Random &rng) {
    const double mess = rng.Uniform(params.messMin, 1);
    SynthParams scaled = params;
    for (double SynthParams::*field :
         {&SynthParams::strokeShift, &SynthParams::strokeScale, &SynthParams::strokeRotate, &SynthParams::strokeTrim,
          &SynthParams::strokeBend, &SynthParams::hookRate, &SynthParams::joinRate})
        scaled.*field *= mess;
    return scaled;
}

}  // namespace

Ink Synthesize(const Ink &hand, const SynthParams &params, Random &rng) {
    Ink ink;
    for (const Stroke &stroke : hand) ink.push_back(Densify(stroke, kSourceStep));
    Random swapRng(rng.Next()), shapeRng(rng.Next()), styleRng(rng.Next());
    Random joinRng(rng.Next()), penRng(rng.Next()), reduceRng(rng.Next()), careRng(rng.Next());
    Random directionRng(rng.Next()), touchRng(rng.Next());
    const SynthParams careful = WithCare(params, careRng);
    SwapStrokes(ink, params, swapRng);
    DrawFlatStrokesRightwards(ink, params, directionRng);
    VaryStrokes(ink, careful, shapeRng);
    CloseGaps(ink, params, touchRng);
    // Drawn from a copy, so that the caller's generator and every other
    // stage see the same draws whether or not parts are spread or strokes
    // broken.
    Random copy = rng, partRng(copy.Next()), breakRng(copy.Next());
    SpreadParts(ink, params, partRng);
    ApplyWriterStyle(ink, params, styleRng);
    JoinStrokes(ink, careful, joinRng);
    BreakStrokes(ink, params, breakRng);
    TracePen(ink, params, penRng);
    ReduceSample(ink, params, reduceRng);
    return ink;
}

}  // namespace penrune::synth
