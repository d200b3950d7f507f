#include <cmath>
#include <limits>

#include "support.h"

using pkhost::CallResult;
using pktest::FailsWith;
using pktest::HasShape;
using pktest::SameBits;

namespace {

const double kInf = std::numeric_limits<double>::infinity();
const double kNaN = std::numeric_limits<double>::quiet_NaN();
const std::string kId = "pairkernels:pair_inner_product_residual:";

// The plain loops, in the defining order.
std::vector<double> reference(int n, int K, const std::vector<double> &P,
                              const std::vector<double> &W, const std::vector<double> &X) {
    std::vector<double> R;
    for (int i = 0; i < n; ++i)
        for (int j = 0; j < n; ++j) {
            double s = 0.0;
            for (int k = 0; k < K; ++k) s = s + W[(i * n + j) * K + k] * X[j * K + k];
            R.push_back(P[i * n + j] - s);
        }
    return R;
}

CallResult call(double n, const std::vector<double> &P, const std::vector<double> &W,
                const std::vector<double> &X, double K, const std::string &profile = "linux") {
    auto N = pkhost::scalar(n);
    auto p = pkhost::doubles(P);
    auto w = pkhost::doubles(W);
    auto x = pkhost::doubles(X);
    auto k = pkhost::scalar(K);
    return pktest::module("pair_inner_product_residual", profile)
        .call({N.get(), p.get(), w.get(), x.get(), k.get()});
}

std::vector<double> run(double n, const std::vector<double> &P, const std::vector<double> &W,
                        const std::vector<double> &X, double K,
                        const std::string &profile = "linux") {
    CallResult r = call(n, P, W, X, K, profile);
    EXPECT_FALSE(r.failed) << r.id << ": " << r.message;
    return pktest::result_values(r);
}

TEST(PairInnerProductResidual, WorkedExamples) {
    // The item vector is always that of the second item j.
    EXPECT_TRUE(SameBits(run(2, {10, 20, 30, 40}, {1, 1, 1, 1}, {3, 5}, 1), {7, 15, 27, 35}));
    EXPECT_TRUE(SameBits(run(2, {0, 0, 0, 0}, {1, 0, 0, 1, 1, 1, 2, 0}, {3, 4, 5, 6}, 2),
                         {-3, -6, -7, -10}));
    EXPECT_TRUE(SameBits(run(2.9, {10, 20, 30, 40}, {1, 1, 1, 1}, {3, 5}, 1.5), {7, 15, 27, 35}));
}

TEST(PairInnerProductResidual, EmptyInnerProductIsPositiveZero) {
    // K <= 0 reads neither W nor X and returns P bit for bit, -0.0 - +0.0 staying -0.0.
    const std::vector<double> P{-0.0, kNaN, -kInf, 4e-320};
    EXPECT_TRUE(SameBits(run(2, P, {}, {}, 0), P));
    EXPECT_TRUE(SameBits(run(2, P, {}, {}, -7), P));
    // A product of -0.0 added to the +0.0 start gives +0.0, so P = -0.0 stays -0.0.
    EXPECT_TRUE(SameBits(run(1, {-0.0}, {-0.0}, {1}, 1), {-0.0}));
}

TEST(PairInnerProductResidual, ProductsAreRoundedBeforeTheyAreAdded) {
    const double a = 1 + std::ldexp(1, -30), b = 1 - std::ldexp(1, -30);
    EXPECT_TRUE(SameBits(run(1, {0}, {1, a}, {1, -b}, 2), {0.0}));  // fused: -2^-60
}

TEST(PairInnerProductResidual, MatchesPlainLoopsOnAwkwardInputsInEveryProfile) {
    for (const char *profile : {"linux", "windows", "macos"})
        for (int n : {1, 2, 3, 7, 13})
            for (int K : {0, 1, 2, 3, 6}) {
                const uint64_t seed = 3000 + 100 * n + K;
                std::vector<double> P = pktest::awkward_values(n * n, seed);
                std::vector<double> W = pktest::awkward_values(n * n * K, seed + 1);
                std::vector<double> X = pktest::awkward_values(n * K, seed + 2);
                EXPECT_TRUE(SameBits(run(n, P, W, X, K, profile), reference(n, K, P, W, X)))
                    << profile << ", N = " << n << ", K = " << K;
            }
}

// Every kernel variant this machine runs (SSE2, AVX2 and AVX-512 where it has them), at item counts
// that reach the blocks of 2*L pairs, a single block of L and the one-pair tail for L = 2, 4 and 8,
// and at widths K that reach K = 1, partial and overlapping blocks of components. About a third of
// the pairs meet a NaN, infinity, signed zero or subnormal.
TEST(PairInnerProductResidual, EveryInstructionSetVariantMatchesPlainLoops) {
    for (const std::string &variant : pktest::variants("linux"))
        for (int n : {8, 23, 25})
            for (int K : {0, 1, 2, 3, 5, 7, 8, 9, 17, 64, 65}) {
                const uint64_t seed = 5000 + 100 * n + K;
                const double special = 0.5 / (2 * K + 2);
                std::vector<double> P = pktest::awkward_values(n * n, seed, special);
                std::vector<double> W = pktest::awkward_values(n * n * K, seed + 1, special);
                std::vector<double> X = pktest::awkward_values(n * K, seed + 2, special);
                EXPECT_TRUE(SameBits(run(n, P, W, X, K, variant), reference(n, K, P, W, X)))
                    << variant << ", N = " << n << ", K = " << K;
            }
}

// N = 2901: a 67 MB result, written with non-temporal stores; each row's pairs before the first
// 64-byte boundary (a different number from row to row) are done one at a time.
TEST(PairInnerProductResidual, ResultsBeyondSixtyFourMebibytesAreStreamedWithTheSameBits) {
    const int n = 2901;
    std::vector<double> P = pktest::awkward_values(n * n, 51, 0.01);
    std::vector<double> W = pktest::awkward_values(n * n, 52, 0.01);
    std::vector<double> X = pktest::awkward_values(n, 53, 0.01);
    const std::vector<double> expected = reference(n, 1, P, W, X);
    for (const std::string &variant : pktest::variants("linux"))
        EXPECT_TRUE(SameBits(run(n, P, W, X, 1, variant), expected)) << variant;
}

TEST(PairInnerProductResidual, SizesAndRefusals) {
    EXPECT_TRUE(HasShape(call(0, {}, {}, {}, 2), 0, 1));
    CallResult r = call(-2, {}, {}, {}, 2);
    ASSERT_TRUE(HasShape(r, 4, 1));
    EXPECT_TRUE(SameBits(pktest::result_values(r), {0, 0, 0, 0}));
    for (double n : {kNaN, kInf, 1e10, -46341.0})
        EXPECT_TRUE(FailsWith(call(n, {}, {}, {}, 1), kId + "tooLarge")) << n;
    EXPECT_TRUE(FailsWith(call(2, {1, 2, 3}, {1, 2, 3, 4}, {1, 2}, 1), kId + "tooShort"));
    EXPECT_TRUE(FailsWith(call(2, {1, 2, 3, 4}, {1, 2, 3, 4}, {1, 2}, 2), kId + "tooShort"));
    EXPECT_TRUE(
        FailsWith(call(2, {1, 2, 3, 4}, {1, 2, 3, 4, 5, 6, 7, 8}, {1, 2, 3}, 2), kId + "tooShort"));
    CallResult ok = call(1, {1}, {2}, {3}, 1);
    EXPECT_EQ(
        pkhost::data_calls(ok.log),
        (std::vector<std::string>{"mxGetScalar(prhs[0])", "mxGetPr(prhs[1])", "mxGetPr(prhs[2])",
                                  "mxGetPr(prhs[3])", "mxGetScalar(prhs[4])",
                                  "mxCreateDoubleMatrix_700(1,1,0)", "mxGetPr(new#0 in plhs[0])"}));
}

}  // namespace
