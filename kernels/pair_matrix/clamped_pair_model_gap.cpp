// clamped_pair_model_gap: the linear pair model with item offsets minus the pair values scaled
// by 1/t, clamped from above.
//
//   R = clamped_pair_model_gap(N, t, P, q, W, X, K)       linux and macos profiles
//   R = clamped_pair_model_gap(N, t, P, q, W, X, K, m)    windows profile
//
//   N  item count
//   t  divisor of the pair values
//   P  pair values, N*N doubles; pair (i, j) at i*N + j (an N-by-N matrix holds it in row j,
//      column i)
//   q  item offsets, N doubles
//   W  pair vectors, N*N*K doubles; component k of pair (i, j) at (i*N + j)*K + k
//   X  item vectors, N*K doubles; component k of item j at j*K + k (K-by-N, column j is item j)
//   K  width of the pair and item vectors
//   m  windows profile only: the bound is -m
//   R  N*N-by-1: with g = ((W(i, j) . X(j) + q(j)) - q(i)) - P(i, j) / t, R(i*N + j) is the
//      bound where g > bound and g otherwise (a NaN g is stored as it is)
//
// The bound is +0.0 in the linux and macos profiles and -m (m with its sign bit flipped) in the
// windows profile, which therefore needs all eight arguments. A negative N gives N*N zeros;
// K <= 0 leaves W and X unread.
#include <cstdint>
#include <cstring>

#include "gateway.h"
#include "isa.h"

namespace {

#if defined(PK_PROFILE_WINDOWS)
enum { IN_N = 0, IN_T, IN_P, IN_Q, IN_W, IN_X, IN_K, IN_M, NARGS };
const char *const kArgNames[NARGS] = {"N", "t", "P", "q", "W", "X", "K", "m"};
#else
enum { IN_N = 0, IN_T, IN_P, IN_Q, IN_W, IN_X, IN_K, NARGS };
const char *const kArgNames[NARGS] = {"N", "t", "P", "q", "W", "X", "K"};
#endif

#define PK_INLINE __attribute__((always_inline)) inline

// Registers of 2, 4 and 8 doubles. Code written with them takes the instruction set of the
// function it is inlined into: SSE2 by default, AVX2 or AVX-512 in the dispatched variants.
typedef double v2 __attribute__((vector_size(16)));
typedef double v4 __attribute__((vector_size(32)));
typedef double v8 __attribute__((vector_size(64)));

template <class V> PK_INLINE void load(V &v, const double *p) { std::memcpy(&v, p, sizeof v); }
template <class V> PK_INLINE void store(double *p, const V &v) { std::memcpy(p, &v, sizeof v); }

// On entry m[l] holds L consecutive components of lane l; on exit m[c] holds component c of
// every lane.
PK_INLINE void transpose(v2 *m) {
    const v2 a = m[0], b = m[1];
    m[0] = __builtin_shufflevector(a, b, 0, 2);
    m[1] = __builtin_shufflevector(a, b, 1, 3);
}
PK_INLINE void transpose(v4 *m) {
    const v4 a = __builtin_shufflevector(m[0], m[1], 0, 4, 2, 6);
    const v4 b = __builtin_shufflevector(m[0], m[1], 1, 5, 3, 7);
    const v4 c = __builtin_shufflevector(m[2], m[3], 0, 4, 2, 6);
    const v4 d = __builtin_shufflevector(m[2], m[3], 1, 5, 3, 7);
    m[0] = __builtin_shufflevector(a, c, 0, 1, 4, 5);
    m[1] = __builtin_shufflevector(b, d, 0, 1, 4, 5);
    m[2] = __builtin_shufflevector(a, c, 2, 3, 6, 7);
    m[3] = __builtin_shufflevector(b, d, 2, 3, 6, 7);
}
PK_INLINE void transpose(v8 *m) {
    v8 a[8], b[8];
    for (int l = 0; l < 8; l += 2) {  // lanes l, l+1: even components, odd components
        a[l] = __builtin_shufflevector(m[l], m[l + 1], 0, 8, 2, 10, 4, 12, 6, 14);
        a[l + 1] = __builtin_shufflevector(m[l], m[l + 1], 1, 9, 3, 11, 5, 13, 7, 15);
    }
    for (int l = 0; l < 8; l += 4) {  // lanes l ... l+3: components c and c+4 in b[l + c]
        b[l] = __builtin_shufflevector(a[l], a[l + 2], 0, 1, 8, 9, 4, 5, 12, 13);
        b[l + 1] = __builtin_shufflevector(a[l + 1], a[l + 3], 0, 1, 8, 9, 4, 5, 12, 13);
        b[l + 2] = __builtin_shufflevector(a[l], a[l + 2], 2, 3, 10, 11, 6, 7, 14, 15);
        b[l + 3] = __builtin_shufflevector(a[l + 1], a[l + 3], 2, 3, 10, 11, 6, 7, 14, 15);
    }
    for (int c = 0; c < 4; ++c) {
        m[c] = __builtin_shufflevector(b[c], b[c + 4], 0, 1, 2, 3, 8, 9, 10, 11);
        m[c + 4] = __builtin_shufflevector(b[c], b[c + 4], 4, 5, 6, 7, 12, 13, 14, 15);
    }
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

// Pairs (i, j) ... (i, N-1), one at a time: the plain loop.
PK_INLINE void row_plain(int64_t n, int64_t i, int64_t j, double t, const double *P,
                         const double *q, const double *W, const double *X, double *R,
                         int64_t kw, double bound) {
    for (; j < n; ++j) {
        const int64_t p = i * n + j;
        double s = 0.0;
        for (int64_t k = 0; k < kw; ++k) s = s + W[p * kw + k] * X[j * kw + k];
        s = s + q[j];
        s = s - q[i];
        const double g = s - P[p] / t;
        R[p] = g > bound ? bound : g;
    }
}

// The gaps of T*L consecutive pairs (i, j) ... of one row: each lane's accumulator goes on with
// q[j + l], q[i] and the quotient, as the plain loop's does; the division is per lane, true
// division like the scalar one, and the clamp a per-lane choice of the bound or g.
template <int T, class V>
PK_INLINE void row_lanes(int64_t n, int64_t i, int64_t j, double t, const double *P,
                         const double *q, const double *W, const double *X, double *R,
                         int64_t kw, double bound) {
    constexpr int L = sizeof(V) / sizeof(double);
    const int64_t p = i * n + j;
    prefetch(W + p * kw, T * L * kw, kPairVectorsAhead);
    prefetch(P + p, T * L, kPairValuesAhead);
    V s[T], b;
    for (int l = 0; l < L; ++l) b[l] = bound;
    pair_dots<T>(s, W + p * kw, X + j * kw, kw);
    for (int u = 0; u < T; ++u) {
        V qj, r;
        load(qj, q + j + u * L);
        s[u] = s[u] + qj;
        s[u] = s[u] - q[i];
        load(r, P + p + u * L);
        const V g = s[u] - r / t;
        store(R + p + u * L, g > b ? b : g);
    }
}

// For each pair, i outer and j inner: one accumulator from +0.0 adds W(i, j, k) * X(j, k) in
// ascending k, each product rounded first; then q[j] is added, q[i] subtracted, and the true
// quotient P / t (never P times a reciprocal, which differs in the last bit) subtracted. The
// result is the bound only where g > bound, so a g equal to the bound keeps its own sign of
// zero and a NaN g (or NaN bound) stores g. Pairs are independent, so a row is taken T*L pairs
// at a time (then L, then one), each pair its own lane.
template <int T, class V>
PK_INLINE void sub_lanes(int32_t N, double t, const double *P, const double *q, const double *W,
                         const double *X, double *R, int32_t K, double bound) {
    constexpr int L = sizeof(V) / sizeof(double);
    const int64_t n = N;
    const int64_t kw = K > 0 ? K : 0;
    for (int64_t i = 0; i < n; ++i) {
        int64_t j = 0;
        for (; j + T * L <= n; j += T * L)
            row_lanes<T, V>(n, i, j, t, P, q, W, X, R, kw, bound);
        for (; j + L <= n; j += L) row_lanes<1, V>(n, i, j, t, P, q, W, X, R, kw, bound);
        row_plain(n, i, j, t, P, q, W, X, R, kw, bound);
    }
}

// The variants differ only in lane width: the widest whose block of L components fits K (every
// width serves K = 1 and K <= 0). All three stay out of line, so that the function choosing one
// is small and a small call costs no more than the plain loop.
__attribute__((noinline)) void sub_sse2(int32_t N, double t, const double *P, const double *q,
                                         const double *W, const double *X, double *R, int32_t K,
                                         double bound) {
    sub_lanes<2, v2>(N, t, P, q, W, X, R, K, bound);
}

__attribute__((target("avx2"))) void sub_avx2(int32_t N, double t, const double *P,
                                              const double *q, const double *W, const double *X,
                                              double *R, int32_t K, double bound) {
    if (K >= 4 || K <= 1)
        sub_lanes<2, v4>(N, t, P, q, W, X, R, K, bound);
    else
        sub_lanes<2, v2>(N, t, P, q, W, X, R, K, bound);
}

__attribute__((target("avx512f,avx512dq,avx512vl"))) void sub_avx512(
    int32_t N, double t, const double *P, const double *q, const double *W, const double *X,
    double *R, int32_t K, double bound) {
    if (K >= 8 || K <= 1)
        sub_lanes<2, v8>(N, t, P, q, W, X, R, K, bound);
    else if (K >= 4)
        sub_lanes<2, v4>(N, t, P, q, W, X, R, K, bound);
    else
        sub_lanes<2, v2>(N, t, P, q, W, X, R, K, bound);
}

// Fewer than 8 items: the plain loop, which costs less than choosing a variant.
void sub(int32_t N, double t, const double *P, const double *q, const double *W,
         const double *X, double *R, int32_t K, double bound) {
    if (N <= 0) return;
    if (N < 8) {
        for (int64_t i = 0; i < N; ++i)
            row_plain(N, i, 0, t, P, q, W, X, R, K > 0 ? K : 0, bound);
        return;
    }
    switch (pk::isa()) {
        case pk::Isa::avx512: sub_avx512(N, t, P, q, W, X, R, K, bound); break;
        case pk::Isa::avx2: sub_avx2(N, t, P, q, W, X, R, K, bound); break;
        default: sub_sse2(N, t, P, q, W, X, R, K, bound); break;
    }
}

}  // namespace

void mexFunction(int nlhs, mxArray *plhs[], int nrhs, const mxArray *prhs[]) {
    pk::Gateway gw("clamped_pair_model_gap", kArgNames, NARGS, nlhs, nrhs, prhs);
    const int32_t N = gw.size(IN_N);
    const double t = gw.scalar(IN_T);
    const pk::Array P = gw.array(IN_P);
    const pk::Array q = gw.array(IN_Q);
    const pk::Array W = gw.array(IN_W);
    const pk::Array X = gw.array(IN_X);
    const int32_t K = gw.size(IN_K);
#if defined(PK_PROFILE_WINDOWS)
    const double bound = -gw.scalar(IN_M);  // negation flips the sign bit: m = +0.0 gives -0.0
#else
    const double bound = 0.0;
#endif
    gw.need(P, pk::reads(N, N), "N*N");
    gw.need(q, pk::reads(N), "N");
    gw.need(W, pk::reads(N, N, K), "N*N*K");
    gw.need(X, pk::reads(N, K), "N*K");
    double *R = gw.result(plhs, pk::dim(N, N), "N*N", 1, "1");
    sub(N, t, P.data, q.data, W.data, X.data, R, K, bound);
}
