// transformed_pair_vector_sum: per item, its K-by-K matrix times the weighted sum of its pair
// vectors.
//
//   R = transformed_pair_vector_sum(N, K, t, A, B, v, W, M)
//
//   N  item count
//   K  width of the pair and result vectors
//   t  parameter; A is scaled by 1/t
//   A  N-by-N pair matrix (at least N*N doubles, item i's value for partner j at j*N + i)
//   B  N-by-N pair matrix, same layout as A
//   v  item values (at least N doubles)
//   W  pair vectors (at least N*N*K doubles, item i's vector for partner j at (j*N + i)*K), as
//      pair_difference_vectors returns them
//   M  item matrices (at least N*K*K doubles, item i's K-by-K block at i*K*K, column-major), as
//      pair_scatter_reciprocal returns them
//   R  N*K-by-1: R(i*K + k) = sum over l of M(i*K*K + l*K + k) * s_i(l), 0-based, where
//      s_i = sum over j of h(i, j) * W(vector of i for partner j) and
//      h(i, j) = ((1/t) * A(j*N + i) + B(j*N + i)) - (v(i) - v(j))
#include <cstdint>

#include "dispatch.h"
#include "gateway.h"

namespace {

enum { IN_N = 0, IN_K, IN_T, IN_A, IN_B, IN_V, IN_W, IN_M, NARGS };
const char *const kArgNames[NARGS] = {"N", "K", "t", "A", "B", "v", "W", "M"};

// A is multiplied by r = 1/t, never divided by t (the two can differ in the last bit), so
// t = +-0 gives r = +-Inf and NaN where A is 0. v(i) - v(j) is rounded on its own before it is
// subtracted. Both sums (s_i over partners j, each result over l) have one accumulator from
// +0.0, add in ascending order, and round every product before adding it.
//
// Item i's pair vectors (j, i) lie N*K doubles apart for consecutive j, and A(i, j), B(i, j) N
// apart, so the items are taken a chunk at a time with j outermost: for each j the chunk's
// vectors (j, i0) ... (j, i0 + c - 1) are one contiguous run of W, its coefficients h two runs of
// A and B. Every s_i still takes its terms in ascending j. The chunk's sums s_i wait in the
// result itself (item i's K entries; small enough to stay in cache), and once j has run
// through, each is copied out and replaced by M_i s_i. The partners go kJ at a time: each
// piece of s_i is loaded once, takes the terms of j, j+1, ... in that order and is stored once,
// while the kJ runs of W stream side by side.
//
// For a few hundred products the plain loops are used instead.
//
// Scratch: K doubles for s_i (the copy, or the plain loops' sum), then kJ per chunk item for
// the coefficients h(i, j) of kJ partners.
constexpr int64_t kChunkDoubles = 16384;  // the chunk's sums: 128 KiB
constexpr int kJ = 8;
const uintptr_t kRunsAhead = 1024;  // how far ahead each run of W is requested, in bytes

bool few_products(int64_t n, int64_t K) { return n < 16 && n * n * K < 256; }

int64_t chunk_items(int64_t n, int64_t K) {
    const int64_t c = kChunkDoubles / K > 8 ? kChunkDoubles / K : 8;
    return c < n ? c : n;
}

int64_t scratch_doubles(int64_t n, int64_t K) {
    if (n <= 0 || K <= 0) return 0;
    return K + (few_products(n, K) ? 0 : kJ * chunk_items(n, K));
}

// The coefficients h(i0 + i, j) of the chunk's c items for one partner j.
template <int L>
PK_INLINE void coefficients(int64_t n, double r, const double *A, const double *B,
                            const double *v, int64_t i0, int64_t c, int64_t j, double *h) {
    typedef typename pk::simd::Vec<L>::type V;
    const double *a = A + j * n + i0, *b = B + j * n + i0, *vi = v + i0;
    const double vj = v[j];
    int64_t i = 0;
    for (; i + L <= c; i += L) {
        V av, bv, vv;
        pk::simd::load(av, a + i);
        pk::simd::load(bv, b + i);
        pk::simd::load(vv, vi + i);
        pk::simd::store(h + i, (r * av + bv) - (vv - vj));
    }
    for (; i < c; ++i) h[i] = (r * a[i] + b[i]) - (vi[i] - vj);
}

// S (the chunk's c sums, K each) takes the terms of the J partners whose coefficients are h[u]
// and whose runs of pair vectors start at w[u], u ascending.
template <int L, int J>
PK_INLINE void add_partners(int64_t c, int64_t K, const double *const *h,
                            const double *const *w, double *S) {
    typedef typename pk::simd::Vec<L>::type V;
    if (K == 1) {  // one component per item: items side by side
        int64_t i = 0;
        for (; i + L <= c; i += L) {
            V sv;
            pk::simd::load(sv, S + i);
            PK_UNROLL
            for (int u = 0; u < J; ++u) {
                V hv, wv;
                pk::simd::load(hv, h[u] + i);
                pk::simd::load(wv, w[u] + i);
                sv = hv * wv + sv;
            }
            pk::simd::store(S + i, sv);
        }
        for (; i < c; ++i)
            PK_UNROLL
            for (int u = 0; u < J; ++u) S[i] = h[u][i] * w[u][i] + S[i];
        return;
    }
    for (int64_t i = 0; i < c; ++i) {
        double *si = S + i * K;
        PK_UNROLL
        for (int u = 0; u < J; ++u) pk::simd::prefetch(w[u] + i * K, K, kRunsAhead);
        int64_t k = 0;
        for (; k + L <= K; k += L) {
            V sv;
            pk::simd::load(sv, si + k);
            PK_UNROLL
            for (int u = 0; u < J; ++u) {
                V wv;
                pk::simd::load(wv, w[u] + i * K + k);
                sv = h[u][i] * wv + sv;
            }
            pk::simd::store(si + k, sv);
        }
        for (; k < K; ++k)
            PK_UNROLL
            for (int u = 0; u < J; ++u) si[k] = h[u][i] * w[u][i * K + k] + si[k];
    }
}

template <int L>
PK_INLINE void transformed_sum(int64_t n, int64_t K, double t, const double *A, const double *B,
                               const double *v, const double *W, const double *M, double *R,
                               double *scratch) {
    typedef typename pk::simd::Vec<L>::type V;
    const double r = 1.0 / t;
    const int64_t chunk = chunk_items(n, K);
    double *s = scratch;
    double *h[kJ];
    for (int u = 0; u < kJ; ++u) h[u] = scratch + K + u * chunk;
    for (int64_t i0 = 0; i0 < n; i0 += chunk) {
        const int64_t c = n - i0 < chunk ? n - i0 : chunk;
        double *S = R + i0 * K;
        for (int64_t m = 0; m < c * K; ++m) S[m] = 0.0;
        int64_t j = 0;
        for (; j + kJ <= n; j += kJ) {
            const double *w[kJ];
            for (int u = 0; u < kJ; ++u) {
                coefficients<L>(n, r, A, B, v, i0, c, j + u, h[u]);
                w[u] = W + ((j + u) * n + i0) * K;
            }
            add_partners<L, kJ>(c, K, h, w, S);
        }
        for (; j < n; ++j) {
            coefficients<L>(n, r, A, B, v, i0, c, j, h[0]);
            const double *w = W + (j * n + i0) * K;
            add_partners<L, 1>(c, K, h, &w, S);
        }
        // R_i(k) = sum over l of M_i(k, l) * s_i(l): for each l, column l of M_i is contiguous
        // and adds term l to every component k.
        for (int64_t i = 0; i < c; ++i) {
            double *Ri = S + i * K;
            const double *m = M + (i0 + i) * K * K;
            for (int64_t k = 0; k < K; ++k) {
                s[k] = Ri[k];
                Ri[k] = 0.0;
            }
            for (int64_t l = 0; l < K; ++l) {
                const double sl = s[l];
                const double *ml = m + l * K;
                int64_t k = 0;
                for (; k + L <= K; k += L) {
                    V mv, rv;
                    pk::simd::load(mv, ml + k);
                    pk::simd::load(rv, Ri + k);
                    pk::simd::store(Ri + k, rv + sl * mv);
                }
                for (; k < K; ++k) Ri[k] = Ri[k] + sl * ml[k];
            }
        }
    }
}

struct TransformedSum {
    template <class Target>
    static PK_INLINE void run(int64_t n, int64_t K, double t, const double *A, const double *B,
                              const double *v, const double *W, const double *M, double *R,
                              double *scratch) {
        transformed_sum<Target::lanes>(n, K, t, A, B, v, W, M, R, scratch);
    }
};

void sub_small(int64_t n, int64_t K, double t, const double *A, const double *B, const double *v,
               const double *W, const double *M, double *R, double *s) {
    const double r = 1.0 / t;
    for (int64_t i = 0; i < n; ++i) {
        for (int64_t k = 0; k < K; ++k) s[k] = 0.0;
        for (int64_t j = 0; j < n; ++j) {
            const double h = (r * A[j * n + i] + B[j * n + i]) - (v[i] - v[j]);
            const double *w = W + (j * n + i) * K;
            for (int64_t k = 0; k < K; ++k) s[k] = h * w[k] + s[k];
        }
        const double *m = M + i * K * K;
        for (int64_t k = 0; k < K; ++k) {
            double sum = 0.0;
            for (int64_t l = 0; l < K; ++l) sum = sum + s[l] * m[l * K + k];
            R[i * K + k] = sum;
        }
    }
}

void sub(int32_t N, int32_t K, double t, const double *A, const double *B, const double *v,
         const double *W, const double *M, double *R, double *scratch) {
    if (N <= 0 || K <= 0) return;
    if (few_products(N, K)) return sub_small(N, K, t, A, B, v, W, M, R, scratch);
    pk::simd::dispatch<TransformedSum>(static_cast<int64_t>(N), static_cast<int64_t>(K), t, A, B,
                                       v, W, M, R, scratch);
}

}  // namespace

PK_ENTRY(transformed_pair_vector_sum, gw) {
    const int32_t N = gw.size(IN_N);
    const int32_t K = gw.size(IN_K);
    const double t = gw.scalar(IN_T);
    const pk::Array A = gw.array(IN_A);
    const pk::Array B = gw.array(IN_B);
    const pk::Array v = gw.array(IN_V);
    const pk::Array W = gw.array(IN_W);
    const pk::Array M = gw.array(IN_M);
    gw.need(A, pk::reads(N, N), "N*N");
    gw.need(B, pk::reads(N, N), "N*N");
    gw.need(v, pk::reads(N), "N");
    gw.need(W, pk::reads(N, N, K), "N*N*K");
    gw.need(M, pk::reads(N, K, K), "N*K*K");
    double *s = gw.scratch(scratch_doubles(N, K));
    // Every element is stored, except the N*K zeros of negative N and K.
    const pk::Writes writes = N > 0 && K > 0 ? pk::Writes::all : pk::Writes::some;
    double *R = gw.result(pk::dim(N, K), "N*K", 1, "1", writes);
    sub(N, K, t, A.data, B.data, v.data, W.data, M.data, R, s);
}
