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

#include "gateway.h"

namespace {

enum { IN_N = 0, IN_P, IN_Q, IN_W, IN_X, IN_K, NARGS };
const char *const kArgNames[NARGS] = {"N", "P", "q", "W", "X", "K"};

// For each pair, i outer and j inner: one accumulator from +0.0 adds W(i, j, k) * X(j, k) in
// ascending k, each product rounded first; then q[j] is added and q[i] subtracted, and the
// total is subtracted from P. The offsets go through the accumulator even on the diagonal, so
// R(i, i) may differ in the last bit from P(i, i) - W(i, i) . X(i), and is NaN for an infinite
// q[i]; the order is kept for those bits.
void sub(int32_t N, const double *P, const double *q, const double *W, const double *X,
         double *R, int32_t K) {
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
            R[p] = P[p] - s;
        }
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
