// pair_inner_product_residual: each pair value minus the inner product of the pair's vector with
// its second item's vector.
//
//   R = pair_inner_product_residual(N, P, W, X, K)
//
//   N  item count
//   P  pair values, N*N doubles; pair (i, j) at i*N + j (an N-by-N matrix holds it in row j,
//      column i)
//   W  pair vectors, N*N*K doubles; component k of pair (i, j) at (i*N + j)*K + k
//   X  item vectors, N*K doubles; component k of item j at j*K + k (K-by-N, column j is item j)
//   K  width of the pair and item vectors
//   R  N*N-by-1: R(i*N + j) = P(i, j) - W(i, j) . X(j)
//
// A negative N gives N*N zeros; K <= 0 leaves W and X unread and R equals P.
#include <cstdint>

#include "../common/pair_model.h"
#include "dispatch.h"
#include "gateway.h"

namespace {

enum { IN_N = 0, IN_P, IN_W, IN_X, IN_K, NARGS };
const char *const kArgNames[NARGS] = {"N", "P", "W", "X", "K"};

using namespace pk::simd;
using namespace pk::pair_model;

// Pairs (i, j) ... (i, end-1), one at a time: the plain loop.
PK_INLINE void row_plain(int64_t n, int64_t i, int64_t j, int64_t end, const double *P,
                         const double *W, const double *X, double *R, int64_t kw) {
    for (; j < end; ++j) {
        const int64_t p = i * n + j;
        double s = 0.0;
        for (int64_t k = 0; k < kw; ++k) s = s + W[p * kw + k] * X[j * kw + k];
        R[p] = P[p] - s;
    }
}

// The residuals of T*L consecutive pairs (i, j) ... of one row.
template <int T, class V>
PK_INLINE void row_lanes(int64_t n, int64_t i, int64_t j, const double *P, const double *W,
                         const double *X, double *R, int64_t kw, bool stream) {
    constexpr int L = lanes<V>;
    const int64_t p = i * n + j;
    prefetch(W + p * kw, T * L * kw, kPairVectorsAhead);
    prefetch(P + p, T * L, kPairValuesAhead);
    V s[T];
    pair_dots<T>(s, W + p * kw, X + j * kw, kw);
    for (int t = 0; t < T; ++t) {
        V r;
        load(r, P + p + t * L);
        put(R + p + t * L, r - s[t], stream);
    }
}

// For each pair, i outer and j inner: one accumulator from +0.0 adds W(i, j, k) * X(j, k) in
// ascending k, each product rounded first, and the total is subtracted from P. Pairs are
// independent, so a row is taken 2*L pairs at a time (then L, then one), each pair its own lane,
// L the widest whose block of L components fits K; a streamed result's rows begin one pair at a
// time up to the first 64-byte boundary.
struct Rows {
    template <int L>
    static PK_INLINE void run(int64_t n, const double *P, const double *W, const double *X,
                              double *R, int64_t kw) {
        typedef typename Vec<L>::type V;
        const bool stream = streamed(n * n);
        for (int64_t i = 0; i < n; ++i) {
            int64_t j = lead(R + i * n, n, stream);
            row_plain(n, i, 0, j, P, W, X, R, kw);
            for (; j + 2 * L <= n; j += 2 * L) row_lanes<2, V>(n, i, j, P, W, X, R, kw, stream);
            for (; j + L <= n; j += L) row_lanes<1, V>(n, i, j, P, W, X, R, kw, stream);
            row_plain(n, i, j, n, P, W, X, R, kw);
        }
        fence(stream);
    }
};

struct Residual {
    template <class Target>
    static PK_INLINE void run(int64_t n, const double *P, const double *W, const double *X,
                              double *R, int64_t kw) {
        widest_lanes<Target, Rows>(blocks_of(kw), n, P, W, X, R, kw);
    }
};

// Fewer than 8 items: the plain loop, which costs less than choosing a variant.
void fun(int32_t N, const double *P, const double *W, const double *X, double *R, int32_t K) {
    if (N <= 0) return;
    const int64_t n = N, kw = K > 0 ? K : 0;
    if (n < 8) {
        for (int64_t i = 0; i < n; ++i) row_plain(n, i, 0, n, P, W, X, R, kw);
        return;
    }
    dispatch<Residual>(n, P, W, X, R, kw);
}

}  // namespace

PK_ENTRY(pair_inner_product_residual, gw) {
    const int32_t N = gw.size(IN_N);
    const pk::Array P = gw.array(IN_P);
    const pk::Array W = gw.array(IN_W);
    const pk::Array X = gw.array(IN_X);
    const int32_t K = gw.size(IN_K);
    gw.need(P, pk::reads(N, N), "N*N");
    gw.need(W, pk::reads(N, N, K), "N*N*K");
    gw.need(X, pk::reads(N, K), "N*K");
    // Every element is stored, except the N*N zeros of a negative N.
    const pk::Writes writes = N > 0 ? pk::Writes::all : pk::Writes::some;
    double *R = gw.result(pk::dim(N, N), "N*N", 1, "1", writes);
    fun(N, P.data, W.data, X.data, R, K);
}
