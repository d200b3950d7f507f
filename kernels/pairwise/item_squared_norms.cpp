// item_squared_norms: the squared Euclidean norm of every item vector.
//
//   q = item_squared_norms(N, K, X)
//
//   N  item count
//   K  width of an item vector
//   X  item vectors (at least N*K doubles, component k of item i at i*K + k)
//   q  N-by-1: q(i) = X(i*K)^2 + X(i*K + 1)^2 + ... + X(i*K + K-1)^2
#include <cstdint>

#include "gateway.h"

namespace {

enum { IN_N = 0, IN_K, IN_X, NARGS };
const char *const kArgNames[NARGS] = {"N", "K", "X"};

// One accumulator per item from +0.0, adding the squares in ascending k. Each square is rounded
// to double before it is added (never a fused multiply-add): the bits of the result depend on it.
// K <= 0 leaves +0.0.
void sub(int32_t N, int32_t K, const double *X, double *Q) {
    if (N <= 0) return;
    const int64_t n = N, kw = K;
    for (int64_t i = 0; i < n; ++i) {
        double s = 0.0;
        for (int64_t k = 0; k < kw; ++k) {
            const double x = X[i * kw + k];
            const double square = x * x;
            s = s + square;
        }
        Q[i] = s;
    }
}

}  // namespace

void mexFunction(int nlhs, mxArray *plhs[], int nrhs, const mxArray *prhs[]) {
    pk::Gateway gw("item_squared_norms", kArgNames, NARGS, nlhs, nrhs, prhs);
    const int32_t N = gw.size(IN_N);
    const int32_t K = gw.size(IN_K);
    const pk::Array X = gw.array(IN_X);
    gw.need(X, pk::reads(N, K), "N*K");
    double *Q = gw.result(plhs, N, "N", 1, "1");
    sub(N, K, X.data, Q);
}
