// SPDX-License-Identifier: MIT
// Feature stages 3 to 5: the compressed, sorted and random feature sets
// that the prototype stages read.
#include "train/HTFeat.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <memory>
#include <vector>

#include "train/HTFeatCommon.h"

using namespace htfeat;

namespace {

// Transform rows projected side by side.
constexpr int kTranRows = 8;
// Quantisation of a projected value: 1/256 in float32 and the clamp limit.
constexpr float kQuantStep = 0.00390625f;
constexpr float kQuantLimit = 32512.0f;
constexpr HR_INT8 kQuantMax = 127;
// Range of the draws of the random sets.
constexpr int kRandRange = 10000;

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
    const bool ok = out && WriteAll(out.get(), records.data(), 1, records.size()) && std::fflush(out.get()) == 0;
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

extern "C" void HTFeat_CompFeatureTran(const float *tran, const HR_INT16 *vector, int dim, float *out, int k) {
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

extern "C" int HTFeat_CompFeatureByFileList(const char (*files)[HT_PATH_MAX], int count, const char *coaPath,
                                            const char *compDir) {
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

extern "C" int HTFeat_SortFeatureByFileList(const char (*files)[HT_PATH_MAX], int count, int k, const char *sortDir) {
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

extern "C" int HTFeat_RandFeatureMakeSet(const char *sortDir, int set, HR_UINT32 bucketCapacity, const char *randPath) {
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
