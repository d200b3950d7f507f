#include <cmath>
#include <limits>

#include "support.h"

using pkhost::CallResult;
using pktest::FailsWith;
using pktest::HasShape;
using pktest::SameBits;

namespace {

const char *const kName = "transformed_pair_vector_sum";
const double kInf = std::numeric_limits<double>::infinity();

struct Inputs {
    int n = 0, K = 0;
    double t = 1;
    std::vector<double> A, B, v, W, M;
};

std::vector<pkhost::Array> args(const Inputs &in) {
    return pktest::arguments(pkhost::scalar(in.n), pkhost::scalar(in.K), pkhost::scalar(in.t),
                             pkhost::doubles(in.A), pkhost::doubles(in.B), pkhost::doubles(in.v),
                             pkhost::doubles(in.W), pkhost::doubles(in.M));
}

CallResult call(const Inputs &in) { return pktest::module(kName).call(pktest::pointers(args(in))); }

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
    in.A = pktest::awkward_values(nn, seed, special);
    in.B = pktest::awkward_values(nn, seed + 1, special);
    in.v = pktest::awkward_values(n, seed + 2, special);
    in.W = pktest::awkward_values(nn * K, seed + 3, special);
    in.M = pktest::awkward_values(static_cast<std::size_t>(n) * K * K, seed + 4, special);
    return in;
}

Inputs make(int n, int K, double t, std::vector<double> A, std::vector<double> B,
            std::vector<double> v, std::vector<double> W, std::vector<double> M) {
    Inputs in;
    in.n = n;
    in.K = K;
    in.t = t;
    in.A = A;
    in.B = B;
    in.v = v;
    in.W = W;
    in.M = M;
    return in;
}

TEST(TransformedPairVectorSum, WorkedExamples) {
    EXPECT_TRUE(SameBits(run(make(1, 1, 2, {4}, {1}, {7}, {3}, {5})), {45}));
    // M's block is column-major: (1, 2, 3, 4) is [1 3; 2 4].
    EXPECT_TRUE(SameBits(run(make(1, 2, 1, {0}, {1}, {5}, {1, 2}, {1, 2, 3, 4})), {7, 10}));
    // A(i, j) lies at j*N + i: item 1 takes A at position 1 for partner 0.
    EXPECT_TRUE(SameBits(
        run(make(2, 1, 1, {1, 2, 3, 4}, {0, 0, 0, 0}, {10, 20}, {1, 1, 1, 1}, {1, 1})), {14, -4}));
}

TEST(TransformedPairVectorSum, ScalesByTheReciprocalOfT) {
    // 46 * (1/3) is 15.333333333333332; 46 / 3 would be ...334.
    EXPECT_TRUE(SameBits(run(make(1, 1, 3, {46}, {0}, {0}, {1}, {1})), {15.333333333333332}));
    // t = +-0: 1/t = +-Inf, and Inf * 0 = NaN where A is zero.
    EXPECT_TRUE(SameBits(run(make(1, 1, 0.0, {2}, {0}, {0}, {1}, {1})), {kInf}));
    EXPECT_TRUE(SameBits(run(make(1, 1, -0.0, {2}, {0}, {0}, {1}, {1})), {-kInf}));
    EXPECT_TRUE(std::isnan(run(make(1, 1, 0.0, {0}, {5}, {0}, {1}, {1}))[0]));
    // An infinite v(i) makes h(i, i) NaN through v(i) - v(i).
    EXPECT_TRUE(std::isnan(run(make(1, 1, 1, {1}, {1}, {kInf}, {1}, {1}))[0]));
}

TEST(TransformedPairVectorSum, ProductsAreRoundedBeforeTheyAreAdded) {
    // Item 0: h = -1 for partner 0 and h = 1 + 2^-30 for partner 1, with W = 1 and 1 - 2^-30:
    // s = -1 + (1 - 2^-60 rounded to 1) = +0.0, where a fused multiply-add keeps -2^-60.
    const double a = 1 + std::ldexp(1.0, -30), b = 1 - std::ldexp(1.0, -30);
    ASSERT_NE(std::fma(a, b, -1.0), a * b + -1.0);
    Inputs in = make(2, 1, 1, {0, 0, 0, 0}, {-1, 0, a, 0}, {0, 0}, {1, 0, b, 0}, {1, 1});
    std::vector<double> R = run(in);
    EXPECT_EQ(pktest::bits(R[0]), pktest::bits(0.0));
    EXPECT_TRUE(pktest::MatchesLiteral(kName, "linux", args(in)));
    // The same in the product with M: s = (-1, a), M's column 0 = (1, b).
    in = make(1, 2, 1, {0}, {1}, {0}, {-1, a}, {1, 7, b, 7});
    R = run(in);
    EXPECT_EQ(pktest::bits(R[0]), pktest::bits(0.0));
    EXPECT_TRUE(pktest::MatchesLiteral(kName, "linux", args(in)));
}

TEST(TransformedPairVectorSum, EveryInstructionSetMatchesPlainLoops) {
    // Every kernel variant this machine runs, past the few-hundred-product
    // cutoff: K = 1 (items side by side), widths that leave part of a vector, and 130 items of
    // width 130, which the kernel takes in two chunks. Few special values, so that most sums
    // stay finite and are compared bit for bit.
    const int sizes[][2] = {{16, 1}, {19, 1}, {10, 3}, {9, 8}, {11, 9}, {8, 17}, {6, 64}};
    const Inputs wide = awkward(130, 130, 0.75, 905, 0.0);
    const std::vector<pkhost::Array> wide_args = args(wide);
    const std::vector<double> wide_expected = pktest::literal_values(kName, wide_args);
    for (const std::string &build : pktest::variants("linux")) {
        uint64_t seed = 900;
        for (const auto &s : sizes) {
            Inputs in = awkward(s[0], s[1], s[0] % 2 ? -0.37 : 3.0, seed += 5, 0.005);
            EXPECT_TRUE(pktest::MatchesLiteral(kName, build, args(in)))
                << build << " N = " << s[0] << " K = " << s[1];
        }
        pkhost::CallResult r = pktest::module(kName, build).call(pktest::pointers(wide_args));
        EXPECT_TRUE(SameBits(pktest::result_values(r), wide_expected)) << build << " N = K = 130";
    }
}

TEST(TransformedPairVectorSum, WidthsAtAndBeyondFiveHundred) {
    for (int K : {500, 501, 640}) {
        EXPECT_TRUE(pktest::MatchesLiteral(kName, "linux", args(awkward(2, K, 0.7, K, 0.02))))
            << "K = " << K;
    }
}

TEST(TransformedPairVectorSum, EmptyAndNegativeSizes) {
    // K = 0: W and M are empty (inaccessible pages) and unread.
    Inputs in = awkward(3, 0, 1.0, 5);
    EXPECT_TRUE(HasShape(call(in), 0, 1));
    EXPECT_TRUE(HasShape(call(Inputs()), 0, 1));
    // N = -2, K = -3 still asks for N*K = 6 rows, left at zero.
    in = Inputs();
    in.n = -2;
    in.K = -3;
    CallResult r = call(in);
    ASSERT_TRUE(HasShape(r, 6, 1));
    EXPECT_TRUE(SameBits(pktest::result_values(r), std::vector<double>(6, 0.0)));
    in.K = 3;
    EXPECT_TRUE(FailsWith(call(in), "pairkernels:transformed_pair_vector_sum:negativeSize"));
}

TEST(TransformedPairVectorSum, RefusesBrokenCalls) {
    const std::string id = std::string("pairkernels:") + kName + ":";
    for (int which = 0; which < 5; ++which) {
        Inputs in = awkward(3, 2, 1.0, 70 + which);
        std::vector<double> *arrays[] = {&in.A, &in.B, &in.v, &in.W, &in.M};
        arrays[which]->pop_back();
        EXPECT_TRUE(FailsWith(call(in), id + "tooShort")) << "array " << which;
    }
    auto one = pkhost::scalar(1);
    auto single = pkhost::numeric(mxSINGLE_CLASS, {1});
    std::vector<const mxArray *> args(8, one.get());
    const std::vector<const mxArray *> fewer(args.begin(), args.end() - 1);
    EXPECT_TRUE(FailsWith(pktest::module(kName).call(fewer), id + "nargin"));
    args[6] = single.get();
    EXPECT_TRUE(FailsWith(pktest::module(kName).call(args), id + "notDouble"));
}

}  // namespace
