// The numeric flags the modules are built with forbid fused multiply-add.
#include <cmath>

#include <gtest/gtest.h>

double pk_probe_multiply_add(double a, double b, double c);

namespace {

TEST(Numerics, ModuleFlagsForbidFusedMultiplyAdd) {
    // a*b = 1 - 2^-60 rounds to 1, so the unfused result is 0 and the fused one -2^-60.
    const double a = 1.0 + std::ldexp(1.0, -30), b = 1.0 - std::ldexp(1.0, -30);
    EXPECT_EQ(pk_probe_multiply_add(a, b, -1.0), 0.0);
}

}  // namespace
