// SPDX-License-Identifier: MIT
// Feature stages of the training tools: sample files to original features,
// class statistics and the discriminant transform, and the compressed, sorted
// and random feature sets that the prototype stages read.
#include "train/HTFeat.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <map>
#include <memory>
#include <new>
#include <vector>

#include "penrune/HRFeature.h"
#include "arch/HATrainKernels.h"
#include "train/HTCode.h"
#include "train/HTLda.h"
#include "train/HTLog.h"

namespace {

constexpr int kTimerSlot = 1;
// Samples whose outer products are added to the scatter triangle in one
// sweep (the vector kernels of src/arch), and the padding between the
// sample rows of a block.
constexpr int kOuterBlock = penrune::kHAOuterBlock;
constexpr int kRowPad = 8;
// Transform rows projected side by side.
constexpr int kTranRows = 8;
// Quantisation of a projected value: 1/256 in float32 and the clamp limit.
constexpr float kQuantStep = 0.00390625f;
constexpr float kQuantLimit = 32512.0f;
constexpr HR_INT8 kQuantMax = 127;
// Range of the draws of the random sets.
constexpr int kRandRange = 10000;
// Codes that mark empty slots elsewhere and get no prototype.
constexpr unsigned kFirstReservedCode = 0xFFFE;
// Last two points of every sample record: stroke end and end of data.
constexpr HR_UINT8 kEndMarkers[4] = {0xFF, 0x00, 0xFF, 0xFF};
// Sample record header inside the body: code and reserved bytes.
constexpr size_t kSampleHeader = 4;

struct FileCloser {
    void operator()(FILE *fp) const { std::fclose(fp); }
};
using File = std::unique_ptr<FILE, FileCloser>;

File Open(const char *path, const char *mode) { return File(std::fopen(path, mode)); }

struct FreeDeleter {
    void operator()(void *p) const { std::free(p); }
};

using FileList = std::unique_ptr<char[][HT_PATH_MAX]>;

HR_UINT16 LoadU16(const HR_UINT8 *p) { return static_cast<HR_UINT16>(p[0] | (p[1] << 8)); }

void StoreU16(HR_UINT8 *p, HR_UINT16 v) {
    p[0] = static_cast<HR_UINT8>(v & 0xFF);
    p[1] = static_cast<HR_UINT8>(v >> 8);
}

HR_INT32 LoadI32(const HR_UINT8 *p) {
    HR_UINT32 v = 0;
    for (int i = 3; i >= 0; --i) v = (v << 8) | p[i];
    return static_cast<HR_INT32>(v);
}

void StoreI32(HR_UINT8 *p, HR_INT32 value) {
    const auto v = static_cast<HR_UINT32>(value);
    for (int i = 0; i < 4; ++i) p[i] = static_cast<HR_UINT8>(v >> (8 * i));
}

bool Wanted(HR_UINT16 code) { return g_bCodeExist[code] != 0; }

bool WriteAll(FILE *fp, const void *data, size_t size, size_t count) {
    // An empty container may hand over a null pointer, which fwrite rejects.
    return count == 0 || std::fwrite(data, size, count, fp) == count;
}

bool ReadAll(FILE *fp, void *data, size_t size, size_t count) {
    return std::fread(data, size, count, fp) == count;
}

// Runs body, turning a failed allocation into a failure result.
template <class Body>
int CatchNoMemory(Body body) {
    try {
        return body();
    } catch (const std::bad_alloc &) {
        HTLog_Print("  out of memory\n");
        return 0;
    }
}

// Logs "<name> begin.", runs the stage body and logs "<name> finished." or
// "<name> fail." and the stage time.
template <class Body>
int RunStage(const char *name, Body body) {
    HTLog_TimeBegin(kTimerSlot);
    HTLog_Print("%s begin.\n", name);
    const int ok = CatchNoMemory(body) ? 1 : 0;
    HTLog_Print(ok ? "%s finished.\n" : "%s fail.\n", name);
    HTLog_TimeStop(kTimerSlot);
    return ok;
}

// Lists the regular files of dir into a heap list. Returns the count, or -1
// when the list cannot be had or the directory holds more files than it.
int ListFiles(const char *dir, FileList &list) {
    list.reset(new (std::nothrow) char[HT_FEAT_FILE_CAPACITY][HT_PATH_MAX]);
    if (!list) {
        HTLog_Print("  no memory for the file list\n");
        return -1;
    }
    const int count = HT_GetFileList(dir, list.get(), HT_FEAT_FILE_CAPACITY);
    if (count > HT_FEAT_FILE_CAPACITY) {
        HTLog_Print("  %s holds %d files, more than %d\n", dir, count, HT_FEAT_FILE_CAPACITY);
        return -1;
    }
    return count;
}

// dir/<base name of input><ext>, the part of the name from its last "."
// replaced by ext (appended when the name has no "."). 0 when too long.
int DerivedPath(char *out, const char *dir, const char *input, const char *ext) {
    const char *name = HT_GetFileNameByFilePath(input);
    const char *dot = std::strrchr(name, '.');
    const int stem = static_cast<int>(dot != nullptr ? dot - name : std::strlen(name));
    if (!HT_FormatPath(out, "%s/%.*s%s", dir, stem, name, ext)) {
        HTLog_Print("  output path for %s too long\n", input);
        return 0;
    }
    return 1;
}

int SortedPath(char *out, const char *sortDir, unsigned code) {
    return HT_FormatPath(out, "%s/%x.fec", sortDir, code);
}

// ---- Stage 1 --------------------------------------------------------------

// Extracts the features of one sample record body (code, reserved bytes,
// points) of even length and appends code and features to out.
int WriteOrigRecord(HR_UINT8 *body, size_t length, FILE *out) {
    HR_INT16 feature[HT_FEAT_DIM];
    HR_UINT8 record[HT_FEAT_ORI_RECORD];
    std::memcpy(body + length - sizeof kEndMarkers, kEndMarkers, sizeof kEndMarkers);
    const auto n = static_cast<HR_UINT16>((length - kSampleHeader) / 2);
    HRFeature_Extract1024DimFeature(reinterpret_cast<_HR_POINT8 *>(body + kSampleHeader), n, feature);
    std::memcpy(record, body, 2);
    for (int i = 0; i < HT_FEAT_DIM; ++i) {
        StoreU16(record + 2 + 2 * i, static_cast<HR_UINT16>(feature[i]));
    }
    return WriteAll(out, record, sizeof record, 1);
}

// ---- Stage 2 --------------------------------------------------------------

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
bool ProjectMeans(const char *meanPath, const std::vector<float> &t, int dim, int k,
                  CoaPrototypes &protos) {
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
int WriteCoa(const char *coaPath, std::vector<float> &t, int dim, int k, const CoaPrototypes &protos,
             float s) {
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
           WriteAll(out.get(), values.data(), sizeof(HR_INT16), values.size()) &&
           std::fflush(out.get()) == 0;
}

// ---- Stages 3 to 5 ----------------------------------------------------------

// Compresses the wanted records of one .ori file into a .fec file.
int CompressFile(const char *inPath, const char *outPath, const float *tran) {
    File in = Open(inPath, "rb");
    File out = Open(outPath, "wb");
    if (!in || !out) {
        HTLog_Print("  cannot open %s\n", in ? outPath : inPath);
        return 0;
    }
    HR_UINT8 record[HT_FEAT_ORI_RECORD];
    HR_INT16 vector[HT_FEAT_DIM];
    float projected[HT_FEAT_LDA_DIM];
    HR_UINT8 packed[HT_FEAT_FEC_RECORD];
    while (ReadAll(in.get(), record, sizeof record, 1)) {
        if (!Wanted(LoadU16(record))) continue;
        for (int j = 0; j < HT_FEAT_DIM; ++j) {
            vector[j] = static_cast<HR_INT16>(LoadU16(record + 2 + 2 * j));
        }
        HTFeat_CompFeatureTran(tran, vector, HT_FEAT_DIM, projected, HT_FEAT_LDA_DIM);
        std::memcpy(packed, record, 2);
        for (int r = 0; r < HT_FEAT_LDA_DIM; ++r) {
            packed[2 + r] = static_cast<HR_UINT8>(HTFeat_CompFeatureQuantize(projected[r]));
        }
        if (!WriteAll(out.get(), packed, sizeof packed, 1)) return 0;
    }
    return !std::ferror(in.get()) && std::fflush(out.get()) == 0;
}

// Appends the collected records of one code to its sorted file and empties
// the collection.
int AppendSorted(const char *sortDir, unsigned code, std::vector<HR_UINT8> &records) {
    char path[HT_PATH_MAX];
    if (!SortedPath(path, sortDir, code)) return 0;
    HTLog_Print(" %s\n", path);
    File out = Open(path, "ab");
    const bool ok = out && WriteAll(out.get(), records.data(), 1, records.size()) &&
                    std::fflush(out.get()) == 0;
    if (!ok) HTLog_Print("  cannot append to %s\n", path);
    records.clear();
    return ok;
}

// Reads one compressed file in blocks and hands its wanted records to the
// per-code collections, flushing every full collection.
int SortFile(const char *path, size_t recordSize, std::vector<HR_UINT8> &block,
             std::vector<std::vector<HR_UINT8>> &collected, const char *sortDir) {
    File in = Open(path, "rb");
    if (!in) {
        HTLog_Print("  cannot open %s\n", path);
        return 0;
    }
    const size_t batchBytes = recordSize * HT_FEAT_SORT_BATCH;
    size_t n;
    while ((n = std::fread(block.data(), recordSize, HT_FEAT_READ_BLOCK, in.get())) > 0) {
        for (size_t r = 0; r < n; ++r) {
            const HR_UINT8 *record = block.data() + r * recordSize;
            const HR_UINT16 code = LoadU16(record);
            if (!Wanted(code)) continue;
            std::vector<HR_UINT8> &bucket = collected[code];
            if (bucket.capacity() < batchBytes) bucket.reserve(batchBytes);
            bucket.insert(bucket.end(), record, record + recordSize);
            if (bucket.size() == batchBytes && !AppendSorted(sortDir, code, bucket)) return 0;
        }
    }
    return !std::ferror(in.get());
}

// Buckets of one random set.
class RandBuckets {
public:
    explicit RandBuckets(HR_UINT32 capacity) : capacity_(capacity), buckets_(HT_FEAT_RAND_BUCKETS) {}

    // Gives one record `tries` draws; set r owns the draws 100 r .. 100 r + 99
    // of 0..kRandRange-1, one per bucket.
    void Draw(const HR_UINT8 *record, HR_UINT16 label, int tries, int set) {
        for (int t = 0; t < tries; ++t) {
            const int v = std::rand() % kRandRange - HT_FEAT_RAND_BUCKETS * set;
            if (v < 0 || v >= HT_FEAT_RAND_BUCKETS) continue;
            std::vector<HR_UINT8> &bucket = buckets_[v];
            if (bucket.size() / HT_FEAT_FEC_RECORD >= capacity_) continue;
            HR_UINT8 labelled[2];
            StoreU16(labelled, label);
            bucket.insert(bucket.end(), labelled, labelled + 2);
            bucket.insert(bucket.end(), record + 2, record + HT_FEAT_FEC_RECORD);
        }
    }

    int Write(FILE *out) const {
        for (const std::vector<HR_UINT8> &bucket : buckets_) {
            if (!WriteAll(out, bucket.data(), 1, bucket.size())) return 0;
        }
        return std::fflush(out) == 0;
    }

private:
    HR_UINT32 capacity_;
    std::vector<std::vector<HR_UINT8>> buckets_;
};

// Draws the records of one sorted file into the buckets, labelled `label`.
int DrawClass(FILE *in, HR_UINT16 label, int set, std::vector<HR_UINT8> &block, RandBuckets &buckets) {
    const int tries = HTFeat_RandFeatureTries(HT_FileLength(in));
    size_t n;
    while ((n = std::fread(block.data(), HT_FEAT_FEC_RECORD, HT_FEAT_READ_BLOCK, in)) > 0) {
        for (size_t r = 0; r < n; ++r) {
            buckets.Draw(block.data() + r * HT_FEAT_FEC_RECORD, label, tries, set);
        }
    }
    return !std::ferror(in);
}

}  // namespace

// ---- Stage 1 --------------------------------------------------------------

extern "C" int HTFeat_OrigFeatureByFile(const char *samplePath, const char *oriPath) {
    std::unique_ptr<HR_UINT8[]> body(new (std::nothrow) HR_UINT8[HT_FEAT_SAMPLE_BUFFER]);
    File in = Open(samplePath, "rb");
    File out = Open(oriPath, "wb");
    if (!body || !in || !out) return 0;
    int malformed = 0;
    HR_UINT8 head[2];
    while (ReadAll(in.get(), head, sizeof head, 1)) {
        const unsigned length = LoadU16(head);
        if (length > HT_FEAT_SAMPLE_MAX_LENGTH) {
            HTLog_Print("  record length %u above %u in %s\n", length, HT_FEAT_SAMPLE_MAX_LENGTH, samplePath);
            return 0;
        }
        const size_t wanted = length >= 2 ? length - 2 : 0;
        const size_t read = std::fread(body.get(), 1, wanted, in.get());
        if (wanted > 0 && read == 0) break;
        // A truncated last record is used as far as it was read, in whole points.
        const size_t got = read & ~static_cast<size_t>(1);
        if (length < HT_FEAT_SAMPLE_MIN_LENGTH || length % 2 != 0 ||
            got < kSampleHeader + sizeof kEndMarkers) {
            ++malformed;
            continue;
        }
        if (Wanted(LoadU16(body.get())) && !WriteOrigRecord(body.get(), got, out.get())) return 0;
    }
    if (malformed > 0) HTLog_Print("  %d malformed records skipped in %s\n", malformed, samplePath);
    return !std::ferror(in.get()) && std::fflush(out.get()) == 0;
}

extern "C" int HTFeat_OrigFeature(const char *sampleDir, const char *outDir) {
    return RunStage("make original feature", [&]() -> int {
        FileList list;
        const int count = ListFiles(sampleDir, list);
        if (count == 0) HTLog_Print("  no sample files in %s\n", sampleDir);
        if (count <= 0) return 0;
        for (int f = 0; f < count; ++f) {
            char out[HT_PATH_MAX];
            if (!DerivedPath(out, outDir, list[f], ".ori")) return 0;
            HTLog_Print("  %s -> %s\n", list[f], out);
            if (!HTFeat_OrigFeatureByFile(list[f], out)) return 0;
        }
        return 1;
    });
}

// ---- Stage 2 --------------------------------------------------------------

extern "C" int HTFeat_CoarseAllocMemory(_HT_COARSE *state) {
    if (state->dim <= 0) state->dim = HT_FEAT_DIM;
    state->classNum = 0;
    state->meanStore = nullptr;
    state->sw = static_cast<double *>(std::calloc(penrune::HA_PackedSize(state->dim), sizeof(double)));
    state->sb = static_cast<double *>(std::calloc(penrune::HA_PackedSize(state->dim), sizeof(double)));
    state->classes =
        static_cast<_HT_COARSE_CLASS *>(std::calloc(HT_FEAT_CODE_SLOTS, sizeof(_HT_COARSE_CLASS)));
    return state->sw != nullptr && state->sb != nullptr && state->classes != nullptr;
}

extern "C" int HTFeat_CoarseStatisSampleNumber(_HT_COARSE_CLASS *classes,
                                               const char (*files)[HT_PATH_MAX], int count) {
    std::unique_ptr<HR_UINT8[]> block(
        new (std::nothrow) HR_UINT8[static_cast<size_t>(HT_FEAT_ORI_RECORD) * HT_FEAT_READ_BLOCK]);
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
    state->meanStore =
        static_cast<double *>(std::calloc(static_cast<size_t>(classes) * state->dim, sizeof(double)));
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

extern "C" int HTFeat_CoarseSaveLdaFile(const float *values, const float *vectors, int dim,
                                        const char *path) {
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
                       WriteAll(out.get(), unit.data(), sizeof(float), square) &&
                       std::fflush(out.get()) == 0
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

extern "C" int HTFeat_CoarseStatisClassInfo(const char *origDir, const char *meanPath,
                                            const char *covPath, const char *ldaPath) {
    FileList list;
    const int count = ListFiles(origDir, list);
    if (count < 0) return 0;
    _HT_COARSE state{};
    state.dim = HT_FEAT_DIM;
    int ok = CatchNoMemory([&]() -> int {
        if (!HTFeat_CoarseAllocMemory(&state) ||
            !HTFeat_CoarseStatisSampleNumber(state.classes, list.get(), count) ||
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

// ---- Stage 3 --------------------------------------------------------------

extern "C" float *HTFeat_CompFeatureReadTranVector(const char *coaPath) {
    File in = Open(coaPath, "rb");
    HR_UINT8 header[HT_FEAT_COA_HEADER];
    if (!in || !ReadAll(in.get(), header, sizeof header, 1) || LoadI32(header + 8) != HT_FEAT_DIM ||
        LoadI32(header + 12) != HT_FEAT_LDA_DIM) {
        return nullptr;
    }
    const size_t count = static_cast<size_t>(HT_FEAT_LDA_DIM) * HT_FEAT_DIM;
    std::unique_ptr<float, FreeDeleter> tran(static_cast<float *>(std::malloc(count * sizeof(float))));
    if (!tran || !ReadAll(in.get(), tran.get(), sizeof(float), count)) return nullptr;
    return tran.release();
}

extern "C" void HTFeat_CompFeatureTran(const float *tran, const HR_INT16 *vector, int dim, float *out,
                                       int k) {
    // kTranRows sums advance side by side so that they do not wait on each
    // other; each still adds its terms in ascending j. A last, partial group
    // repeats the last row and keeps only the sums it needs.
    for (int r0 = 0; r0 < k; r0 += kTranRows) {
        const float *row[kTranRows];
        for (int q = 0; q < kTranRows; ++q) row[q] = tran + static_cast<size_t>(std::min(r0 + q, k - 1)) * dim;
        float sum[kTranRows] = {};
        for (int j = 0; j < dim; ++j) {
            const auto x = static_cast<float>(vector[j]);
            for (int q = 0; q < kTranRows; ++q) sum[q] += x * row[q][j];
        }
        for (int q = 0; q < kTranRows && r0 + q < k; ++q) out[r0 + q] = sum[q];
    }
}

extern "C" HR_INT8 HTFeat_CompFeatureQuantize(float y) {
    if (std::isnan(y)) return 0;
    if (y >= kQuantLimit) return kQuantMax;
    if (y <= -kQuantLimit) return -kQuantMax;
    const float rounded = y >= 0.0f ? (y + 128.0f) * kQuantStep : (y - 128.0f) * kQuantStep;
    return static_cast<HR_INT8>(static_cast<int>(rounded));
}

extern "C" int HTFeat_CompFeatureByFileList(const char (*files)[HT_PATH_MAX], int count,
                                            const char *coaPath, const char *compDir) {
    std::unique_ptr<float, FreeDeleter> tran(HTFeat_CompFeatureReadTranVector(coaPath));
    if (!tran) {
        HTLog_Print("  cannot read the transform of %s\n", coaPath);
        return 0;
    }
    for (int f = 0; f < count; ++f) {
        char out[HT_PATH_MAX];
        if (!DerivedPath(out, compDir, files[f], ".fec")) return 0;
        HTLog_Print("  %s -> %s\n", files[f], out);
        if (!CompressFile(files[f], out, tran.get())) return 0;
    }
    return 1;
}

extern "C" int HTFeat_CompFeature(const char *origDir, const char *coaPath, const char *compDir) {
    return RunStage("compress feature", [&]() -> int {
        FileList list;
        const int count = ListFiles(origDir, list);
        return count >= 0 && HTFeat_CompFeatureByFileList(list.get(), count, coaPath, compDir);
    });
}

// ---- Stage 4 --------------------------------------------------------------

extern "C" int HTFeat_SortFeatureByFileList(const char (*files)[HT_PATH_MAX], int count, int k,
                                            const char *sortDir) {
    return CatchNoMemory([&]() -> int {
        for (unsigned code = 0; code < HT_FEAT_CODE_SLOTS; ++code) {
            char path[HT_PATH_MAX];
            if (Wanted(static_cast<HR_UINT16>(code)) && SortedPath(path, sortDir, code)) {
                HT_DeleteFile(path);
            }
        }
        const size_t recordSize = 2 + static_cast<size_t>(k);
        std::vector<HR_UINT8> block(recordSize * HT_FEAT_READ_BLOCK);
        std::vector<std::vector<HR_UINT8>> collected(HT_FEAT_CODE_SLOTS);
        for (int f = 0; f < count; ++f) {
            if (!SortFile(files[f], recordSize, block, collected, sortDir)) return 0;
        }
        for (unsigned code = 0; code < HT_FEAT_CODE_SLOTS; ++code) {
            if (!collected[code].empty() && !AppendSorted(sortDir, code, collected[code])) return 0;
        }
        return 1;
    });
}

extern "C" int HTFeat_SortFeature(const char *compDir, const char *sortDir) {
    return RunStage("sort classify", [&]() -> int {
        FileList list;
        const int count = ListFiles(compDir, list);
        return count >= 0 && HTFeat_SortFeatureByFileList(list.get(), count, HT_FEAT_LDA_DIM, sortDir);
    });
}

// ---- Stage 5 --------------------------------------------------------------

extern "C" int HTFeat_RandFeatureTries(HR_UINT32 length) {
    const HR_UINT64 small = static_cast<HR_UINT64>(HT_FEAT_RAND_SMALL_CLASS + 1) * HT_FEAT_FEC_RECORD;
    const HR_UINT64 medium = static_cast<HR_UINT64>(HT_FEAT_RAND_MEDIUM_CLASS + 1) * HT_FEAT_FEC_RECORD;
    if (length < small) return 8;
    return length < medium ? 2 : 1;
}

extern "C" int HTFeat_RandFeatureMakeSet(const char *sortDir, int set, HR_UINT32 bucketCapacity,
                                         const char *randPath) {
    return CatchNoMemory([&]() -> int {
        std::vector<HR_UINT8> block(static_cast<size_t>(HT_FEAT_FEC_RECORD) * HT_FEAT_READ_BLOCK);
        RandBuckets buckets(bucketCapacity);
        const _CODE_ITEM *items = HTCode_GetItemPtr();
        const int total = HTCode_GetItemTotal();
        for (int i = 0; i < total; ++i) {
            char path[HT_PATH_MAX];
            if (!Wanted(items[i].code) || !SortedPath(path, sortDir, items[i].code)) continue;
            File in = Open(path, "rb");
            if (!in) continue;
            if (!DrawClass(in.get(), static_cast<HR_UINT16>(i), set, block, buckets)) {
                HTLog_Print("  cannot read %s\n", path);
                return 0;
            }
        }
        HTLog_Print("  %s\n", randPath);
        File out = Open(randPath, "wb");
        if (!out || !buckets.Write(out.get())) {
            HTLog_Print("  cannot write %s\n", randPath);
            return 0;
        }
        return 1;
    });
}

// The random sets are drawn from the clock's seed unless the tool fixes it:
// a published model must be reproducible.
static bool g_bRandSeedFixed = false;
static HR_UINT32 g_nRandSeed = 0;

extern "C" void HTFeat_SetRandSeed(int fixed, HR_UINT32 seed) {
    g_bRandSeedFixed = fixed != 0;
    g_nRandSeed = seed;
}

static unsigned RandSeed() {
    if (!g_bRandSeedFixed) return static_cast<unsigned>(std::time(nullptr));
    HTLog_Print("  random seed %lu\n", static_cast<unsigned long>(g_nRandSeed));
    return g_nRandSeed;
}

extern "C" int HTFeat_RandFeature(const char *sortDir, const char *randDir) {
    return RunStage("rand classify", [&]() -> int {
        std::srand(RandSeed());
        for (int set = 1; set <= HT_FEAT_RAND_SETS; ++set) {
            char path[HT_PATH_MAX];
            if (!HT_FormatPath(path, "%s/rand_%03d.fec", randDir, set)) return 0;
            if (!HTFeat_RandFeatureMakeSet(sortDir, set, HT_FEAT_RAND_BUCKET_CAPACITY, path)) return 0;
        }
        return 1;
    });
}
