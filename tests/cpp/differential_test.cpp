// Every module against its literal reference (bench/literal.cpp), bit for bit, on random inputs
// with NaN, infinities, signed zeros and subnormals, through every kernel variant the build has:
// the linux profile as built (the widest instruction set this machine offers) and capped at AVX2
// and at SSE2, and the windows and macos profiles for the modules whose form differs there. Sizes
// are chosen to cover the remainders of blocked and vectorized loops (odd N and K, N and K below
// a vector width) as well as widths up to 600 for the per-item scatter modules.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include <sys/stat.h>

#include "catalog.h"
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

bool is_dir(const std::string &path) {
    struct stat s;
    return stat(path.c_str(), &s) == 0 && S_ISDIR(s.st_mode);
}

// Build directories holding the kernels of `profile`: the profile itself and its capped builds.
// A build capped at an instruction set this machine lacks would run the same code as the next
// lower cap, so it is left out.
std::vector<std::string> variants(const std::string &profile) {
    std::vector<std::string> out;
    for (const char *cap : {"", "-sse2", "-avx2"}) {
        const std::string dir = profile + cap;
        if (!is_dir(std::string(PK_STANDIN_DIR) + "/" + dir)) continue;
        if (std::string(cap) == "-avx2" && !__builtin_cpu_supports("avx2")) continue;
        out.push_back(dir);
    }
    return out;
}

struct Shape {
    int64_t N, K;
};

// Item counts and widths per module: tiny ones, odd ones around vector widths, and a few hundred.
std::vector<Shape> shapes(const std::string &module, const std::string &profile) {
    const bool scatter_form = module == "item_pair_scatter" && profile != "linux";
    if (module == "item_pair_scatter" && !scatter_form)
        return {{1, 0}, {2, 0}, {3, 0}, {7, 0}, {40, 0}, {97, 0}};
    if (module == "pair_difference_operator") return {{1, 0}, {2, 0}, {3, 0}, {7, 0}, {40, 0}, {97, 0}};
    if (module == "pair_difference_blocks") return {{1, 1}, {2, 3}, {7, 5}, {33, 8}, {64, 3}};
    if (module == "pair_scatter_reciprocal" || module == "transformed_pair_vector_sum" || scatter_form)
        return {{1, 1}, {2, 3}, {7, 5}, {17, 8}, {131, 13}, {300, 4}, {40, 64}, {5, 600}};
    if (module == "item_net_balance" || module == "pair_matrix_step")
        return {{1, 0}, {2, 0}, {3, 0}, {5, 0}, {17, 0}, {64, 0}, {131, 0}, {300, 0}};
    if (module == "item_squared_norms" || module == "repeated_vector_sum")
        return {{1, 1}, {3, 0}, {7, 5}, {131, 13}, {1000, 3}, {300, 64}, {5, -3}};
    // Pair values with pair vectors: pair_difference_vectors and the residual, gap and update
    // modules.
    return {{1, 1}, {2, 3}, {3, 0}, {7, 5}, {17, 8}, {64, 1}, {131, 13}, {300, 8}};
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
};

// Calls `module` of `profile` in each variant on the arguments of one shape and compares every
// result with the literal reference's. `scalars` replaces arguments by position with scalars.
void check_shape(const std::string &module, const std::string &profile, const Shape &shape,
                 double t, uint64_t seed, Checked &checked,
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
    pkliteral::bind(profile, module, ptrs)(expected.data());

    for (const std::string &variant : variants(profile)) {
        SCOPED_TRACE(variant + "/" + module + " N=" + std::to_string(s.N) + " K=" +
                     std::to_string(s.K) + " r=" + std::to_string(s.r) + " seed=" +
                     std::to_string(seed));
        pkhost::CallResult r = pktest::module(module, variant).call(ptrs);
        ASSERT_TRUE(pktest::HasShape(r, result.rows, result.cols));
        EXPECT_TRUE(pktest::SameBits(pktest::result_values(r), expected));
        ++checked.calls;
    }
}

class Differential : public ::testing::TestWithParam<std::string> {};

TEST_P(Differential, LinuxProfileAndItsCappedBuildsMatchTheLiteralReference) {
    const std::string module = GetParam();
    ASSERT_EQ(variants("linux").size(), __builtin_cpu_supports("avx2") ? 3u : 2u)
        << "the capped builds linux-sse2 and linux-avx2 are missing";
    const pktest::ModuleInfo &info = pktest::find_module("linux", module);
    const bool has_t = std::any_of(info.args.begin(), info.args.end(),
                                   [](const pktest::Arg &a) { return std::string(a.name) == "t"; });
    Checked checked;
    uint64_t seed = 1;
    for (char c : module) seed = seed * 31 + static_cast<unsigned char>(c);
    for (const Shape &shape : shapes(module, "linux")) {
        check_shape(module, "linux", shape, 0.75, seed++, checked);
        if (has_t && shape.N >= 7) check_shape(module, "linux", shape, -1.5e-3, seed++, checked);
    }
    EXPECT_GT(checked.calls, 0);
}

std::vector<std::string> module_names() {
    std::vector<std::string> names;
    for (const pktest::ModuleInfo &m : pktest::catalog("linux")) names.push_back(m.name);
    return names;
}

INSTANTIATE_TEST_SUITE_P(EveryModule, Differential, ::testing::ValuesIn(module_names()),
                         [](const ::testing::TestParamInfo<std::string> &p) { return p.param; });

// The scatter form of item_pair_scatter exists only in the windows and macos builds.
TEST(DifferentialForms, ItemPairScatterScatterFormMatchesTheLiteralReference) {
    for (const char *profile : {"windows", "macos"}) {
        Checked checked;
        uint64_t seed = 700;
        for (const Shape &shape : shapes("item_pair_scatter", profile))
            check_shape("item_pair_scatter", profile, shape, 0.75, seed++, checked);
        EXPECT_GT(checked.calls, 0) << profile;
    }
}

// The windows build's bound -m, with m of either zero sign (which decides the sign of a clamped
// zero), positive, negative and NaN (nothing clamped).
TEST(DifferentialForms, ClampedPairModelGapWithBoundArgumentMatchesTheLiteralReference) {
    Checked checked;
    uint64_t seed = 900;
    for (const Shape &shape : shapes("clamped_pair_model_gap", "windows"))
        for (double m : {-0.0, 0.0, 0.5, -2.0, std::nan("")})
            check_shape("clamped_pair_model_gap", "windows", shape, 0.75, seed++, checked, {{7, m}});
    EXPECT_GT(checked.calls, 0);
}

}  // namespace
