// Values only: that the work grows with K is shown by bench/, not by a timed test.
#include <cmath>
#include <limits>

#include "support.h"

using pkhost::CallResult;
using pktest::FailsWith;
using pktest::HasShape;
using pktest::SameBits;

namespace {

const char *const kProfiles[] = {"linux", "windows", "macos"};
const std::string kId = "pairkernels:repeated_vector_sum:";
const double kInf = std::numeric_limits<double>::infinity();
const double kNaN = std::numeric_limits<double>::quiet_NaN();

CallResult call(double n, double k, const std::vector<double> &A, const std::vector<double> &B,
                const std::string &profile = "linux") {
    auto N = pkhost::scalar(n);
    auto K = pkhost::scalar(k);
    auto a = pkhost::doubles(A);
    auto b = pkhost::doubles(B);
    return pktest::module("repeated_vector_sum", profile).call({N.get(), K.get(), a.get(), b.get()});
}

std::vector<double> sums(double n, double k, const std::vector<double> &A,
                         const std::vector<double> &B, const std::string &profile = "linux") {
    CallResult r = call(n, k, A, B, profile);
    EXPECT_FALSE(r.failed) << r.id << ": " << r.message;
    return pktest::result_values(r);
}

TEST(RepeatedVectorSum, ValuesDependOnlyOnTheSignOfTheRepeatCount) {
    for (const char *profile : kProfiles) {
        for (double k : {1.0, 3.0, 1000.0, 2.5})
            EXPECT_TRUE(SameBits(sums(2, k, {1, 2}, {10, 20}, profile), {11, 22})) << profile << k;
        for (double k : {0.0, 0.9, -1.0, -1e10, kNaN})
            EXPECT_TRUE(SameBits(sums(2, k, {1, 2}, {10, 20}, profile), {0, 0})) << profile << k;
        // A real addition for K >= 1: Inf - Inf is NaN, -0 + -0 is -0; nothing at all for K <= 0.
        EXPECT_TRUE(SameBits(sums(2, 5, {kInf, -0.0}, {-kInf, -0.0}, profile), {kNaN, -0.0}));
        EXPECT_TRUE(SameBits(sums(2, 0, {kInf, -0.0}, {-kInf, -0.0}, profile), {0.0, 0.0}));
        EXPECT_TRUE(HasShape(call(0, 10, {}, {}, profile), 0, 1));
    }
}

TEST(RepeatedVectorSum, MatchesElementwiseSumsOnAwkwardInputs) {
    for (const char *profile : kProfiles) {
        for (int n : {1, 2, 3, 7, 64, 101}) {
            // Exactly N doubles each: one more read would hit the guard page after them.
            const std::vector<double> A = pktest::awkward_values(n, 2 * n, 0.2);
            const std::vector<double> B = pktest::awkward_values(n, 2 * n + 1, 0.2);
            std::vector<double> expected(n);
            for (int i = 0; i < n; ++i) expected[i] = A[i] + B[i];
            for (int k : {1, 2, 17})
                EXPECT_TRUE(SameBits(sums(n, k, A, B, profile), expected))
                    << profile << " N = " << n << ", K = " << k;
        }
    }
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
                    std::vector<double> expected(n);
                    for (int i = 0; i < n; ++i) expected[i] = A[i] + B[i];
                    EXPECT_TRUE(SameBits(sums(n, 3, A, B, variant), expected))
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
    EXPECT_TRUE(FailsWith(pktest::module("repeated_vector_sum").call({one.get(), one.get(), one.get()}),
                          kId + "nargin"));
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
