// Assertions of the C++ tests (bit-exact comparison, result shapes, error identifiers), beside the
// shared harness (loading modules, variants, awkward inputs) and the module catalogue.
#ifndef PAIRKERNELS_TESTS_SUPPORT_H
#define PAIRKERNELS_TESTS_SUPPORT_H

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
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

}  // namespace pktest

#endif
