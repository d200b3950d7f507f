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

#include "gateway.h"

namespace {

#if defined(PK_PROFILE_WINDOWS)
enum { IN_N = 0, IN_T, IN_P, IN_Q, IN_W, IN_X, IN_K, IN_M, NARGS };
const char *const kArgNames[NARGS] = {"N", "t", "P", "q", "W", "X", "K", "m"};
#else
enum { IN_N = 0, IN_T, IN_P, IN_Q, IN_W, IN_X, IN_K, NARGS };
const char *const kArgNames[NARGS] = {"N", "t", "P", "q", "W", "X", "K"};
#endif

// For each pair, i outer and j inner: one accumulator from +0.0 adds W(i, j, k) * X(j, k) in
// ascending k, each product rounded first; then q[j] is added, q[i] subtracted, and the true
// quotient P / t (never P times a reciprocal, which differs in the last bit) subtracted. The
// result is the bound only where g > bound, so a g equal to the bound keeps its own sign of
// zero and a NaN g (or NaN bound) stores g.
void sub(int32_t N, double t, const double *P, const double *q, const double *W,
         const double *X, double *R, int32_t K, double bound) {
    if (N <= 0) return;
    const int64_t n = N;
    const int64_t kw = K;
    for (int64_t i = 0; i < n; ++i) {
        for (int64_t j = 0; j < n; ++j) {
            const int64_t p = i * n + j;
            double s = 0.0;
            for (int64_t k = 0; k < kw; ++k) s = s + W[p * kw + k] * X[j * kw + k];
            s = s + q[j];
            s = s - q[i];
            const double g = s - P[p] / t;
            R[p] = g > bound ? bound : g;
        }
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
