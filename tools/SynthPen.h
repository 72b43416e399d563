/* SPDX-License-Identifier: MIT */
// Turns a hand (the source strokes of one character, 1024-unit box, y down)
// into one synthetic handwritten sample.
//
// The stages imitate what varies between real writers and between the
// samples of one writer, in the order a pen produces them:
//   1. stroke order and direction: now and then two adjacent strokes that
//      touch swap, and flat strokes drawn leftwards are drawn rightwards;
//   2. stroke shape: each stroke is shifted, scaled, rotated, lengthened or
//      shortened at its ends, bowed, and may end in a hook towards the next
//      stroke, more or less so with the care of the sample's writer;
//   3. closed gaps: now and then a stroke end is drawn on until it meets
//      the stroke it points at, where the source leaves a gap;
//   4. writer style: the parts of a left-right character are set apart
//      (off by default), and the whole character is rotated, slanted,
//      sheared, stretched and smoothly warped;
//   5. cursive joins: the pen stays down between strokes whose pen-up move
//      is short, drawing a connecting curve;
//   6. pen trace: corners are rounded and the path is resampled at the
//      pace of a pen that slows down at stroke ends and corners, with slow
//      tremor and digitiser noise;
//   7. vertex reduction: a share of samples become sparse polylines, as
//      mouse and touch input record them.
// Quantisation into sample-file bytes follows (SynthSample.h).
#ifndef PENRUNE_TOOLS_SYNTH_PEN_H
#define PENRUNE_TOOLS_SYNTH_PEN_H

#include "SynthGeometry.h"
#include "SynthParams.h"
#include "SynthRandom.h"

namespace penrune::synth {

// Most points a synthesised sample may have; a sparser trace is taken when
// dense sampling would exceed it.
constexpr std::size_t kMaxSamplePoints = 6000;

// All stages in order. Each stage draws from its own generator seeded from
// `rng`, so changing one stage's parameter leaves the others' draws alone.
Ink Synthesize(const Ink &hand, const SynthParams &params, Random &rng);

// The stages, for tests and experiments.
void SwapStrokes(Ink &ink, const SynthParams &params, Random &rng);
void DrawFlatStrokesRightwards(Ink &ink, const SynthParams &params, Random &rng);
void VaryStrokes(Ink &ink, const SynthParams &params, Random &rng);
void CloseGaps(Ink &ink, const SynthParams &params, Random &rng);
void SpreadParts(Ink &ink, const SynthParams &params, Random &rng);
void ApplyWriterStyle(Ink &ink, const SynthParams &params, Random &rng);
void JoinStrokes(Ink &ink, const SynthParams &params, Random &rng);
void BreakStrokes(Ink &ink, const SynthParams &params, Random &rng);
void TracePen(Ink &ink, const SynthParams &params, Random &rng);
void ReduceSample(Ink &ink, const SynthParams &params, Random &rng);

}  // namespace penrune::synth

#endif  // PENRUNE_TOOLS_SYNTH_PEN_H
