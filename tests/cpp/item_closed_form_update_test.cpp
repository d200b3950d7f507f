#include <cmath>
#include <limits>

#include "support.h"

using pkhost::CallResult;
using pktest::FailsWith;
using pktest::HasShape;
using pktest::SameBits;

namespace {

const char *const kName = "item_closed_form_update";
const double kInf = std::numeric_limits<double>::infinity();

struct Inputs {
    int n = 0, K = 0;
    double t = 0;
    std::vector<double> U, V, W, x, d, Z;
};

std::vector<pkhost::Array> args(const Inputs &in) {
    return pktest::arguments(pkhost::scalar(in.n), pkhost::scalar(in.K), pkhost::scalar(in.t),
                             pkhost::doubles(in.U), pkhost::doubles(in.V), pkhost::doubles(in.W),
                             pkhost::doubles(in.x), pkhost::doubles(in.d), pkhost::doubles(in.Z));
}

CallResult call(const Inputs &in) { return pktest::module(kName).call(pktest::pointers(args(in))); }

std::vector<double> literal(const Inputs &in) { return pktest::literal_values(kName, args(in)); }

std::vector<double> run(const Inputs &in) {
    CallResult r = call(in);
    EXPECT_FALSE(r.failed) << r.id << ": " << r.message;
    return pktest::result_values(r);
}

// Arrays of exactly the lengths the sizes require, filled with awkward values.
Inputs awkward(int n, int K, double t, uint64_t seed, double special = 0.1) {
    Inputs in;
    in.n = n;
    in.K = K;
    in.t = t;
    const std::size_t nn = static_cast<std::size_t>(n) * n;
    in.U = pktest::awkward_values(nn, seed, special);
    in.V = pktest::awkward_values(nn, seed + 1, special);
    in.W = pktest::awkward_values(nn * K, seed + 2, special);
    in.x = pktest::awkward_values(n, seed + 3, special);
    in.d = pktest::awkward_values(n, seed + 4, special);
    in.Z = pktest::awkward_values(static_cast<std::size_t>(n) * K, seed + 5, special);
    return in;
}

Inputs worked_example() {
    Inputs in;
    in.n = 2;
    in.K = 1;
    in.t = 1;
    in.U = {1, 2, 3, 4};
    in.V = {0, 1, 2, 0};
    in.W = {1, 2, 3, 4};
    in.x = {10, 20};
    in.d = {5, 6};
    in.Z = {1, 1};
    return in;
}

TEST(ItemClosedFormUpdate, WorkedExampleMultipliesByTheReciprocal) {
    // 46 * (1/3) and 25 * (1/3); dividing by 3 would give ...334 in both.
    EXPECT_TRUE(SameBits(run(worked_example()), {15.333333333333332, 8.333333333333332}));
    EXPECT_NE(15.333333333333332, 46.0 / 3.0);
}

TEST(ItemClosedFormUpdate, SingleItemAndInfiniteFactor) {
    Inputs in;
    in.n = 1;
    in.K = 1;
    in.U = {1e16};
    in.V = {2.5};
    in.W = {3};
    in.Z = {-1.5};
    in.x = {123};
    // (1 + 1e16) - 1e16 is 0, not 1; the denominator (2t + 1) - 2t is exactly 1 here.
    in.t = 0.5;
    in.d = {1};
    EXPECT_TRUE(SameBits(run(in), {0.0}));
    // t = 1e16: 2t + 1 is not representable, the denominator is 0 and g = +Inf, so y is
    // 0 * Inf = NaN, or an infinity of the sign of (d + 1e16) - 1e16.
    in.t = 1e16;
    EXPECT_TRUE(std::isnan(run(in)[0]));
    in.d = {3};
    EXPECT_TRUE(SameBits(run(in), {kInf}));
    in.d = {-3};
    EXPECT_TRUE(SameBits(run(in), {-kInf}));
    // N = 2, t = -0.5: ((4 * -0.5) + 1) - (-1) = +0.0, g = +Inf for every item.
    Inputs two = awkward(2, 2, -0.5, 5, 0.0);
    std::vector<double> y = run(two);
    EXPECT_TRUE(SameBits(y, literal(two)));
    for (double v : y) EXPECT_TRUE(std::isinf(v) || std::isnan(v)) << v;
}

TEST(ItemClosedFormUpdate, ProductsAreRoundedBeforeTheyAreAdded) {
    // (1 + 2^-30)(1 - 2^-30) = 1 - 2^-60 rounds to 1; fused with a -1 it would leave -2^-60.
    const double a = 1 + std::ldexp(1.0, -30), b = 1 - std::ldexp(1.0, -30);
    ASSERT_NE(std::fma(a, b, -1.0), a * b + -1.0);
    Inputs in;
    in.n = 2;
    in.K = 1;
    in.t = 1;
    in.U = in.V = {0, 0, 0, 0};
    in.x = in.d = {0, 0};
    // p(0) = W(0,0) Z(0) + W(0,1) Z(1) = -1 + a*b, and q(0) = W(0,0) Z(0) + W(1,0) Z(0) = 0.
    in.W = {-1, a, 1, 0};
    in.Z = {1, b};
    std::vector<double> y = run(in);
    EXPECT_EQ(pktest::bits(y[0]), pktest::bits(0.0));
    EXPECT_TRUE(SameBits(y, literal(in)));
    // a + t*b with a = -1, t*b = 1 - 2^-60: y(0) is +0.0 only when t*b is rounded first.
    in.t = a;
    in.d = {-1, 0};
    in.W = {0, b, 0, 0};
    in.Z = {1, 1};
    y = run(in);
    EXPECT_EQ(pktest::bits(y[0]), pktest::bits(0.0));
    EXPECT_TRUE(SameBits(y, literal(in)));
}

TEST(ItemClosedFormUpdate, EveryInstructionSetMatchesPlainLoops) {
    // Every kernel variant this machine runs. From 16 items on, U and V are
    // read in tiles of 8 by 8 after the rows up to the first 64-byte boundary; their ends sit at
    // page ends, so unread trailing doubles move their starts (U and V differently). W is read
    // in rows of 8 items, the last block of rows partial when N is not a multiple of 8. Few
    // special values, so that most results stay finite and are compared bit for bit.
    uint64_t seed = 500;
    for (const std::string &build : pktest::variants("linux"))
        for (int n : {16, 17, 18, 27})
            for (int K : {0, 1, 3, 8, 9})
                for (int extra = 0; extra < 8; extra += 3) {
                    Inputs in = awkward(n, K, n % 2 ? 0.37 : -1e-3, seed += 7, 0.002);
                    in.U.resize(in.U.size() + extra, 1.0);
                    in.V.resize(in.V.size() + (extra + 5) % 8, 1.0);
                    EXPECT_TRUE(pktest::MatchesLiteral(kName, build, args(in)))
                        << build << " N = " << n << " K = " << K << " extra = " << extra;
                }
}

TEST(ItemClosedFormUpdate, ZeroWidthReadsNeitherWNorZ) {
    // Empty W and Z point at inaccessible pages.
    Inputs in = awkward(5, 0, 0.75, 99);
    ASSERT_TRUE(in.W.empty() && in.Z.empty());
    EXPECT_TRUE(SameBits(run(in), literal(in)));
    Inputs none;
    none.t = 1;
    EXPECT_TRUE(HasShape(call(none), 0, 1));
}

// Per-item storage has no fixed capacity: N = 10001 items. U, V and W (K = 1) are one
// host-created zero matrix of N*N doubles (800 MB of address space, only ever read apart from a
// few entries), passed three times, so the call costs time but little memory.
TEST(ItemClosedFormUpdate, MoreThanTenThousandItems) {
    const int64_t n = 10001;
    pkhost::Array P(mxCreateDoubleMatrix(static_cast<int>(n * n), 1, mxREAL));
    double *pairs = mxGetPr(P.get());
    pairs[10000 * n + 3] = 1.5;    // element (3, 10000), pair (10000, 3)
    pairs[3 * n + 10000] = -4;     // element (10000, 3), pair (3, 10000)
    pairs[10000 * n + 10000] = 0.75;
    auto N = pkhost::scalar(static_cast<double>(n)), K = pkhost::scalar(1), t = pkhost::scalar(0.3);
    auto x = pkhost::doubles(pktest::awkward_values(n, 11, 0.0));
    auto d = pkhost::doubles(pktest::awkward_values(n, 12, 0.0));
    auto Z = pkhost::doubles(pktest::awkward_values(n, 13, 0.0));
    EXPECT_TRUE(pktest::MatchesLiteral(kName, "linux",
                                       {N.get(), K.get(), t.get(), P.get(), P.get(), P.get(),
                                        x.get(), d.get(), Z.get()}));
}

TEST(ItemClosedFormUpdate, RefusesBrokenCalls) {
    const std::string id = std::string("pairkernels:") + kName + ":";
    // Each array one element short of what the sizes require.
    for (int which = 0; which < 6; ++which) {
        Inputs in = awkward(3, 2, 1.0, 40 + which);
        std::vector<double> *arrays[] = {&in.U, &in.V, &in.W, &in.x, &in.d, &in.Z};
        arrays[which]->pop_back();
        CallResult r = call(in);
        EXPECT_TRUE(FailsWith(r, id + "tooShort")) << "array " << which;
    }
    auto one = pkhost::scalar(1);
    auto ints = pkhost::numeric(mxINT32_CLASS, {1});
    std::vector<const mxArray *> args(9, one.get());
    const std::vector<const mxArray *> fewer(args.begin(), args.end() - 1);
    EXPECT_TRUE(FailsWith(pktest::module(kName).call(fewer), id + "nargin"));
    args[8] = ints.get();
    EXPECT_TRUE(FailsWith(pktest::module(kName).call(args), id + "notDouble"));
}

}  // namespace
