#include <cmath>
#include <limits>

#include "support.h"

using pktest::FailsWith;
using pktest::HasShape;
using pktest::SameBits;

namespace {

const char *const kProfiles[] = {"linux", "windows", "macos"};
const std::string kId = "pairkernels:pair_difference_blocks:";

// Every element from its definition: row i*N + j, column s; non-zero only in the second item's
// block.
std::vector<double> reference(int n, int k, const std::vector<double> &X) {
    const std::size_t rows = static_cast<std::size_t>(n) * n;
    std::vector<double> R(rows * n * k, 0.0);
    for (int i = 0; i < n; ++i)
        for (int j = 0; j < n; ++j)
            for (int c = 0; c < k; ++c)
                R[(static_cast<std::size_t>(j) * k + c) * rows + i * n + j] =
                    X[j * k + c] - X[i * k + c];
    return R;
}

pkhost::CallResult call(double n, double k, const std::vector<double> &X,
                        const std::string &profile = "linux") {
    auto N = pkhost::scalar(n);
    auto K = pkhost::scalar(k);
    auto x = pkhost::doubles(X);
    return pktest::module("pair_difference_blocks", profile).call({N.get(), K.get(), x.get()});
}

TEST(PairDifferenceBlocks, WorkedExamples) {
    for (const char *profile : kProfiles) {
        pkhost::CallResult r = call(2, 1, {1, 4}, profile);
        ASSERT_TRUE(HasShape(r, 4, 2));
        EXPECT_TRUE(SameBits(pktest::result_values(r), {0, 0, -3, 0, 0, 3, 0, 0}));
        r = call(2, 2, {1, 2, 10, 20}, profile);
        ASSERT_TRUE(HasShape(r, 4, 4));
        EXPECT_TRUE(SameBits(pktest::result_values(r),
                             {0, 0, -9, 0, 0, 0, -18, 0, 0, 9, 0, 0, 0, 18, 0, 0}));
        r = call(1, 3, {5, -7, 0.25}, profile);
        ASSERT_TRUE(HasShape(r, 1, 3));
        EXPECT_TRUE(SameBits(pktest::result_values(r), {0, 0, 0}));
    }
}

TEST(PairDifferenceBlocks, MatchesPlainLoopsOnAwkwardInputs) {
    const int sizes[][2] = {{1, 1}, {1, 5}, {2, 3}, {3, 1}, {3, 3}, {7, 2}, {5, 7}, {13, 3}};
    for (const char *profile : kProfiles) {
        for (const auto &s : sizes) {
            // Exactly N*K doubles: one more read would hit the guard page after them.
            std::vector<double> X = pktest::awkward_values(s[0] * s[1], 31 * s[0] + s[1], 0.2);
            pkhost::CallResult r = call(s[0], s[1], X, profile);
            ASSERT_TRUE(HasShape(r, s[0] * s[0], s[0] * s[1]));
            EXPECT_TRUE(SameBits(pktest::result_values(r), reference(s[0], s[1], X)))
                << profile << " N = " << s[0] << ", K = " << s[1];
        }
    }
}

TEST(PairDifferenceBlocks, NonFiniteComponentSpreadsOnlyToItsPairs) {
    const double inf = std::numeric_limits<double>::infinity();
    // Item 1 of three has an infinite component 0.
    std::vector<double> v = pktest::result_values(call(3, 2, {1, 2, inf, 4, 5, 6}));
    ASSERT_EQ(v.size(), 9u * 6u);
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j) {
            const double e = v[(j * 2 + 0) * 9 + i * 3 + j];
            if (i == 1 && j == 1)
                EXPECT_TRUE(std::isnan(e));
            else
                EXPECT_EQ(std::isinf(e), i == 1 || j == 1) << i << "," << j;
        }
}

TEST(PairDifferenceBlocks, EmptyAndNegativeShapes) {
    EXPECT_TRUE(HasShape(call(0, 4, {}), 0, 0));
    EXPECT_TRUE(HasShape(call(2, 0, {}), 4, 0));
    // A negative N still gives N*N rows; with a negative K too the result is all zeros.
    pkhost::CallResult r = call(-2, -1, {});
    ASSERT_TRUE(HasShape(r, 4, 2));
    EXPECT_TRUE(SameBits(pktest::result_values(r), std::vector<double>(8, 0.0)));
}

TEST(PairDifferenceBlocks, RefusesBadSizesBeforeCreatingTheResult) {
    EXPECT_TRUE(FailsWith(call(2, 2, {1, 2, 3}), kId + "tooShort"));
    EXPECT_TRUE(FailsWith(call(-2, 3, {}), kId + "negativeSize"));
    EXPECT_TRUE(FailsWith(call(-2, -1073741825.0, {}), kId + "tooLarge"));  // N*K = 2^31 + 2
    EXPECT_TRUE(FailsWith(call(46341, 1, std::vector<double>(46341, 0.0)), kId + "tooLarge"));
    // Both dimensions fit 32 bits, their product (2.3e18 elements) no host's byte count.
    pkhost::CallResult r = call(-39089, -38607, {});
    EXPECT_TRUE(FailsWith(r, kId + "tooLarge"));
    EXPECT_NE(r.message.find("1527949921-by-1509109023"), std::string::npos) << r.message;
}

TEST(PairDifferenceBlocks, ReadsArgumentsInOrderThenCreatesTheResult) {
    pkhost::CallResult r = call(2, 1, {1, 4});
    EXPECT_EQ(pkhost::data_calls(r.log),
              (std::vector<std::string>{"mxGetScalar(prhs[0])", "mxGetScalar(prhs[1])",
                                        "mxGetPr(prhs[2])", "mxCreateDoubleMatrix_700(4,2,0)",
                                        "mxGetPr(new#0 in plhs[0])"}));
}

}  // namespace
