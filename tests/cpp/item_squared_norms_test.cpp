#include <cmath>
#include <limits>

#include "support.h"

using pkhost::CallResult;
using pktest::FailsWith;
using pktest::HasShape;
using pktest::SameBits;

namespace {

const char *const kName = "item_squared_norms";
const std::string kId = "pairkernels:item_squared_norms:";

std::vector<pkhost::Array> args(double n, double k, const std::vector<double> &X) {
    return pktest::arguments(pkhost::scalar(n), pkhost::scalar(k), pkhost::doubles(X));
}

CallResult call(double n, double k, const std::vector<double> &X) {
    return pktest::module(kName).call(pktest::pointers(args(n, k, X)));
}

std::vector<double> norms(double n, double k, const std::vector<double> &X) {
    CallResult r = call(n, k, X);
    EXPECT_FALSE(r.failed) << r.id << ": " << r.message;
    return pktest::result_values(r);
}

TEST(ItemSquaredNorms, WorkedExamples) {
    EXPECT_TRUE(SameBits(norms(2, 3, {1, 2, 2, 3, 4, 0}), {9, 25}));
    EXPECT_TRUE(SameBits(norms(1, 1, {-3}), {9}));
    EXPECT_TRUE(SameBits(norms(1, 2, {1e200, 1e200}), {std::numeric_limits<double>::infinity()}));
    EXPECT_TRUE(SameBits(norms(3, 0, {}), {0, 0, 0}));
    EXPECT_TRUE(SameBits(norms(2, -4, {}), {0, 0}));
    EXPECT_TRUE(SameBits(norms(1, 2, {-0.0, -0.0}), {0.0}));
    EXPECT_TRUE(HasShape(call(0, 5, {}), 0, 1));
}

TEST(ItemSquaredNorms, EachSquareIsRoundedBeforeItIsAdded) {
    // (1 + 2^-30)^2 = 1 + 2^-29 + 2^-60 rounds to 1 + 2^-29; added to 2^-53 that is a tie, kept
    // at the even 1 + 2^-29. Fused, the 2^-60 would tip it up to 1 + 2^-29 + 2^-52.
    const double a = 1.0 + std::ldexp(1.0, -30), tiny = std::ldexp(1.0, -27);
    EXPECT_TRUE(SameBits(norms(1, 3, {tiny, tiny, a}), {1.0 + std::ldexp(1.0, -29)}));
}

// Every kernel variant this machine runs (SSE2, AVX2 and AVX-512 where it has them), at item counts
// that reach the blocks of 2*L items, a single block of L and the one-item tail for L = 2, 4 and 8,
// and at widths K that reach K = 1, partial and overlapping blocks of components.
TEST(ItemSquaredNorms, EveryInstructionSetVariantMatchesPlainLoops) {
    for (const std::string &variant : pktest::variants("linux"))
        for (int n : {8, 23, 25, 37})
            for (int k : {0, 1, 2, 3, 5, 7, 8, 9, 17, 64, 65}) {
                std::vector<double> X = pktest::awkward_values(n * k, 11 * n + k, 0.5 / (k + 1));
                EXPECT_TRUE(pktest::MatchesLiteral(kName, variant, args(n, k, X)))
                    << variant << " N = " << n << ", K = " << k;
            }
}

TEST(ItemSquaredNorms, RefusesShortArraysAndNegativeItemCounts) {
    EXPECT_TRUE(FailsWith(call(2, 3, {1, 2, 3, 4, 5}), kId + "tooShort"));
    EXPECT_TRUE(FailsWith(call(-1, 3, {}), kId + "negativeSize"));
    EXPECT_TRUE(FailsWith(call(std::numeric_limits<double>::quiet_NaN(), 1, {}),
                          kId + "negativeSize"));
    auto one = pkhost::scalar(1);
    EXPECT_TRUE(FailsWith(pktest::module(kName).call({one.get(), one.get()}),
                          kId + "nargin"));
}

TEST(ItemSquaredNorms, ReadsArgumentsInOrderThenCreatesTheResult) {
    CallResult r = call(2, 1, {3, 4});
    EXPECT_EQ(pkhost::data_calls(r.log),
              (std::vector<std::string>{"mxGetScalar(prhs[0])", "mxGetScalar(prhs[1])",
                                        "mxGetPr(prhs[2])", "mxCreateDoubleMatrix_700(2,1,0)",
                                        "mxGetPr(new#0 in plhs[0])"}));
}

}  // namespace
