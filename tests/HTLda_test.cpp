// SPDX-License-Identifier: MIT
#include "train/HTLda.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "train/HTFeat.h"
#include "TempDir.h"

using penrune::test::TempDir;

namespace {

using Matrix = std::vector<double>;  // full, row-major

// Each pair solves (sw + sb + r I) v = lambda (sw + r I) v with
// v' (sw + r I) v = 1, largest value first.
void ExpectSolved(const Matrix &sw, const Matrix &sb, double r, int dim, const float *values, const float *vectors) {
    for (int k = 0; k < dim; ++k) {
        const float *v = vectors + k * dim;
        double norm = 0.0;
        for (int i = 0; i < dim; ++i) {
            double residual = 0.0;
            for (int j = 0; j < dim; ++j) {
                const double bij = sw[i * dim + j] + (i == j ? r : 0.0);
                residual += (bij + sb[i * dim + j] - values[k] * bij) * v[j];
                norm += v[i] * bij * v[j];
            }
            EXPECT_LT(std::fabs(residual), 1e-3 * std::fmax(1.0, values[k])) << k;
        }
        EXPECT_NEAR(norm, 1.0, 1e-3) << k;
        EXPECT_LE(values[k], values[k > 0 ? k - 1 : 0]) << k;
    }
}

TEST(HTLdaSolve, CovarianceFileIsSolvedWithTheSeparatingAxisFirst) {
    // Class means differ mostly along axis 1, which varies by 1 within the classes and is
    // uncorrelated with the other axes: e1 is the best direction, with eigenvalue 1 + 6 / 1.
    constexpr int kD = 4;
    const Matrix sw = {2, 0, 0.3, 0, 0, 1, 0, 0, 0.3, 0, 1.5, 0.2, 0, 0, 0.2, 1};
    const Matrix sb = {0, 0, 0, 0, 0, 6, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0.5};
    Matrix swPacked, sbPacked;  // upper triangles, row by row
    for (int i = 0; i < kD; ++i)
        for (int j = i; j < kD; ++j) swPacked.push_back(sw[i * kD + j]), sbPacked.push_back(sb[i * kD + j]);
    TempDir dir;
    const std::string cov = dir.File("cov"), lda = dir.File("lda");
    ASSERT_EQ(HTFeat_CoarseSaveCovFile(swPacked.data(), sbPacked.data(), kD, cov.c_str()), 1);
    ASSERT_EQ(HTFeat_CoarseSaveCovToLdaFile(cov.c_str(), kD, lda.c_str()), 1);
    const std::string bytes = penrune::test::ReadFile(lda);
    ASSERT_EQ(bytes.size(), sizeof(float) * (kD + 2 * kD * kD));
    std::vector<float> file(bytes.size() / sizeof(float));
    std::memcpy(file.data(), bytes.data(), bytes.size());
    const float *values = file.data(), *rows = values + kD;  // then the rows at unit length
    ExpectSolved(sw, sb, 0.0, kD, values, rows);
    EXPECT_NEAR(values[0], 7.0, 1e-4);
    EXPECT_NEAR(std::fabs(rows[1]), 1.0, 1e-4);
    const std::string cut = dir.Write("cut", std::string(4 * 4 * 2 - 1, '\0'));  // one byte short of D = 2
    EXPECT_EQ(HTFeat_CoarseSaveCovToLdaFile(cut.c_str(), 2, lda.c_str()), 0);
}

TEST(HTLdaSolve, SingularWithinClassScatterIsSolvedWithARidgeUnlessAllIsZero) {
    // Feature 2 never varies inside a class but does between classes.
    constexpr int kD = 3;
    const Matrix sw = {2, 0.5, 0, 0.5, 1, 0, 0, 0, 0}, sb = {1, 0, 0.5, 0, 0.5, 0, 0.5, 0, 1};
    const std::vector<float> bf(sw.begin(), sw.end()), zero(kD * kD, 0.0f);
    std::vector<float> af(kD * kD), values(kD), vectors(kD * kD);
    for (int e = 0; e < kD * kD; ++e) af[e] = static_cast<float>(sw[e] + sb[e]);
    ASSERT_EQ(HTLda_Ssygv(bf.data(), af.data(), kD, values.data(), vectors.data()), 1);
    ExpectSolved(sw, sb, HT_LDA_RIDGE_FACTOR * (2 + 1 + 0) / 3, kD, values.data(), vectors.data());
    EXPECT_GT(values[0], 100.0f);  // the never-varying feature separates best
    EXPECT_EQ(HTLda_Ssygv(zero.data(), zero.data(), kD, values.data(), vectors.data()), 0);  // no ridge to add
}

}  // namespace
