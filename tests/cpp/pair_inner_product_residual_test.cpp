#include <cmath>
#include <limits>

#include "support.h"

using pkhost::CallResult;
using pktest::FailsWith;
using pktest::HasShape;
using pktest::SameBits;

namespace {

const char *const kName = "pair_inner_product_residual";
const std::string kId = "pairkernels:pair_inner_product_residual:";
const double kInf = std::numeric_limits<double>::infinity();
const double kNaN = std::numeric_limits<double>::quiet_NaN();

std::vector<pkhost::Array> args(double n, const std::vector<double> &P,
                                const std::vector<double> &W, const std::vector<double> &X,
                                double K) {
    return pktest::arguments(pkhost::scalar(n), pkhost::doubles(P), pkhost::doubles(W),
                             pkhost::doubles(X), pkhost::scalar(K));
}

CallResult call(double n, const std::vector<double> &P, const std::vector<double> &W,
                const std::vector<double> &X, double K) {
    return pktest::module(kName).call(pktest::pointers(args(n, P, W, X, K)));
}

std::vector<double> run(double n, const std::vector<double> &P, const std::vector<double> &W,
                        const std::vector<double> &X, double K) {
    CallResult r = call(n, P, W, X, K);
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
                EXPECT_TRUE(pktest::MatchesLiteral(kName, variant, args(n, P, W, X, K)))
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
    const std::vector<pkhost::Array> a = args(n, P, W, X, 1);
    const std::vector<double> expected = pktest::literal_values(kName, a);
    for (const std::string &variant : pktest::variants("linux")) {
        pkhost::CallResult r = pktest::module(kName, variant).call(pktest::pointers(a));
        EXPECT_TRUE(SameBits(pktest::result_values(r), expected)) << variant;
    }
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
