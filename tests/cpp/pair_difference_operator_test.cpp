#include <cmath>
#include <limits>

#include "support.h"

using pkhost::CallResult;
using pktest::FailsWith;
using pktest::HasShape;
using pktest::SameBits;

namespace {

const double kNaN = std::numeric_limits<double>::quiet_NaN();
const std::string kId = "pairkernels:pair_difference_operator:";
const char *const kProfiles[] = {"linux", "windows", "macos"};

CallResult call(double n, const std::string &profile = "linux") {
    auto N = pkhost::scalar(n);
    return pktest::module("pair_difference_operator", profile).call({N.get()});
}

// D from its definition: row p + q*N belongs to pair (p, q) and holds +1 in column q and -1 in
// column p, except for p = q, whose row is +0.0.
std::vector<double> reference(int n) {
    const std::size_t rows = static_cast<std::size_t>(n) * n;
    std::vector<double> D(rows * n, 0.0);
    for (int q = 0; q < n; ++q)
        for (int p = 0; p < n; ++p) {
            if (p == q) continue;
            const std::size_t row = static_cast<std::size_t>(p) + static_cast<std::size_t>(q) * n;
            D[row + static_cast<std::size_t>(q) * rows] = 1.0;
            D[row + static_cast<std::size_t>(p) * rows] = -1.0;
        }
    return D;
}

TEST(PairDifferenceOperator, SmallOperatorsInEveryProfile) {
    for (const char *profile : kProfiles) {
        CallResult r0 = call(0, profile);
        EXPECT_TRUE(HasShape(r0, 0, 0)) << profile;
        CallResult r1 = call(1, profile);
        ASSERT_TRUE(HasShape(r1, 1, 1)) << profile;
        EXPECT_TRUE(SameBits(pktest::result_values(r1), {0.0}));
        CallResult r2 = call(2.9, profile);
        ASSERT_TRUE(HasShape(r2, 4, 2)) << profile;
        EXPECT_TRUE(SameBits(pktest::result_values(r2), {0, 1, -1, 0, 0, -1, 1, 0}));
    }
}

TEST(PairDifferenceOperator, MatchesItsDefinition) {
    // Every entry bit for bit, the diagonal rows' 1.0 - 1.0 included as +0.0.
    for (const char *profile : kProfiles)
        for (int n : {3, 4, 7, 12, 31}) {
            CallResult r = call(n, profile);
            ASSERT_TRUE(HasShape(r, n * n, n));
            EXPECT_TRUE(SameBits(pktest::result_values(r), reference(n))) << profile << " " << n;
        }
}

TEST(PairDifferenceOperator, MapsItemValuesToPairDifferences) {
    const int n = 9;
    std::vector<double> D = pktest::result_values(call(n));
    ASSERT_EQ(D.size(), static_cast<std::size_t>(n * n * n));
    for (int q = 0; q < n; ++q)
        for (int p = 0; p < n; ++p) {
            double s = 0.0;
            for (int i = 0; i < n; ++i) s = s + D[p + q * n + i * n * n] * i;
            EXPECT_EQ(s, q - p) << p << ", " << q;
        }
}

TEST(PairDifferenceOperator, SizesAndRefusals) {
    // A negative N would ask the host for a negative column count; N*N beyond int32 would wrap.
    for (double n : {-1.0, -2.0, -46340.0})
        EXPECT_TRUE(FailsWith(call(n), kId + "negativeSize")) << n;
    for (double n : {kNaN, 1e10, 46341.0, -46341.0, 46340.0})  // 46340^3 elements: beyond 2^45
        EXPECT_TRUE(FailsWith(call(n), kId + "tooLarge")) << n;
    auto N = pkhost::scalar(3);
    EXPECT_TRUE(FailsWith(pktest::module("pair_difference_operator").call({}), kId + "nargin"));
    CallResult r = pktest::module("pair_difference_operator").call({N.get()});
    EXPECT_EQ(pkhost::data_calls(r.log),
              (std::vector<std::string>{"mxGetScalar(prhs[0])", "mxCreateDoubleMatrix_700(9,3,0)",
                                        "mxGetPr(new#0 in plhs[0])"}));
}

}  // namespace
