#include "support.h"

#include <cmath>
#include <cstring>
#include <limits>
#include <map>
#include <memory>
#include <mutex>
#include <random>
#include <sstream>

namespace pktest {

std::string module_path(const std::string &name, const std::string &profile) {
    return std::string(PK_STANDIN_DIR) + "/" + profile + "/" + name + PK_MODULE_SUFFIX;
}

const pkhost::Module &module(const std::string &name, const std::string &profile) {
    static std::mutex mutex;
    static std::map<std::string, std::unique_ptr<pkhost::Module>> loaded;
    std::lock_guard<std::mutex> lock(mutex);
    std::unique_ptr<pkhost::Module> &m = loaded[profile + "/" + name];
    if (!m) m.reset(new pkhost::Module(module_path(name, profile)));
    return *m;
}

const std::vector<std::string> &isa_variants(const std::string &profile) {
    static const std::vector<std::string> linux{"linux", "linux-avx2", "linux-sse2"};
    static const std::vector<std::string> windows{"windows", "windows-avx2", "windows-sse2"};
    return profile == "windows" ? windows : linux;
}

uint64_t bits(double v) {
    uint64_t b;
    std::memcpy(&b, &v, sizeof b);
    return b;
}

::testing::AssertionResult SameBits(const std::vector<double> &actual,
                                    const std::vector<double> &expected) {
    if (actual.size() != expected.size())
        return ::testing::AssertionFailure()
               << "length " << actual.size() << ", expected " << expected.size();
    for (std::size_t k = 0; k < actual.size(); ++k) {
        const bool both_nan = std::isnan(actual[k]) && std::isnan(expected[k]);
        if (!both_nan && bits(actual[k]) != bits(expected[k])) {
            std::ostringstream s;
            s.precision(17);
            s << "element " << k << " is " << actual[k] << " (0x" << std::hex << bits(actual[k])
              << "), expected " << std::dec << expected[k] << " (0x" << std::hex
              << bits(expected[k]) << ")";
            return ::testing::AssertionFailure() << s.str();
        }
    }
    return ::testing::AssertionSuccess();
}

::testing::AssertionResult HasShape(const pkhost::CallResult &r, int64_t rows, int64_t cols) {
    if (r.failed) return ::testing::AssertionFailure() << "call failed: " << r.id << ": " << r.message;
    if (!r.result) return ::testing::AssertionFailure() << "no result stored in plhs[0]";
    const int64_t m = static_cast<int64_t>(mxGetM(r.result.get()));
    const int64_t n = static_cast<int64_t>(mxGetN(r.result.get()));
    if (m != rows || n != cols)
        return ::testing::AssertionFailure()
               << "result is " << m << "x" << n << ", expected " << rows << "x" << cols;
    return ::testing::AssertionSuccess();
}

::testing::AssertionResult FailsWith(const pkhost::CallResult &r, const std::string &id) {
    if (!r.failed) return ::testing::AssertionFailure() << "call succeeded, expected " << id;
    if (r.id != id)
        return ::testing::AssertionFailure() << "failed with " << r.id << " (" << r.message
                                             << "), expected " << id;
    if (r.result) return ::testing::AssertionFailure() << "a failed call left a result";
    return ::testing::AssertionSuccess();
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
