// SPDX-License-Identifier: MIT
// Class prototypes: the MDC stage, .mdc files and MCE training by generalized
// probabilistic descent (k-means lives in HTKMean.cpp).
#include "train/HTDisc.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>
#include <vector>

#include "arch/HATrainKernels.h"
#include "train/HTCode.h"
#include "train/HTLog.h"
#include "train/HTPlatform.h"
#include "util/HWBytes.h"

// Distances and updates must round exactly as written, one operation at a
// time: a fused multiply-add (on targets that have one) would change the
// trained prototypes. GCC contracts across statements, so the functions that
// multiply and add carry HT_NO_CONTRACT.
#if defined(__clang__)
#pragma STDC FP_CONTRACT OFF
#define HT_NO_CONTRACT
#elif defined(__GNUC__)
#define HT_NO_CONTRACT __attribute__((optimize("fp-contract=off")))
#else
#define HT_NO_CONTRACT
#endif

namespace {

constexpr float kProtoDistanceBase = 36.9f;
constexpr float kNoDistance = 1e36f;     // class without prototypes, empty slot
constexpr float kFilledLimit = 9.9e35f;  // entries at or above are unfilled
constexpr int kCandMin = 100;            // candidates kept at least
constexpr double kCandGap = 0.23;        // relative gap that ends the list
// Exponent of the generalized means of MCE training: a class is measured by
// the mean of its prototype distances, the competitors by the mean of their
// class distances, each as (sum of d^-kMceExponent / n)^(-1 / kMceExponent).
// The gradient needs the powers below, derived from it.
constexpr double kMceExponent = 9.0;
// 1 / kMceExponent as a float value: the trained models were made with it.
constexpr double kMceRoot = static_cast<float>(1.0 / kMceExponent);
// d/dx of x^(-1/eta) carries the power -(1 + 1/eta).
constexpr double kWeightPower = -(1.0 + 1.0 / kMceExponent);
// The weight of a competitor grows with its mean ratio to the power eta + 1.
constexpr double kCompetitorPower = kMceExponent + 1.0;
// A competitor mean above this overflowed the float sum it came from.
constexpr double kCompetitorMeanLimit = 1e36;
constexpr double kLossScale = -0.002;
constexpr double kMinLossSlope = 1e-36;
constexpr double kStartRate = 0.02;
constexpr int kBlockFloats = HT_DISC_LANES * HT_DISC_DIM;  // one lane-major block
constexpr int kBlocksPerPass = 4;
static_assert(HT_DISC_LANES == penrune::kHALanes, "the distance kernels read blocks of kHALanes prototypes");

using penrune::LoadU16;
using penrune::StoreU16;

// ---- prototype storage --------------------------------------------------

size_t FlatOffset(HR_UINT32 flat, int j) {
    return static_cast<size_t>(flat / HT_DISC_LANES) * kBlockFloats + static_cast<size_t>(j) * HT_DISC_LANES +
           flat % HT_DISC_LANES;
}

void PackFirstNumbers(_HT_PROTO_SET *set) {
    HR_UINT32 flat = 0;
    for (int c = 0; c < set->classTotal; ++c) {
        set->first[c] = flat;
        flat += static_cast<HR_UINT32>(set->count[c]);
    }
}

bool PathOf(char *out, const char *dir, const char *name, int number) {
    char fmt[32];
    std::snprintf(fmt, sizeof fmt, "%%s/%s", name);
    return HT_FormatPath(out, fmt, dir, number) != 0;
}

// Number of 66-byte records of a file, 0 when it cannot be opened.
HR_UINT32 RecordCount(const char *path) {
    FILE *fp = std::fopen(path, "rb");
    if (!fp) return 0;
    HR_UINT32 n = HT_FileLength(fp) / HT_DISC_RECORD;
    std::fclose(fp);
    return n;
}

// ---- MDC stage ------------------------------------------------------------

struct MdcWork {
    std::vector<HR_UINT8> records = std::vector<HR_UINT8>(static_cast<size_t>(HT_DISC_MDC_SAMPLES) * HT_DISC_RECORD);
    std::vector<HR_INT8> samples = std::vector<HR_INT8>(static_cast<size_t>(HT_DISC_MDC_SAMPLES) * HT_DISC_DIM);
    std::vector<HR_UINT16> assign = std::vector<HR_UINT16>(HT_DISC_MDC_SAMPLES);
    float protos[HT_DISC_PROTO_MAX * HT_DISC_DIM];
};

// Prototypes of one class from its n records: the mean for one, k-means
// otherwise. Returns how many were made.
int MakeClassPrototypes(MdcWork &w, int read, int nodeNum) {
    int n = std::min(read, nodeNum);
    if (n == 1) {
        std::fill(w.protos, w.protos + HT_DISC_DIM, 0.0f);
        for (int i = 0; i < read; ++i)
            for (int j = 0; j < HT_DISC_DIM; ++j)
                w.protos[j] += static_cast<float>(w.samples[static_cast<size_t>(i) * HT_DISC_DIM + j]);
        for (int j = 0; j < HT_DISC_DIM; ++j) w.protos[j] /= static_cast<float>(read);
        return 1;
    }
    int k = std::min(n, HT_DISC_PROTO_MAX);
    return HTCluster_KMean(w.samples.data(), read, HT_DISC_DIM, HT_DISC_DIM, k, w.protos, w.assign.data());
}

// Writes the prototypes of one class. False when a component lies outside
// -128..128 or the write fails.
bool WriteClassPrototypes(FILE *out, HR_UINT16 code, const float *protos, int count) {
    HR_UINT8 record[HT_DISC_RECORD];
    StoreU16(record, code);
    for (int p = 0; p < count; ++p) {
        for (int j = 0; j < HT_DISC_DIM; ++j) {
            float x = protos[p * HT_DISC_DIM + j];
            if (!(x >= -128.0f && x <= 128.0f)) return false;
            record[2 + j] = static_cast<HR_UINT8>(HTDisc_RoundComponent(x));
        }
        if (std::fwrite(record, HT_DISC_RECORD, 1, out) != 1) return false;
    }
    return true;
}

bool RunMdc(const char *sortDir, FILE *out) {
    MdcWork w;
    const _CODE_ITEM *items = HTCode_GetItemPtr();
    for (int i = 0; i < HTCode_GetItemTotal(); ++i) {
        char path[HT_PATH_MAX];
        if (!HT_FormatPath(path, "%s/%x.fec", sortDir, items[i].code)) continue;
        FILE *fp = std::fopen(path, "rb");
        if (!fp) continue;
        int read = static_cast<int>(std::fread(w.records.data(), HT_DISC_RECORD, HT_DISC_MDC_SAMPLES, fp));
        std::fclose(fp);
        for (int r = 0; r < read; ++r)
            std::memcpy(&w.samples[static_cast<size_t>(r) * HT_DISC_DIM],
                        &w.records[static_cast<size_t>(r) * HT_DISC_RECORD + 2], HT_DISC_DIM);
        int made = MakeClassPrototypes(w, read, items[i].nodeNum);
        if (made < 1) continue;
        if (!WriteClassPrototypes(out, items[i].code, w.protos, made)) return false;
    }
    return true;
}

// ---- MCE distances --------------------------------------------------------

// Inserts class c with distance d: after all strictly nearer entries, before
// equal ones; the last entry drops out.
void InsertCandidate(_HT_CAND_LIST *list, int c, float d) {
    if (!(d < list->item[HT_DISC_CAND_MAX - 1].distance)) return;
    const _HT_CAND *at = std::lower_bound(list->item, list->item + HT_DISC_CAND_MAX - 1, d,
                                          [](const _HT_CAND &e, float v) { return e.distance < v; });
    int pos = static_cast<int>(at - list->item);
    std::memmove(&list->item[pos + 1], &list->item[pos], sizeof(_HT_CAND) * (HT_DISC_CAND_MAX - 1 - pos));
    list->item[pos].classIndex = static_cast<HR_UINT16>(c);
    list->item[pos].distance = d;
    if (list->count < HT_DISC_CAND_MAX) ++list->count;
}

// Receives prototype distances in flat order and turns them into prototype
// and class distances and the candidate list.
struct ClassWalker {
    int c, end, k;
    const HR_INT8 *counts;
    double *classDistance, *protoDistance;
    _HT_CAND_LIST *list;

    // Closes the classes without prototypes from c on.
    void SkipEmpty() {
        while (c < end && counts[c] <= 0) classDistance[c++] = kNoDistance;
        k = 1;
        if (c < end) classDistance[c] = kNoDistance;
    }
    void Take(float d) {
        protoDistance[static_cast<size_t>(c) * HT_DISC_PROTO_MAX + k - 1] = d;
        if (d < classDistance[c]) classDistance[c] = d;
        if (++k > counts[c]) {
            InsertCandidate(list, c, static_cast<float>(classDistance[c]));
            ++c;
            SkipEmpty();
        }
    }
};

float ClassFactor(const _HT_PROTO_SET *set, int c, int t, int n) {
    if (c == t) return 1.0f;
    float g = set->competitorMean;
    return static_cast<float>(std::pow(static_cast<double>(g / set->classDistSingle[c]), kCompetitorPower)) /
           static_cast<float>(n - 1);
}

// pow(q, 1 / kMceExponent) for the prototype counts 0 .. 16.
struct CountPowers {
    float value[HT_DISC_PROTO_MAX + 1];
    CountPowers() {
        for (int q = 0; q <= HT_DISC_PROTO_MAX; ++q)
            value[q] = static_cast<float>(std::pow(static_cast<double>(q), kMceRoot));
    }
};

// Weight of prototype k (1-based) of class c: the share of the class's
// generalized mean that this prototype carries. The terms k2 = k and the
// single-prototype class are pow of 1.0, which is exactly 1.
float ProtoWeight(const _HT_PROTO_SET *set, int c, int k, int q) {
    static const CountPowers powers;
    if (q == 1) return 1.0f;
    const double *dist = set->protoDist[c];
    float sum = 0.0f;
    for (int k2 = 0; k2 < q; ++k2)
        sum += k2 == k - 1 ? 1.0f : static_cast<float>(std::pow(dist[k - 1] / dist[k2], kMceExponent));
    return static_cast<float>(std::pow(static_cast<double>(sum), kWeightPower)) * powers.value[q];
}

// Competitor mean g, nearest competitor m and the loss slope of the sample.
void ComputeLoss(_HT_PROTO_SET *set, int t) {
    const _HT_CAND_LIST &cand = set->cand;
    int n = cand.count;
    float S = 0.0f, m = kNoDistance;
    for (int e = 0; e < n; ++e) {
        int c = cand.item[e].classIndex;
        set->classDistSingle[c] = static_cast<float>(set->classDist[c]);
        if (c == t) continue;
        float dc = set->classDistSingle[c];
        S += static_cast<float>(std::pow(static_cast<double>(dc), -kMceExponent));
        if (dc < m) m = dc;
    }
    float g = 0.0f;
    if (n > 1) {
        float competitors = static_cast<float>(n - 1);
        g = static_cast<float>(std::pow(static_cast<double>(S / competitors), -kMceRoot));
        if (static_cast<double>(g) > kCompetitorMeanLimit)
            g = m / static_cast<float>(std::pow(static_cast<double>(competitors), -kMceRoot));
    }
    double s =
        1.0 / (1.0 + std::exp(kLossScale * (static_cast<double>(set->classDistSingle[t]) - static_cast<double>(m))));
    set->competitorMean = g;
    set->nearestCompetitor = m;
    set->lossSlope = static_cast<float>((1.0 - s) * s);
}

// p[j] -= (x[j] - p[j]) * step * rate for the components of one prototype,
// which lie HT_DISC_LANES floats apart.
HT_NO_CONTRACT void MovePrototype(float *p, const float *x, int dim, float step, float rate) {
    for (int j = 0; j < dim; ++j) {
        float &pj = p[static_cast<size_t>(j) * HT_DISC_LANES];
        float pull = (x[j] - pj) * step;
        pj = pj - pull * rate;
    }
}

void RecordToSample(const HR_UINT8 *record, float *x) {
    for (int j = 0; j < HT_DISC_DIM; ++j) x[j] = static_cast<float>(static_cast<HR_INT8>(record[2 + j]));
}

// Trains on one open training file. j counts the samples trained so far.
bool TrainFile(_HT_PROTO_SET *set, FILE *fp, double total, double &j, std::vector<HR_UINT8> &buffer) {
    int classCount = HTCode_GetItemTotal();
    float x[HT_DISC_DIM];
    size_t read;
    while ((read = std::fread(buffer.data(), HT_DISC_RECORD, HT_DISC_READ_BLOCK, fp)) > 0) {
        for (size_t r = 0; r < read; ++r) {
            const HR_UINT8 *record = &buffer[r * HT_DISC_RECORD];
            RecordToSample(record, x);
            set->learningRate = static_cast<float>(kStartRate * (1.0 - j / total));
            HTDisc_GPD(set, LoadU16(record), x, HT_DISC_DIM, classCount);
            j += 1.0;
        }
    }
    return std::ferror(fp) == 0;
}

bool RunMce(_HT_PROTO_SET *set, const char *randDir, const char *mdcDir, int first, int last) {
    char path[HT_PATH_MAX];
    if (!PathOf(path, mdcDir, "class_%03d.mdc", 0) || !HTDisc_LoadMdcFile(set, path)) return false;
    double total = 0.0;
    for (int i = first; i <= last; ++i)
        if (PathOf(path, randDir, "rand_%03d.fec", i)) total += RecordCount(path);
    std::vector<HR_UINT8> buffer(static_cast<size_t>(HT_DISC_READ_BLOCK) * HT_DISC_RECORD);
    double j = 0.0;
    char resumeFrom[HT_PATH_MAX] = "";
    for (int i = first; i <= last; ++i) {
        char snapshot[HT_PATH_MAX], randPath[HT_PATH_MAX];
        if (!PathOf(snapshot, mdcDir, "class_%03d.mdc", i) || !PathOf(randPath, randDir, "rand_%03d.fec", i))
            return false;
        if (HT_IsFile(snapshot)) {
            // Carry on from this snapshot with the rate its samples reached.
            HTLog_Print("  skip %s\n", snapshot);
            j += RecordCount(randPath);
            std::strcpy(resumeFrom, snapshot);
            continue;
        }
        if (resumeFrom[0] && !HTDisc_LoadMdcFile(set, resumeFrom)) return false;
        resumeFrom[0] = '\0';
        FILE *fp = std::fopen(randPath, "rb");
        if (!fp) return false;
        bool trained = TrainFile(set, fp, total, j, buffer);
        std::fclose(fp);
        if (!trained || !HTDisc_SaveMdcFile(set, snapshot)) return false;
    }
    return true;
}

}  // namespace

// ---- distances ------------------------------------------------------------

extern "C" HR_UINT32 HTDisc_CountDistanceShort(const HR_INT16 *a, const HR_INT16 *b, int n) {
    HR_UINT32 sum = 0;
    for (int i = 0; i < n; ++i) {
        HR_UINT32 d = static_cast<HR_UINT32>(static_cast<HR_INT32>(a[i]) - static_cast<HR_INT32>(b[i]));
        sum += d * d;
    }
    return sum;
}

extern "C" HR_INT32 HTDisc_CountDistanceShortCutByMax(const HR_INT16 *a, const HR_INT16 *b, int n, HR_INT32 limit) {
    HR_UINT32 sum = 0;
    for (int i = 0; i < n; ++i) {
        HR_UINT32 d = static_cast<HR_UINT32>(static_cast<HR_INT32>(a[i]) - static_cast<HR_INT32>(b[i]));
        sum += d * d;
        if (static_cast<HR_INT32>(sum) > limit) break;
    }
    return static_cast<HR_INT32>(sum);
}

extern "C" HT_NO_CONTRACT float HTDisc_CountDistanceFloatCutByMax(const HR_INT16 *a, const float *b, int n,
                                                                  float limit) {
    float sum = 0.0f;
    for (int i = 0; i < n; ++i) {
        float d = static_cast<float>(a[i]) - b[i];
        float sq = d * d;
        sum += sq;
        if (sum > limit) break;
    }
    return sum;
}

// ---- MDC and .mdc files ---------------------------------------------------

extern "C" HR_INT8 HTDisc_RoundComponent(float x) {
    double v = std::min(std::max(static_cast<double>(x), -128.0), 127.0);
    return static_cast<HR_INT8>(v >= 0.0 ? static_cast<int>(v + 0.5) : static_cast<int>(v - 0.5));
}

extern "C" int HTDisc_MDC(const char *sortDir, const char *outPath) {
    HTLog_TimeBegin(1);
    HTLog_Print("MDC begin.\n");
    bool ok = false;
    char part[HT_PATH_MAX];
    FILE *out = HT_PartPath(part, outPath) ? std::fopen(part, "wb") : nullptr;
    if (out) {
        try {
            ok = RunMdc(sortDir, out);
        } catch (const std::bad_alloc &) {
            ok = false;
        }
        ok = (std::fclose(out) == 0) && ok;
        ok = HT_CommitPart(part, outPath, ok);
    }
    HTLog_Print(ok ? "MDC finished.\n" : "MDC failed.\n");
    HTLog_TimeStop(1);
    return ok ? 1 : 0;
}

extern "C" _HT_PROTO_SET *HTDisc_CreateSet(int classTotal) {
    if (classTotal < 0 || classTotal > HT_DISC_CLASS_MAX) return nullptr;
    auto *set = static_cast<_HT_PROTO_SET *>(std::calloc(1, sizeof(_HT_PROTO_SET)));
    if (!set) return nullptr;
    size_t blocks = (static_cast<size_t>(classTotal) * HT_DISC_PROTO_MAX + HT_DISC_LANES - 1) / HT_DISC_LANES;
    set->proto = static_cast<float *>(std::calloc(std::max<size_t>(blocks, 1) * kBlockFloats, sizeof(float)));
    if (!set->proto) {
        std::free(set);
        return nullptr;
    }
    set->classTotal = classTotal;
    return set;
}

extern "C" void HTDisc_FreeSet(_HT_PROTO_SET *set) {
    if (!set) return;
    std::free(set->proto);
    std::free(set);
}

extern "C" float *HTDisc_ProtoAt(_HT_PROTO_SET *set, int c, int k, int j) {
    return set->proto + FlatOffset(set->first[c] + static_cast<HR_UINT32>(k - 1), j);
}

extern "C" int HTDisc_LoadMdcFile(_HT_PROTO_SET *set, const char *path) {
    FILE *fp = std::fopen(path, "rb");
    if (!fp) return 0;
    struct Loaded {
        int c;
        HR_UINT8 body[HT_DISC_DIM];
    };
    std::vector<Loaded> loaded;
    std::memset(set->count, 0, sizeof set->count);
    HR_UINT8 record[HT_DISC_RECORD];
    int extra = 0;
    while (std::fread(record, 1, HT_DISC_RECORD, fp) == HT_DISC_RECORD) {
        HR_UINT16 index = g_nCodeIndex[LoadU16(record)];
        if (index == HT_CODE_NO_ITEM || index >= set->classTotal) continue;
        if (set->count[index] == HT_DISC_PROTO_MAX) {
            ++extra;
            continue;
        }
        ++set->count[index];
        Loaded one{index, {}};
        std::memcpy(one.body, record + 2, HT_DISC_DIM);
        loaded.push_back(one);
    }
    std::fclose(fp);
    if (extra > 0) HTLog_Print("  %s: %d prototypes beyond %d per class ignored\n", path, extra, HT_DISC_PROTO_MAX);
    PackFirstNumbers(set);
    std::vector<int> next(set->classTotal, 1);
    for (const Loaded &one : loaded) {
        int k = next[one.c]++;
        for (int j = 0; j < HT_DISC_DIM; ++j)
            *HTDisc_ProtoAt(set, one.c, k, j) = static_cast<float>(static_cast<HR_INT8>(one.body[j]));
    }
    return 1;
}

extern "C" int HTDisc_SaveMdcFile(_HT_PROTO_SET *set, const char *path) {
    char part[HT_PATH_MAX];
    FILE *fp = HT_PartPath(part, path) ? std::fopen(part, "wb") : nullptr;
    if (!fp) return 0;
    const _CODE_ITEM *items = HTCode_GetItemPtr();
    int classes = std::min(set->classTotal, HTCode_GetItemTotal());
    int written = 0;
    bool ok = true;
    HR_UINT8 record[HT_DISC_RECORD];
    for (int c = 0; c < classes && ok; ++c) {
        StoreU16(record, items[c].code);
        for (int k = 1; k <= set->count[c] && ok; ++k) {
            for (int j = 0; j < HT_DISC_DIM; ++j) {
                float *p = HTDisc_ProtoAt(set, c, k, j);
                *p = std::min(std::max(*p, -127.0f), 127.0f);
                record[2 + j] = static_cast<HR_UINT8>(HTDisc_RoundComponent(*p));
            }
            ok = std::fwrite(record, HT_DISC_RECORD, 1, fp) == 1;
            written += ok;
        }
    }
    ok = (std::fclose(fp) == 0) && ok;
    ok = HT_CommitPart(part, path, ok);
    HTLog_Print("  %s nodes = %d\n", path, written);
    return ok ? 1 : 0;
}

// ---- discriminative training ----------------------------------------------

extern "C" void HTDisc_GetCandidateInRange(const float *x, int dim, int firstClass, int endClass,
                                           const float *prototypes, const HR_INT8 *counts, double *classDistance,
                                           double *prototypeDistance, _HT_CAND_LIST *list) {
    for (int e = 0; e < HT_DISC_CAND_MAX; ++e) list->item[e] = _HT_CAND{0, kNoDistance};
    list->count = 0;
    dim = std::min(std::max(dim, 0), HT_DISC_DIM);
    HR_UINT32 flatBegin = 0, flatEnd;
    for (int c = 0; c < firstClass; ++c) flatBegin += static_cast<HR_UINT32>(std::max<int>(counts[c], 0));
    flatEnd = flatBegin;
    for (int c = firstClass; c < endClass; ++c) flatEnd += static_cast<HR_UINT32>(std::max<int>(counts[c], 0));

    ClassWalker walker{firstClass, endClass, 1, counts, classDistance, prototypeDistance, list};
    walker.SkipEmpty();
    float d[kBlocksPerPass * HT_DISC_LANES];
    HR_UINT32 flat = flatBegin - flatBegin % HT_DISC_LANES;
    while (flat < flatEnd) {
        const float *blocks = prototypes + static_cast<size_t>(flat / HT_DISC_LANES) * kBlockFloats;
        HR_UINT32 lanes = flatEnd - flat;
        const int blockCount = lanes >= kBlocksPerPass * HT_DISC_LANES ? kBlocksPerPass : 1;
        penrune::HA_TrainKernels().laneDistances(x, dim, blocks, kBlockFloats, blockCount, kProtoDistanceBase, d);
        lanes = std::min<HR_UINT32>(lanes, (HR_UINT32)blockCount * HT_DISC_LANES);
        for (HR_UINT32 l = 0; l < lanes; ++l)
            if (flat + l >= flatBegin) walker.Take(d[l]);
        flat += lanes;
    }
}

extern "C" int HTDisc_GetCandidate(_HT_PROTO_SET *set, int trueClass, const float *x, int dim, int classCount) {
    classCount = std::min(classCount, static_cast<int>(set->classTotal));
    _HT_CAND_LIST &cand = set->cand;
    HTDisc_GetCandidateInRange(x, dim, 0, std::max(classCount, 0), set->proto, set->count, set->classDist,
                               &set->protoDist[0][0], &cand);
    float d0 = cand.item[0].distance;
    int n = HT_DISC_CAND_MAX;
    for (int i = kCandMin - 1; i < HT_DISC_CAND_MAX; ++i) {
        float gap = 1.0f - d0 / cand.item[i].distance;
        if (static_cast<double>(gap) > kCandGap) {
            n = i + 1;
            break;
        }
    }
    while (n > 0 && !(cand.item[n - 1].distance < kFilledLimit)) --n;
    for (int i = 0; i < n; ++i) {
        if (cand.item[i].classIndex == trueClass) {
            cand.count = n;
            return i;
        }
    }
    cand.item[n].classIndex = static_cast<HR_UINT16>(trueClass);
    cand.item[n].distance = static_cast<float>(set->classDist[trueClass]);
    cand.count = n + 1;
    return n;
}

extern "C" int HTDisc_Grade(_HT_PROTO_SET *set, int trueClass, const float *x, int dim) {
    ComputeLoss(set, trueClass);
    float slope = set->lossSlope;
    if (static_cast<double>(slope) <= kMinLossSlope) return 0;
    dim = std::min(std::max(dim, 0), HT_DISC_DIM);
    int n = set->cand.count;
    float rate = set->learningRate;
    for (int e = 0; e < n; ++e) {
        int c = set->cand.item[e].classIndex;
        int q = set->count[c];
        if (q < 1) continue;
        float sign = c == trueClass ? -2.0f : 2.0f;
        float factor = ClassFactor(set, c, trueClass, n);
        for (int k = 1; k <= q; ++k) {
            float step = slope * sign * factor * ProtoWeight(set, c, k, q);
            MovePrototype(HTDisc_ProtoAt(set, c, k, 0), x, dim, step, rate);
        }
    }
    return 1;
}

extern "C" int HTDisc_GPD(_HT_PROTO_SET *set, int trueClass, const float *x, int dim, int classCount) {
    if (trueClass < 0 || trueClass >= set->classTotal) return 0;
    HTDisc_GetCandidate(set, trueClass, x, dim, classCount);
    return HTDisc_Grade(set, trueClass, x, dim);
}

extern "C" int HTDisc_MCE(const char *randDir, const char *mdcDir, int /* reserved */, int first, int last) {
    HTLog_TimeBegin(1);
    HTLog_Print("GDC begin.\n");
    bool ok = false;
    _HT_PROTO_SET *set = HTDisc_CreateSet(std::min(HTCode_GetItemTotal(), HT_DISC_CLASS_MAX));
    if (set) {
        try {
            ok = RunMce(set, randDir, mdcDir, first, last);
        } catch (const std::bad_alloc &) {
            ok = false;
        }
        HTDisc_FreeSet(set);
    }
    HTLog_Print("GDC finished.\n");
    HTLog_TimeStop(1);
    return ok ? 1 : 0;
}

extern "C" int HTDisc_Process(const char *sortDir, const char *randDir, const char *mdcDir) {
    char path[HT_PATH_MAX];
    if (!PathOf(path, mdcDir, "class_%03d.mdc", 0)) return 0;
    if (HT_IsFile(path))
        HTLog_Print("Skip MDC\n");
    else if (!HTDisc_MDC(sortDir, path))
        return 0;
    return HTDisc_MCE(randDir, mdcDir, 0, 1, HT_DISC_MCE_FILES);
}
