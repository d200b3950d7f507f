#include "catalog.h"

#include <stdexcept>

namespace pktest {

namespace {

int64_t none(const Sizes &) { return 0; }
int64_t n(const Sizes &s) { return s.N; }
int64_t nn(const Sizes &s) { return s.N * s.N; }
int64_t nk(const Sizes &s) { return s.N * s.K; }
int64_t nnk(const Sizes &s) { return s.N * s.N * s.K; }
int64_t nkk(const Sizes &s) { return s.N * s.K * s.K; }

Shape column_n(const Sizes &s) { return {s.N, 1}; }
Shape column_nn(const Sizes &s) { return {s.N * s.N, 1}; }

const Arg kN{"N", Kind::Size, none};
const Arg kK{"K", Kind::Size, none};
const Arg kT{"t", Kind::Real, none};

std::vector<ModuleInfo> build(const std::string &profile) {
    const bool windows = profile == "windows";
    const bool scatter_form = profile != "linux";
    std::vector<ModuleInfo> c;
    c.push_back({"pair_difference_blocks", {kN, kK, {"X", Kind::Array, nk}},
                 [](const Sizes &s) { return Shape{s.N * s.N, s.N * s.K}; }});
    c.push_back({"item_squared_norms", {kN, kK, {"X", Kind::Array, nk}}, column_n});
    c.push_back({"repeated_vector_sum",
                 {kN, kK, {"A", Kind::Array, n}, {"B", Kind::Array, n}},
                 column_n});
    c.push_back({"pair_difference_vectors", {kN, kK, {"X", Kind::Array, nk}},
                 [](const Sizes &s) { return Shape{s.N * s.N * s.K, 1}; }});
    c.push_back({"pair_scatter_reciprocal", {kN, kK, {"P", Kind::Array, nnk}},
                 [](const Sizes &s) { return Shape{s.K * s.K * s.N, 1}; }});
    if (scatter_form)
        c.push_back({"item_pair_scatter",
                     {kN, kK, {"r", Kind::Size, none}, {"W", Kind::Array, nnk}},
                     [](const Sizes &s) { return Shape{s.K, s.K}; }});
    else
        c.push_back({"item_pair_scatter", {kN},
                     [](const Sizes &s) { return Shape{s.N * s.N, s.N}; }});
    c.push_back({"item_net_balance", {kN, {"A", Kind::Array, nn}}, column_n});
    c.push_back({"item_closed_form_update",
                 {kN, kK, kT, {"U", Kind::Array, nn}, {"V", Kind::Array, nn},
                  {"W", Kind::Array, nnk}, {"x", Kind::Array, n}, {"d", Kind::Array, n},
                  {"Z", Kind::Array, nk}},
                 column_n});
    c.push_back({"pair_difference_operator", {kN},
                 [](const Sizes &s) { return Shape{s.N * s.N, s.N}; }});
    c.push_back({"transformed_pair_vector_sum",
                 {kN, kK, kT, {"A", Kind::Array, nn}, {"B", Kind::Array, nn},
                  {"v", Kind::Array, n}, {"W", Kind::Array, nnk}, {"M", Kind::Array, nkk}},
                 [](const Sizes &s) { return Shape{s.N * s.K, 1}; }});
    c.push_back({"pair_inner_product_residual",
                 {kN, {"P", Kind::Array, nn}, {"W", Kind::Array, nnk}, {"X", Kind::Array, nk}, kK},
                 column_nn});
    std::vector<Arg> gap{kN, kT, {"P", Kind::Array, nn}, {"q", Kind::Array, n},
                         {"W", Kind::Array, nnk}, {"X", Kind::Array, nk}, kK};
    if (windows) gap.push_back({"m", Kind::Real, none});
    c.push_back({"clamped_pair_model_gap", gap, column_nn});
    c.push_back({"pair_residual",
                 {kN, {"P", Kind::Array, nn}, {"q", Kind::Array, n}, {"W", Kind::Array, nnk},
                  {"X", Kind::Array, nk}, kK},
                 column_nn});
    c.push_back({"pair_matrix_step", {kN, kT, {"P", Kind::Array, nn}, {"Q", Kind::Array, nn}},
                 column_nn});
    return c;
}

}  // namespace

const std::vector<ModuleInfo> &catalog(const std::string &profile) {
    static const std::vector<ModuleInfo> linux_ = build("linux");
    static const std::vector<ModuleInfo> windows_ = build("windows");
    static const std::vector<ModuleInfo> macos_ = build("macos");
    if (profile == "windows") return windows_;
    if (profile == "macos") return macos_;
    return linux_;
}

const ModuleInfo &find_module(const std::string &profile, const std::string &name) {
    for (const ModuleInfo &m : catalog(profile))
        if (m.name == name) return m;
    throw std::invalid_argument("no module " + name);
}

std::vector<const mxArray *> pointers(const std::vector<pkhost::Array> &args) {
    std::vector<const mxArray *> p;
    for (const pkhost::Array &a : args) p.push_back(a.get());
    return p;
}

}  // namespace pktest
