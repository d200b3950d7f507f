// Every module against its literal reference (reference/literal.cpp), bit for bit, on random inputs
// with NaN, infinities, signed zeros and subnormals, through every kernel variant: the linux
// profile's module files with the kernels' choice capped at each instruction-set level in turn
// (a level this machine lacks is reported as skipped), and the windows and macos profiles for the
// modules whose form differs there, in every variant too. Sizes are chosen to cover the
// remainders of blocked and vectorized loops (odd N and K, N and K below a vector width) as well
// as widths up to 600 for the per-item scatter modules.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "literal.h"
#include "support.h"

#if defined(__SANITIZE_ADDRESS__)
#define PK_SANITIZED 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define PK_SANITIZED 1
#endif
#endif

namespace {

#ifdef PK_SANITIZED
constexpr bool kSanitized = true;
#else
constexpr bool kSanitized = false;
#endif

struct Shape {
    int64_t N, K;
};

// Item counts and widths: tiny ones, odd ones around vector widths, a negative width, a few
// hundred items, and widths up to 600. Each module form takes those whose arrays and result
// together hold at most kMaxElements doubles (so N^3 results stop near N = 131, and pair
// vectors near N = 300), and its valid result shapes; one without a width K takes each N once.
const Shape kShapes[] = {{1, 1},  {2, 3},   {3, 0},   {5, -3},   {7, 5},   {17, 8},
                         {33, 8}, {40, 64}, {64, 1},  {64, 3},   {97, 0},  {131, 13},
                         {300, 4}, {300, 8}, {1000, 3}, {5, 600}};
constexpr int64_t kMaxElements = 2500000;

std::vector<Shape> shapes(const pktest::ModuleInfo &m) {
    const bool uses_k = m.has("K");
    std::vector<Shape> out;
    for (Shape shape : kShapes) {
        if (!uses_k) shape.K = 0;
        const pktest::Sizes s{shape.N, shape.K, 0};
        const pktest::Shape result = m.shape(s);
        if (result.rows < 0 || result.cols < 0) continue;
        int64_t elements = result.rows * result.cols;
        for (const pktest::Arg &a : m.args)
            if (a.kind == pktest::Kind::Array) elements += std::max<int64_t>(a.length(s), 0);
        if (elements > kMaxElements) continue;
        if (std::any_of(out.begin(), out.end(),
                        [&](const Shape &o) { return o.N == shape.N && o.K == shape.K; }))
            continue;
        out.push_back(shape);
    }
    return out;
}

// Under the sanitizers every access costs several times more: larger item counts are halved, and
// the widest vectors go with three items.
int64_t scaled(int64_t N, int64_t K) {
    if (!kSanitized) return N;
    if (K >= 500) return std::min<int64_t>(N, 3);
    return N > 16 ? N / 2 : N;
}

struct Checked {
    int calls = 0;
    int dispatched = 0;  // calls whose kernel chose a variant
};

// Calls `module` in each of the `builds` ("<profile>/<variant>") on the arguments of one shape
// and compares every result with the literal reference's. `scalars` replaces arguments by
// position with scalars. A call that chose a variant must have run the one its build asks for.
void check_shape(const std::string &module, const std::string &profile,
                 const std::vector<std::string> &builds, const Shape &shape, double t,
                 uint64_t seed, Checked &checked,
                 const std::vector<std::pair<std::size_t, double>> &scalars = {}) {
    const pktest::ModuleInfo &info = pktest::find_module(profile, module);
    pktest::Sizes s{scaled(shape.N, shape.K), shape.K, 0};
    s.r = s.N > 0 ? static_cast<int64_t>(seed % static_cast<uint64_t>(s.N)) : 0;
    const int64_t elements = s.N * s.N * std::max<int64_t>(s.K, 1);
    // Dense special values on small inputs; on large ones they would turn most sums into NaN.
    const double special = elements > 4000 ? 0.002 : 0.1;
    std::vector<pkhost::Array> args = pktest::valid_call(info, s, t, seed, special);
    for (const auto &p : scalars) args[p.first] = pkhost::scalar(p.second);
    const std::vector<const mxArray *> ptrs = pktest::pointers(args);

    const pktest::Shape result = info.shape(s);
    std::vector<double> expected(static_cast<std::size_t>(result.rows * result.cols), 0.0);
    pkliteral::bind(info, ptrs)(expected.data());

    for (const std::string &build : builds) {
        SCOPED_TRACE(build + "/" + module + " N=" + std::to_string(s.N) + " K=" +
                     std::to_string(s.K) + " r=" + std::to_string(s.r) + " seed=" +
                     std::to_string(seed));
        const pktest::Build &b = pktest::module(module, build);
        pkhost::CallResult r = b.call(ptrs);
        ASSERT_TRUE(pktest::HasShape(r, result.rows, result.cols));
        EXPECT_TRUE(pktest::SameBits(pktest::result_values(r), expected));
        ++checked.calls;
        if (r.simd_used >= 0) {
            ++checked.dispatched;
            EXPECT_EQ(r.simd_used, b.level()) << "the call ran another variant than its build's";
        }
    }
}

class Differential : public ::testing::TestWithParam<std::tuple<std::string, int>> {};

TEST_P(Differential, MatchesTheLiteralReference) {
    const std::string module = std::get<0>(GetParam());
    const int level = std::get<1>(GetParam());
    if (level > pktest::machine_simd_level())
        GTEST_SKIP() << "this machine has no " << pktest::simd_name(level) << ": the "
                     << pktest::simd_name(level) << " kernel variants were not run";
    const std::string build = "linux/" + pktest::simd_name(level);
    const pktest::ModuleInfo &info = pktest::find_module("linux", module);
    const bool has_t = info.has("t");
    Checked checked;
    uint64_t seed = 1;
    for (char c : module) seed = seed * 31 + static_cast<unsigned char>(c);
    for (const Shape &shape : shapes(info)) {
        check_shape(module, "linux", {build}, shape, 0.75, seed++, checked);
        if (has_t && shape.N >= 7)
            check_shape(module, "linux", {build}, shape, -1.5e-3, seed++, checked);
    }
    EXPECT_GT(checked.calls, 0);
}

std::vector<std::string> module_names() {
    std::vector<std::string> names;
    for (const pktest::ModuleInfo &m : pktest::catalog("linux")) names.push_back(m.name);
    return names;
}

INSTANTIATE_TEST_SUITE_P(EveryModule, Differential,
                         ::testing::Combine(::testing::ValuesIn(module_names()),
                                            ::testing::Values(0, 1, 2)),
                         [](const ::testing::TestParamInfo<std::tuple<std::string, int>> &p) {
                             return std::get<0>(p.param) + "_" +
                                    pktest::simd_name(std::get<1>(p.param));
                         });

// The variant choice itself: a call that chooses a variant runs the widest the machine has, or
// the one the host caps it at; calls too small to choose report none.
TEST(DifferentialVariants, CallsRunTheVariantTheirBuildAsksFor) {
    const int widest = pktest::machine_simd_level();
    ASSERT_GE(widest, 0) << "repeated_vector_sum chose no variant";
    const pktest::ModuleInfo &info = pktest::find_module("linux", "pair_residual");
    std::vector<pkhost::Array> args = pktest::valid_call(info, pktest::Sizes{40, 3, 0}, 0.5, 3);
    pkhost::CallResult full = pktest::module("pair_residual").call(pktest::pointers(args));
    EXPECT_EQ(full.simd_detected, widest);
    EXPECT_EQ(full.simd_used, widest);
    for (const std::string &build : pktest::variants("linux")) {
        const pktest::Build &b = pktest::module("pair_residual", build);
        pkhost::CallResult r = b.call(pktest::pointers(args));
        EXPECT_EQ(r.simd_detected, widest) << build;
        EXPECT_EQ(r.simd_used, b.level()) << build;
    }
    std::vector<pkhost::Array> small = pktest::valid_call(info, pktest::Sizes{3, 3, 0}, 0.5, 3);
    EXPECT_EQ(pktest::module("pair_residual", "linux/" + pktest::simd_name(0))
                  .call(pktest::pointers(small))
                  .simd_used,
              -1);
}

// The scatter form of item_pair_scatter exists only in the windows and macos builds.
TEST(DifferentialForms, ItemPairScatterScatterFormMatchesTheLiteralReference) {
    for (const char *profile : {"windows", "macos"}) {
        Checked checked;
        uint64_t seed = 700;
        for (const Shape &shape : shapes(pktest::find_module(profile, "item_pair_scatter")))
            check_shape("item_pair_scatter", profile, pktest::variants(profile), shape, 0.75,
                        seed++, checked);
        EXPECT_GT(checked.dispatched, 0) << profile;
    }
}

// The windows build's bound -m, with m of either zero sign (which decides the sign of a clamped
// zero), positive, negative and NaN (nothing clamped).
TEST(DifferentialForms, ClampedPairModelGapWithBoundArgumentMatchesTheLiteralReference) {
    Checked checked;
    uint64_t seed = 900;
    for (const Shape &shape : shapes(pktest::find_module("windows", "clamped_pair_model_gap")))
        for (double m : {-0.0, 0.0, 0.5, -2.0, std::nan("")})
            check_shape("clamped_pair_model_gap", "windows", pktest::variants("windows"), shape,
                        0.75, seed++, checked, {{7, m}});
    EXPECT_GT(checked.dispatched, 0);
}

}  // namespace
