// SPDX-License-Identifier: MIT
// xoshiro256** seeded through splitmix64: fast, well mixed, and identical on
// every platform (the standard library's distributions are not).
#include "SynthRandom.h"

#include <cmath>

namespace penrune::synth {

namespace {

std::uint64_t SplitMix(std::uint64_t &x) {
    std::uint64_t z = (x += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
}

std::uint64_t Rotl(std::uint64_t x, int k) { return (x << k) | (x >> (64 - k)); }

}  // namespace

Random::Random(std::uint64_t seed) {
    for (auto &word : state_) word = SplitMix(seed);
}

std::uint64_t Random::SampleSeed(std::uint64_t runSeed, std::uint32_t code, std::uint32_t index) {
    std::uint64_t x = runSeed;
    std::uint64_t a = SplitMix(x) ^ (static_cast<std::uint64_t>(code) << 32 | index);
    return SplitMix(a);
}

std::uint64_t Random::Next() {
    const std::uint64_t result = Rotl(state_[1] * 5, 7) * 9;
    const std::uint64_t t = state_[1] << 17;
    state_[2] ^= state_[0];
    state_[3] ^= state_[1];
    state_[1] ^= state_[2];
    state_[0] ^= state_[3];
    state_[2] ^= t;
    state_[3] = Rotl(state_[3], 45);
    return result;
}

double Random::Uniform() { return static_cast<double>(Next() >> 11) * 0x1.0p-53; }

double Random::Uniform(double low, double high) { return low + (high - low) * Uniform(); }

double Random::LogUniform(double low, double high) { return std::exp(Uniform(std::log(low), std::log(high))); }

double Random::Normal(double sigma) {
    // Box-Muller; 1 - Uniform() lies in (0, 1], so the logarithm is finite.
    const double radius = std::sqrt(-2.0 * std::log(1.0 - Uniform()));
    return sigma * radius * std::cos(2.0 * M_PI * Uniform());
}

bool Random::Chance(double probability) { return Uniform() < probability; }

int Random::Below(int count) { return static_cast<int>(Uniform() * count); }

}  // namespace penrune::synth
