#include <cmath>
#include <limits>

#include "support.h"

using pkhost::CallResult;
using pktest::FailsWith;
using pktest::HasShape;
using pktest::SameBits;

namespace {

const char *const kName = "pair_scatter_reciprocal";
const double kInf = std::numeric_limits<double>::infinity();

std::vector<pkhost::Array> args(double n, double K, const std::vector<double> &P) {
    return pktest::arguments(pkhost::scalar(n), pkhost::scalar(K), pkhost::doubles(P));
}

CallResult call(double n, double K, const std::vector<double> &P,
                const std::string &build = "linux") {
    return pktest::module(kName, build).call(pktest::pointers(args(n, K, P)));
}

std::vector<double> run(double n, double K, const std::vector<double> &P,
                        const std::string &build = "linux") {
    CallResult r = call(n, K, P, build);
    EXPECT_FALSE(r.failed) << r.id << ": " << r.message;
    return pktest::result_values(r);
}

TEST(PairScatterReciprocal, WorkedExamples) {
    EXPECT_TRUE(SameBits(run(1, 2, {1, 2}), {1, 0.5, 0.5, 0.25}));
    EXPECT_TRUE(SameBits(run(2, 1, {1, 2, 3, 4}), {0.1, 0.05}));
    // All-zero pair vectors (the differences of a single item) sum to +0.0: +Inf everywhere.
    EXPECT_TRUE(SameBits(run(1, 2, {0, -0.0}), {kInf, kInf, kInf, kInf}));
    // A negative off-diagonal sum gives a negative reciprocal.
    EXPECT_TRUE(SameBits(run(1, 2, {2, -4}), {0.25, -0.125, -0.125, 0.0625}));
}

TEST(PairScatterReciprocal, SumsOverPartnersInAscendingOrderWithoutFusing) {
    // Item 0's vectors (1e8, 1e8), (1, 1), (1e8, -1e8) for j = 0, 1, 2: the off-diagonal sum
    // (1e16 + 1) - 1e16 is +0.0 in this order (+Inf), where another order could keep the 1.
    std::vector<double> P(3 * 3 * 2, 0.0);
    const double v[3][2] = {{1e8, 1e8}, {1, 1}, {1e8, -1e8}};
    for (int j = 0; j < 3; ++j)
        for (int k = 0; k < 2; ++k) P[(j * 3 + 0) * 2 + k] = v[j][k];
    std::vector<double> R = run(3, 2, P);
    EXPECT_TRUE(SameBits({R.begin(), R.begin() + 4}, {1 / 2e16, kInf, kInf, 1 / 2e16}));
    EXPECT_TRUE(pktest::MatchesLiteral(kName, "linux", args(3, 2, P)));

    // (1 + 2^-30)(1 - 2^-30) = 1 - 2^-60 rounds to 1, so -1 + 1 is +0.0 and the reciprocal
    // +Inf; a fused multiply-add would keep -2^-60 and give -2^60.
    const double a = 1 + std::ldexp(1.0, -30), b = 1 - std::ldexp(1.0, -30);
    ASSERT_NE(std::fma(a, b, -1.0), a * b + -1.0);
    std::vector<double> F = run(2, 2, {1, -1, 0, 0, a, b, 0, 0});
    EXPECT_TRUE(SameBits({F[1], F[2]}, {kInf, kInf}));
}

TEST(PairScatterReciprocal, EveryInstructionSetMatchesPlainLoops) {
    // Every kernel variant this machine runs, past the cutoff for the plain loops: K = 1 (items
    // side by side), widths that fill vectors exactly or leave part of one (and of a tile's rows),
    // partners in several runs of 16, items in several chunks (K = 64: 8 items a chunk). Few
    // special values, so that most sums stay finite. P has exactly N*N*K doubles: one read past
    // its end faults on the guard page.
    const int sizes[][2] = {{20, 1}, {20, 2}, {18, 3}, {17, 4}, {9, 7},  {17, 8},
                            {9, 9},  {5, 16}, {7, 17}, {20, 64}, {4, 65}};
    for (const std::string &build : pktest::variants("linux"))
        for (const auto &s : sizes) {
            const int n = s[0], K = s[1];
            std::vector<double> P = pktest::awkward_values(n * n * K, 7 * n + K, 0.002);
            EXPECT_TRUE(pktest::MatchesLiteral(kName, build, args(n, K, P)))
                << build << " N = " << n << " K = " << K;
        }
}

TEST(PairScatterReciprocal, LowerTriangleOfNaNRowsAndOfFiniteItems) {
    // Only the upper triangle is summed where the blocks are tiled; the lower one is copied from
    // it unless the entry is NaN. Item 2 gets NaN in component 5 of one vector (row and column 5
    // NaN, the rest finite), item 4 an infinity against a zero (NaN product) in another, item 6
    // a NaN in every component; with negative zeros and subnormals around the diagonal.
    const int n = 24;
    for (int K : {9, 16, 40}) {
        std::vector<double> P = pktest::awkward_values(n * n * K, 3 * K, 0.0);
        auto at = [&](int j, int i, int k) -> double & { return P[(std::size_t(j) * n + i) * K + k]; };
        at(3, 2, 5) = std::nan("");
        at(7, 4, 1) = kInf;
        at(7, 4, K - 1) = 0.0;
        for (int k = 0; k < K; ++k) at(11, 6, k) = -std::nan("");
        at(0, 8, 0) = -0.0;
        at(0, 8, 1) = 4.9e-324;
        const std::vector<double> expected = pktest::literal_values(kName, args(n, K, P));
        for (const std::string &build : pktest::variants("linux")) {
            std::vector<double> R = run(n, K, P, build);
            EXPECT_TRUE(SameBits(R, expected)) << build << " K = " << K;
            const std::size_t KK = std::size_t(K) * K;
            EXPECT_TRUE(std::isnan(R[2 * KK + 5 * K + 0]) && std::isnan(R[2 * KK + 0 * K + 5]));
            EXPECT_FALSE(std::isnan(R[2 * KK + 1 * K + 0]));
        }
    }
}

TEST(PairScatterReciprocal, WidthsAtAndBeyondFiveHundred) {
    for (int K : {500, 501, 777}) {
        std::vector<double> P = pktest::awkward_values(2 * 2 * K, K, 0.02);
        EXPECT_TRUE(pktest::MatchesLiteral(kName, "linux", args(2, K, P))) << "K = " << K;
    }
}

TEST(PairScatterReciprocal, EmptyAndNegativeSizes) {
    EXPECT_TRUE(HasShape(call(0, 3, {}), 0, 1));
    EXPECT_TRUE(HasShape(call(3, 0, {}), 0, 1));  // P is not read
    // K = -2 still asks for K*K*N = 4 rows, left at zero.
    CallResult r = call(1, -2, {});
    ASSERT_TRUE(HasShape(r, 4, 1));
    EXPECT_TRUE(SameBits(pktest::result_values(r), {0, 0, 0, 0}));
}

TEST(PairScatterReciprocal, RefusesBrokenCalls) {
    const std::string id = std::string("pairkernels:") + kName + ":";
    EXPECT_TRUE(FailsWith(call(2, 3, std::vector<double>(11, 1.0)), id + "tooShort"));
    // K*K*N beyond 2^31 - 1 is refused as too large, before any working storage is sized by K*K.
    EXPECT_TRUE(FailsWith(call(1, 46341, std::vector<double>(46341, 1.0)), id + "tooLarge"));
    auto n = pkhost::scalar(1);
    auto ints = pkhost::numeric(mxINT32_CLASS, {1});
    EXPECT_TRUE(FailsWith(pktest::module(kName).call({n.get(), n.get()}), id + "nargin"));
    EXPECT_TRUE(FailsWith(pktest::module(kName).call({n.get(), n.get(), ints.get()}),
                          id + "notDouble"));
}

}  // namespace
