// Values only: that the work grows with K is shown by bench/, not by a timed test.
#include <cmath>
#include <limits>

#include "support.h"

using pkhost::CallResult;
using pktest::FailsWith;
using pktest::HasShape;
using pktest::SameBits;

namespace {

const char *const kName = "repeated_vector_sum";
const std::string kId = "pairkernels:repeated_vector_sum:";
const double kInf = std::numeric_limits<double>::infinity();
const double kNaN = std::numeric_limits<double>::quiet_NaN();

std::vector<pkhost::Array> args(double n, double k, const std::vector<double> &A,
                                const std::vector<double> &B) {
    return pktest::arguments(pkhost::scalar(n), pkhost::scalar(k), pkhost::doubles(A),
                             pkhost::doubles(B));
}

CallResult call(double n, double k, const std::vector<double> &A, const std::vector<double> &B) {
    return pktest::module(kName).call(pktest::pointers(args(n, k, A, B)));
}

std::vector<double> sums(double n, double k, const std::vector<double> &A,
                         const std::vector<double> &B) {
    CallResult r = call(n, k, A, B);
    EXPECT_FALSE(r.failed) << r.id << ": " << r.message;
    return pktest::result_values(r);
}

TEST(RepeatedVectorSum, ValuesDependOnlyOnTheSignOfTheRepeatCount) {
    for (double k : {1.0, 3.0, 1000.0, 2.5})
        EXPECT_TRUE(SameBits(sums(2, k, {1, 2}, {10, 20}), {11, 22})) << k;
    for (double k : {0.0, 0.9, -1.0, -1e10, kNaN})
        EXPECT_TRUE(SameBits(sums(2, k, {1, 2}, {10, 20}), {0, 0})) << k;
    // A real addition for K >= 1: Inf - Inf is NaN, -0 + -0 is -0; nothing at all for K <= 0.
    EXPECT_TRUE(SameBits(sums(2, 5, {kInf, -0.0}, {-kInf, -0.0}), {kNaN, -0.0}));
    EXPECT_TRUE(SameBits(sums(2, 0, {kInf, -0.0}, {-kInf, -0.0}), {0.0, 0.0}));
    EXPECT_TRUE(HasShape(call(0, 10, {}, {}), 0, 1));
}

// The kernel goes element by element up to the result's first cache line boundary (and a vector
// further where A or B would otherwise be read from before its start), then in vector blocks of
// up to 256 elements, A and B shifted into place by one of L*L code paths, then element by
// element again. A and B longer than N start earlier in their pages (the host places an array's
// end before a guard page), so every pair of their offsets within a line, hence every code path,
// and every way N splits into head, blocks and tail, is reached in every variant; a read past
// the end of A or B meets the guard page.
TEST(RepeatedVectorSum, EveryVariantMatchesAtEveryOffsetWithinACacheLine) {
    for (const std::string &variant : pktest::variants("linux")) {
        for (int n : {5, 255, 256, 263, 520, 1031}) {
            for (int extraA = 0; extraA < 8; ++extraA) {
                for (int extraB = 0; extraB < 8; ++extraB) {
                    const std::vector<double> A =
                        pktest::awkward_values(n + extraA, n + extraA, 0.2);
                    const std::vector<double> B =
                        pktest::awkward_values(n + extraB, 7 * n + extraB, 0.2);
                    EXPECT_TRUE(pktest::MatchesLiteral(kName, variant, args(n, 3, A, B)))
                        << variant << " N = " << n << ", A and B longer by " << extraA << " and "
                        << extraB;
                }
            }
        }
    }
}

TEST(RepeatedVectorSum, RefusesShortVectorsAndNegativeLengths) {
    CallResult r = call(3, 1, {1, 2, 3}, {1, 2});
    EXPECT_TRUE(FailsWith(r, kId + "tooShort"));
    EXPECT_NE(r.message.find("Argument 4 (B)"), std::string::npos) << r.message;
    EXPECT_TRUE(FailsWith(call(3, 1, {1, 2}, {1, 2, 3}), kId + "tooShort"));
    EXPECT_TRUE(FailsWith(call(-2, 1, {}, {}), kId + "negativeSize"));
    auto one = pkhost::scalar(1);
    EXPECT_TRUE(
        FailsWith(pktest::module(kName).call({one.get(), one.get(), one.get()}), kId + "nargin"));
}

TEST(RepeatedVectorSum, ReadsArgumentsInOrderThenCreatesTheResult) {
    CallResult r = call(1, 4, {1}, {2});
    EXPECT_EQ(pkhost::data_calls(r.log),
              (std::vector<std::string>{"mxGetScalar(prhs[0])", "mxGetScalar(prhs[1])",
                                        "mxGetPr(prhs[2])", "mxGetPr(prhs[3])",
                                        "mxCreateDoubleMatrix_700(1,1,0)",
                                        "mxGetPr(new#0 in plhs[0])"}));
}

}  // namespace
