// libFuzzer target: decodes its input into a module, a profile and an argument list (count,
// classes, complexity, sparsity, shapes, and values including NaN, ±Inf, -0.0, fractional,
// negative and huge sizes), calls the module through the stand-in host (guard pages after every
// array) and checks that the call either raised a pairkernels:<module>: error or returned a
// result of the shape the module's size formulas give. A crash or an out-of-bounds access is
// caught by the guard pages and the sanitizers.
//
// PK_FUZZ_MODULE=<name> restricts the run to one module.
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include "catalog.h"
#include "gateway.h"
#include "harness.h"
#include "pkhost.h"

namespace {

class Input {
public:
    Input(const uint8_t *data, std::size_t size) : data_(data), size_(size) {}
    uint8_t byte() { return pos_ < size_ ? data_[pos_++] : 0; }
    double raw_double() {
        uint64_t b = 0;
        for (int k = 0; k < 8; ++k) b = (b << 8) | byte();
        double v;
        std::memcpy(&v, &b, sizeof v);
        return v;
    }

private:
    const uint8_t *data_;
    std::size_t size_;
    std::size_t pos_ = 0;
};

const double kInf = std::numeric_limits<double>::infinity();
const double kNaN = std::numeric_limits<double>::quiet_NaN();

double size_value(Input &in) {
    static const double palette[] = {0, 1, 2, 3, 4, 5, 7, -1, -2, -3, 2.9, -0.5, -0.0, 0.99,
                                     kNaN, kInf, -kInf, 1e10, 2147483647.0, 2147483648.0,
                                     -2147483648.0, 46340, 46341, 1290, 1291, 65536, 1e300, 600};
    const uint8_t b = in.byte();
    if (b < 200) return palette[b % 8];  // mostly small sizes, so many calls are valid
    if (b < 250) return palette[b % (sizeof palette / sizeof palette[0])];
    return in.raw_double();
}

double element_value(Input &in) {
    static const double palette[] = {0.0, -0.0, 1.0, -1.5, kNaN, kInf, -kInf, 1e308, 5e-324,
                                     -2.2250738585072014e-308, 1e16, 3.0};
    const uint8_t b = in.byte();
    if (b < 240) return palette[b % (sizeof palette / sizeof palette[0])];
    return in.raw_double();
}

// An argument of any class, shaped around `length` elements.
pkhost::Array make_argument(Input &in, pktest::Kind kind, double scalar_value, int64_t length) {
    const uint8_t cls = in.byte();
    if (kind != pktest::Kind::Array) {
        switch (cls % 16) {
            case 0: return pkhost::numeric(mxINT32_CLASS, {scalar_value});
            case 1: return pkhost::numeric(mxLOGICAL_CLASS, {scalar_value});
            case 2: return pkhost::chars("3");
            case 3: return pkhost::cell(1, 1);
            case 4: return pkhost::doubles({});
            case 5: return pkhost::doubles({scalar_value, scalar_value});
            case 6: return pkhost::sparse_doubles(1, 1, {scalar_value});
            case 7: return pkhost::complex_doubles({scalar_value}, {element_value(in)});
            default: return pkhost::scalar(scalar_value);
        }
    }
    const uint8_t delta = in.byte();
    int64_t n = length;
    if (delta % 8 == 0) n = length - 1;
    if (delta % 8 == 1) n = length + 1 + delta / 8;
    if (delta % 8 == 2) n = delta / 8;
    if (n < 0) n = 0;
    if (n > (1 << 20)) n = 1 << 20;
    std::vector<double> v(static_cast<std::size_t>(n));
    const std::size_t distinct = 16;
    double head[distinct];
    for (double &h : head) h = element_value(in);
    for (std::size_t k = 0; k < v.size(); ++k) v[k] = head[k % distinct];
    switch (cls % 16) {
        case 0: return pkhost::numeric(mxINT32_CLASS, v);
        case 1: return pkhost::numeric(mxSINGLE_CLASS, v);
        case 2: return pkhost::numeric(mxLOGICAL_CLASS, v);
        case 3: return pkhost::chars(std::string(static_cast<std::size_t>(n), 'a'));
        case 4: return pkhost::cell(1, n);
        case 5: return pkhost::structure(1, 1);
        case 6: return pkhost::sparse_doubles(n, 1, std::vector<double>(v.begin(), v.begin() + n / 2));
        case 7: return pkhost::complex_doubles(v, v);
        case 8: return pkhost::doubles(1, n, v);
        default: return pkhost::doubles(v);
    }
}

[[noreturn]] void violation(const std::string &what) {
    std::fprintf(stderr, "invariant broken: %s\n", what.c_str());
    std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***) {
    pkhost::set_result_limit(std::size_t(64) << 20);
    // Load every module before fuzzing starts, so that their coverage counters are known from
    // the first input on.
    const char *only = std::getenv("PK_FUZZ_MODULE");
    for (const pktest::ModuleBuild &b : pktest::module_builds())
        if (only == nullptr || b.module->name == only) pktest::module(b.module->name, b.profile);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, std::size_t size) {
    Input in(data, size);
    // A profile and a module; a module compiled once runs in its first profile's build.
    const std::string &requested = pktest::profiles()[in.byte() % pktest::profiles().size()];
    const std::vector<pktest::ModuleInfo> &all = pktest::catalog(requested);
    const uint8_t pick = in.byte();
    const char *only = std::getenv("PK_FUZZ_MODULE");
    const pktest::ModuleBuild &build =
        pktest::module_build(requested, only ? std::string(only) : all[pick % all.size()].name);
    const std::string &profile = build.profile;
    const pktest::ModuleInfo &m = *build.module;

    // Sizes first (arrays are shaped around them), then the argument list.
    const double N = size_value(in), K = size_value(in), r = size_value(in), t = element_value(in);
    pktest::Sizes s{pk::to_size(N), pk::to_size(K), pk::to_size(r)};
    const int P = static_cast<int>(m.args.size());
    const uint8_t count = in.byte();
    int nargs = P + (count % 3 == 2 ? 1 : 0);
    if (count % 16 == 15) nargs = count / 16 % (P + 1);
    const int nlhs = in.byte() % 8 == 7 ? 2 : (in.byte() % 2);

    std::vector<pkhost::Array> args;
    for (int p = 0; p < nargs; ++p) {
        if (p >= P) {
            args.push_back(pkhost::chars("extra"));
            continue;
        }
        const pktest::Arg &a = m.args[static_cast<std::size_t>(p)];
        const std::string name = a.name;
        double value = name == "N" ? N : name == "K" ? K : name == "r" ? r : t;
        int64_t length = 0;
        if (a.kind == pktest::Kind::Array && s.N > 0 && s.N <= 1024 && s.K >= 0 && s.K <= 1024 &&
            s.r >= 0 && s.r <= 1024)
            length = a.length(s);
        args.push_back(make_argument(in, a.kind, value, length));
    }

    // repeated_vector_sum does N*K additions by design (K is its work knob): past 1e8 a single
    // input takes seconds and teaches the fuzzer nothing new.
    if (m.name == "repeated_vector_sum" && static_cast<double>(s.N) * static_cast<double>(s.K) > 1e8)
        return 0;

    pkhost::CallResult res = pktest::module(m.name, profile).call(pktest::pointers(args), nlhs);
    if (res.failed) {
        const std::string prefix = "pairkernels:" + m.name + ":";
        if (res.id.compare(0, prefix.size(), prefix) != 0 && res.id != "standin:outOfMemory")
            violation(m.name + " raised " + res.id + ": " + res.message);
        return 0;
    }
    // A result exists, so every size argument was a valid scalar: recompute the converted sizes
    // from what was passed.
    pktest::Sizes got;
    for (int p = 0; p < P; ++p) {
        const std::string name = m.args[static_cast<std::size_t>(p)].name;
        if (m.args[static_cast<std::size_t>(p)].kind != pktest::Kind::Size) continue;
        const int64_t v = pk::to_size(pkhost::values(args[static_cast<std::size_t>(p)].get())[0]);
        (name == "N" ? got.N : name == "K" ? got.K : got.r) = v;
    }
    const pktest::Shape want = m.shape(got);
    if (!res.result) violation(m.name + " returned no result");
    if (static_cast<int64_t>(mxGetM(res.result.get())) != want.rows ||
        static_cast<int64_t>(mxGetN(res.result.get())) != want.cols)
        violation(m.name + " returned a result of the wrong shape");
    return 0;
}
