// Assertions of the C++ tests (bit-exact comparison, result shapes, error identifiers, results
// against the literal references), beside the shared harness (loading modules, variants, awkward
// inputs) and the module catalogue.
#ifndef PAIRKERNELS_TESTS_SUPPORT_H
#define PAIRKERNELS_TESTS_SUPPORT_H

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "catalog.h"
#include "harness.h"
#include "pkhost.h"

namespace pktest {

// Equal bit for bit, except that any NaN equals any NaN.
::testing::AssertionResult SameBits(const std::vector<double> &actual,
                                    const std::vector<double> &expected);

// A succeeded call whose result has this shape.
::testing::AssertionResult HasShape(const pkhost::CallResult &r, int64_t rows, int64_t cols);
// A failed call with this error identifier.
::testing::AssertionResult FailsWith(const pkhost::CallResult &r, const std::string &id);

// An argument list of the arrays given (pkhost::scalar, pkhost::doubles, ...), in order.
template <class... A>
std::vector<pkhost::Array> arguments(A &&...a) {
    std::vector<pkhost::Array> list;
    list.reserve(sizeof...(a));
    (list.push_back(std::forward<A>(a)), ...);
    return list;
}

// The literal reference's result (pkliteral::result) of a call of `module` as built in `profile`.
std::vector<double> literal_values(const std::string &module,
                                   const std::vector<const mxArray *> &args,
                                   const std::string &profile = "linux");
std::vector<double> literal_values(const std::string &module,
                                   const std::vector<pkhost::Array> &args,
                                   const std::string &profile = "linux");

// A succeeded call of `module` in `build` (a profile, or "<profile>/<variant>") whose result
// holds the literal reference's elements, bit for bit.
::testing::AssertionResult MatchesLiteral(const std::string &module, const std::string &build,
                                          const std::vector<const mxArray *> &args);
::testing::AssertionResult MatchesLiteral(const std::string &module, const std::string &build,
                                          const std::vector<pkhost::Array> &args);

}  // namespace pktest

#endif
