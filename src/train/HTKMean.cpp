// SPDX-License-Identifier: MIT
// k-means clustering of the MDC stage: farthest-first seeding, Lloyd
// iterations and the rejection of small clusters.
#include "train/HTDisc.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace {

constexpr HR_INT32 kSeedDistanceStart = 1073676289;  // 32767^2
constexpr float kAssignStart = 1e30f;
constexpr float kSmallClusterShare = 0.16f;
constexpr HR_UINT16 kUnassigned = 0xFFFF;

struct KMean {
    int count, stride, dim, k;
    float *centres;
    HR_UINT16 *assign;
    std::vector<HR_INT16> wide;     // samples widened to 16 bits
    std::vector<char> valid;        // still taking part in seeding and means
    std::vector<HR_INT32> minDist;  // least distance to a seed so far
    std::vector<int> seed;
    std::vector<int> members;  // valid members per centre at the last update
    std::vector<char> live;    // centre had a valid member at every update
    std::vector<float> sums;

    const HR_INT16 *Sample(int i) const { return &wide[static_cast<size_t>(i) * stride]; }
    float *Centre(int c) const { return centres + static_cast<size_t>(c) * stride; }
};

// Seeds 0 and 1: the valid pair farthest apart, earliest pair on ties. With
// fewer than two valid samples both are the first valid sample; the
// duplicate centre then gets no member and is dropped.
void FarthestPair(KMean &km) {
    HR_INT64 best = -1;
    int s0 = -1, s1 = -1;
    for (int i = 0; i < km.count; ++i) {
        if (!km.valid[i]) continue;
        if (s0 < 0) s0 = s1 = i;
        for (int j = i + 1; j < km.count; ++j) {
            if (!km.valid[j]) continue;
            HR_INT64 d = HTDisc_CountDistanceShort(km.Sample(i), km.Sample(j), km.dim);
            if (d > best) {
                best = d;
                s0 = i;
                s1 = j;
            }
        }
    }
    km.seed[0] = s0;
    if (km.k > 1) km.seed[1] = s1;
}

void LowerSeedDistance(KMean &km, int i, int s) {
    HR_INT32 d = HTDisc_CountDistanceShortCutByMax(km.Sample(i), km.Sample(km.seed[s]), km.dim, km.minDist[i]);
    if (d < km.minDist[i]) km.minDist[i] = d;
}

// Seeds 2 .. k-1: each time the valid sample farthest from all seeds so far.
void FarthestFirst(KMean &km) {
    for (int s = 2; s < km.k; ++s) {
        HR_INT32 best = -1;
        int pick = km.seed[0];
        for (int i = 0; i < km.count; ++i) {
            if (!km.valid[i]) continue;
            if (s == 2) LowerSeedDistance(km, i, 0);
            LowerSeedDistance(km, i, s - 1);
            if (km.minDist[i] > best) {
                best = km.minDist[i];
                pick = i;
            }
        }
        km.seed[s] = pick;
    }
}

void Seed(KMean &km) {
    std::fill(km.minDist.begin(), km.minDist.end(), kSeedDistanceStart);
    FarthestPair(km);
    FarthestFirst(km);
    for (int c = 0; c < km.k; ++c) {
        const HR_INT16 *s = km.Sample(km.seed[c]);
        for (int j = 0; j < km.stride; ++j) km.Centre(c)[j] = static_cast<float>(s[j]);
    }
    std::fill(km.live.begin(), km.live.end(), 1);
}

int NearestLiveCentre(const KMean &km, int i) {
    float best = kAssignStart;
    int nearest = kUnassigned;
    for (int c = 0; c < km.k; ++c) {
        if (!km.live[c]) continue;
        float d = HTDisc_CountDistanceFloatCutByMax(km.Sample(i), km.Centre(c), km.dim, best);
        if (d < best) {
            best = d;
            nearest = c;
        }
    }
    return nearest;
}

bool Assign(KMean &km) {
    bool changed = false;
    for (int i = 0; i < km.count; ++i) {
        HR_UINT16 c = static_cast<HR_UINT16>(NearestLiveCentre(km, i));
        if (km.assign[i] != c) changed = true;
        km.assign[i] = c;
    }
    return changed;
}

// Centres become the means of their valid members. A centre without valid
// member keeps its value but is retired: it takes no further assignment.
void Update(KMean &km) {
    std::fill(km.sums.begin(), km.sums.end(), 0.0f);
    std::fill(km.members.begin(), km.members.end(), 0);
    for (int i = 0; i < km.count; ++i) {
        if (!km.valid[i] || km.assign[i] == kUnassigned) continue;
        float *sum = &km.sums[static_cast<size_t>(km.assign[i]) * km.stride];
        for (int j = 0; j < km.stride; ++j) sum[j] += static_cast<float>(km.Sample(i)[j]);
        ++km.members[km.assign[i]];
    }
    for (int c = 0; c < km.k; ++c) {
        if (!km.live[c]) continue;
        if (km.members[c] == 0) {
            km.live[c] = 0;
            continue;
        }
        for (int j = 0; j < km.stride; ++j)
            km.Centre(c)[j] = km.sums[static_cast<size_t>(c) * km.stride + j] / static_cast<float>(km.members[c]);
    }
}

// Assignment and update until no assignment changes, at most 100 times.
void Iterate(KMean &km) {
    for (int it = 0; it < HT_DISC_KMEAN_ITERATIONS; ++it) {
        bool changed = Assign(km);
        Update(km);
        if (!changed) return;
    }
}

// Marks invalid the samples of every live centre with fewer valid members
// than the threshold. Returns whether any was found. When every live centre
// is small, rejecting would leave nothing to cluster, so none is rejected.
bool RejectSmallClusters(KMean &km) {
    float threshold = kSmallClusterShare / static_cast<float>(km.k) * static_cast<float>(km.count);
    std::vector<char> small(km.k, 0);
    bool anySmall = false, anyLarge = false;
    for (int c = 0; c < km.k; ++c) {
        if (!km.live[c]) continue;
        small[c] = static_cast<float>(km.members[c]) < threshold;
        anySmall = anySmall || small[c];
        anyLarge = anyLarge || !small[c];
    }
    if (!anySmall || !anyLarge) return false;
    for (int i = 0; i < km.count; ++i)
        if (km.assign[i] != kUnassigned && small[km.assign[i]]) km.valid[i] = 0;
    return true;
}

// Drops retired centres, renumbers the rest and gives their samples to the
// nearest remaining centre. Returns the number of centres kept.
int Compact(KMean &km) {
    if (std::find(km.live.begin(), km.live.end(), 1) == km.live.end()) return 0;
    for (int i = 0; i < km.count; ++i)
        if (km.assign[i] == kUnassigned || !km.live[km.assign[i]])
            km.assign[i] = static_cast<HR_UINT16>(NearestLiveCentre(km, i));
    std::vector<HR_UINT16> renumber(km.k, kUnassigned);
    int kept = 0;
    for (int c = 0; c < km.k; ++c) {
        if (!km.live[c]) continue;
        if (kept != c) std::memmove(km.Centre(kept), km.Centre(c), sizeof(float) * km.stride);
        renumber[c] = static_cast<HR_UINT16>(kept++);
    }
    for (int i = 0; i < km.count; ++i) km.assign[i] = renumber[km.assign[i]];
    return kept;
}

}  // namespace

extern "C" int HTCluster_KMean(const HR_INT8 *samples, int count, int stride, int dim, int k, float *centres,
                               HR_UINT16 *assign) {
    if (count <= 0 || k <= 0 || stride <= 0 || dim <= 0 || dim > stride) return 0;
    KMean km;
    km.count = count;
    km.stride = stride;
    km.dim = dim;
    km.k = std::min(std::min(k, count), static_cast<int>(kUnassigned));
    km.centres = centres;
    km.assign = assign;
    km.wide.assign(samples, samples + static_cast<size_t>(count) * stride);
    km.valid.assign(count, 1);
    km.minDist.assign(count, kSeedDistanceStart);
    km.seed.assign(km.k, 0);
    km.members.assign(km.k, 0);
    km.live.assign(km.k, 1);
    km.sums.assign(static_cast<size_t>(km.k) * stride, 0.0f);
    std::fill(assign, assign + count, kUnassigned);
    // An attempt is final when no small cluster was rejected: whether or not
    // it converged, the next attempt would start from the same valid samples
    // and repeat it exactly.
    for (int attempt = 0; attempt < HT_DISC_KMEAN_ATTEMPTS; ++attempt) {
        Seed(km);
        Iterate(km);
        if (!RejectSmallClusters(km)) break;
    }
    return Compact(km);
}
