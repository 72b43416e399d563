// SPDX-License-Identifier: MIT
// Scoring a recognised line against its reference text: the edit
// operations of their best alignment, from which the line benchmark's
// character correct rate (N - S - D) / N and accurate rate
// (N - S - D - I) / N follow.
#ifndef PENRUNE_TOOLS_LINE_SCORE_H
#define PENRUNE_TOOLS_LINE_SCORE_H

#include <cstdint>
#include <vector>

namespace penrune {

using LineText16 = std::vector<std::uint16_t>;

// Substitutions, deletions and insertions that turn ref into hyp.
struct EditCounts {
    long s = 0, d = 0, i = 0;
};

// The counts of a least-cost alignment (every operation costs 1); among
// alignments of equal cost, substitutions are preferred.
EditCounts Align(const LineText16 &ref, const LineText16 &hyp);

}  // namespace penrune

#endif  // PENRUNE_TOOLS_LINE_SCORE_H
