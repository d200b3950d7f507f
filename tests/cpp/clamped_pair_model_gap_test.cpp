#include <cmath>
#include <limits>

#include "support.h"

using pkhost::CallResult;
using pktest::FailsWith;
using pktest::HasShape;
using pktest::SameBits;

namespace {

const char *const kName = "clamped_pair_model_gap";
const std::string kId = "pairkernels:clamped_pair_model_gap:";
const double kInf = std::numeric_limits<double>::infinity();
const double kNaN = std::numeric_limits<double>::quiet_NaN();
const char *const kProfiles[] = {"linux", "windows", "macos"};

struct Inputs {
    double n;
    double t;
    std::vector<double> P, q, W, X;
    double K;
};

// The arguments of a call: seven, plus m when `m` is given.
std::vector<pkhost::Array> args(const Inputs &in, const double *m = nullptr) {
    std::vector<pkhost::Array> a =
        pktest::arguments(pkhost::scalar(in.n), pkhost::scalar(in.t), pkhost::doubles(in.P),
                          pkhost::doubles(in.q), pkhost::doubles(in.W), pkhost::doubles(in.X),
                          pkhost::scalar(in.K));
    if (m) a.push_back(pkhost::scalar(*m));
    return a;
}

CallResult call(const std::string &build, const Inputs &in, const double *m = nullptr) {
    return pktest::module(kName, build).call(pktest::pointers(args(in, m)));
}

std::vector<double> run(const std::string &build, const Inputs &in, const double *m = nullptr) {
    CallResult r = call(build, in, m);
    EXPECT_FALSE(r.failed) << r.id << ": " << r.message;
    return pktest::result_values(r);
}

std::vector<double> run_windows(const Inputs &in, double m) { return run("windows", in, &m); }

const Inputs kExample{2, 2, {2, 20, 30, 8}, {1, 3}, {1, 1, 1, 1}, {3, 5}, 1};  // g = 2, -3, -14, 1

TEST(ClampedPairModelGap, WorkedExampleInEachProfile) {
    EXPECT_TRUE(SameBits(run("linux", kExample), {0, -3, -14, 0}));
    EXPECT_TRUE(SameBits(run("macos", kExample), {0, -3, -14, 0}));
    EXPECT_TRUE(SameBits(run_windows(kExample, 2), {-2, -3, -14, -2}));
    // An eighth argument is ignored where the bound is fixed, whatever it is.
    for (const char *profile : {"linux", "macos"}) {
        std::vector<pkhost::Array> a = args(kExample);
        a.push_back(pkhost::cell(1, 1));
        CallResult r = pktest::module(kName, profile).call(pktest::pointers(a));
        EXPECT_TRUE(SameBits(pktest::result_values(r), {0, -3, -14, 0})) << profile;
        EXPECT_EQ(pkhost::data_calls(r.log).size(), 9u) << profile;  // 7 reads, create, fetch
    }
}

TEST(ClampedPairModelGap, WindowsProfileNeedsItsEighthArgument) {
    CallResult r = call("windows", kExample);
    EXPECT_TRUE(FailsWith(r, kId + "nargin"));
    EXPECT_NE(r.message.find("8"), std::string::npos) << r.message;
    const double m = 2;
    CallResult ok = call("windows", kExample, &m);
    EXPECT_EQ(
        pkhost::data_calls(ok.log),
        (std::vector<std::string>{
            "mxGetScalar(prhs[0])", "mxGetScalar(prhs[1])", "mxGetPr(prhs[2])", "mxGetPr(prhs[3])",
            "mxGetPr(prhs[4])", "mxGetPr(prhs[5])", "mxGetScalar(prhs[6])", "mxGetScalar(prhs[7])",
            "mxCreateDoubleMatrix_700(4,1,0)", "mxGetPr(new#0 in plhs[0])"}));
}

TEST(ClampedPairModelGap, SignOfZeroAtTheWindowsBound) {
    // g = +0 (a pair with nothing to add) equals the bound -0 and is kept as +0; every g above
    // zero becomes -0 under m = +0, +0 under m = -0 (exactly the fixed-bound profiles).
    const Inputs in{2, 1, {0, -1, 1, 0}, {0, 0}, {}, {}, 0};  // g = 0, 1, -1, 0
    EXPECT_TRUE(SameBits(run_windows(in, 0.0), {0.0, -0.0, -1, 0.0}));
    EXPECT_TRUE(SameBits(run_windows(in, -0.0), {0.0, 0.0, -1, 0.0}));
    EXPECT_TRUE(SameBits(run("linux", in), {0.0, 0.0, -1, 0.0}));
    EXPECT_TRUE(SameBits(run_windows(kExample, -0.0), run("linux", kExample)));
    // A NaN bound clamps nothing; an infinite one only what is above it.
    EXPECT_TRUE(SameBits(run_windows(kExample, kNaN), {2, -3, -14, 1}));
    EXPECT_TRUE(SameBits(run_windows(kExample, -kInf), {2, -3, -14, 1}));
}

TEST(ClampedPairModelGap, DivisionByTAndItsZeros) {
    // A true division: 3 / 10 is 0.3, 3 * (1 / 10) is 0.30000000000000004.
    EXPECT_TRUE(SameBits(run("linux", {1, 10, {3}, {0}, {}, {}, 0}), {-0.3}));
    // t = +0 and -0: +x / 0 gives an infinity, clamped only when it is +Inf; 0 / 0 is NaN and
    // is stored unclamped.
    const Inputs pos{2, 0.0, {1, -1, 0, 2}, {0, 0}, {}, {}, 0};
    const Inputs neg{2, -0.0, {1, -1, 0, 2}, {0, 0}, {}, {}, 0};
    EXPECT_TRUE(SameBits(run("linux", pos), {-kInf, 0.0, kNaN, -kInf}));
    EXPECT_TRUE(SameBits(run("linux", neg), {0.0, -kInf, kNaN, 0.0}));
    EXPECT_TRUE(SameBits(run_windows(neg, -5), {5, -kInf, kNaN, 5}));
    // An infinite offset gives its item's diagonal NaN, which is not clamped.
    std::vector<double> R = run("macos", {2, 1, {0, 0, 0, 0}, {kInf, 1}, {0, 0, 0, 0}, {0, 0}, 1});
    EXPECT_TRUE(std::isnan(R[0]));
    EXPECT_TRUE(SameBits({R[1], R[2], R[3]}, {-kInf, 0.0, 0.0}));
}

TEST(ClampedPairModelGap, ProductsAreRoundedBeforeTheyAreAdded) {
    // -1 + (1+2^-30)(1-2^-30) is 0 unfused and -2^-60 (below the bound, kept) when fused.
    const double a = 1 + std::ldexp(1, -30), b = 1 - std::ldexp(1, -30);
    EXPECT_TRUE(SameBits(run("linux", {1, 1, {0}, {0}, {-1, a}, {1, b}, 2}), {0.0}));
}

// Every kernel variant this machine runs (SSE2, AVX2 and AVX-512 where it has them), in every
// profile, at item counts that reach the blocks of 2*L pairs, a single block of L and the one-pair
// tail for L = 2, 4 and 8, and at widths K that reach K = 1, partial and overlapping blocks of
// components. About a third of the pairs meet a NaN, infinity, signed zero or subnormal.
TEST(ClampedPairModelGap, EveryInstructionSetVariantMatchesPlainLoops) {
    const double ts[] = {2, 0.1, -3, 0.0, -0.0, kInf, kNaN, 1e-310};
    const double ms[] = {0.0, 2, -0.0, -1.5, kNaN, 1e-300};
    int round = 0;
    for (int n : {8, 23, 25})
        for (int K : {0, 1, 2, 3, 5, 7, 8, 9, 17, 64, 65}) {
            const uint64_t seed = 8000 + 100 * n + K;
            const double special = 0.5 / (2 * K + 4);
            Inputs in{static_cast<double>(n),
                      ts[round % 8],
                      pktest::awkward_values(n * n, seed, special),
                      pktest::awkward_values(n, seed + 1, special),
                      pktest::awkward_values(n * n * K, seed + 2, special),
                      pktest::awkward_values(n * K, seed + 3, special),
                      static_cast<double>(K)};
            const double m = ms[round % 6];
            ++round;
            for (const std::string &profile : pktest::profiles()) {
                const bool bounded = pktest::find_module(profile, kName).has("m");
                for (const std::string &variant : pktest::variants(profile))
                    EXPECT_TRUE(pktest::MatchesLiteral(kName, variant,
                                                       args(in, bounded ? &m : nullptr)))
                        << variant << ", N = " << n << ", K = " << K << ", m = " << m;
            }
        }
}

// N = 2901: a 67 MB result, written with non-temporal stores; each row's pairs before the first
// 64-byte boundary (a different number from row to row) are done one at a time.
TEST(ClampedPairModelGap, ResultsBeyondSixtyFourMebibytesAreStreamedWithTheSameBits) {
    const int n = 2901;
    Inputs in{static_cast<double>(n),
              -0.3,
              pktest::awkward_values(n * n, 61, 0.01),
              pktest::awkward_values(n, 62, 0.01),
              pktest::awkward_values(n * n, 63, 0.01),
              pktest::awkward_values(n, 64, 0.01),
              1};
    const std::vector<pkhost::Array> a = args(in);
    const std::vector<double> expected = pktest::literal_values(kName, a);
    for (const std::string &variant : pktest::variants("linux")) {
        pkhost::CallResult r = pktest::module(kName, variant).call(pktest::pointers(a));
        EXPECT_TRUE(SameBits(pktest::result_values(r), expected)) << variant;
    }
}

TEST(ClampedPairModelGap, SizesInEveryProfile) {
    const double m = 1;
    for (const char *profile : kProfiles) {
        const double *mp = std::string(profile) == "windows" ? &m : nullptr;
        EXPECT_TRUE(HasShape(call(profile, {0, 1, {}, {}, {}, {}, 3}, mp), 0, 1));
        CallResult r = call(profile, {-2, 1, {}, {}, {}, {}, 3}, mp);
        ASSERT_TRUE(HasShape(r, 4, 1));
        EXPECT_TRUE(SameBits(pktest::result_values(r), {0, 0, 0, 0}));
        for (double n : {kNaN, -kInf, 1e10, 46341.0 * -1})
            EXPECT_TRUE(FailsWith(call(profile, {n, 1, {}, {}, {}, {}, 1}, mp), kId + "tooLarge"));
        EXPECT_TRUE(FailsWith(call(profile, {2, 1, {1, 2, 3, 4}, {1, 2}, {1, 2, 3}, {1, 2}, 1}, mp),
                              kId + "tooShort"));
        EXPECT_TRUE(FailsWith(call(profile, {2, 1, {1, 2, 3, 4}, {1, 2}, {1, 2, 3, 4}, {1}, 1}, mp),
                              kId + "tooShort"));
    }
}

}  // namespace
