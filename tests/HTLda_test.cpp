#include "HTLda.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "HTFeat.h"
#include "HTLog.h"
#include "TempDir.h"

using penrune_test::ReadFile;
using penrune_test::TempDir;

namespace {

using Matrix = std::vector<double>;  // full, row-major

std::vector<float> Floats(const std::string &bytes) {
    std::vector<float> out(bytes.size() / sizeof(float));
    std::memcpy(out.data(), bytes.data(), out.size() * sizeof(float));
    return out;
}

// Upper triangle of m, row by row.
std::vector<double> Packed(const Matrix &m, int dim) {
    std::vector<double> out;
    for (int i = 0; i < dim; ++i)
        for (int j = i; j < dim; ++j) out.push_back(m[i * dim + j]);
    return out;
}

class HTLdaSolve : public ::testing::Test {
protected:
    void SetUp() override { HTLog_Initialize(dir_.File("log").c_str()); }
    void TearDown() override { HTLog_Terminate(); }
    std::string Log() const { return ReadFile(dir_.File("log")); }
    TempDir dir_;
};

TEST_F(HTLdaSolve, ClassesSeparatedAlongOneAxisGiveThatAxisFirstInTheLdaFile) {
    // Class means differ mostly along axis 1, which varies by 1 within the
    // classes and is uncorrelated with the other axes: e1 is the best
    // direction, with eigenvalue 1 + 6 / 1.
    constexpr int kD = 4;
    const Matrix sw = {2, 0, 0.3, 0, 0, 1, 0, 0, 0.3, 0, 1.5, 0.2, 0, 0, 0.2, 1};
    const Matrix sb = {0, 0, 0, 0, 0, 6, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0.5};
    const std::string cov = dir_.File("cov"), lda = dir_.File("lda");
    ASSERT_EQ(HTFeat_CoarseSaveCovFile(Packed(sw, kD).data(), Packed(sb, kD).data(), kD, cov.c_str()), 1);
    std::vector<float> both(sw.begin(), sw.end());  // both matrices in full
    both.insert(both.end(), sb.begin(), sb.end());
    EXPECT_EQ(Floats(ReadFile(cov)), both);

    // The file holds the values, the rows as solved and the rows at unit length.
    ASSERT_EQ(HTFeat_CoarseSaveCovToLdaFile(cov.c_str(), kD, lda.c_str()), 1);
    const std::vector<float> file = Floats(ReadFile(lda));
    ASSERT_EQ(file.size(), kD + 2u * kD * kD);
    const float *values = file.data(), *rows = values + kD, *unit = rows + kD * kD;
    EXPECT_NEAR(values[0], 7.0, 1e-4);
    EXPECT_NEAR(std::fabs(rows[1]), 1.0, 1e-4);
    for (int k = 0; k < kD; ++k) {
        EXPECT_GE(values[k], 1.0f - 1e-5f);
        if (k > 0) {
            EXPECT_LE(values[k], values[k - 1]);
            EXPECT_NEAR(rows[k * kD + 1], 0.0, 1e-4);
        }
        double within = 0.0, length = 0.0;
        for (int i = 0; i < kD; ++i) {
            length += double(unit[k * kD + i]) * unit[k * kD + i];
            for (int j = 0; j < kD; ++j) within += rows[k * kD + i] * sw[i * kD + j] * rows[k * kD + j];
        }
        EXPECT_NEAR(within, 1.0, 1e-4) << k;
        EXPECT_NEAR(length, 1.0, 1e-6) << k;
    }
    EXPECT_EQ(Log().find("solving again"), std::string::npos);

    EXPECT_EQ(HTFeat_CoarseSaveCovToLdaFile(dir_.File("none").c_str(), 2, lda.c_str()), 0);
    const std::string cut = dir_.Write("cut", std::string(4 * 4 * 2 - 1, '\0'));  // one byte short
    EXPECT_EQ(HTFeat_CoarseSaveCovToLdaFile(cut.c_str(), 2, lda.c_str()), 0);
}

TEST_F(HTLdaSolve, SingularWithinClassScatterIsSolvedWithARidgeUnlessAllIsZero) {
    // Feature 2 never varies inside a class but does between classes.
    constexpr int kD = 3;
    const Matrix sw = {2, 0.5, 0, 0.5, 1, 0, 0, 0, 0}, sb = {1, 0, 0.5, 0, 0.5, 0, 0.5, 0, 1};
    const std::vector<float> b(sw.begin(), sw.end());
    std::vector<float> a(kD * kD), values(kD, -1.0f), vectors(kD * kD, 0.0f);
    for (int e = 0; e < kD * kD; ++e) a[e] = static_cast<float>(sw[e] + sb[e]);
    ASSERT_EQ(HTLda_Ssygv(b.data(), a.data(), kD, values.data(), vectors.data()), 1);
    EXPECT_NE(Log().find("  within-class scatter is not positive definite"), std::string::npos);

    // Each pair solves (a + r I) v = lambda (b + r I) v with v' (b + r I) v = 1.
    const double ridge = 1e-3 * (2 + 1 + 0) / 3;
    for (int k = 0; k < kD; ++k) {
        const float *v = vectors.data() + k * kD;
        double worst = 0.0, norm = 0.0;
        for (int i = 0; i < kD; ++i) {
            double r = 0.0;
            for (int j = 0; j < kD; ++j) {
                const double bij = sw[i * kD + j] + (i == j ? ridge : 0.0);
                r += (a[i * kD + j] + (i == j ? ridge : 0.0) - values[k] * bij) * v[j];
                norm += v[i] * bij * v[j];
            }
            worst = std::fmax(worst, std::fabs(r));
        }
        EXPECT_LT(worst, 1e-3 * std::fmax(1.0, values[k])) << k;
        EXPECT_NEAR(norm, 1.0, 1e-3) << k;
        if (k > 0) {
            EXPECT_LE(values[k], values[k - 1]);
        }
    }
    // The direction of the never-varying feature separates best.
    EXPECT_GT(values[0], 100.0f);

    const std::vector<float> zero(kD * kD, 0.0f);  // no ridge to add
    EXPECT_EQ(HTLda_Ssygv(zero.data(), zero.data(), kD, values.data(), vectors.data()), 0);
    EXPECT_NE(Log().find("  eigenproblem not solved"), std::string::npos);
}

}  // namespace
