/* SPDX-License-Identifier: MIT */
// Deterministic random numbers for the sample synthesiser.
//
// Every synthesised sample draws from its own generator, seeded from the run
// seed, the character code and the sample number, so a sample does not
// depend on which other characters or how many files a run produces.
#ifndef PENRUNE_TOOLS_SYNTH_RANDOM_H
#define PENRUNE_TOOLS_SYNTH_RANDOM_H

#include <cstdint>

namespace penrune::synth {

class Random {
public:
    explicit Random(std::uint64_t seed);

    // Seed of the generator of one sample.
    static std::uint64_t SampleSeed(std::uint64_t runSeed, std::uint32_t code, std::uint32_t index);

    std::uint64_t Next();
    double Uniform();                            // [0, 1)
    double Uniform(double low, double high);     // [low, high)
    double LogUniform(double low, double high);  // low, high > 0
    double Normal(double sigma);                 // mean 0, standard deviation sigma
    bool Chance(double probability);
    int Below(int count);  // 0 .. count-1; count > 0

private:
    std::uint64_t state_[4];
};

}  // namespace penrune::synth

#endif  // PENRUNE_TOOLS_SYNTH_RANDOM_H
