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

CallResult call(double n) {
    auto N = pkhost::scalar(n);
    return pktest::module("pair_difference_operator").call({N.get()});
}

TEST(PairDifferenceOperator, SmallOperators) {
    EXPECT_TRUE(HasShape(call(0), 0, 0));
    CallResult r1 = call(1);
    ASSERT_TRUE(HasShape(r1, 1, 1));
    EXPECT_TRUE(SameBits(pktest::result_values(r1), {0.0}));
    CallResult r2 = call(2.9);
    ASSERT_TRUE(HasShape(r2, 4, 2));
    EXPECT_TRUE(SameBits(pktest::result_values(r2), {0, 1, -1, 0, 0, -1, 1, 0}));
}

// Row p + q*N belongs to pair (p, q): applied to item values it gives x(q) - x(p), and every entry
// is +1, -1 or +0.0 (the diagonal rows' 1.0 - 1.0 included).
TEST(PairDifferenceOperator, MapsItemValuesToPairDifferences) {
    for (int n : {3, 9, 31}) {
        std::vector<double> D = pktest::result_values(call(n));
        ASSERT_EQ(D.size(), static_cast<std::size_t>(n * n * n));
        for (double e : D)
            EXPECT_TRUE(pktest::bits(e) == pktest::bits(1.0) ||
                        pktest::bits(e) == pktest::bits(-1.0) || pktest::bits(e) == 0)
                << e;
        for (int q = 0; q < n; ++q)
            for (int p = 0; p < n; ++p) {
                double s = 0.0;
                for (int i = 0; i < n; ++i) s = s + D[p + q * n + i * n * n] * i;
                EXPECT_EQ(s, q - p) << "N = " << n << ": " << p << ", " << q;
            }
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
