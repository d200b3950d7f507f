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
const char *const kName = "pair_matrix_step";
const std::string kId = "pairkernels:pair_matrix_step:";

std::vector<pkhost::Array> args(double n, double t, const std::vector<double> &P,
                                const std::vector<double> &Q) {
    return pktest::arguments(pkhost::scalar(n), pkhost::scalar(t), pkhost::doubles(P),
                             pkhost::doubles(Q));
}

CallResult call(double n, double t, const std::vector<double> &P, const std::vector<double> &Q) {
    return pktest::module(kName).call(pktest::pointers(args(n, t, P, Q)));
}

std::vector<double> run(double n, double t, const std::vector<double> &P,
                        const std::vector<double> &Q) {
    CallResult r = call(n, t, P, Q);
    EXPECT_FALSE(r.failed) << r.id << ": " << r.message;
    return pktest::result_values(r);
}

TEST(PairMatrixStep, WorkedExampleAndFractions) {
    EXPECT_TRUE(SameBits(run(2, 0.5, {1, 2, 3, 4}, {2, 4, 6, 8}), {2, 4, 6, 8}));
    // N truncates, t keeps its fraction; only the first N*N elements are read.
    EXPECT_TRUE(SameBits(run(1.9, 0.25, {1, kNaN}, {4, kNaN}), {2}));
}

TEST(PairMatrixStep, ZeroStepAndSpecialValues) {
    // t = 0: P back, except NaN where Q is infinite or NaN and +0 where P is -0.
    EXPECT_TRUE(SameBits(run(2, 0.0, {1, -0.0, 3, 4}, {kInf, 5, kNaN, -2}), {kNaN, 0.0, kNaN, 4}));
    // t = -0 and Q > 0: the product is -0, so P = -0 stays -0.
    EXPECT_TRUE(SameBits(run(1, -0.0, {-0.0}, {3}), {-0.0}));
    // An overflowing product keeps its infinity unless P is the opposite one.
    EXPECT_TRUE(SameBits(run(2, 1e300, {1, -kInf, kInf, 0}, {1e10, 1e10, -1e10, 0}),
                         {kInf, kNaN, kNaN, 0.0}));
}

TEST(PairMatrixStep, ProductIsRoundedBeforeTheAddition) {
    // (1+2^-30)(1-2^-30) = 1 - 2^-60 rounds to 1, so adding -1 gives 0; fused it gives -2^-60.
    const double a = 1 + std::ldexp(1, -30), b = 1 - std::ldexp(1, -30);
    EXPECT_TRUE(SameBits(run(1, a, {-1}, {b}), {0.0}));
}

TEST(PairMatrixStep, ResultsBeyondSixtyFourMebibytesAreStreamedWithTheSameBits) {
    // N = 2901: 67 MB, written with non-temporal stores after a scalar start up to the first
    // 64-byte boundary (the host's array starts 56 bytes past one) and a scalar tail.
    const int n = 2901;
    std::vector<double> P = pktest::awkward_values(std::size_t(n) * n, 71, 0.01);
    std::vector<double> Q = pktest::awkward_values(std::size_t(n) * n, 72, 0.01);
    const std::vector<pkhost::Array> a = args(n, -0.75, P, Q);
    const std::vector<double> expected = pktest::literal_values(kName, a);
    for (const std::string &build : pktest::variants("linux")) {
        pkhost::CallResult r = pktest::module(kName, build).call(pktest::pointers(a));
        EXPECT_TRUE(SameBits(pktest::result_values(r), expected)) << build;
    }
}

TEST(PairMatrixStep, SizesAndRefusals) {
    EXPECT_TRUE(HasShape(call(0, 1, {}, {}), 0, 1));
    CallResult r = call(-2, 1, {}, {});
    ASSERT_TRUE(HasShape(r, 4, 1));
    EXPECT_TRUE(SameBits(pktest::result_values(r), {0, 0, 0, 0}));
    for (double n : {kNaN, kInf, 1e10, -46341.0})
        EXPECT_TRUE(FailsWith(call(n, 1, {}, {}), kId + "tooLarge")) << n;
    EXPECT_TRUE(FailsWith(call(2, 1, {1, 2, 3}, {1, 2, 3, 4}), kId + "tooShort"));
    EXPECT_TRUE(FailsWith(call(2, 1, {1, 2, 3, 4}, {1, 2, 3}), kId + "tooShort"));
    CallResult ok = call(1, 2, {1}, {1});
    EXPECT_EQ(
        pkhost::data_calls(ok.log),
        (std::vector<std::string>{"mxGetScalar(prhs[0])", "mxGetScalar(prhs[1])",
                                  "mxGetPr(prhs[2])", "mxGetPr(prhs[3])",
                                  "mxCreateDoubleMatrix_700(1,1,0)", "mxGetPr(new#0 in plhs[0])"}));
}

}  // namespace
