// The vector vocabulary of the kernels: fixed-width double vectors and what kernels do with them
// (loads, stores, streaming stores, transposes, tiles, prefetches).
//
// pk::simd::Vec<L>::type is a GCC/Clang vector of L doubles (L = 2, 4 or 8). A kernel body is
// written once over L and always inlined; it compiles to the instruction set of the function it
// is inlined into (the variants dispatch.h instantiates), since vector operations are lowered
// with that function's target. Every operation is the lane-wise IEEE operation: lane l of a + b
// is exactly the scalar a[l] + b[l], so a vector carries L separate sums side by side, and
// a * b + c stays two rounded operations (the modules are built with -ffp-contract=off).
//
// Vectors go by reference between helpers: a vector passed by value across a function boundary
// would depend on the instruction set that function was compiled for.
//
// PK_SIMD_X86 is the one guard of x86-only code: on any other processor the same kernels compile
// to the compiler's generic vectors (NEON on arm64) and plain stores.
#ifndef PAIRKERNELS_SIMD_SIMD_H
#define PAIRKERNELS_SIMD_SIMD_H

#include <cstdint>

#if defined(__x86_64__) || defined(_M_X64)
#define PK_SIMD_X86 1
#else
#define PK_SIMD_X86 0
#endif

#define PK_INLINE inline __attribute__((always_inline))
// Fully unrolls a loop over a tile's fixed extent, so that arrays of vectors stay in registers.
// The sanitizer builds define PK_ROLLED_LOOPS and keep such loops rolled: the same loads,
// operations and stores in the same order, with a fraction of the instrumented code to compile
// (unrolled, repeated_vector_sum alone took six minutes under ASan and UBSan).
#ifdef PK_ROLLED_LOOPS
#define PK_UNROLL
#else
#define PK_UNROLL _Pragma("GCC unroll 16")
#endif

namespace pk {
namespace simd {

typedef double v2 __attribute__((vector_size(16)));
typedef double v4 __attribute__((vector_size(32)));
typedef double v8 __attribute__((vector_size(64)));
// The same vectors at any double's address, allowed to alias doubles (unaligned accesses). Spelt
// out, not formed inside a template: GCC before 11 drops the aligned(8) of a typedef that
// depends on a template parameter, and then moves such a vector with an aligned instruction,
// which faults on memory aligned to 16 bytes only (Octave's arrays).
typedef double v2u __attribute__((vector_size(16), aligned(8), may_alias));
typedef double v4u __attribute__((vector_size(32), aligned(8), may_alias));
typedef double v8u __attribute__((vector_size(64), aligned(8), may_alias));
// The same at an address aligned to the vector's size (load_aligned).
typedef double v2a __attribute__((vector_size(16), may_alias));
typedef double v4a __attribute__((vector_size(32), may_alias));
typedef double v8a __attribute__((vector_size(64), may_alias));

template <int L>
struct Vec;
template <>
struct Vec<2> {
    typedef v2 type;
    typedef v2u unaligned;
    typedef v2a aligned;
};
template <>
struct Vec<4> {
    typedef v4 type;
    typedef v4u unaligned;
    typedef v4a aligned;
};
template <>
struct Vec<8> {
    typedef v8 type;
    typedef v8u unaligned;
    typedef v8a aligned;
};
static_assert(alignof(v8u) == 8 && alignof(Vec<8>::unaligned) == 8,
              "unaligned vectors must keep the alignment of a double");

// Lanes of a vector type.
template <class V>
constexpr int lanes = static_cast<int>(sizeof(V) / sizeof(double));

template <class V>
using Unaligned = typename Vec<lanes<V>>::unaligned;

template <class V>
constexpr bool unaligned_ok = alignof(Unaligned<V>) == alignof(double);

// GCC before 11, tuned for generic x86-64 (its default), splits every 256-bit load and store
// whose alignment it does not know into two 128-bit halves (vinsertf128, vextractf128), which made
// the AVX2 kernels up to 2.5 times slower than with GCC 12; the split follows -mtune, and neither a
// function's target attribute nor its tune= undoes it. Its builtins for the unaligned moves,
// __builtin_ia32_loadupd256 and storeupd256, are the one instruction, and unlike an asm statement
// they leave the compiler free to fold a load into the arithmetic that takes it and to keep
// accumulators in registers across it. So there the 256-bit moves are these builtins. The same
// load and store either way, so the same bits.
#if PK_SIMD_X86 && defined(__GNUC__) && !defined(__clang__) && __GNUC__ < 11
#define PK_SIMD_WHOLE_256_MOVES 1
#else
#define PK_SIMD_WHOLE_256_MOVES 0
#endif

#if PK_SIMD_WHOLE_256_MOVES
// The AVX builtins are declared once a target with AVX has been named. The moves are always
// inlined into a variant compiled for AVX2 or AVX-512, so no 256-bit vector ever crosses a call
// of the base ABI, which -Wpsabi warns of where a template calls them.
#pragma GCC push_options
#pragma GCC target("avx")
#pragma GCC pop_options
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wpsabi"
#endif

template <class V>
PK_INLINE void load(V &v, const double *p) {
    static_assert(unaligned_ok<V>, "an unaligned load must not assume the vector's alignment");
#if PK_SIMD_WHOLE_256_MOVES
    if constexpr (sizeof(V) == 32) {
        v = __builtin_ia32_loadupd256(p);
        return;
    }
#endif
    v = *reinterpret_cast<const Unaligned<V> *>(p);
}

// A load from an address aligned to the vector's size (anything else faults): a plain aligned
// move in every compiler, which any of them may fold into the arithmetic that takes it. For a
// kernel's own scratch, which it can lay out so.
template <class V>
PK_INLINE void load_aligned(V &v, const double *p) {
    v = *reinterpret_cast<const typename Vec<lanes<V>>::aligned *>(p);
}

template <class V>
PK_INLINE void store(double *p, const V &v) {
    static_assert(unaligned_ok<V>, "an unaligned store must not assume the vector's alignment");
#if PK_SIMD_WHOLE_256_MOVES
    if constexpr (sizeof(V) == 32) {
        __builtin_ia32_storeupd256(p, v);
        return;
    }
#endif
    *reinterpret_cast<Unaligned<V> *>(p) = v;
}

#if PK_SIMD_WHOLE_256_MOVES
#pragma GCC diagnostic pop
#endif

// Every lane of v set to x (x itself: a -0.0 stays -0.0).
template <class V>
PK_INLINE void broadcast(V &v, double x) {
    for (int l = 0; l < lanes<V>; ++l) v[l] = x;
}

// A store that goes to memory without first reading the line into the cache (x86: movntpd);
// p must be aligned to the vector's size. Elsewhere an ordinary store. Either way the same
// values; stream_fence() orders them before what follows.
template <class V>
PK_INLINE void stream(double *p, const V &v) {
#if PK_SIMD_X86 && defined(__clang__)
    // Clang checks asm operands against this function's own target, not the variant it is
    // inlined into; its generic builtin is lowered for the variant.
    __builtin_nontemporal_store(v, reinterpret_cast<V *>(p));
#elif PK_SIMD_X86
    if constexpr (sizeof(V) == 16)
        __asm__("movntpd %1, %0" : "=m"(*reinterpret_cast<V *>(p)) : "x"(v));
    else
        __asm__("vmovntpd %1, %0" : "=m"(*reinterpret_cast<V *>(p)) : "v"(v));
#else
    store(p, v);
#endif
}

PK_INLINE void stream_fence() {
#if PK_SIMD_X86
    __builtin_ia32_sfence();
#endif
}

// out = lanes I... of the concatenation a:b (lanes 0 .. L-1 of a, then L .. 2L-1 of b), each
// index a constant. Clang and GCC 12 spell it __builtin_shufflevector; older GCC only has
// __builtin_shuffle, which takes the indices as an integer vector of the same shape. Both lower
// the same constant permutation, so the choice changes no value.
template <int... I, class V>
PK_INLINE void shuffle(V &out, const V &a, const V &b) {
    static_assert(sizeof...(I) == lanes<V>, "a shuffle selects one index per lane");
#if defined(__clang__) || __GNUC__ >= 12
    out = __builtin_shufflevector(a, b, I...);
#else
    typedef long long Mask __attribute__((vector_size(sizeof(V))));
    out = __builtin_shuffle(a, b, Mask{I...});
#endif
}

// How many of the `n` doubles from p come before the first 64-byte boundary.
PK_INLINE int64_t before_boundary(const double *p, int64_t n) {
    const int64_t h = static_cast<int64_t>((64 - reinterpret_cast<uintptr_t>(p) % 64) % 64 / 8);
    return h < n ? h : n;
}

// Asks for the cache lines of the `count` doubles that lie `ahead` bytes past p. Only a hint: the
// address is never dereferenced, so it may lie past the end of the array.
PK_INLINE void prefetch(const double *p, int64_t count, uintptr_t ahead) {
    for (int64_t c = 0; c < count; c += 8)
        __builtin_prefetch(
            reinterpret_cast<const void *>(reinterpret_cast<uintptr_t>(p + c) + ahead));
}

// out[v] lane u = in[u] lane v: the transpose of the L-by-L matrix whose rows are in[0 .. L-1].
template <int L>
struct Transpose;

template <>
struct Transpose<2> {
    typedef v2 V;
    static PK_INLINE void run(const V (&in)[2], V (&out)[2]) {
        shuffle<0, 2>(out[0], in[0], in[1]);
        shuffle<1, 3>(out[1], in[0], in[1]);
    }
};

template <>
struct Transpose<4> {
    typedef v4 V;
    static PK_INLINE void run(const V (&in)[4], V (&out)[4]) {
        V t0, t1, t2, t3;
        shuffle<0, 4, 2, 6>(t0, in[0], in[1]);
        shuffle<1, 5, 3, 7>(t1, in[0], in[1]);
        shuffle<0, 4, 2, 6>(t2, in[2], in[3]);
        shuffle<1, 5, 3, 7>(t3, in[2], in[3]);
        shuffle<0, 1, 4, 5>(out[0], t0, t2);
        shuffle<0, 1, 4, 5>(out[1], t1, t3);
        shuffle<2, 3, 6, 7>(out[2], t0, t2);
        shuffle<2, 3, 6, 7>(out[3], t1, t3);
    }
};

template <>
struct Transpose<8> {
    typedef v8 V;
    static PK_INLINE void run(const V (&in)[8], V (&out)[8]) {
        V a[8], b[8];
        PK_UNROLL
        for (int k = 0; k < 8; k += 2) {  // 2-by-2 blocks
            shuffle<0, 8, 2, 10, 4, 12, 6, 14>(a[k], in[k], in[k + 1]);
            shuffle<1, 9, 3, 11, 5, 13, 7, 15>(a[k + 1], in[k], in[k + 1]);
        }
        PK_UNROLL
        for (int k = 0; k < 8; k += 4)  // 4-by-4 blocks
            PK_UNROLL
            for (int u = 0; u < 2; ++u) {
                shuffle<0, 1, 8, 9, 4, 5, 12, 13>(b[k + u], a[k + u], a[k + u + 2]);
                shuffle<2, 3, 10, 11, 6, 7, 14, 15>(b[k + u + 2], a[k + u], a[k + u + 2]);
            }
        PK_UNROLL
        for (int u = 0; u < 4; ++u) {  // 8-by-8
            shuffle<0, 1, 2, 3, 8, 9, 10, 11>(out[u], b[u], b[u + 4]);
            shuffle<4, 5, 6, 7, 12, 13, 14, 15>(out[u + 4], b[u], b[u + 4]);
        }
    }
};

// In place: on entry m[l] holds L consecutive components of lane l; on exit m[c] holds
// component c of every lane.
template <class V>
PK_INLINE void transpose(V (&m)[lanes<V>]) {
    constexpr int L = lanes<V>;
    V out[L];
    Transpose<L>::run(m, out);
    for (int l = 0; l < L; ++l) m[l] = out[l];
}

// A B-by-B tile of a column-major matrix A with leading dimension n, held as B/L vectors per
// column: T[c][r] is column c0 + c, rows r0 + r*L ... r0 + r*L + L - 1.
template <int L, int B>
struct Tile {
    static constexpr int M = B / L;
    typedef typename Vec<L>::type V;

    static PK_INLINE void load(V (&T)[B][M], const double *A, int64_t n, int64_t r0, int64_t c0) {
        PK_UNROLL
        for (int c = 0; c < B; ++c)
            PK_UNROLL
            for (int r = 0; r < M; ++r) simd::load(T[c][r], A + (c0 + c) * n + r0 + r * L);
    }

    // Tt: the transpose of T (rows and columns exchanged), in the same layout.
    static PK_INLINE void transpose(const V (&T)[B][M], V (&Tt)[B][M]) {
        PK_UNROLL
        for (int r = 0; r < M; ++r)
            PK_UNROLL
            for (int c = 0; c < M; ++c) {
                V in[L], out[L];
                PK_UNROLL
                for (int u = 0; u < L; ++u) in[u] = T[c * L + u][r];
                Transpose<L>::run(in, out);
                PK_UNROLL
                for (int u = 0; u < L; ++u) Tt[r * L + u][c] = out[u];
            }
    }
};

}  // namespace simd
}  // namespace pk

#endif
