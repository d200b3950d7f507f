// Every distinct module build (pktest::module_builds: every module in the linux profile, the two
// compiled per profile in each profile) against its literal reference (reference/literal.cpp), bit
// for bit, on random inputs with NaN, infinities, signed zeros and subnormals, through every kernel
// variant: the module files with the kernels' choice capped at each instruction-set level in turn
// (a level this machine lacks is reported as skipped). Sizes are chosen to cover the remainders of
// blocked and vectorized loops (odd N and K, N and K below a vector width) as well as widths up to
// 600 for the per-item scatter modules. The step t takes its special values (signed zeros,
// infinities, NaN, subnormal and huge) on the small sizes, the bound m all of its values on all.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <string>
#include <tuple>
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

const double kInf = std::numeric_limits<double>::infinity();
const double kNaN = std::numeric_limits<double>::quiet_NaN();

struct Shape {
    int64_t N, K;
};

// Item counts and widths: tiny ones, a single item with several components, odd ones around
// vector widths, a negative width, a few hundred items, and widths up to 600. Each module form
// takes those whose arrays and result together hold at most kMaxElements doubles (so N^3 results
// stop near N = 131, and pair vectors near N = 300), and its valid result shapes; one without a
// width K takes each N once.
const Shape kShapes[] = {{1, 1},   {1, 5},   {2, 3},   {3, 0},   {3, 3},    {5, -3},
                         {7, 5},   {9, 2},   {13, 6},  {16, 1},  {17, 8},   {31, 2},
                         {33, 8},  {40, 64}, {64, 1},  {64, 3},  {97, 0},   {131, 13},
                         {300, 4}, {300, 8}, {1000, 3}, {5, 600}};

// The step t of every call, and on inputs of at most kSmallElements pair elements the special
// values too; the bound argument m, where a form has it, takes each of its values on every shape.
const double kSteps[] = {0.75, -1.5e-3};
const double kSpecialSteps[] = {0.0, -0.0, 1e-310, 1e300, kInf, -kInf, kNaN};
const double kBounds[] = {-0.0, 0.0, 0.5, -2.0, 1e-300, kNaN};
constexpr int64_t kSmallElements = 4000;
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

// Calls the module build `b` capped at `level` on the arguments of one shape, t = `t` and m = `m`,
// and compares the result with the literal reference's. A call that chose a variant must have run
// the one it was capped at.
void check_shape(const pktest::ModuleBuild &b, int level, const Shape &shape, double t, double m,
                 uint64_t seed, Checked &checked) {
    const pktest::ModuleInfo &info = *b.module;
    pktest::Sizes s{scaled(shape.N, shape.K), shape.K, 0};
    s.r = s.N > 0 ? static_cast<int64_t>(seed % static_cast<uint64_t>(s.N)) : 0;
    const int64_t elements = s.N * s.N * std::max<int64_t>(s.K, 1);
    // Dense special values on small inputs; on large ones they would turn most sums into NaN.
    const double special = elements > kSmallElements ? 0.002 : 0.1;
    std::vector<pkhost::Array> args = pktest::valid_call(info, s, t, seed, special);
    for (std::size_t p = 0; p < info.args.size(); ++p)
        if (info.args[p].name == "m") args[p] = pkhost::scalar(m);
    const std::vector<const mxArray *> ptrs = pktest::pointers(args);
    const std::vector<double> expected = pkliteral::result(info, ptrs);

    const std::string build = b.profile + "/" + pktest::simd_name(level);
    SCOPED_TRACE(build + "/" + info.name + " N=" + std::to_string(s.N) + " K=" +
                 std::to_string(s.K) + " r=" + std::to_string(s.r) + " t=" + std::to_string(t) +
                 " m=" + std::to_string(m) + " seed=" + std::to_string(seed));
    const pktest::Build &module = pktest::module(info.name, build);
    pkhost::CallResult r = module.call(ptrs);
    const pktest::Shape result = info.shape(s);
    ASSERT_TRUE(pktest::HasShape(r, result.rows, result.cols));
    EXPECT_TRUE(pktest::SameBits(pktest::result_values(r), expected));
    ++checked.calls;
    if (r.simd_used >= 0) {
        ++checked.dispatched;
        EXPECT_EQ(r.simd_used, module.level()) << "the call ran another variant than its build's";
    }
}

// A distinct build, by its profile and module, and a variant level.
using Param = std::tuple<std::string, std::string, int>;

class Differential : public ::testing::TestWithParam<Param> {};

TEST_P(Differential, MatchesTheLiteralReference) {
    const pktest::ModuleBuild &b =
        pktest::module_build(std::get<0>(GetParam()), std::get<1>(GetParam()));
    const int level = std::get<2>(GetParam());
    if (level > pktest::machine_simd_level())
        GTEST_SKIP() << "this machine has no " << pktest::simd_name(level) << ": the "
                     << pktest::simd_name(level) << " kernel variants were not run";
    const pktest::ModuleInfo &info = *b.module;
    std::vector<double> bounds{kNaN};  // unused where the form has no m
    if (info.has("m")) bounds.assign(std::begin(kBounds), std::end(kBounds));
    Checked checked;
    uint64_t seed = 1;
    for (char c : b.profile + info.name) seed = seed * 31 + static_cast<unsigned char>(c);
    for (const Shape &shape : shapes(info)) {
        std::vector<double> steps{kSteps[0]};
        if (info.has("t") && shape.N >= 7) steps.push_back(kSteps[1]);
        if (info.has("t") && shape.N * shape.N * std::max<int64_t>(shape.K, 1) <= kSmallElements)
            steps.insert(steps.end(), std::begin(kSpecialSteps), std::end(kSpecialSteps));
        for (double t : steps)
            for (double m : bounds) check_shape(b, level, shape, t, m, seed++, checked);
    }
    EXPECT_GT(checked.calls, 0);
    // The other profiles' builds are here for their kernels: some call must have reached one.
    if (b.profile != pktest::profiles().front()) {
        EXPECT_GT(checked.dispatched, 0);
    }
}

std::vector<Param> params() {
    std::vector<Param> all;
    for (const pktest::ModuleBuild &b : pktest::module_builds())
        for (int level = 0; level <= 2; ++level) all.emplace_back(b.profile, b.module->name, level);
    return all;
}

INSTANTIATE_TEST_SUITE_P(EveryModuleBuild, Differential, ::testing::ValuesIn(params()),
                         [](const ::testing::TestParamInfo<Param> &p) {
                             return std::get<0>(p.param) + "_" + std::get<1>(p.param) + "_" +
                                    pktest::simd_name(std::get<2>(p.param));
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

}  // namespace
