// Compiled with the modules' numeric flags and with fused multiply-add instructions allowed (on
// x86-64 by the fma target; arm64 always has them): if those flags did not forbid contraction,
// the compiler would fuse this multiply-add.
#include "simd.h"

#if PK_SIMD_X86
#define PK_PROBE_TARGET __attribute__((target("fma"), noinline))
#else
#define PK_PROBE_TARGET __attribute__((noinline))
#endif

PK_PROBE_TARGET double pk_probe_multiply_add(double a, double b, double c) { return a * b + c; }
