// SPDX-License-Identifier: MIT
#include "LineScore.h"

#include <algorithm>

namespace penrune {

EditCounts Align(const LineText16 &ref, const LineText16 &hyp) {
    const std::size_t n = ref.size(), m = hyp.size();
    std::vector<std::vector<int>> cost(n + 1, std::vector<int>(m + 1));
    for (std::size_t a = 0; a <= n; ++a) cost[a][0] = static_cast<int>(a);
    for (std::size_t b = 0; b <= m; ++b) cost[0][b] = static_cast<int>(b);
    for (std::size_t a = 1; a <= n; ++a)
        for (std::size_t b = 1; b <= m; ++b)
            cost[a][b] =
                std::min({cost[a - 1][b - 1] + (ref[a - 1] != hyp[b - 1]), cost[a - 1][b] + 1, cost[a][b - 1] + 1});
    EditCounts e;
    for (std::size_t a = n, b = m; a > 0 || b > 0;) {
        if (a > 0 && b > 0 && cost[a][b] == cost[a - 1][b - 1] + (ref[a - 1] != hyp[b - 1])) {
            e.s += ref[a - 1] != hyp[b - 1];
            --a, --b;
        } else if (a > 0 && cost[a][b] == cost[a - 1][b] + 1) {
            ++e.d, --a;
        } else {
            ++e.i, --b;
        }
    }
    return e;
}

}  // namespace penrune
