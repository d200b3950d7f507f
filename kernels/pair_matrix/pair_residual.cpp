// pair_residual: each pair value minus a linear pair model with item offsets.
//
//   R = pair_residual(N, P, q, W, X, K)
//
//   N  item count
//   P  pair values, N*N doubles; pair (i, j) at i*N + j (an N-by-N matrix holds it in row j,
//      column i)
//   q  item offsets, N doubles
//   W  pair vectors, N*N*K doubles; component k of pair (i, j) at (i*N + j)*K + k
//   X  item vectors, N*K doubles; component k of item j at j*K + k (K-by-N, column j is item j)
//   K  width of the pair and item vectors
//   R  N*N-by-1: R(i*N + j) = P(i, j) - ((W(i, j) . X(j) + q(j)) - q(i))
//
// A negative N gives N*N zeros; K <= 0 leaves W and X unread.
#include <cstdint>
#include <cstring>

#include "gateway.h"
#include "lanes.h"
#include "isa.h"

namespace {

enum { IN_N = 0, IN_P, IN_Q, IN_W, IN_X, IN_K, NARGS };
const char *const kArgNames[NARGS] = {"N", "P", "q", "W", "X", "K"};

using namespace pk::lanes;

// Pairs (i, j) ... (i, end-1), one at a time: the plain loop.
PK_INLINE void row_plain(int64_t n, int64_t i, int64_t j, int64_t end, const double *P,
                         const double *q, const double *W, const double *X, double *R,
                         int64_t kw) {
    for (; j < end; ++j) {
        const int64_t p = i * n + j;
        double s = 0.0;
        for (int64_t k = 0; k < kw; ++k) s = s + W[p * kw + k] * X[j * kw + k];
        s = s + q[j];
        s = s - q[i];
        R[p] = P[p] - s;
    }
}

// The residuals of T*L consecutive pairs (i, j) ... of one row: each lane's accumulator goes on
// with q[j + l] and then q[i], as the plain loop's does.
template <int T, class V>
PK_INLINE void row_lanes(int64_t n, int64_t i, int64_t j, const double *P, const double *q,
                         const double *W, const double *X, double *R, int64_t kw, bool stream) {
    constexpr int L = sizeof(V) / sizeof(double);
    const int64_t p = i * n + j;
    prefetch(W + p * kw, T * L * kw, kPairVectorsAhead);
    prefetch(P + p, T * L, kPairValuesAhead);
    V s[T];
    pair_dots<T>(s, W + p * kw, X + j * kw, kw);
    for (int t = 0; t < T; ++t) {
        V qj, r;
        load(qj, q + j + t * L);
        s[t] = s[t] + qj;
        s[t] = s[t] - q[i];
        load(r, P + p + t * L);
        put(R + p + t * L, r - s[t], stream);
    }
}

// For each pair, i outer and j inner: one accumulator from +0.0 adds W(i, j, k) * X(j, k) in
// ascending k, each product rounded first; then q[j] is added and q[i] subtracted, and the
// total is subtracted from P. The offsets go through the accumulator even on the diagonal, so
// R(i, i) may differ in the last bit from P(i, i) - W(i, i) . X(i), and is NaN for an infinite
// q[i]; the order is kept for those bits. Pairs are independent, so a row is taken T*L pairs at
// a time (then L, then one), each pair its own lane; a streamed result's rows begin one pair at
// a time up to the first 64-byte boundary.
template <int T, class V>
PK_INLINE void sub_lanes(int32_t N, const double *P, const double *q, const double *W,
                         const double *X, double *R, int32_t K) {
    constexpr int L = sizeof(V) / sizeof(double);
    const int64_t n = N;
    const int64_t kw = K > 0 ? K : 0;
    const bool stream = streamed(n * n);
    for (int64_t i = 0; i < n; ++i) {
        int64_t j = lead(R + i * n, n, stream);
        row_plain(n, i, 0, j, P, q, W, X, R, kw);
        for (; j + T * L <= n; j += T * L) row_lanes<T, V>(n, i, j, P, q, W, X, R, kw, stream);
        for (; j + L <= n; j += L) row_lanes<1, V>(n, i, j, P, q, W, X, R, kw, stream);
        row_plain(n, i, j, n, P, q, W, X, R, kw);
    }
    fence(stream);
}

// The variants differ only in lane width: the widest whose block of L components fits K (every
// width serves K = 1 and K <= 0). All three stay out of line, so that the function choosing one
// is small and a small call costs no more than the plain loop.
__attribute__((noinline)) void sub_sse2(int32_t N, const double *P, const double *q,
                                         const double *W, const double *X, double *R, int32_t K) {
    sub_lanes<2, v2>(N, P, q, W, X, R, K);
}

__attribute__((target("avx2"))) void sub_avx2(int32_t N, const double *P, const double *q,
                                              const double *W, const double *X, double *R,
                                              int32_t K) {
    if (K >= 4 || K <= 1)
        sub_lanes<2, v4>(N, P, q, W, X, R, K);
    else
        sub_lanes<2, v2>(N, P, q, W, X, R, K);
}

__attribute__((target("avx512f,avx512dq,avx512vl"))) void sub_avx512(
    int32_t N, const double *P, const double *q, const double *W, const double *X, double *R,
    int32_t K) {
    if (K >= 8 || K <= 1)
        sub_lanes<2, v8>(N, P, q, W, X, R, K);
    else if (K >= 4)
        sub_lanes<2, v4>(N, P, q, W, X, R, K);
    else
        sub_lanes<2, v2>(N, P, q, W, X, R, K);
}

// Fewer than 8 items: the plain loop, which costs less than choosing a variant.
void sub(int32_t N, const double *P, const double *q, const double *W, const double *X,
         double *R, int32_t K) {
    if (N <= 0) return;
    if (N < 8) {
        for (int64_t i = 0; i < N; ++i) row_plain(N, i, 0, N, P, q, W, X, R, K > 0 ? K : 0);
        return;
    }
    switch (pk::isa()) {
        case pk::Isa::avx512: sub_avx512(N, P, q, W, X, R, K); break;
        case pk::Isa::avx2: sub_avx2(N, P, q, W, X, R, K); break;
        default: sub_sse2(N, P, q, W, X, R, K); break;
    }
}

}  // namespace

void mexFunction(int nlhs, mxArray *plhs[], int nrhs, const mxArray *prhs[]) {
    pk::Gateway gw("pair_residual", kArgNames, NARGS, nlhs, nrhs, prhs);
    const int32_t N = gw.size(IN_N);
    const pk::Array P = gw.array(IN_P);
    const pk::Array q = gw.array(IN_Q);
    const pk::Array W = gw.array(IN_W);
    const pk::Array X = gw.array(IN_X);
    const int32_t K = gw.size(IN_K);
    gw.need(P, pk::reads(N, N), "N*N");
    gw.need(q, pk::reads(N), "N");
    gw.need(W, pk::reads(N, N, K), "N*N*K");
    gw.need(X, pk::reads(N, K), "N*K");
    double *R = gw.result(plhs, pk::dim(N, N), "N*N", 1, "1");
    sub(N, P.data, q.data, W.data, X.data, R, K);
}
