// pair_difference_vectors: the difference vector of every ordered pair of items.
//
//   D = pair_difference_vectors(N, K, X)
//
//   N  item count
//   K  width of an item vector
//   X  item vectors (at least N*K doubles, item i at i*K ... i*K + K - 1)
//   D  N*N*K-by-1: D((i*N + j)*K + k) = X(i*K + k) - X(j*K + k), 0-based; read as a K-by-N-by-N
//      array, element (k, j, i) is component k of item i minus component k of item j
#include <cstdint>

#include "gateway.h"

namespace {

enum { IN_N = 0, IN_K, IN_X, NARGS };
const char *const kArgNames[NARGS] = {"N", "K", "X"};

// Every element is one subtraction, the first item's component minus the second's, so block
// (j, i) is the exact negation of block (i, j) except that a zero difference is +0.0 in both.
void sub(int32_t N, int32_t K, const double *X, double *D) {
    if (N <= 0 || K <= 0) return;
    const int64_t n = N, kw = K;
    for (int64_t i = 0; i < n; ++i) {
        const double *xi = X + i * kw;
        for (int64_t j = 0; j < n; ++j) {
            const double *xj = X + j * kw;
            double *dij = D + (i * n + j) * kw;
            for (int64_t k = 0; k < kw; ++k) dij[k] = xi[k] - xj[k];
        }
    }
}

}  // namespace

void mexFunction(int nlhs, mxArray *plhs[], int nrhs, const mxArray *prhs[]) {
    pk::Gateway gw("pair_difference_vectors", kArgNames, NARGS, nlhs, nrhs, prhs);
    const int32_t N = gw.size(IN_N);
    const int32_t K = gw.size(IN_K);
    const pk::Array X = gw.array(IN_X);
    gw.need(X, pk::reads(N, K), "N*K");
    double *D = gw.result(plhs, pk::dim(N, N, K), "N*N*K", 1, "1");
    sub(N, K, X.data, D);
}
