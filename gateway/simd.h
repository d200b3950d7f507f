// Small fixed-width double vectors for kernels that vectorize across independent outputs.
//
// pk::Vec<L>::type is a GCC/Clang vector of L doubles (L = 2, 4 or 8). A kernel body written
// once as an always_inline template over L compiles to SSE2, AVX2 or AVX-512 instructions in
// whichever function it is inlined into (see isa.h), since the vector operations are lowered
// with the target of that function. Every operation is the lane-wise IEEE operation: a lane of
// a + b is exactly the scalar a[l] + b[l], so a vector can carry L separate sums side by side,
// and a * b + c stays two rounded operations (the modules are built with -ffp-contract=off).
//
// The helpers take vectors by reference: a vector passed by value across a function boundary
// would depend on the instruction set the function was compiled for.
#ifndef PAIRKERNELS_SIMD_H
#define PAIRKERNELS_SIMD_H

#include <cstdint>

#define PK_INLINE inline __attribute__((always_inline))
// Fully unrolls a loop over a tile's fixed extent, so that arrays of vectors stay in registers.
#define PK_UNROLL _Pragma("GCC unroll 16")

namespace pk {

template <int L>
struct Vec {
    typedef double type __attribute__((vector_size(8 * L)));
    // The same vector at any double's address, allowed to alias doubles (an unaligned load).
    typedef double unaligned __attribute__((vector_size(8 * L), aligned(8), may_alias));
};

template <int L>
PK_INLINE void load(typename Vec<L>::type &v, const double *p) {
    v = *reinterpret_cast<const typename Vec<L>::unaligned *>(p);
}

template <int L>
PK_INLINE void store(double *p, const typename Vec<L>::type &v) {
    *reinterpret_cast<typename Vec<L>::unaligned *>(p) = v;
}

// out[v] lane u = in[u] lane v: the transpose of the L-by-L matrix whose rows are in[0 .. L-1].
template <int L>
struct Transpose;

template <>
struct Transpose<2> {
    typedef Vec<2>::type V;
    static PK_INLINE void run(const V (&in)[2], V (&out)[2]) {
        out[0] = __builtin_shufflevector(in[0], in[1], 0, 2);
        out[1] = __builtin_shufflevector(in[0], in[1], 1, 3);
    }
};

template <>
struct Transpose<4> {
    typedef Vec<4>::type V;
    static PK_INLINE void run(const V (&in)[4], V (&out)[4]) {
        const V t0 = __builtin_shufflevector(in[0], in[1], 0, 4, 2, 6);
        const V t1 = __builtin_shufflevector(in[0], in[1], 1, 5, 3, 7);
        const V t2 = __builtin_shufflevector(in[2], in[3], 0, 4, 2, 6);
        const V t3 = __builtin_shufflevector(in[2], in[3], 1, 5, 3, 7);
        out[0] = __builtin_shufflevector(t0, t2, 0, 1, 4, 5);
        out[1] = __builtin_shufflevector(t1, t3, 0, 1, 4, 5);
        out[2] = __builtin_shufflevector(t0, t2, 2, 3, 6, 7);
        out[3] = __builtin_shufflevector(t1, t3, 2, 3, 6, 7);
    }
};

template <>
struct Transpose<8> {
    typedef Vec<8>::type V;
    static PK_INLINE void run(const V (&in)[8], V (&out)[8]) {
        V a[8], b[8];
        PK_UNROLL
        for (int k = 0; k < 8; k += 2) {  // 2-by-2 blocks
            a[k] = __builtin_shufflevector(in[k], in[k + 1], 0, 8, 2, 10, 4, 12, 6, 14);
            a[k + 1] = __builtin_shufflevector(in[k], in[k + 1], 1, 9, 3, 11, 5, 13, 7, 15);
        }
        PK_UNROLL
        for (int k = 0; k < 8; k += 4)  // 4-by-4 blocks
            PK_UNROLL
            for (int u = 0; u < 2; ++u) {
                b[k + u] =
                    __builtin_shufflevector(a[k + u], a[k + u + 2], 0, 1, 8, 9, 4, 5, 12, 13);
                b[k + u + 2] =
                    __builtin_shufflevector(a[k + u], a[k + u + 2], 2, 3, 10, 11, 6, 7, 14, 15);
            }
        PK_UNROLL
        for (int u = 0; u < 4; ++u) {  // 8-by-8
            out[u] = __builtin_shufflevector(b[u], b[u + 4], 0, 1, 2, 3, 8, 9, 10, 11);
            out[u + 4] = __builtin_shufflevector(b[u], b[u + 4], 4, 5, 6, 7, 12, 13, 14, 15);
        }
    }
};

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
            for (int r = 0; r < M; ++r) pk::load<L>(T[c][r], A + (c0 + c) * n + r0 + r * L);
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

}  // namespace pk

#endif
