#include "harness.h"

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <map>
#include <memory>
#include <mutex>
#include <random>
#include <stdexcept>

namespace pktest {

namespace {

std::string setting(const char *variable, const char *otherwise) {
    const char *v = std::getenv(variable);
    return v != nullptr && *v != '\0' ? v : otherwise;
}

}  // namespace

std::string module_folder() { return setting("PKTEST_MODULE_DIR", PK_STANDIN_DIR); }
std::string module_suffix() { return setting("PKTEST_MODULE_SUFFIX", PK_MODULE_SUFFIX); }

std::string module_path(const std::string &name, const std::string &profile) {
    return module_folder() + "/" + profile + "/" + name + module_suffix();
}

pkhost::CallResult Build::call(const std::vector<const mxArray *> &args, int nlhs) const {
    pkhost::set_simd_cap(level_);
    pkhost::CallResult r = module_.call(args, nlhs);
    pkhost::set_simd_cap(-1);
    return r;
}

std::string simd_name(int level) {
    switch (level) {
        case 2: return "avx512";
        case 1: return "avx2";
#if defined(__x86_64__) || defined(_M_X64)
        default: return "sse2";
#else
        default: return "generic";
#endif
    }
}

const Build &module(const std::string &name, const std::string &build) {
    static std::mutex mutex;
    static std::map<std::string, std::unique_ptr<pkhost::Module>> loaded;
    static std::map<std::string, std::unique_ptr<Build>> builds;
    const std::size_t slash = build.find('/');
    const std::string profile = build.substr(0, slash);
    int level = -1;
    if (slash != std::string::npos) {
        const std::string variant = build.substr(slash + 1);
        for (int l = 0; l <= 2 && level < 0; ++l)
            if (simd_name(l) == variant) level = l;
        if (level < 0) throw std::invalid_argument("no kernel variant " + variant);
    }
    std::lock_guard<std::mutex> lock(mutex);
    std::unique_ptr<Build> &b = builds[build + ":" + name];
    if (!b) {
        std::unique_ptr<pkhost::Module> &m = loaded[profile + "/" + name];
        if (!m) m.reset(new pkhost::Module(module_path(name, profile)));
        b.reset(new Build(*m, level));
    }
    return *b;
}

int machine_simd_level() {
    // Every call of repeated_vector_sum with N >= 1 chooses a variant.
    static const int level = [] {
        pkhost::Array one = pkhost::scalar(1.0), v = pkhost::doubles({1.0});
        return module("repeated_vector_sum").call({one.get(), one.get(), v.get(), v.get()}).simd_detected;
    }();
    return level;
}

const std::vector<std::string> &variants(const std::string &profile) {
    static std::mutex mutex;
    static std::map<std::string, std::vector<std::string>> all;
    const int widest = machine_simd_level();
    std::lock_guard<std::mutex> lock(mutex);
    std::vector<std::string> &v = all[profile];
    if (v.empty())
        for (int l = widest; l >= 0; --l) v.push_back(profile + "/" + simd_name(l));
    return v;
}

uint64_t bits(double v) {
    uint64_t b;
    std::memcpy(&b, &v, sizeof b);
    return b;
}

std::vector<double> awkward_values(std::size_t n, uint64_t seed, double special) {
    std::mt19937_64 rng(seed);
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    std::uniform_int_distribution<int> exponent(-30, 30);
    const double specials[] = {std::numeric_limits<double>::quiet_NaN(),
                               std::numeric_limits<double>::infinity(),
                               -std::numeric_limits<double>::infinity(),
                               0.0,
                               -0.0,
                               std::numeric_limits<double>::denorm_min(),
                               -3.5 * std::numeric_limits<double>::denorm_min(),
                               1e308};
    std::vector<double> v(n);
    for (double &x : v) {
        if (unit(rng) < special) {
            x = specials[rng() % (sizeof specials / sizeof specials[0])];
        } else {
            x = std::ldexp(unit(rng) * 2.0 - 1.0, exponent(rng));
        }
    }
    return v;
}

std::vector<double> result_values(const pkhost::CallResult &r) {
    return r.result ? pkhost::values(r.result.get()) : std::vector<double>();
}

}  // namespace pktest
