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
const char *const kName = "pair_residual";
const std::string kId = "pairkernels:pair_residual:";

std::vector<pkhost::Array> args(double n, const std::vector<double> &P,
                                const std::vector<double> &q, const std::vector<double> &W,
                                const std::vector<double> &X, double K) {
    return pktest::arguments(pkhost::scalar(n), pkhost::doubles(P), pkhost::doubles(q),
                             pkhost::doubles(W), pkhost::doubles(X), pkhost::scalar(K));
}

CallResult call(double n, const std::vector<double> &P, const std::vector<double> &q,
                const std::vector<double> &W, const std::vector<double> &X, double K) {
    return pktest::module(kName).call(pktest::pointers(args(n, P, q, W, X, K)));
}

std::vector<double> run(double n, const std::vector<double> &P, const std::vector<double> &q,
                        const std::vector<double> &W, const std::vector<double> &X, double K) {
    CallResult r = call(n, P, q, W, X, K);
    EXPECT_FALSE(r.failed) << r.id << ": " << r.message;
    return pktest::result_values(r);
}

TEST(PairResidual, WorkedExample) {
    // Item j's vector and offset, minus item i's offset.
    EXPECT_TRUE(
        SameBits(run(2, {10, 20, 30, 40}, {1, 2}, {1, 1, 1, 1}, {3, 5}, 1), {7, 14, 28, 35}));
    EXPECT_TRUE(
        SameBits(run(2.9, {10, 20, 30, 40}, {1, 2}, {1, 1, 1, 1}, {3, 5}, 1.9), {7, 14, 28, 35}));
}

TEST(PairResidual, OffsetsPassThroughTheAccumulator) {
    // K = 0 with empty W and X: nothing of them is read (their data is an inaccessible page).
    EXPECT_TRUE(SameBits(run(2, {1, 2, 3, 4}, {0.5, -0.0}, {}, {}, 0), {1, 2.5, 2.5, 4}));
    EXPECT_TRUE(SameBits(run(1, {-0.0}, {-0.0}, {}, {}, -3), {-0.0}));
    // Diagonal: (w*x + q) - q loses the small product, so R(0,0) is +0, not 0 - 1e-20.
    EXPECT_TRUE(SameBits(run(1, {0}, {1}, {1e-20}, {1}, 1), {0.0}));
    // An infinite offset makes its item's diagonal NaN.
    std::vector<double> R = run(2, {0, 0, 0, 0}, {kInf, 1}, {0, 0, 0, 0}, {0, 0}, 1);
    EXPECT_TRUE(std::isnan(R[0]));
    EXPECT_TRUE(SameBits({R[1], R[2], R[3]}, {kInf, -kInf, 0.0}));
}

TEST(PairResidual, ProductsAreRoundedBeforeTheyAreAdded) {
    // 1 + (1+2^-30)(-(1-2^-30)) is 0 unfused and 2^-60 with a fused multiply-add.
    const double a = 1 + std::ldexp(1, -30), b = 1 - std::ldexp(1, -30);
    EXPECT_TRUE(SameBits(run(1, {0}, {0}, {1, a}, {1, -b}, 2), {0.0}));
}

// Every kernel variant this machine runs (SSE2, AVX2 and AVX-512 where it has them), at item counts
// that reach the blocks of 2*L pairs, a single block of L and the one-pair tail for L = 2, 4 and 8,
// and at widths K that reach K = 1, partial and overlapping blocks of components. About a third of
// the pairs meet a NaN, infinity, signed zero or subnormal.
TEST(PairResidual, EveryInstructionSetVariantMatchesPlainLoops) {
    for (const std::string &variant : pktest::variants("linux"))
        for (int n : {8, 23, 25})
            for (int K : {0, 1, 2, 3, 5, 7, 8, 9, 17, 64, 65}) {
                const uint64_t seed = 9000 + 100 * n + K;
                const double special = 0.5 / (2 * K + 4);
                std::vector<double> P = pktest::awkward_values(n * n, seed, special);
                std::vector<double> q = pktest::awkward_values(n, seed + 1, special);
                std::vector<double> W = pktest::awkward_values(n * n * K, seed + 2, special);
                std::vector<double> X = pktest::awkward_values(n * K, seed + 3, special);
                EXPECT_TRUE(pktest::MatchesLiteral(kName, variant, args(n, P, q, W, X, K)))
                    << variant << ", N = " << n << ", K = " << K;
            }
}

// N = 2901: a 67 MB result, written with non-temporal stores; each row's pairs before the first
// 64-byte boundary (a different number from row to row) are done one at a time.
TEST(PairResidual, ResultsBeyondSixtyFourMebibytesAreStreamedWithTheSameBits) {
    const int n = 2901;
    std::vector<double> P = pktest::awkward_values(n * n, 41, 0.01);
    std::vector<double> q = pktest::awkward_values(n, 42, 0.01);
    std::vector<double> W = pktest::awkward_values(n * n, 43, 0.01);
    std::vector<double> X = pktest::awkward_values(n, 44, 0.01);
    const std::vector<pkhost::Array> a = args(n, P, q, W, X, 1);
    const std::vector<double> expected = pktest::literal_values(kName, a);
    for (const std::string &variant : pktest::variants("linux")) {
        pkhost::CallResult r = pktest::module(kName, variant).call(pktest::pointers(a));
        EXPECT_TRUE(SameBits(pktest::result_values(r), expected)) << variant;
    }
}

TEST(PairResidual, NonPositiveItemCountsReadNothing) {
    CallResult r0 = call(0, {}, {}, {}, {}, 3);
    EXPECT_TRUE(HasShape(r0, 0, 1));
    // A negative N squares into N*N rows of zeros.
    CallResult r = call(-2, {}, {}, {}, {}, 3);
    ASSERT_TRUE(HasShape(r, 4, 1));
    EXPECT_TRUE(SameBits(pktest::result_values(r), {0, 0, 0, 0}));
}

TEST(PairResidual, RefusesWhatItCannotServe) {
    const std::vector<double> four(4, 1.0), two(2, 1.0);
    EXPECT_TRUE(FailsWith(call(2, {1, 2, 3}, two, four, two, 1), kId + "tooShort"));
    EXPECT_TRUE(FailsWith(call(2, four, {1}, four, two, 1), kId + "tooShort"));
    EXPECT_TRUE(FailsWith(call(2, four, two, {1, 2, 3}, two, 1), kId + "tooShort"));
    EXPECT_TRUE(FailsWith(call(2, four, two, four, {1}, 1), kId + "tooShort"));
    EXPECT_TRUE(FailsWith(call(2, four, two, four, two, 2), kId + "tooShort"));
    // N*N beyond int32 is refused instead of wrapping: NaN converts to -2^31, whose square is 2^62.
    for (double n : {kNaN, kInf, 1e10, -46341.0})
        EXPECT_TRUE(FailsWith(call(n, {}, {}, {}, {}, 1), kId + "tooLarge")) << n;
    auto N = pkhost::scalar(2);
    auto A = pkhost::doubles(four);
    EXPECT_TRUE(FailsWith(
        pktest::module(kName).call({N.get(), A.get(), A.get(), A.get(), A.get()}),
        kId + "nargin"));
}

TEST(PairResidual, ReadsArgumentsInPositionOrder) {
    CallResult r = call(1, {1}, {2}, {3}, {4}, 1);
    EXPECT_EQ(
        pkhost::data_calls(r.log),
        (std::vector<std::string>{"mxGetScalar(prhs[0])", "mxGetPr(prhs[1])", "mxGetPr(prhs[2])",
                                  "mxGetPr(prhs[3])", "mxGetPr(prhs[4])", "mxGetScalar(prhs[5])",
                                  "mxCreateDoubleMatrix_700(1,1,0)", "mxGetPr(new#0 in plhs[0])"}));
}

}  // namespace
