/* SPDX-License-Identifier: MIT */
// Parameters of the sample synthesiser.
//
// Lengths are in units of the 1024-unit box of the stroke sources, angles in
// radians, rates are probabilities. Every field can be set on the command
// line as --NAME=VALUE with the kebab-case form of its name in ParamTable()
// (--stroke-shift; the field name --strokeShift is read the same).
#ifndef PENRUNE_TOOLS_SYNTH_PARAMS_H
#define PENRUNE_TOOLS_SYNTH_PARAMS_H

#include <string>
#include <vector>

namespace penrune::synth {

struct SynthParams {
    // Writer style: one draw per sample, applied to the whole character.
    double rotate = 0.05;      // sd of the rotation
    double slant = 0.10;       // sd of the horizontal shear x += slant * y (leaning verticals)
    double shear = 0.05;       // sd of the vertical shear y += shear * x about shearMean
    double shearMean = -0.03;  // mean vertical shear; negative: horizontals rise to the right
    double aspect = 0.10;      // sd of the log of the width/height ratio
    double warp = 10;          // amplitude of a smooth non-linear displacement field

    // Stroke shape: one draw per stroke.
    double strokeShift = 10;     // sd of the stroke's displacement
    double strokeScale = 0.08;   // sd of the log of the stroke's size
    double strokeRotate = 0.20;  // sd of the stroke's rotation about its centre
    double strokeTrim = 0.05;    // sd of the length cut from (or added to) each stroke end, relative
    double strokeBend = 0.04;    // sd of the bow of the stroke, relative to its chord
    double hookRate = 0.25;      // probability that a stroke ends in a hook towards the next stroke
    double hookLength = 50;      // longest hook
    // Care: some writers print neatly, others rush. The stroke-shape
    // deviations above and the join rate of a sample are scaled by a factor
    // drawn uniformly between messMin and 1.
    double messMin = 0.3;

    // Stroke order, stroke direction and cursive joins.
    double swapRate = 0.30;      // probability per sample that two adjacent strokes swap
    double rightwardRate = 0.5;  // per flat stroke drawn leftwards: probability it is drawn rightwards
    double joinRate = 0.30;      // per stroke boundary: probability of a join for a short pen-up move
    double joinReach = 300;      // pen-up moves this long or longer are never joined
    double breakRate = 0;        // per stroke: probability that the pen lifts once inside it, at its sharpest turn

    // Parts apart: in a character of a left and a right part, the right part
    // moves right by up to this share of the character's width (0: never).
    double componentGap = 0;

    // Closed gaps: stroke ends drawn on until they meet the stroke ahead.
    double touchRate = 0.3;   // per stroke end: probability of drawing on to the stroke ahead
    double touchReach = 120;  // longest such extension

    // Pen trace: the path is resampled as a tablet would record a moving pen.
    double smoothing = 14;        // largest sd (units of arc) of the rounding of corners
    double spacingMin = 3;        // point spacing at full speed, log-uniform between
    double spacingMax = 32;       //   spacingMin and spacingMax
    double speedVariation = 0.6;  // 0: constant speed; 1: the pen stops at stroke ends and corners
    double tremor = 2.5;          // amplitude of slow pen tremor
    double jitter = 1.0;          // sd of per-point digitiser noise

    // Vertex reduction (sparse mouse or touch polylines).
    double reduceRate = 0.5;  // share of samples that are vertex-reduced
    double reduceMin = 5;     // Douglas-Peucker tolerance, uniform between
    double reduceMax = 25;    //   reduceMin and reduceMax

    // Quantisation into sample-file coordinates 0..254.
    double sizeMin = 48;   // the longer side of the character, uniform between
    double sizeMax = 254;  //   sizeMin and sizeMax
};

// Parameters with every distortion off: the source strokes are traced at
// constant speed with dense points and scaled to the full output box.
SynthParams NeutralParams();

// A careless writer's: stroke and character distortions well beyond the
// training synthesis, the parts of left-right characters set apart and now
// and then a stroke written in two, so that characters alone are recognised
// about as often as real writers' are (95-97 %). Line and test sets that
// must show real confusions use it.
SynthParams CarelessParams();

struct ParamInfo {
    const char *name;  // the field's name; options spell it in kebab case
    double SynthParams::*field;
    const char *help;
};

// Every field of SynthParams, in declaration order.
const std::vector<ParamInfo> &ParamTable();

// Sets the field called `name` (either spelling); false for an unknown name.
bool SetParam(SynthParams &params, const std::string &name, double value);

// Empty when the parameters are usable, otherwise what is wrong.
std::string ValidateParams(const SynthParams &params);

}  // namespace penrune::synth

#endif  // PENRUNE_TOOLS_SYNTH_PARAMS_H
