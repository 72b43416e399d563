// SPDX-License-Identifier: MIT
#include "SynthParams.h"

#include "Args.h"

namespace penrune::synth {

SynthParams NeutralParams() {
    SynthParams p;
    p.rotate = p.slant = p.shear = p.shearMean = p.aspect = p.warp = 0;
    p.strokeShift = p.strokeScale = p.strokeRotate = p.strokeTrim = p.strokeBend = 0;
    p.hookRate = 0;
    p.swapRate = p.rightwardRate = p.joinRate = p.touchRate = 0;
    p.smoothing = 0;
    p.spacingMin = p.spacingMax = 4;
    p.speedVariation = p.tremor = p.jitter = 0;
    p.reduceRate = 0;
    p.sizeMin = p.sizeMax = 254;
    return p;
}

SynthParams CarelessParams() {
    SynthParams p;
    p.strokeShift = 18;
    p.strokeRotate = 0.28;
    p.strokeScale = 0.11;
    p.warp = 18;
    p.slant = 0.14;
    p.rotate = 0.07;
    p.aspect = 0.14;
    p.swapRate = 0.45;
    p.joinRate = 0.45;
    p.messMin = 0.45;
    p.componentGap = 0.25;
    p.breakRate = 0.01;
    return p;
}

const std::vector<ParamInfo> &ParamTable() {
    static const std::vector<ParamInfo> table = {
        {"rotate", &SynthParams::rotate, "sd of the character's rotation (radians)"},
        {"slant", &SynthParams::slant, "sd of the horizontal shear (leaning verticals)"},
        {"shear", &SynthParams::shear, "sd of the vertical shear about shear-mean"},
        {"shearMean", &SynthParams::shearMean, "mean vertical shear (negative: rising horizontals)"},
        {"aspect", &SynthParams::aspect, "sd of the log width/height ratio"},
        {"warp", &SynthParams::warp, "amplitude of the smooth non-linear warp (units)"},
        {"strokeShift", &SynthParams::strokeShift, "sd of each stroke's displacement (units)"},
        {"strokeScale", &SynthParams::strokeScale, "sd of the log of each stroke's size"},
        {"strokeRotate", &SynthParams::strokeRotate, "sd of each stroke's rotation (radians)"},
        {"strokeTrim", &SynthParams::strokeTrim, "sd of the relative length change at each stroke end"},
        {"strokeBend", &SynthParams::strokeBend, "sd of each stroke's bow relative to its chord"},
        {"hookRate", &SynthParams::hookRate, "probability of an end hook towards the next stroke"},
        {"hookLength", &SynthParams::hookLength, "longest end hook (units)"},
        {"messMin", &SynthParams::messMin, "0..1: smallest per-sample scale of stroke deviations and joins"},
        {"swapRate", &SynthParams::swapRate, "probability per sample of swapping two adjacent strokes"},
        {"rightwardRate", &SynthParams::rightwardRate, "probability that a flat leftward stroke is drawn rightwards"},
        {"joinRate", &SynthParams::joinRate, "probability of a cursive join over a short pen-up move"},
        {"joinReach", &SynthParams::joinReach, "pen-up moves this long are never joined (units)"},
        {"breakRate", &SynthParams::breakRate, "probability per stroke of a pen lift at its sharpest turn"},
        {"componentGap", &SynthParams::componentGap,
         "largest move of a right part away from the left, share of the width"},
        {"touchRate", &SynthParams::touchRate, "probability that a stroke end is drawn on to the stroke ahead"},
        {"touchReach", &SynthParams::touchReach, "longest extension of a stroke end to the stroke ahead (units)"},
        {"smoothing", &SynthParams::smoothing, "largest sd of the corner rounding (units of arc)"},
        {"spacingMin", &SynthParams::spacingMin, "smallest point spacing at full pen speed (units)"},
        {"spacingMax", &SynthParams::spacingMax, "largest point spacing at full pen speed (units)"},
        {"speedVariation", &SynthParams::speedVariation, "0..1: slowing of the pen at ends and corners"},
        {"tremor", &SynthParams::tremor, "amplitude of the slow pen tremor (units)"},
        {"jitter", &SynthParams::jitter, "sd of the per-point noise (units)"},
        {"reduceRate", &SynthParams::reduceRate, "share of samples reduced to sparse polylines"},
        {"reduceMin", &SynthParams::reduceMin, "smallest Douglas-Peucker tolerance (units)"},
        {"reduceMax", &SynthParams::reduceMax, "largest Douglas-Peucker tolerance (units)"},
        {"sizeMin", &SynthParams::sizeMin, "smallest character size in the sample file (1..254)"},
        {"sizeMax", &SynthParams::sizeMax, "largest character size in the sample file (1..254)"},
    };
    return table;
}

bool SetParam(SynthParams &params, const std::string &name, double value) {
    for (const ParamInfo &info : ParamTable()) {
        if (KebabCase(name) == KebabCase(info.name)) {
            params.*info.field = value;
            return true;
        }
    }
    return false;
}

std::string ValidateParams(const SynthParams &p) {
    for (const ParamInfo &info : ParamTable()) {
        const double value = p.*info.field;
        if (!(value == value)) return KebabCase(info.name) + " is not a number";
        if (value < 0 && info.field != &SynthParams::shearMean) return KebabCase(info.name) + " must not be negative";
    }
    const double rates[] = {p.hookRate,  p.messMin,   p.swapRate,   p.rightwardRate, p.joinRate,
                            p.breakRate, p.touchRate, p.reduceRate, p.speedVariation};
    for (double rate : rates)
        if (rate > 1) return "rates, mess-min and speed-variation must lie in 0..1";
    if (p.spacingMin <= 0 || p.spacingMin > p.spacingMax) return "need 0 < spacing-min <= spacing-max";
    if (p.reduceMin > p.reduceMax) return "need reduce-min <= reduce-max";
    if (p.sizeMin < 1 || p.sizeMin > p.sizeMax || p.sizeMax > 254) return "need 1 <= size-min <= size-max <= 254";
    if (p.joinReach <= 0) return "join-reach must be positive";
    return "";
}

}  // namespace penrune::synth
