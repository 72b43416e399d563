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

// Solutions and the log of one solve.
class HTLdaSolve : public ::testing::Test {
protected:
    void SetUp() override { HTLog_Initialize(dir_.File("log").c_str()); }
    void TearDown() override { HTLog_Terminate(); }
    std::string Log() const { return ReadFile(dir_.File("log")); }

    int Solve(const Matrix &b, const Matrix &a, int dim) {
        const std::vector<float> bf(b.begin(), b.end()), af(a.begin(), a.end());
        values_.assign(dim, -1.0f);
        vectors_.assign(static_cast<size_t>(dim) * dim, 0.0f);
        return HTLda_Ssygv(bf.data(), af.data(), dim, values_.data(), vectors_.data());
    }

    // |m v - lambda n v| and v' n v for eigenpair k.
    double Residual(const Matrix &m, const Matrix &n, int dim, int k) const {
        const float *v = vectors_.data() + static_cast<size_t>(k) * dim;
        double worst = 0.0;
        for (int i = 0; i < dim; ++i) {
            double r = 0.0;
            for (int j = 0; j < dim; ++j) r += (m[i * dim + j] - values_[k] * n[i * dim + j]) * v[j];
            worst = std::fmax(worst, std::fabs(r));
        }
        return worst;
    }
    double Norm(const Matrix &n, int dim, int k) const {
        const float *v = vectors_.data() + static_cast<size_t>(k) * dim;
        double q = 0.0;
        for (int i = 0; i < dim; ++i)
            for (int j = 0; j < dim; ++j) q += v[i] * n[i * dim + j] * v[j];
        return q;
    }

    TempDir dir_;
    std::vector<float> values_, vectors_;
};

Matrix Sum(const Matrix &x, const Matrix &y) {
    Matrix out(x.size());
    for (size_t i = 0; i < x.size(); ++i) out[i] = x[i] + y[i];
    return out;
}

Matrix PlusDiagonal(Matrix m, int dim, double d) {
    for (int i = 0; i < dim; ++i) m[i * dim + i] += d;
    return m;
}

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

TEST_F(HTLdaSolve, ClassesSeparatedAlongOneAxisGiveThatAxisFirst) {
    // Class means differ mostly along axis 1, which varies by 1 within the
    // classes and is uncorrelated with the other axes: e1 is the best
    // direction, with eigenvalue 1 + 6 / 1.
    constexpr int kD = 4;
    const Matrix sw = {2, 0, 0.3, 0, 0, 1, 0, 0, 0.3, 0, 1.5, 0.2, 0, 0, 0.2, 1};
    const Matrix sb = {0, 0, 0, 0, 0, 6, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0.5};
    const std::string cov = dir_.File("cov"), lda = dir_.File("lda");
    ASSERT_EQ(HTFeat_CoarseSaveCovFile(Packed(sw, kD).data(), Packed(sb, kD).data(), kD, cov.c_str()), 1);
    const std::vector<float> full = Floats(ReadFile(cov));
    ASSERT_EQ(full.size(), 2u * kD * kD);
    for (int e = 0; e < kD * kD; ++e) {
        EXPECT_EQ(full[e], static_cast<float>(sw[e]));
        EXPECT_EQ(full[kD * kD + e], static_cast<float>(sb[e]));
    }

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
}

TEST_F(HTLdaSolve, SingularWithinClassScatterIsSolvedWithARidge) {
    // Feature 2 never varies inside a class but does between classes.
    constexpr int kD = 3;
    const Matrix sw = {2, 0.5, 0, 0.5, 1, 0, 0, 0, 0};
    const Matrix sb = {1, 0, 0.5, 0, 0.5, 0, 0.5, 0, 1};
    const Matrix a = Sum(sw, sb);
    ASSERT_EQ(Solve(sw, a, kD), 1);
    EXPECT_NE(Log().find("  within-class scatter is not positive definite"), std::string::npos);
    const double ridge = 1e-3 * (2 + 1 + 0) / 3;
    const Matrix aRidge = PlusDiagonal(a, kD, ridge), bRidge = PlusDiagonal(sw, kD, ridge);
    for (int k = 0; k < kD; ++k) {
        EXPECT_LT(Residual(aRidge, bRidge, kD, k), 1e-3 * std::fmax(1.0, values_[k])) << k;
        EXPECT_NEAR(Norm(bRidge, kD, k), 1.0, 1e-3) << k;
        if (k > 0) {
            EXPECT_LE(values_[k], values_[k - 1]);
        }
    }
    // The direction of the never-varying feature separates best.
    EXPECT_GT(values_[0], 100.0f);
}

TEST_F(HTLdaSolve, RegularProblemIsSolvedWithoutRidgeAndHopelessOnesFail) {
    const Matrix sw = {2, 0.5, 0.5, 1}, sb = {1, 0, 0, 0};
    ASSERT_EQ(Solve(sw, Sum(sw, sb), 2), 1);
    for (int k = 0; k < 2; ++k) EXPECT_LT(Residual(Sum(sw, sb), sw, 2, k), 1e-4) << k;
    EXPECT_EQ(Log().find("solving again"), std::string::npos);

    const Matrix zero(9, 0.0);
    EXPECT_EQ(Solve(zero, zero, 3), 0);
    EXPECT_NE(Log().find("  eigenproblem not solved"), std::string::npos);
    EXPECT_EQ(HTFeat_CoarseSaveCovToLdaFile(dir_.File("none").c_str(), 2, dir_.File("lda").c_str()), 0);
    const std::string cut = dir_.Write("cut", std::string(4 * 4 * 2 - 1, '\0'));
    EXPECT_EQ(HTFeat_CoarseSaveCovToLdaFile(cut.c_str(), 2, dir_.File("lda").c_str()), 0);
}

}  // namespace
