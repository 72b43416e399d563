// SPDX-License-Identifier: MIT
// Feature stage 2: class statistics, the discriminant transform and the
// .coa file of projected class means.
#include "train/HTFeat.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <vector>

#include "arch/HATrainKernels.h"
#include "train/HTLda.h"
#include "train/HTFeatCommon.h"

using namespace htfeat;

namespace {

// Samples whose outer products are added to the scatter triangle in one
// sweep (the vector kernels of src/arch), and the padding between the
// sample rows of a block.
constexpr int kOuterBlock = penrune::kHAOuterBlock;
constexpr int kRowPad = 8;
// Codes that mark empty slots elsewhere and get no prototype.
constexpr unsigned kFirstReservedCode = 0xFFFE;

// Applies f(packed element, i, j) to every element of a packed triangle.
template <class F>
void ForEachPacked(double *packed, int dim, F f) {
    for (int i = 0; i < dim; ++i) {
        for (int j = i; j < dim; ++j) f(*packed++, i, j);
    }
}

// Collects weighted samples and adds their outer products to a packed
// triangle kOuterBlock at a time. The rows are kept kRowPad doubles apart
// beyond their length so that the rows of one block do not all fall into
// the same cache sets.
class ScatterBatch {
public:
    ScatterBatch(double *packed, int dim)
        : packed_(packed), dim_(dim), stride_(dim + kRowPad), rows_(static_cast<size_t>(kOuterBlock) * stride_) {}

    void Add(const double *x, double weight) {
        std::memcpy(rows_.data() + static_cast<size_t>(count_) * stride_, x, sizeof(double) * dim_);
        weights_[count_] = weight;
        if (++count_ == kOuterBlock) Flush();
    }

    void Flush() {
        HTFeat_CoarseAddOuterProducts(packed_, dim_, rows_.data(), stride_, weights_, count_);
        count_ = 0;
    }

private:
    double *packed_;
    int dim_;
    int stride_;
    std::vector<double> rows_;
    double weights_[kOuterBlock] = {};
    int count_ = 0;
};

// Adds the wanted records of one .ori file to the class sums and to Sw.
int AccumulateFile(const char *path, _HT_COARSE *state, ScatterBatch &batch) {
    File in = Open(path, "rb");
    if (!in) return 0;
    HR_UINT8 record[HT_FEAT_ORI_RECORD];
    double x[HT_FEAT_DIM];
    while (ReadAll(in.get(), record, sizeof record, 1)) {
        const HR_UINT16 code = LoadU16(record);
        const _HT_COARSE_CLASS &cls = state->classes[code];
        // A code that was not counted (the file changed since) has no storage.
        if (!Wanted(code) || cls.count <= 0) continue;
        for (int i = 0; i < HT_FEAT_DIM; ++i) {
            x[i] = LoadU16(record + 2 + 2 * i);
            cls.mean[i] += x[i];
        }
        batch.Add(x, cls.rcount);
    }
    return 1;
}

// Turns the class sums into means, removes the class means from Sw and builds
// Sb, both averaged over the classes.
void FinishScatter(_HT_COARSE *state) {
    const int dim = state->dim;
    const int classes = state->classNum;
    for (int code = 0; code < HT_FEAT_CODE_SLOTS; ++code) {
        const _HT_COARSE_CLASS &cls = state->classes[code];
        if (cls.count > 0) {
            for (int i = 0; i < dim; ++i) cls.mean[i] /= cls.count;
        }
    }
    ScatterBatch within(state->sw, dim), between(state->sb, dim);
    std::vector<double> m(dim, 0.0);
    for (int c = 0; c < classes; ++c) {
        const double *mean = state->meanStore + static_cast<size_t>(c) * dim;
        within.Add(mean, -1.0);
        between.Add(mean, 1.0);
        for (int i = 0; i < dim; ++i) m[i] += mean[i];
    }
    within.Flush();
    between.Flush();
    for (double &v : m) v /= classes;
    ForEachPacked(state->sw, dim, [&](double &v, int, int) { v /= classes; });
    ForEachPacked(state->sb, dim, [&](double &v, int i, int j) { v = v / classes - m[i] * m[j]; });
}

// Writes the mean, covariance and LDA files of finished statistics.
int SaveStatis(const _HT_COARSE *state, const char *meanPath, const char *covPath, const char *ldaPath) {
    return HTFeat_CoarseSaveMeanFile(state->classes, state->dim, meanPath) &&
           HTFeat_CoarseSaveCovFile(state->sw, state->sb, state->dim, covPath) &&
           HTFeat_CoarseSaveCovToLdaFile(covPath, state->dim, ldaPath);
}

// Reads the first k eigenvector rows of an LDA file (after its dim
// eigenvalues).
bool ReadLdaRows(const char *ldaPath, int dim, int k, std::vector<float> &rows) {
    File in = Open(ldaPath, "rb");
    rows.assign(static_cast<size_t>(k) * dim, 0.0f);
    return in && std::fseek(in.get(), static_cast<long>(sizeof(float)) * dim, SEEK_SET) == 0 &&
           ReadAll(in.get(), rows.data(), sizeof(float), rows.size());
}

// Projected class means of the .coa file, per code, in float32.
struct CoaPrototypes {
    std::map<HR_UINT16, std::vector<float>> byCode;  // count x k values per code
    HR_INT32 records = 0;                            // N
    HR_UINT16 largestCode = 0;
    float maximum = -100000.0f;
    float minimum = 100000.0f;
    bool finite = true;  // false when a projection overflowed or met a NaN
};

// Projects the wanted records of the mean file with t (k x dim).
bool ProjectMeans(const char *meanPath, const std::vector<float> &t, int dim, int k, CoaPrototypes &protos) {
    File in = Open(meanPath, "rb");
    if (!in) return false;
    std::vector<HR_UINT8> record(2 + sizeof(float) * dim);
    std::vector<float> mean(dim);
    while (ReadAll(in.get(), record.data(), record.size(), 1)) {
        const HR_UINT16 code = LoadU16(record.data());
        if (code >= kFirstReservedCode || !Wanted(code)) continue;
        ++protos.records;
        if (code > protos.largestCode) protos.largestCode = code;
        std::vector<float> &values = protos.byCode[code];
        if (values.size() >= static_cast<size_t>(HT_FEAT_COA_MAX_PROTOS) * k) continue;
        std::memcpy(mean.data(), record.data() + 2, sizeof(float) * dim);
        for (int r = 0; r < k; ++r) {
            float p = 0.0f;
            for (int j = 0; j < dim; ++j) p += t[static_cast<size_t>(r) * dim + j] * mean[j];
            values.push_back(p);
            protos.finite = protos.finite && std::isfinite(p);
            protos.maximum = std::fmax(protos.maximum, p);
            protos.minimum = std::fmin(protos.minimum, p);
        }
    }
    return !std::ferror(in.get());
}

// Writes the .coa file: header, t scaled by s, prototype counts per slot and
// the scaled prototypes truncated to int16.
int WriteCoa(const char *coaPath, std::vector<float> &t, int dim, int k, const CoaPrototypes &protos, float s) {
    const HR_INT32 slots = HTFeat_CoarseCodeSlots(protos.largestCode);
    HR_UINT8 header[HT_FEAT_COA_HEADER];
    const HR_INT32 fields[4] = {protos.records, slots, dim, k};
    for (int i = 0; i < 4; ++i) StoreI32(header + 4 * i, fields[i]);
    for (float &v : t) v *= s;
    std::vector<HR_UINT8> counts(static_cast<size_t>(slots), 0);
    std::vector<HR_INT16> values;
    for (const auto &[code, protoValues] : protos.byCode) {
        counts[code] = static_cast<HR_UINT8>(protoValues.size() / k);
        for (float p : protoValues) values.push_back(static_cast<HR_INT16>(p * s));
    }
    File out = Open(coaPath, "wb");
    return out && WriteAll(out.get(), header, sizeof header, 1) &&
           WriteAll(out.get(), t.data(), sizeof(float), t.size()) &&
           WriteAll(out.get(), counts.data(), 1, counts.size()) &&
           WriteAll(out.get(), values.data(), sizeof(HR_INT16), values.size()) && std::fflush(out.get()) == 0;
}

}  // namespace

extern "C" int HTFeat_CoarseAllocMemory(_HT_COARSE *state) {
    if (state->dim <= 0) state->dim = HT_FEAT_DIM;
    state->classNum = 0;
    state->meanStore = nullptr;
    state->sw = static_cast<double *>(std::calloc(penrune::HA_PackedSize(state->dim), sizeof(double)));
    state->sb = static_cast<double *>(std::calloc(penrune::HA_PackedSize(state->dim), sizeof(double)));
    state->classes = static_cast<_HT_COARSE_CLASS *>(std::calloc(HT_FEAT_CODE_SLOTS, sizeof(_HT_COARSE_CLASS)));
    return state->sw != nullptr && state->sb != nullptr && state->classes != nullptr;
}

extern "C" int HTFeat_CoarseStatisSampleNumber(_HT_COARSE_CLASS *classes, const char (*files)[HT_PATH_MAX], int count) {
    std::unique_ptr<HR_UINT8[]> block(new (std::nothrow)
                                          HR_UINT8[static_cast<size_t>(HT_FEAT_ORI_RECORD) * HT_FEAT_READ_BLOCK]);
    if (!block) return 0;
    for (int f = 0; f < count; ++f) {
        File in = Open(files[f], "rb");
        if (!in) {
            HTLog_Print("  cannot open %s\n", files[f]);
            return 0;
        }
        size_t n;
        while ((n = std::fread(block.get(), HT_FEAT_ORI_RECORD, HT_FEAT_READ_BLOCK, in.get())) > 0) {
            for (size_t r = 0; r < n; ++r) {
                const HR_UINT16 code = LoadU16(block.get() + r * HT_FEAT_ORI_RECORD);
                if (Wanted(code)) ++classes[code].count;
            }
        }
        if (std::ferror(in.get())) return 0;
    }
    return 1;
}

extern "C" int HTFeat_CoarseInitMemory(_HT_COARSE *state) {
    int classes = 0;
    for (int code = 0; code < HT_FEAT_CODE_SLOTS; ++code) {
        _HT_COARSE_CLASS &cls = state->classes[code];
        if (cls.count > 0) {
            cls.rcount = 1.0 / cls.count;
            ++classes;
        }
    }
    state->classNum = classes;
    if (classes == 0) return 1;
    state->meanStore = static_cast<double *>(std::calloc(static_cast<size_t>(classes) * state->dim, sizeof(double)));
    if (state->meanStore == nullptr) return 0;
    double *next = state->meanStore;
    for (int code = 0; code < HT_FEAT_CODE_SLOTS; ++code) {
        _HT_COARSE_CLASS &cls = state->classes[code];
        if (cls.count > 0) {
            cls.mean = next;
            next += state->dim;
        }
    }
    return 1;
}

extern "C" int HTFeat_CoarseAccumulate(_HT_COARSE *state, const char (*files)[HT_PATH_MAX], int count) {
    return CatchNoMemory([&]() -> int {
        ScatterBatch batch(state->sw, state->dim);
        for (int f = 0; f < count; ++f) {
            HTLog_Print("  %s", files[f]);
            HTLog_Print("%s", AccumulateFile(files[f], state, batch) ? "\n" : "  fail.\n");
        }
        batch.Flush();
        FinishScatter(state);
        return 1;
    });
}

extern "C" void HTFeat_CoarseFreeMemory(_HT_COARSE *state) {
    std::free(state->sw);
    std::free(state->sb);
    std::free(state->classes);
    std::free(state->meanStore);
    *state = _HT_COARSE{};
}

extern "C" void HTFeat_CoarseAddOuterProducts(double *packed, int dim, const double *rows, int stride,
                                              const double *weights, int count) {
    for (int first = 0; first < count; first += kOuterBlock) {
        // A last, partial block is padded with weight 0, which adds exact zeros.
        const double *blockRows[kOuterBlock];
        double blockWeights[kOuterBlock];
        for (int s = 0; s < kOuterBlock; ++s) {
            const bool real = first + s < count;
            blockRows[s] = rows + static_cast<size_t>(real ? first + s : first) * stride;
            blockWeights[s] = real ? weights[first + s] : 0.0;
        }
        penrune::HA_TrainKernels().addOuterBlock(packed, dim, blockRows, blockWeights);
    }
}

extern "C" int HTFeat_CoarseSaveMeanFile(const _HT_COARSE_CLASS *classes, int dim, const char *path) {
    return CatchNoMemory([&]() -> int {
        File out = Open(path, "wb");
        if (!out) return 0;
        std::vector<HR_UINT8> record(2 + sizeof(float) * dim);
        std::vector<float> mean(dim);
        for (int code = 0; code < HT_FEAT_CODE_SLOTS; ++code) {
            if (classes[code].count <= 0) continue;
            StoreU16(record.data(), static_cast<HR_UINT16>(code));
            for (int i = 0; i < dim; ++i) mean[i] = static_cast<float>(classes[code].mean[i]);
            std::memcpy(record.data() + 2, mean.data(), sizeof(float) * dim);
            if (!WriteAll(out.get(), record.data(), record.size(), 1)) return 0;
        }
        return std::fflush(out.get()) == 0 ? 1 : 0;
    });
}

extern "C" void HTFeat_CoarseRestoreCovMatrix(const double *packed, float *full, int dim) {
    for (int r = 0; r < dim; ++r) {
        for (int c = r; c < dim; ++c) {
            const auto v = static_cast<float>(*packed++);
            full[static_cast<size_t>(r) * dim + c] = v;
            full[static_cast<size_t>(c) * dim + r] = v;
        }
    }
}

extern "C" int HTFeat_CoarseSaveCovFile(const double *sw, const double *sb, int dim, const char *path) {
    return CatchNoMemory([&]() -> int {
        File out = Open(path, "wb");
        if (!out) return 0;
        std::vector<float> full(static_cast<size_t>(dim) * dim);
        for (const double *packed : {sw, sb}) {
            HTFeat_CoarseRestoreCovMatrix(packed, full.data(), dim);
            if (!WriteAll(out.get(), full.data(), sizeof(float), full.size())) return 0;
        }
        return std::fflush(out.get()) == 0 ? 1 : 0;
    });
}

extern "C" int HTFeat_CoarseSaveCovToLdaFile(const char *covPath, int dim, const char *ldaPath) {
    return CatchNoMemory([&]() -> int {
        const size_t square = static_cast<size_t>(dim) * dim;
        std::vector<float> sw(square), a(square), values(dim), vectors(square);
        File in = Open(covPath, "rb");
        if (!in || !ReadAll(in.get(), sw.data(), sizeof(float), square) ||
            !ReadAll(in.get(), a.data(), sizeof(float), square)) {
            HTLog_Print("  cannot read %s\n", covPath);
            return 0;
        }
        for (size_t i = 0; i < square; ++i) a[i] += sw[i];
        return HTLda_Ssygv(sw.data(), a.data(), dim, values.data(), vectors.data()) &&
               HTFeat_CoarseSaveLdaFile(values.data(), vectors.data(), dim, ldaPath);
    });
}

extern "C" int HTFeat_CoarseSaveLdaFile(const float *values, const float *vectors, int dim, const char *path) {
    return CatchNoMemory([&]() -> int {
        const size_t square = static_cast<size_t>(dim) * dim;
        std::vector<float> unit(vectors, vectors + square);
        for (int r = 0; r < dim; ++r) {
            float *row = unit.data() + static_cast<size_t>(r) * dim;
            float sum = 0.0f;
            for (int j = 0; j < dim; ++j) sum += row[j] * row[j];
            const float length = std::sqrt(sum);
            if (length > 0.0f) {
                for (int j = 0; j < dim; ++j) row[j] /= length;
            }
        }
        File out = Open(path, "wb");
        return out && WriteAll(out.get(), values, sizeof(float), dim) &&
                       WriteAll(out.get(), vectors, sizeof(float), square) &&
                       WriteAll(out.get(), unit.data(), sizeof(float), square) && std::fflush(out.get()) == 0
                   ? 1
                   : 0;
    });
}

extern "C" HR_INT32 HTFeat_CoarseCodeSlots(HR_UINT16 largestCode) {
    return (static_cast<HR_INT32>(largestCode) | 1) + 1;
}

extern "C" int HTFeat_CoarseSaveCoaFile(const char *ldaPath, const char *meanPath, int dim, int k,
                                        const char *coaPath) {
    return CatchNoMemory([&]() -> int {
        std::vector<float> t;
        if (!ReadLdaRows(ldaPath, dim, k, t)) {
            HTLog_Print("  cannot read %s\n", ldaPath);
            return 0;
        }
        CoaPrototypes protos;
        if (!ProjectMeans(meanPath, t, dim, k, protos)) {
            HTLog_Print("  cannot read %s\n", meanPath);
            return 0;
        }
        const float largest = std::fmax(std::fabs(protos.maximum), std::fabs(protos.minimum));
        if (protos.records == 0 || !protos.finite || !(largest > 0.0f)) {
            HTLog_Print("  no usable class means in %s\n", meanPath);
            return 0;
        }
        if (!WriteCoa(coaPath, t, dim, k, protos, HT_FEAT_COA_SCALE_LIMIT / largest)) {
            HTLog_Print("  cannot write %s\n", coaPath);
            return 0;
        }
        return 1;
    });
}

extern "C" int HTFeat_CoarseStatisClassInfo(const char *origDir, const char *meanPath, const char *covPath,
                                            const char *ldaPath) {
    FileList list;
    const int count = ListFiles(origDir, list);
    if (count < 0) return 0;
    _HT_COARSE state{};
    state.dim = HT_FEAT_DIM;
    int ok = CatchNoMemory([&]() -> int {
        if (!HTFeat_CoarseAllocMemory(&state) || !HTFeat_CoarseStatisSampleNumber(state.classes, list.get(), count) ||
            !HTFeat_CoarseInitMemory(&state)) {
            return 0;
        }
        HTLog_Print("  class total = %d\n", state.classNum);
        return state.classNum > 0 && HTFeat_CoarseAccumulate(&state, list.get(), count) &&
               SaveStatis(&state, meanPath, covPath, ldaPath);
    });
    HTFeat_CoarseFreeMemory(&state);
    return ok;
}

extern "C" int HTFeat_Coarse(const char *origDir, const char *coarseDir, const char *coaPath) {
    return RunStage("coarse classify", [&]() -> int {
        char mean[HT_PATH_MAX], cov[HT_PATH_MAX], lda[HT_PATH_MAX];
        if (!HT_FormatPath(mean, "%s/coarse_mean.tmp", coarseDir) ||
            !HT_FormatPath(cov, "%s/coarse_covariance.tmp", coarseDir) ||
            !HT_FormatPath(lda, "%s/coarse_lda.tmp", coarseDir)) {
            return 0;
        }
        const int ok = HTFeat_CoarseStatisClassInfo(origDir, mean, cov, lda) &&
                       HTFeat_CoarseSaveCoaFile(lda, mean, HT_FEAT_DIM, HT_FEAT_LDA_DIM, coaPath);
        HT_DeleteFile(lda);
        HT_DeleteFile(mean);
        HT_DeleteFile(cov);
        // No stale or partial transform may outlive a failed run.
        if (!ok) HT_DeleteFile(coaPath);
        return ok;
    });
}
