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

#include "gateway.h"

namespace {

enum { IN_N = 0, IN_P, IN_W, IN_X, IN_K, NARGS };
const char *const kArgNames[NARGS] = {"N", "P", "W", "X", "K"};

// For each pair, i outer and j inner: one accumulator from +0.0 adds W(i, j, k) * X(j, k) in
// ascending k, each product rounded first, and the total is subtracted from P.
void fun(int32_t N, const double *P, const double *W, const double *X, double *R, int32_t K) {
    if (N <= 0) return;
    const int64_t n = N;
    const int64_t kw = K;
    for (int64_t i = 0; i < n; ++i) {
        for (int64_t j = 0; j < n; ++j) {
            const int64_t p = i * n + j;
            double s = 0.0;
            for (int64_t k = 0; k < kw; ++k) s = s + W[p * kw + k] * X[j * kw + k];
            R[p] = P[p] - s;
        }
    }
}

}  // namespace

void mexFunction(int nlhs, mxArray *plhs[], int nrhs, const mxArray *prhs[]) {
    pk::Gateway gw("pair_inner_product_residual", kArgNames, NARGS, nlhs, nrhs, prhs);
    const int32_t N = gw.size(IN_N);
    const pk::Array P = gw.array(IN_P);
    const pk::Array W = gw.array(IN_W);
    const pk::Array X = gw.array(IN_X);
    const int32_t K = gw.size(IN_K);
    gw.need(P, pk::reads(N, N), "N*N");
    gw.need(W, pk::reads(N, N, K), "N*N*K");
    gw.need(X, pk::reads(N, K), "N*K");
    double *R = gw.result(plhs, pk::dim(N, N), "N*N", 1, "1");
    fun(N, P.data, W.data, X.data, R, K);
}
