#include "support.h"

#include <cmath>
#include <sstream>

#include "literal.h"

namespace pktest {

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

std::vector<double> literal_values(const std::string &module,
                                   const std::vector<const mxArray *> &args,
                                   const std::string &profile) {
    return pkliteral::result(find_module(profile, module), args);
}

std::vector<double> literal_values(const std::string &module,
                                   const std::vector<pkhost::Array> &args,
                                   const std::string &profile) {
    return literal_values(module, pointers(args), profile);
}

::testing::AssertionResult MatchesLiteral(const std::string &module, const std::string &build,
                                          const std::vector<const mxArray *> &args) {
    const pkhost::CallResult r = pktest::module(module, build).call(args);
    const std::vector<double> expected =
        literal_values(module, args, build.substr(0, build.find('/')));
    if (r.failed)
        return ::testing::AssertionFailure() << "call failed: " << r.id << ": " << r.message;
    if (!r.result) return ::testing::AssertionFailure() << "no result stored in plhs[0]";
    return SameBits(result_values(r), expected);
}

::testing::AssertionResult MatchesLiteral(const std::string &module, const std::string &build,
                                          const std::vector<pkhost::Array> &args) {
    return MatchesLiteral(module, build, pointers(args));
}

}  // namespace pktest
