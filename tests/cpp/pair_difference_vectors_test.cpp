#include <cmath>
#include <limits>

#include "support.h"

using pkhost::CallResult;
using pktest::FailsWith;
using pktest::HasShape;
using pktest::SameBits;

namespace {

const char *const kName = "pair_difference_vectors";

std::vector<pkhost::Array> args(double n, double K, const std::vector<double> &X) {
    return pktest::arguments(pkhost::scalar(n), pkhost::scalar(K), pkhost::doubles(X));
}

CallResult call(double n, double K, const std::vector<double> &X) {
    return pktest::module(kName).call(pktest::pointers(args(n, K, X)));
}

std::vector<double> run(double n, double K, const std::vector<double> &X) {
    CallResult r = call(n, K, X);
    EXPECT_FALSE(r.failed) << r.id << ": " << r.message;
    return pktest::result_values(r);
}

TEST(PairDifferenceVectors, WorkedExamples) {
    EXPECT_TRUE(SameBits(run(2, 1, {3, 5}), {0, -2, 2, 0}));
    EXPECT_TRUE(SameBits(run(2, 2, {1, 2, 4, 8}), {0, 0, -3, -6, 3, 6, 0, 0}));
    // A single item differs from itself by +0.0, even a -0.0 component; Inf and NaN give NaN.
    const double inf = std::numeric_limits<double>::infinity();
    EXPECT_TRUE(SameBits(run(1, 3, {-0.0, 2.5, -7}), {0, 0, 0}));
    std::vector<double> d = run(1, 2, {inf, std::nan("")});
    EXPECT_TRUE(std::isnan(d[0]) && std::isnan(d[1]));
}

// Every kernel variant this machine runs (SSE2, AVX2 and AVX-512 where it has them), at widths that
// reach K = 1 (whole registers of pairs, with a tail) and partial and overlapping blocks of
// components. X has exactly N*K doubles: one read past its end faults on the guard page.
TEST(PairDifferenceVectors, EveryInstructionSetVariantMatchesPlainLoops) {
    for (const std::string &variant : pktest::variants("linux"))
        for (int n : {8, 13})
            for (int K : {1, 2, 3, 4, 5, 7, 8, 9, 17})
                EXPECT_TRUE(pktest::MatchesLiteral(
                    kName, variant, args(n, K, pktest::awkward_values(n * K, 41 * n + K))))
                    << variant << " N = " << n << " K = " << K;
}

TEST(PairDifferenceVectors, EmptyAndNegativeSizes) {
    EXPECT_TRUE(HasShape(call(0, 3, {}), 0, 1));
    EXPECT_TRUE(HasShape(call(3, 0, {}), 0, 1));  // X is not read
    // N = -2 still asks for N*N*K = 12 rows, left at zero.
    CallResult r = call(-2, 3, {});
    ASSERT_TRUE(HasShape(r, 12, 1));
    EXPECT_TRUE(SameBits(pktest::result_values(r), std::vector<double>(12, 0.0)));
    EXPECT_TRUE(FailsWith(call(1, -2, {}), "pairkernels:pair_difference_vectors:negativeSize"));
}

TEST(PairDifferenceVectors, RefusesBrokenCalls) {
    const std::string id = std::string("pairkernels:") + kName + ":";
    EXPECT_TRUE(FailsWith(call(3, 2, std::vector<double>(5, 1.0)), id + "tooShort"));
    // N*N*K beyond int32 is refused, not wrapped: 46341^2 > 2^31 - 1.
    EXPECT_TRUE(FailsWith(call(46341, 1, std::vector<double>(46341, 1.0)), id + "tooLarge"));
    auto n = pkhost::scalar(1);
    auto single = pkhost::numeric(mxSINGLE_CLASS, {1});
    EXPECT_TRUE(FailsWith(pktest::module(kName).call({n.get(), n.get()}), id + "nargin"));
    EXPECT_TRUE(FailsWith(pktest::module(kName).call({n.get(), n.get(), single.get()}),
                          id + "notDouble"));
}

}  // namespace
