// Shared helpers of the C++ tests: loading modules, bit-exact comparison, awkward inputs.
#ifndef PAIRKERNELS_TESTS_SUPPORT_H
#define PAIRKERNELS_TESTS_SUPPORT_H

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "pkhost.h"

namespace pktest {

// The stand-in-host build of `name` in `profile` (linux, windows, macos); loaded once per process.
const pkhost::Module &module(const std::string &name, const std::string &profile = "linux");
std::string module_path(const std::string &name, const std::string &profile = "linux");

// The stand-in-host builds of `profile` (linux or windows) that reach each instruction-set
// variant of the kernels this machine can run: the uncapped build and those capped at AVX2 and
// at SSE2. Pass one as the profile of module().
const std::vector<std::string> &isa_variants(const std::string &profile);

uint64_t bits(double v);

// Equal bit for bit, except that any NaN equals any NaN.
::testing::AssertionResult SameBits(const std::vector<double> &actual,
                                    const std::vector<double> &expected);

// A succeeded call whose result has this shape.
::testing::AssertionResult HasShape(const pkhost::CallResult &r, int64_t rows, int64_t cols);
// A failed call with this error identifier.
::testing::AssertionResult FailsWith(const pkhost::CallResult &r, const std::string &id);

// n random doubles of mixed magnitude and sign; about `special` of them are NaN, ±Inf, ±0.0 or
// subnormal.
std::vector<double> awkward_values(std::size_t n, uint64_t seed, double special = 0.1);

// The result's data, column-major.
std::vector<double> result_values(const pkhost::CallResult &r);

}  // namespace pktest

#endif
