// item_pair_scatter has two forms: the scatter matrix in the windows and macos profiles, the
// difference tensor in the linux profile.
#include <cmath>
#include <limits>

#include "support.h"

using pkhost::CallResult;
using pktest::FailsWith;
using pktest::HasShape;
using pktest::SameBits;

namespace {

const char *const kName = "item_pair_scatter";
const char *const kScatterProfiles[] = {"windows", "macos"};
const std::string kId = "pairkernels:item_pair_scatter:";
const double kNaN = std::numeric_limits<double>::quiet_NaN();

std::vector<pkhost::Array> scatter_args(double n, double k, double r,
                                        const std::vector<double> &W) {
    return pktest::arguments(pkhost::scalar(n), pkhost::scalar(k), pkhost::scalar(r),
                             pkhost::doubles(W));
}

CallResult scatter(const std::string &build, double n, double k, double r,
                   const std::vector<double> &W) {
    return pktest::module(kName, build).call(pktest::pointers(scatter_args(n, k, r, W)));
}

CallResult tensor(double n) {
    auto N = pkhost::scalar(n);
    return pktest::module(kName, "linux").call({N.get()});
}

TEST(ItemPairScatter, WorkedExamples) {
    for (const char *profile : kScatterProfiles) {
        CallResult r = scatter(profile, 2, 2, 1, {1, 2, 3, 4, 5, 6, 7, 8});
        ASSERT_TRUE(HasShape(r, 2, 2));
        EXPECT_TRUE(SameBits(pktest::result_values(r), {58, 68, 68, 80})) << profile;
        EXPECT_TRUE(SameBits(pktest::result_values(scatter(profile, 1, 2, 0, {1, 2})),
                             {1, 2, 2, 4}));
        // No pairs to sum: zeros whatever r is, and W is not read.
        r = scatter(profile, 0, 3, 7, {});
        ASSERT_TRUE(HasShape(r, 3, 3));
        EXPECT_TRUE(SameBits(pktest::result_values(r), std::vector<double>(9, 0.0)));
        EXPECT_TRUE(HasShape(scatter(profile, 2, 0, -4, {}), 0, 0));
    }
}

// Every item r, with exactly the doubles read: the last pair (N-1, r) ends at a guard page.
TEST(ItemPairScatter, MatchesPlainLoopsOnAwkwardInputs) {
    const int sizes[][2] = {{1, 1}, {1, 3}, {2, 2}, {3, 1}, {3, 4}, {7, 3}, {5, 8}, {11, 5}};
    for (const char *profile : kScatterProfiles) {
        for (const auto &s : sizes) {
            const int n = s[0], k = s[1];
            for (int r = 0; r < n; ++r) {
                std::vector<double> W =
                    pktest::awkward_values(((n - 1) * n + r + 1) * k, 1000 * n + 10 * k + r, 0.05);
                EXPECT_TRUE(pktest::MatchesLiteral(kName, profile, scatter_args(n, k, r, W)))
                    << profile << " N = " << n << ", K = " << k << ", r = " << r;
            }
        }
    }
}

// Every kernel variant this machine runs (SSE2, AVX2 and AVX-512 where it has them), in the
// windows and macos builds: pair counts that fill blocks of 8 pairs and leave a partial one, and
// widths that reach every tile shape (8, 4, 2 and 1 rows by 8, 4, 2 and 1 columns) and K = 2 and 3.
TEST(ItemPairScatter, EveryInstructionSetVariantMatchesPlainLoops) {
    for (const char *profile : kScatterProfiles)
        for (const std::string &variant : pktest::variants(profile))
            for (int n : {1, 7, 8, 9, 17})
                for (int k : {2, 3, 4, 5, 7, 8, 9, 15, 17, 64, 65}) {
                    const int r = (7 * k) % n;
                    std::vector<double> W = pktest::awkward_values(((n - 1) * n + r + 1) * k,
                                                                   100 * n + k, 0.5 / (n + 1));
                    EXPECT_TRUE(pktest::MatchesLiteral(kName, variant, scatter_args(n, k, r, W)))
                        << variant << " N = " << n << ", K = " << k << ", r = " << r;
                }
}

TEST(ItemPairScatter, EachProductIsRoundedBeforeItIsAdded) {
    // a*b = 1 - 2^-60 rounds to 1, so -1 + a*b is +0.0 unfused and -2^-60 fused.
    const double a = 1.0 + std::ldexp(1.0, -30), b = 1.0 - std::ldexp(1.0, -30);
    // N = 2, r = 0: pair (0, 0) = (1, -1), pair (1, 0) = (a, b); pair (0, 1) is never read.
    const std::vector<double> W = {1, -1, kNaN, kNaN, a, b};
    for (const char *profile : kScatterProfiles) {
        EXPECT_TRUE(SameBits(pktest::result_values(scatter(profile, 2, 2, 0, W)),
                             {2.0 + std::ldexp(1.0, -29), 0.0, 0.0, 2.0 - std::ldexp(1.0, -29)}))
            << profile;
    }
}

TEST(ItemPairScatter, ZeroVectorsSumToPositiveZeroAndNaNFillsItsRowAndColumn) {
    for (const char *profile : kScatterProfiles) {
        // -0.0 * 0.0 = -0.0 is added to +0.0: the sums stay +0.0.
        EXPECT_TRUE(SameBits(pktest::result_values(
                                 scatter(profile, 2, 2, 1, {9, 9, -0.0, 0.0, 9, 9, 0.0, -0.0})),
                             {0, 0, 0, 0}));
        std::vector<double> S = pktest::result_values(
            scatter(profile, 2, 3, 0, {1, kNaN, 2, 5, 5, 5, 3, 4, 5}));
        for (int a = 0; a < 3; ++a)
            for (int b = 0; b < 3; ++b) EXPECT_EQ(std::isnan(S[a * 3 + b]), a == 1 || b == 1);
    }
}

TEST(ItemPairScatter, RefusesAnItemOutsideTheItemsAndShortPairArrays) {
    for (const char *profile : kScatterProfiles) {
        const std::vector<double> W(8, 1.0);
        for (double r : {-1.0, 2.0, 1e10, kNaN}) {
            CallResult res = scatter(profile, 2, 2, r, W);
            EXPECT_TRUE(FailsWith(res, kId + "outOfRange")) << r;
            EXPECT_NE(res.message.find("Argument 3 (r)"), std::string::npos) << res.message;
        }
        // r = 0 reads pairs (0, 0) and (1, 0): 3*K doubles.
        EXPECT_TRUE(FailsWith(scatter(profile, 2, 2, 0, std::vector<double>(5, 1.0)),
                              kId + "tooShort"));
        EXPECT_TRUE(FailsWith(scatter(profile, 3, 1, 2, std::vector<double>(8, 1.0)),
                              kId + "tooShort"));
        EXPECT_TRUE(FailsWith(scatter(profile, 2, -1, 0, {}), kId + "negativeSize"));
        // K-by-K for K = 1518500250: each dimension fits 32 bits, K^2 elements no host's bytes.
        EXPECT_TRUE(FailsWith(scatter(profile, 0, 1518500250, 0, {}), kId + "tooLarge"));
        auto one = pkhost::scalar(1);
        EXPECT_TRUE(FailsWith(pktest::module(kName, profile)
                                  .call({one.get(), one.get(), one.get()}),
                              kId + "nargin"));
    }
}

TEST(ItemPairScatter, ScatterFormReadsItsFourArgumentsInOrder) {
    CallResult r = scatter("windows", 1, 2, 0, {1, 2});
    EXPECT_EQ(pkhost::data_calls(r.log),
              (std::vector<std::string>{"mxGetScalar(prhs[0])", "mxGetScalar(prhs[1])",
                                        "mxGetScalar(prhs[2])", "mxGetPr(prhs[3])",
                                        "mxCreateDoubleMatrix_700(2,2,0)",
                                        "mxGetPr(new#0 in plhs[0])"}));
}

// Column i, block j holds e_i - e_j: applied to item values x it gives x_i - x_j, and every entry
// is +1, -1 or +0.0 (the diagonal blocks' 1 - 1 included).
TEST(ItemPairScatter, LinuxBuildReturnsTheDifferenceTensor) {
    EXPECT_TRUE(SameBits(pktest::result_values(tensor(1)), {0}));
    CallResult r = tensor(2);
    ASSERT_TRUE(HasShape(r, 4, 2));
    EXPECT_TRUE(SameBits(pktest::result_values(r), {0, 0, 1, -1, -1, 1, 0, 0}));
    EXPECT_TRUE(HasShape(tensor(0), 0, 0));
    for (int n : {3, 12, 33}) {
        r = tensor(n);
        ASSERT_TRUE(HasShape(r, n * n, n));
        const std::vector<double> E = pktest::result_values(r);
        for (double e : E)
            EXPECT_TRUE(pktest::bits(e) == pktest::bits(1.0) ||
                        pktest::bits(e) == pktest::bits(-1.0) || pktest::bits(e) == 0)
                << e;
        for (int i = 0; i < n; ++i)
            for (int j = 0; j < n; ++j) {
                double s = 0.0;
                for (int m = 0; m < n; ++m) s = s + E[(i * n + j) * n + m] * (m + 1);
                EXPECT_EQ(s, i - j) << "N = " << n << ", column " << i << ", block " << j;
            }
    }
}

TEST(ItemPairScatter, LinuxBuildReadsOnlyTheItemCount) {
    auto N = pkhost::scalar(2);
    auto K = pkhost::scalar(2);
    auto R = pkhost::scalar(1);
    auto W = pkhost::doubles({1, 2, 3, 4, 5, 6, 7, 8});
    CallResult r = pktest::module(kName, "linux").call({N.get(), K.get(), R.get(), W.get()});
    EXPECT_TRUE(SameBits(pktest::result_values(r), {0, 0, 1, -1, -1, 1, 0, 0}));
    EXPECT_EQ(pkhost::data_calls(r.log),
              (std::vector<std::string>{"mxGetScalar(prhs[0])", "mxCreateDoubleMatrix_700(4,2,0)",
                                        "mxGetPr(new#0 in plhs[0])"}));
}

TEST(ItemPairScatter, LinuxBuildRefusesUnrepresentableShapes) {
    EXPECT_TRUE(FailsWith(tensor(-2), kId + "negativeSize"));
    EXPECT_TRUE(FailsWith(tensor(46341), kId + "tooLarge"));
    EXPECT_TRUE(FailsWith(tensor(kNaN), kId + "tooLarge"));
    // N*N rows fit 32 bits, but N^3 elements are beyond 2^45.
    EXPECT_TRUE(FailsWith(tensor(46340), kId + "tooLarge"));
    EXPECT_TRUE(FailsWith(pktest::module(kName, "linux").call({}), kId + "nargin"));
}

}  // namespace
