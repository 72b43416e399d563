// SPDX-License-Identifier: MIT
// Tree stage: builds the model image with its two-level search tree and
// widens the centres' member lists until the training samples reach their
// prototypes through the recognizer's own tree search.
#include "train/HTTree.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <new>
#include <vector>

#include "penrune/HRKernel.h"
#include "train/HTCode.h"
#include "train/HTDict.h"
#include "train/HTDisc.h"
#include "train/HTFeat.h"
#include "train/HTFileList.h"
#include "train/HTLog.h"
#include "train/HTPlatform.h"
#include "util/HWBytes.h"

namespace {

constexpr int kDim = HT_DISC_DIM;
constexpr int kRecord = kDim + 2;
constexpr float kFirstDelta = 0.0004f;
constexpr float kDeltaFactor = 0.8f;
constexpr double kLastDelta = 2e-7;
constexpr float kLoadFloor = 1e-7f;
// Coverage bounds of the first six (cumulative) coverage classes.
constexpr double kCoverageBound[HT_TREE_COVERAGE_CLASSES - 1] = {0.7, 0.8, 0.9, 0.95, 0.98, 0.99};
constexpr double kAlwaysAddBelow = 0.95;
enum { kBelow98 = 4, kBelow99 = 5, kAbove99 = 6 };

using penrune::LoadU16;
using penrune::LoadU32;

int g_branches = HT_TREE_BRANCHES;

// ---- merge ------------------------------------------------------------------

// Prototypes of the .mdc file grouped by code, within the image's limits:
// at most 10 per class and 65535 in all; the rest is ignored with a log line.
struct ClassSlots {
    std::vector<std::vector<HR_INT8>> protos = std::vector<std::vector<HR_INT8>>(HT_TREE_CLASS_SLOTS);
    std::vector<char> overflow = std::vector<char>(HT_TREE_CLASS_SLOTS, 0);
    bool full = false;
    int total = 0;
    int largest = -1;

    void Add(HR_UINT16 code, const HR_UINT8 *body) {
        std::vector<HR_INT8> &slot = protos[code];
        if (slot.size() == static_cast<size_t>(HT_TREE_CLASS_PROTOS) * kDim) {
            if (!overflow[code]) HTLog_Print("  class %x: prototypes beyond %d ignored\n", code, HT_TREE_CLASS_PROTOS);
            overflow[code] = 1;
        } else if (total == HT_TREE_PROTO_MAX) {
            if (!full) HTLog_Print("  prototype limit %d reached, further prototypes ignored\n", HT_TREE_PROTO_MAX);
            full = true;
        } else {
            slot.insert(slot.end(), body, body + kDim);
            ++total;
            largest = std::max<int>(largest, code);
        }
    }
};

void ReadPrototypes(const char *mdcPath, ClassSlots &slots) {
    FILE *fp = std::fopen(mdcPath, "rb");
    if (!fp) return;
    HR_UINT8 record[kRecord];
    while (std::fread(record, 1, kRecord, fp) == static_cast<size_t>(kRecord)) {
        HR_UINT16 code = LoadU16(record);
        if (code < HT_TREE_CLASS_SLOTS && g_bCodeExist[code]) slots.Add(code, record + 2);
    }
    std::fclose(fp);
}

bool SetModelFeat(const ClassSlots &slots) {
    // Class slot count: the largest code plus one, rounded up to even.
    int K = slots.largest < 0 ? 2 : (slots.largest + 2) & ~1;
    std::vector<_HT_CLASS_SLOT> table(K);
    for (int c = 0; c <= slots.largest; ++c) {
        table[c].count = static_cast<HR_INT8>(slots.protos[c].size() / kDim);
        table[c].feat = slots.protos[c].data();
    }
    return HTDict_SetModelFeat(K, table.data()) != 0;
}

bool BuildTree() {
    int P = HTDict_GetModelTotal();
    int wanted = HTTree_GetCentreCount(P);
    std::vector<float> centres(static_cast<size_t>(wanted) * kDim);
    std::vector<HR_UINT16> assign(P);
    HTLog_Print("  kmean begin.\n");
    int T = HTCluster_KMean(HTDict_GetModelFeatPtr(), P, kDim, kDim, wanted, centres.data(), assign.data());
    HTLog_Print("  tree center begin.\n");
    bool ok = HTDict_SetTreeCenter(centres.data(), T, assign.data(), P) != 0;
    HTLog_Print("  tree end.\n");
    return ok;
}

// ---- optimisation -------------------------------------------------------------

// The parts of a well-formed model image that the optimisation reads.
struct ImageView {
    int P = 0, T = 0;
    const HR_UINT8 *offsets = nullptr;  // T + 1 uint32
    const HR_UINT8 *members = nullptr;  // uint16 prototype indices
    const HR_UINT8 *codes = nullptr;    // P uint16

    ImageView() = default;
    explicit ImageView(const HR_UINT8 *image) {
        const HR_UINT8 *section1 = image + LoadU32(image);
        const HR_UINT8 *section2 = image + LoadU32(image + 4);
        P = LoadU16(section1);
        T = LoadU16(section2);
        offsets = section2 + 2 + static_cast<size_t>(kDim) * T;
        members = offsets + 4 * (static_cast<size_t>(T) + 1);
        codes = image + LoadU32(image + 8);
    }
    HR_UINT32 Offset(int c) const { return LoadU32(offsets + 4 * static_cast<size_t>(c)); }
    HR_UINT16 Member(HR_UINT32 m) const { return LoadU16(members + 2 * static_cast<size_t>(m)); }
};

struct PassResult {
    int classes[HT_TREE_COVERAGE_CLASSES] = {};
    int added = 0;
};

class Optimizer {
public:
    Optimizer(const char *sortDir, const char *treeDir)
        : sortDir_(sortDir),
          treeDir_(treeDir),
          image_(HT_TREE_IMAGE_MAX),
          block_(HRReco_GetInstanceSize() / sizeof(HR_UINT64) + 1),
          mapIndex_(static_cast<size_t>(HT_CODE_COUNT) * HT_TREE_CLASS_PROTOS),
          mapCount_(HT_CODE_COUNT),
          mapOverflow_(HT_CODE_COUNT) {}

    void ListFiles();
    // Runs pass r on treePath with threshold delta and writes tree file r
    // (its path to written).
    bool RunPass(const char *treePath, int r, float delta, char *written, PassResult &result);

private:
    bool LoadImage(const char *treePath);
    void BuildClassMap();
    void ResetStatistics();
    bool CollectStatistics();
    bool CollectFile(const char *path, std::vector<HR_UINT8> &buffer);
    void ComputeCentreLoad();
    void BuildMemberLists(float delta, PassResult &result);
    int BestCentre(int j, float &score) const;
    bool SaveTree(int r, char *written);

    const char *sortDir_;
    const char *treeDir_;
    penrune::FileList files_;
    int fileCount_ = 0;
    std::vector<HR_UINT8> image_;
    std::vector<HR_UINT64> block_;
    _HR_RECO *reco_ = nullptr;
    ImageView view_;
    std::vector<HR_UINT16> mapIndex_;
    std::vector<HR_UINT8> mapCount_;
    std::vector<char> mapOverflow_;
    std::vector<HR_UINT32> counters_;
    std::vector<_HR_TREE_STAT> stats_;
    std::vector<HR_UINT32> offsets_;
    std::vector<float> load_;
    float samples_ = 0.0f;  // L: samples that visited the centres
    std::vector<std::vector<HR_UINT16>> lists_;
};

void Optimizer::ListFiles() {
    fileCount_ = std::max(penrune::ListFiles(sortDir_, files_, penrune::TooManyFiles::kUseFirst), 0);
}

bool Optimizer::LoadImage(const char *treePath) {
    FILE *fp = std::fopen(treePath, "rb");
    bool opened = fp != nullptr;
    HR_UINT32 size = opened ? HT_FileLength(fp) : 0;
    if (opened) std::fclose(fp);
    if (!opened || !HTDict_LoadFile(treePath, image_.data(), static_cast<int>(image_.size()))) {
        HTLog_Print("  cannot load %s\n", treePath);
        return false;
    }
    if (!HRReco_CheckModel(image_.data(), size)) {
        HTLog_Print("  %s is not a well-formed model image\n", treePath);
        return false;
    }
    const HR_UINT8 *model = image_.data();
    reco_ = HRReco_Initialize(block_.data(), static_cast<HR_UINT32>(block_.size() * sizeof(HR_UINT64)), &model);
    if (!reco_) return false;
    view_ = ImageView(image_.data());
    offsets_.resize(static_cast<size_t>(view_.T) + 1);
    for (int c = 0; c <= view_.T; ++c) offsets_[c] = view_.Offset(c);
    return true;
}

// Up to 10 prototype indices per code, from the image's class codes.
void Optimizer::BuildClassMap() {
    std::fill(mapCount_.begin(), mapCount_.end(), 0);
    std::fill(mapOverflow_.begin(), mapOverflow_.end(), 0);
    for (int p = 0; p < view_.P; ++p) {
        HR_UINT16 code = LoadU16(view_.codes + 2 * static_cast<size_t>(p));
        if (mapCount_[code] == HT_TREE_CLASS_PROTOS) {
            if (!mapOverflow_[code])
                HTLog_Print("  class %x: prototypes beyond %d are not probed\n", code, HT_TREE_CLASS_PROTOS);
            mapOverflow_[code] = 1;
            continue;
        }
        mapIndex_[static_cast<size_t>(code) * HT_TREE_CLASS_PROTOS + mapCount_[code]++] = static_cast<HR_UINT16>(p);
    }
}

void Optimizer::ResetStatistics() {
    size_t perProto = 2 * static_cast<size_t>(view_.T);
    counters_.assign(perProto * view_.P, 0);
    stats_.assign(view_.P, _HR_TREE_STAT{});
    for (int p = 0; p < view_.P; ++p) {
        stats_[p].visit = counters_.data() + perProto * p;
        stats_[p].miss = stats_[p].visit + view_.T;
    }
}

bool Optimizer::CollectFile(const char *path, std::vector<HR_UINT8> &buffer) {
    FILE *fp = std::fopen(path, "rb");
    if (!fp) {
        HTLog_Print("  cannot open %s\n", path);
        return false;
    }
    HR_INT16 q[kDim];
    size_t read;
    while ((read = std::fread(buffer.data(), kRecord, HT_TREE_READ_BLOCK, fp)) > 0) {
        for (size_t r = 0; r < read; ++r) {
            const HR_UINT8 *record = &buffer[r * kRecord];
            HR_UINT16 code = LoadU16(record);
            if (!g_bCodeExist[code]) continue;
            int count = mapCount_[code];
            if (count == 0) continue;
            for (int j = 0; j < kDim; ++j) q[j] = static_cast<HR_INT16>(static_cast<HR_INT8>(record[2 + j]) + 128);
            int own = HRReco_GetNearestModelIndex(reco_, q, count,
                                                  &mapIndex_[static_cast<size_t>(code) * HT_TREE_CLASS_PROTOS]);
            if (own >= 0) HRReco_TreeProcess(reco_, q, own, offsets_.data(), g_branches, stats_.data());
        }
    }
    bool ok = !std::ferror(fp);
    std::fclose(fp);
    return ok;
}

bool Optimizer::CollectStatistics() {
    std::vector<HR_UINT8> buffer(static_cast<size_t>(HT_TREE_READ_BLOCK) * kRecord);
    for (int f = 0; f < fileCount_; ++f)
        if (!CollectFile(files_[f], buffer)) return false;
    return true;
}

// H_c: visits of centre c per sample processed (L = all visits / branches).
void Optimizer::ComputeCentreLoad() {
    std::vector<HR_UINT64> visits(view_.T, 0);
    HR_UINT64 all = 0;
    for (int p = 0; p < view_.P; ++p)
        for (int c = 0; c < view_.T; ++c) visits[c] += stats_[p].visit[c];
    for (int c = 0; c < view_.T; ++c) all += visits[c];
    samples_ = static_cast<float>(all) / static_cast<float>(g_branches);
    load_.assign(view_.T, 0.0f);
    if (samples_ > 0.0f)
        for (int c = 0; c < view_.T; ++c) load_[c] = static_cast<float>(visits[c]) / samples_;
}

// The centre whose missed samples of prototype j weigh most against its
// load; the lowest index on ties.
int Optimizer::BestCentre(int j, float &score) const {
    int best = 0;
    score = -1.0f;
    for (int c = 0; c < view_.T; ++c) {
        float s = load_[c] < kLoadFloor ? 0.0f : static_cast<float>(stats_[j].miss[c]) / samples_ / load_[c];
        if (s > score) {
            score = s;
            best = c;
        }
    }
    return best;
}

void Optimizer::BuildMemberLists(float delta, PassResult &result) {
    // Centres of every prototype in the current image, ascending.
    std::vector<std::vector<HR_UINT16>> centresOf(view_.P);
    HR_UINT32 memberships = offsets_[view_.T];
    for (int c = 0; c < view_.T; ++c)
        for (HR_UINT32 m = offsets_[c]; m < offsets_[c + 1]; ++m)
            centresOf[view_.Member(m)].push_back(static_cast<HR_UINT16>(c));
    lists_.assign(view_.T, {});
    int listFull = 0, budgetOut = 0;
    for (int j = 0; j < view_.P; ++j) {
        for (HR_UINT16 c : centresOf[j]) lists_[c].push_back(static_cast<HR_UINT16>(j));
        HR_UINT32 samples = stats_[j].missCount + stats_[j].hitCount;
        if (samples < HT_TREE_MIN_SAMPLES || centresOf[j].empty()) continue;
        float score;
        int best = BestCentre(j, score);
        float coverage = static_cast<float>(stats_[j].hitCount) / static_cast<float>(samples);
        HTTree_CountCoverage(coverage, result.classes);
        if (view_.T < 1 || !HTTree_ShouldAdd(coverage, score, delta)) continue;
        std::vector<HR_UINT16> &list = lists_[best];
        if (!list.empty() && list.back() == j) continue;  // already a member
        if (list.size() >= HT_TREE_LIST_MAX) {
            ++listFull;
        } else if (memberships >= HT_TREE_MEMBERSHIP_MAX) {
            ++budgetOut;
        } else {
            list.push_back(static_cast<HR_UINT16>(j));
            ++memberships;
            ++result.added;
        }
    }
    if (listFull > 0)
        HTLog_Print("  %d additions refused: a centre list holds %d members\n", listFull, HT_TREE_LIST_MAX);
    if (budgetOut > 0)
        HTLog_Print("  %d additions refused: %d memberships reached\n", budgetOut, HT_TREE_MEMBERSHIP_MAX);
}

bool Optimizer::SaveTree(int r, char *written) {
    std::vector<HR_UINT32> offsets32(static_cast<size_t>(view_.T) + 1, 0);
    std::vector<HR_UINT16> offsets16(static_cast<size_t>(view_.T) + 1, 0);
    std::vector<const HR_UINT16 *> lists(view_.T);
    for (int c = 0; c < view_.T; ++c) {
        offsets32[c + 1] = offsets32[c] + static_cast<HR_UINT32>(lists_[c].size());
        offsets16[c + 1] = static_cast<HR_UINT16>(offsets32[c + 1]);
        lists[c] = lists_[c].data();
    }
    if (!HTDict_UpdateTree(view_.T, offsets16.data(), lists.data(), offsets32.data())) {
        HTLog_Print("  the tree of the dictionary builder does not match the tree file\n");
        return false;
    }
    if (!HT_FormatPath(written, "%s/tree_%03d.tdb", treeDir_, r) || !HTDict_SaveResult(written)) {
        HTLog_Print("  cannot write tree file %d\n", r);
        return false;
    }
    return true;
}

bool Optimizer::RunPass(const char *treePath, int r, float delta, char *written, PassResult &result) {
    if (!LoadImage(treePath)) return false;
    BuildClassMap();
    ResetStatistics();
    if (!CollectStatistics()) return false;
    ComputeCentreLoad();
    BuildMemberLists(delta, result);
    if (!SaveTree(r, written)) return false;
    HTLog_Print("  %s\n", written);
    HR_UINT32 branches = 0;
    for (const auto &list : lists_) branches += static_cast<HR_UINT32>(list.size());
    HTLog_Print("    center = %d, branch = %u, decision = %f\n", view_.T, branches, delta);
    HTLog_Print("    ");
    for (int v : result.classes) HTLog_Print("%-6d", v);
    HTLog_Print("\n");
    return true;
}

bool Optimize(const char *firstTree, const char *modelPath, const char *sortDir, const char *treeDir) {
    Optimizer optimizer(sortDir, treeDir);
    optimizer.ListFiles();
    char current[HT_PATH_MAX], written[HT_PATH_MAX];
    if (!HT_FormatPath(current, "%s", firstTree)) return false;
    float delta = kFirstDelta;
    for (int r = 1;;) {
        PassResult result;
        if (!optimizer.RunPass(current, r, delta, written, result)) return false;
        if (!HTTree_ShouldContinue(delta, result.classes)) break;
        if (result.added >= HT_TREE_MIN_ADDED) {
            HT_FormatPath(current, "%s", written);
            if (r == HT_TREE_LAST_PASS) break;
            ++r;
        } else {
            delta *= kDeltaFactor;
        }
    }
    if (!HT_CopyFile(written, modelPath)) {
        HTLog_Print("  cannot copy %s to %s\n", written, modelPath);
        return false;
    }
    return true;
}

}  // namespace

extern "C" int HTTree_SetBranches(int branches) {
    if (branches < 1 || branches > HR_RECO_MAX_CANDS) return 0;
    g_branches = branches;
    return 1;
}

extern "C" int HTTree_GetCentreCount(int prototypes) {
    if (prototypes <= 0) return 0;
    int count = static_cast<int>(std::sqrt(12.0 * prototypes));
    return std::min(count, HT_TREE_CENTRE_MAX);
}

extern "C" void HTTree_CountCoverage(float coverage, int classes[HT_TREE_COVERAGE_CLASSES]) {
    bool below = false;
    for (int i = 0; i < HT_TREE_COVERAGE_CLASSES - 1; ++i) {
        if (coverage < kCoverageBound[i]) {
            ++classes[i];
            below = true;
        }
    }
    if (!below) ++classes[kAbove99];
}

extern "C" int HTTree_ShouldAdd(float coverage, float bestScore, float delta) {
    return coverage < kAlwaysAddBelow || bestScore > delta;
}

extern "C" int HTTree_ShouldContinue(float delta, const int classes[HT_TREE_COVERAGE_CLASSES]) {
    int A = classes[kAbove99], B = classes[kBelow99], D = classes[kBelow98];
    return static_cast<double>(delta) > kLastDelta && ((A > 0 && B >= A) || (B > 0 && D == B));
}

extern "C" int HTTree_Merge(const char *coaPath, const char *mdcPath, const char *outPath) {
    HTLog_Print("  merge begin.\n");
    HTDict_Initialize();
    float *transform = HTFeat_CompFeatureReadTranVector(coaPath);
    if (!transform) {
        HTLog_Print("  merge fail: cannot read the transform of %s\n", coaPath);
        return 0;
    }
    HTDict_SetTransVector(transform);
    std::free(transform);
    bool ok;
    try {
        ClassSlots slots;
        ReadPrototypes(mdcPath, slots);
        ok = SetModelFeat(slots) && BuildTree() && HTDict_SaveResult(outPath);
    } catch (const std::bad_alloc &) {
        ok = false;
    }
    HTLog_Print(ok ? "  merge end.\n" : "  merge fail.\n");
    return ok ? 1 : 0;
}

extern "C" int HTTree_Optimize(const char *firstTree, const char *modelPath, const char *sortDir, const char *treeDir) {
    try {
        return Optimize(firstTree, modelPath, sortDir, treeDir) ? 1 : 0;
    } catch (const std::bad_alloc &) {
        HTLog_Print("  out of memory\n");
        return 0;
    }
}

extern "C" int HTTree_Process(const char *coaPath, const char *mdcPath, const char *modelPath, const char *sortDir,
                              const char *treeDir) {
    HTLog_TimeBegin(1);
    HTLog_Print("allocate tree begin.\n");
    char firstTree[HT_PATH_MAX];
    bool ok = HT_FormatPath(firstTree, "%s/tree_%03d.tdb", treeDir, 0) && HTTree_Merge(coaPath, mdcPath, firstTree) &&
              HTTree_Optimize(firstTree, modelPath, sortDir, treeDir);
    HTLog_Print(ok ? "allocate tree finished.\n" : "allocate tree fail.\n");
    HTLog_TimeStop(1);
    return ok ? 1 : 0;
}
