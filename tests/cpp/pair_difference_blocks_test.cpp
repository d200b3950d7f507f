#include <cmath>
#include <limits>

#include "support.h"

using pktest::FailsWith;
using pktest::HasShape;
using pktest::SameBits;

namespace {

const std::string kId = "pairkernels:pair_difference_blocks:";

pkhost::CallResult call(double n, double k, const std::vector<double> &X) {
    auto N = pkhost::scalar(n);
    auto K = pkhost::scalar(k);
    auto x = pkhost::doubles(X);
    return pktest::module("pair_difference_blocks").call({N.get(), K.get(), x.get()});
}

TEST(PairDifferenceBlocks, WorkedExamples) {
    pkhost::CallResult r = call(2, 1, {1, 4});
    ASSERT_TRUE(HasShape(r, 4, 2));
    EXPECT_TRUE(SameBits(pktest::result_values(r), {0, 0, -3, 0, 0, 3, 0, 0}));
    r = call(2, 2, {1, 2, 10, 20});
    ASSERT_TRUE(HasShape(r, 4, 4));
    EXPECT_TRUE(SameBits(pktest::result_values(r),
                         {0, 0, -9, 0, 0, 0, -18, 0, 0, 9, 0, 0, 0, 18, 0, 0}));
    r = call(1, 3, {5, -7, 0.25});
    ASSERT_TRUE(HasShape(r, 1, 3));
    EXPECT_TRUE(SameBits(pktest::result_values(r), {0, 0, 0}));
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
