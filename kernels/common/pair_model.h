// What the pair-model kernels share: the lane-wise inner products of consecutive pairs' vectors
// with their second items' vectors, how far ahead they prefetch, and when they stream their
// results past the cache.
//
// Everything here is always inlined, so it takes the instruction set of the kernel variant that
// uses it. A lane never mixes with another lane's sum: each keeps the order of the single-output
// loop it replaces.
#ifndef PAIRKERNELS_KERNELS_PAIR_MODEL_H
#define PAIRKERNELS_KERNELS_PAIR_MODEL_H

#include <cstdint>

#include "simd.h"

namespace pk {
namespace pair_model {

using simd::lanes;

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
    constexpr int L = lanes<V>;
    for (int t = 0; t < T; ++t) s[t] = V{};
    if (kw == 1) {
        for (int t = 0; t < T; ++t) {
            V a, b;
            simd::load(a, w + t * L);
            simd::load(b, x + t * L);
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
                simd::load(a, w + (t * L + l) * kw + kb);
                simd::load(b, x + (t * L + l) * kw + kb);
                m[t][l] = a * b;
            }
            simd::transpose(m[t]);
        }
        const int64_t first = k0 - kb;
        for (int c = 0; c < L; ++c)
            if (c >= first)
                for (int t = 0; t < T; ++t) s[t] = s[t] + m[t][c];
    }
}

// Results of more than kStreamDoubles elements are far larger than any cache: the kernels that
// write them row by row store their vectors with streaming stores, which go to memory without
// first reading each result line into the cache (the host has just zero-filled it, so that read
// would be a second pass over the result for nothing). The values stored are the same.
const int64_t kStreamDoubles = int64_t{8} << 20;  // 64 MiB

PK_INLINE bool streamed(int64_t count) { return count > kStreamDoubles; }

// Stores v at p: an ordinary store, or with `stream` a streaming one, for which p must be
// aligned to the vector's size (see lead()).
template <class V>
PK_INLINE void put(double *p, const V &v, bool stream) {
    if (stream)
        simd::stream(p, v);
    else
        simd::store(p, v);
}

// How many of the `n` results from `row` on come before the first 64-byte boundary: with
// `stream`, a row's first few results are computed one at a time, so that its vectors are
// stored aligned. None without.
PK_INLINE int64_t lead(const double *row, int64_t n, bool stream) {
    return stream ? simd::before_boundary(row, n) : 0;
}

// After streamed stores: they reach memory, in order with what follows, before the call returns.
PK_INLINE void fence(bool stream) {
    if (stream) simd::stream_fence();
}

}  // namespace pair_model
}  // namespace pk

#endif
