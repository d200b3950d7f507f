// Which instruction set a kernel may use, chosen at run time.
//
// Modules are built for any x86-64 processor (SSE2). A kernel that has wider variants compiles
// them with target attributes and picks one per call with pk::isa(); every variant computes the
// same bits, since each keeps every sum's order and vectorizes only across independent outputs.
// Builds can cap the choice with PK_ISA_MAX (0 = SSE2, 1 = AVX2, 2 = AVX-512) so tests can run
// every variant the test machine supports.
#ifndef PAIRKERNELS_ISA_H
#define PAIRKERNELS_ISA_H

#ifndef PK_ISA_MAX
#define PK_ISA_MAX 2
#endif

namespace pk {

enum class Isa { sse2 = 0, avx2 = 1, avx512 = 2 };

inline Isa isa() {
#if defined(__x86_64__) || defined(_M_X64)
    __builtin_cpu_init();
    if (PK_ISA_MAX >= 2 && __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512dq") &&
        __builtin_cpu_supports("avx512vl"))
        return Isa::avx512;
    if (PK_ISA_MAX >= 1 && __builtin_cpu_supports("avx2")) return Isa::avx2;
#endif
    return Isa::sse2;
}

}  // namespace pk

#endif
