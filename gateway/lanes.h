// Vectors of 2, 4 and 8 doubles for kernels that put independent outputs in SIMD lanes, and the
// lane-wise inner products of consecutive pairs that the pair-model kernels share.
//
// Everything here is always inlined, so it takes the instruction set of the kernel variant that
// uses it (see isa.h). A lane never mixes with another lane's sum: each keeps the order of the
// single-output loop it replaces.
#ifndef PAIRKERNELS_LANES_H
#define PAIRKERNELS_LANES_H

#include <cstdint>
#include <cstring>

#include "simd.h"

namespace pk {
namespace lanes {

// Registers of 2, 4 and 8 doubles. Code written with them takes the instruction set of the
// function it is inlined into: SSE2 by default, AVX2 or AVX-512 in the dispatched variants.
typedef Vec<2>::type v2;
typedef Vec<4>::type v4;
typedef Vec<8>::type v8;

template <class V> PK_INLINE void load(V &v, const double *p) { std::memcpy(&v, p, sizeof v); }
template <class V> PK_INLINE void store(double *p, const V &v) { std::memcpy(p, &v, sizeof v); }

// On entry m[l] holds L consecutive components of lane l; on exit m[c] holds component c of
// every lane (simd.h's transpose, in place).
template <class V>
PK_INLINE void transpose(V (&m)[sizeof(V) / sizeof(double)]) {
    constexpr int L = sizeof(V) / sizeof(double);
    V out[L];
    Transpose<L>::run(m, out);
    for (int l = 0; l < L; ++l) m[l] = out[l];
}

// Asks for the cache lines of the `count` doubles that lie `ahead` bytes past `p`, which a row
// streams through next. Only a hint: the address is never dereferenced, so it may lie past the
// end of the array.
PK_INLINE void prefetch(const double *p, int64_t count, uintptr_t ahead) {
    for (int64_t c = 0; c < count; c += 8)
        __builtin_prefetch(
            reinterpret_cast<const void *>(reinterpret_cast<uintptr_t>(p + c) + ahead));
}

// How far ahead the pair vectors and the pair values are requested, in bytes: about as many
// pairs ahead for K = 8.
const uintptr_t kPairVectorsAhead = 4096, kPairValuesAhead = 1024;

// The inner products W(p + l) . X(j + l) of T*L consecutive pairs p ... of one row i (pair p + l
// has second item j + l), lane l of s[l / L] holding pair l's. Each lane is one pair's own
// accumulator: +0.0, then the rounded products added in ascending k, exactly the single-pair
// loop. The L*L blocks of products are formed pair by pair from contiguous loads and transposed
// so that one vector addition adds component k of L pairs. K = 1 needs no transposition; other
// K need K >= L. A last partial block is loaded overlapping the one before (components K-L ...
// K-1) and only its new components are added.
template <int T, class V>
PK_INLINE void pair_dots(V *s, const double *w, const double *x, int64_t kw) {
    constexpr int L = sizeof(V) / sizeof(double);
    for (int t = 0; t < T; ++t) s[t] = V{};
    if (kw == 1) {
        for (int t = 0; t < T; ++t) {
            V a, b;
            load(a, w + t * L);
            load(b, x + t * L);
            s[t] = s[t] + a * b;
        }
        return;
    }
    int64_t k0 = 0;
    for (; k0 < kw; k0 += L) {
        const int64_t kb = k0 + L <= kw ? k0 : kw - L;
        V m[T][L];
        for (int t = 0; t < T; ++t) {
            for (int l = 0; l < L; ++l) {
                V a, b;
                load(a, w + (t * L + l) * kw + kb);
                load(b, x + (t * L + l) * kw + kb);
                m[t][l] = a * b;
            }
            transpose(m[t]);
        }
        const int64_t first = k0 - kb;
        for (int c = 0; c < L; ++c)
            if (c >= first)
                for (int t = 0; t < T; ++t) s[t] = s[t] + m[t][c];
    }
}

// Results of more than kStreamDoubles elements are far larger than any cache: the kernels that
// write them row by row store their vectors with non-temporal stores, which go to memory without
// first reading each result line into the cache (the host has just zero-filled it, so that read
// would be a second pass over the result for nothing). The values stored are the same.
const int64_t kStreamDoubles = int64_t{8} << 20;  // 64 MiB

// Whether a result of `count` doubles is streamed.
PK_INLINE bool streamed(int64_t count) { return count > kStreamDoubles; }

// Stores v at p: an ordinary store, or with `stream` a non-temporal one, for which p must be
// aligned to the vector's size (see lead()).
template <class V> PK_INLINE void put(double *p, const V &v, bool stream) {
    if (!stream) return store(p, v);
#if defined(__clang__)
    // Clang checks asm operands against this function's own target, not the variant it is
    // inlined into; its generic builtin is lowered for the variant.
    __builtin_nontemporal_store(v, reinterpret_cast<V *>(p));
#else
    if constexpr (sizeof(V) == 16)
        __asm__("movntpd %1, %0" : "=m"(*reinterpret_cast<V *>(p)) : "x"(v));
    else
        __asm__("vmovntpd %1, %0" : "=m"(*reinterpret_cast<V *>(p)) : "v"(v));
#endif
}

// How many of the `n` results from `row` on come before the first 64-byte boundary: with
// `stream`, a row's first few results are computed one at a time, so that its vectors are
// stored aligned. None without.
PK_INLINE int64_t lead(const double *row, int64_t n, bool stream) {
    if (!stream) return 0;
    const int64_t h = static_cast<int64_t>((64 - reinterpret_cast<uintptr_t>(row) % 64) % 64 / 8);
    return h < n ? h : n;
}

// After streamed stores: they reach memory, in order with what follows, before the call returns.
PK_INLINE void fence(bool stream) {
    if (stream) __builtin_ia32_sfence();
}

}  // namespace lanes
}  // namespace pk

#endif
