// The instruction sets the kernels are built for, and the one place that picks among them.
//
// A kernel states its variants once, as a struct with one templated body:
//
//   struct Step {
//       template <class Target>
//       static PK_INLINE void run(int64_t n, double t, const double *P, double *R);
//   };
//   ...
//   pk::simd::dispatch<Step>(n, t, P, R);
//
// dispatch() instantiates the body once per target of this processor family, each in a function
// of its own compiled for that target, and calls the widest one the processor offers (chosen()).
// Target::lanes is the widest vector the target has (2, 4 or 8 doubles); a body may use narrower
// ones (widest_lanes() helps). A kernel whose body gains nothing from a wider target says so with
// `static constexpr pk::simd::Level widest = pk::simd::Level::avx2;`. Every variant computes the
// same bits: bodies vectorize only across independent outputs and keep every sum's order. Only a
// NaN result may differ in sign and payload (which NaN operand an addition passes on is the
// compiler's choice of operand order), never in position.
//
// x86-64: base (SSE2, which every x86-64 processor has), avx2, avx512 (F, DQ and VL). Any other
// processor: base only, the compiler's generic vectors (NEON on arm64).
#ifndef PAIRKERNELS_SIMD_DISPATCH_H
#define PAIRKERNELS_SIMD_DISPATCH_H

#include "simd.h"

namespace pk {
namespace simd {

enum class Level : int { base = 0, avx2 = 1, avx512 = 2 };

// The widest level this processor and its operating system support, detected once per process
// (cpu.cpp). Builds for the stand-in test host also let the host lower it per call, so that tests
// reach every variant of the same module file; no other build reads anything but the processor.
Level chosen();

// The level's name: "sse2" (x86-64 base), "generic" (base elsewhere), "avx2", "avx512".
const char *name(Level level);

struct Base {
    static constexpr Level level = Level::base;
    static constexpr int lanes = 2;
};

#if PK_SIMD_X86
struct Avx2 {
    static constexpr Level level = Level::avx2;
    static constexpr int lanes = 4;
};

struct Avx512 {
    static constexpr Level level = Level::avx512;
    static constexpr int lanes = 8;
};

#define PK_TARGET_AVX2 __attribute__((target("avx2")))
#define PK_TARGET_AVX512 __attribute__((target("avx512f,avx512dq,avx512vl")))
#endif

namespace detail {

template <class Kernel, class = void>
struct Widest {
    static constexpr Level value = Level::avx512;
};
template <class Kernel>
struct Widest<Kernel, decltype(void(Kernel::widest))> {
    static constexpr Level value = Kernel::widest;
};

// One out-of-line function per target, so that the function that chooses stays small and a
// small call costs no more than a plain loop.
template <class Kernel, class... A>
__attribute__((noinline)) void run_base(A... a) {
    Kernel::template run<Base>(a...);
}

#if PK_SIMD_X86
template <class Kernel, class... A>
__attribute__((noinline)) PK_TARGET_AVX2 void run_avx2(A... a) {
    Kernel::template run<Avx2>(a...);
}

template <class Kernel, class... A>
__attribute__((noinline)) PK_TARGET_AVX512 void run_avx512(A... a) {
    Kernel::template run<Avx512>(a...);
}
#endif

}  // namespace detail

// Runs Kernel::run<Target>(a...) for the widest target that both the processor and the kernel
// allow. Arguments are sizes, scalars and pointers, passed by value.
template <class Kernel, class... A>
inline void dispatch(A... a) {
    const Level level = chosen();  // also where there is only one target: the test host sees it
    constexpr Level widest = detail::Widest<Kernel>::value;
    static_cast<void>(widest);  // no wider target to cap elsewhere
#if PK_SIMD_X86
    if constexpr (widest >= Level::avx512)
        if (level >= Level::avx512) return detail::run_avx512<Kernel, A...>(a...);
    if constexpr (widest >= Level::avx2)
        if (level >= Level::avx2) return detail::run_avx2<Kernel, A...>(a...);
#endif
    static_cast<void>(level);
    detail::run_base<Kernel, A...>(a...);
}

// Calls Body::run<L>(a...) with the widest lane count L of 8, 4 and 2 that Target has and that is
// at most `limit` (2 when the limit is below 2). For kernels whose blocks of L components must
// fit a vector width K.
template <class Target, class Body, class... A>
PK_INLINE void widest_lanes(int64_t limit, A... a) {
    if constexpr (Target::lanes >= 8)
        if (limit >= 8) return Body::template run<8>(a...);
    if constexpr (Target::lanes >= 4)
        if (limit >= 4) return Body::template run<4>(a...);
    Body::template run<2>(a...);
}

// The limit for widest_lanes of a body that takes a width-K vector's components in blocks of L
// (so K >= L) or, for K = 1, puts consecutive vectors in the lanes: any width serves K <= 1.
PK_INLINE int64_t blocks_of(int64_t K) { return K <= 1 ? 8 : K; }

}  // namespace simd
}  // namespace pk

#endif
