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

#include "../common/pair_model.h"
#include "dispatch.h"
#include "gateway.h"

namespace {

#if defined(PK_PROFILE_WINDOWS)
enum { IN_N = 0, IN_T, IN_P, IN_Q, IN_W, IN_X, IN_K, IN_M, NARGS };
const char *const kArgNames[NARGS] = {"N", "t", "P", "q", "W", "X", "K", "m"};
#else
enum { IN_N = 0, IN_T, IN_P, IN_Q, IN_W, IN_X, IN_K, NARGS };
const char *const kArgNames[NARGS] = {"N", "t", "P", "q", "W", "X", "K"};
#endif

using namespace pk::simd;
using namespace pk::pair_model;

// Pairs (i, j) ... (i, end-1), one at a time: the plain loop.
PK_INLINE void row_plain(int64_t n, int64_t i, int64_t j, int64_t end, double t, const double *P,
                         const double *q, const double *W, const double *X, double *R,
                         int64_t kw, double bound) {
    for (; j < end; ++j) {
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
                         int64_t kw, double bound, bool stream) {
    constexpr int L = lanes<V>;
    const int64_t p = i * n + j;
    prefetch(W + p * kw, T * L * kw, kPairVectorsAhead);
    prefetch(P + p, T * L, kPairValuesAhead);
    V s[T], b;
    broadcast(b, bound);
    pair_dots<T>(s, W + p * kw, X + j * kw, kw);
    for (int u = 0; u < T; ++u) {
        V qj, r;
        load(qj, q + j + u * L);
        s[u] = s[u] + qj;
        s[u] = s[u] - q[i];
        load(r, P + p + u * L);
        const V g = s[u] - r / t;
        put(R + p + u * L, g > b ? b : g, stream);
    }
}

// For each pair, i outer and j inner: one accumulator from +0.0 adds W(i, j, k) * X(j, k) in
// ascending k, each product rounded first; then q[j] is added, q[i] subtracted, and the true
// quotient P / t (never P times a reciprocal, which differs in the last bit) subtracted. The
// result is the bound only where g > bound, so a g equal to the bound keeps its own sign of
// zero and a NaN g (or NaN bound) stores g. Pairs are independent, so a row is taken 2*L pairs
// at a time (then L, then one), each pair its own lane, L the widest whose block of L
// components fits K; a streamed result's rows begin one pair at a time up to the first 64-byte
// boundary.
struct Rows {
    template <int L>
    static PK_INLINE void run(int64_t n, double t, const double *P, const double *q,
                              const double *W, const double *X, double *R, int64_t kw,
                              double bound) {
        typedef typename Vec<L>::type V;
        const bool stream = streamed(n * n);
        for (int64_t i = 0; i < n; ++i) {
            int64_t j = lead(R + i * n, n, stream);
            row_plain(n, i, 0, j, t, P, q, W, X, R, kw, bound);
            for (; j + 2 * L <= n; j += 2 * L)
                row_lanes<2, V>(n, i, j, t, P, q, W, X, R, kw, bound, stream);
            for (; j + L <= n; j += L)
                row_lanes<1, V>(n, i, j, t, P, q, W, X, R, kw, bound, stream);
            row_plain(n, i, j, n, t, P, q, W, X, R, kw, bound);
        }
        fence(stream);
    }
};

struct Gap {
    template <class Target>
    static PK_INLINE void run(int64_t n, double t, const double *P, const double *q,
                              const double *W, const double *X, double *R, int64_t kw,
                              double bound) {
        widest_lanes<Target, Rows>(blocks_of(kw), n, t, P, q, W, X, R, kw, bound);
    }
};

// Fewer than 8 items: the plain loop, which costs less than choosing a variant.
void sub(int32_t N, double t, const double *P, const double *q, const double *W,
         const double *X, double *R, int32_t K, double bound) {
    if (N <= 0) return;
    const int64_t n = N, kw = K > 0 ? K : 0;
    if (n < 8) {
        for (int64_t i = 0; i < n; ++i) row_plain(n, i, 0, n, t, P, q, W, X, R, kw, bound);
        return;
    }
    dispatch<Gap>(n, t, P, q, W, X, R, kw, bound);
}

}  // namespace

PK_ENTRY(clamped_pair_model_gap, gw) {
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
    // Every element is stored, except the N*N zeros of a negative N.
    const pk::Writes writes = N > 0 ? pk::Writes::all : pk::Writes::some;
    double *R = gw.result(pk::dim(N, N), "N*N", 1, "1", writes);
    sub(N, t, P.data, q.data, W.data, X.data, R, K, bound);
}
