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

#include "gateway.h"

namespace {

enum { IN_N = 0, IN_K, IN_T, IN_A, IN_B, IN_V, IN_W, IN_M, NARGS };
const char *const kArgNames[NARGS] = {"N", "K", "t", "A", "B", "v", "W", "M"};

// s is K doubles of scratch, reused for every item. A is multiplied by r = 1/t, never divided
// by t (the two can differ in the last bit), so t = +-0 gives r = +-Inf and NaN where A is 0.
// v(i) - v(j) is rounded on its own before it is subtracted. Both sums (s over partners j,
// each result over l) have one accumulator from +0.0, add in ascending order, and round every
// product before adding it.
void sub(int32_t N, int32_t K, double t, const double *A, const double *B, const double *v,
         const double *W, const double *M, double *R, double *s) {
    if (N <= 0 || K <= 0) return;
    const int64_t n = N, kw = K;
    const double r = 1.0 / t;
    for (int64_t i = 0; i < n; ++i) {
        for (int64_t k = 0; k < kw; ++k) s[k] = 0.0;
        for (int64_t j = 0; j < n; ++j) {
            const double h = (r * A[j * n + i] + B[j * n + i]) - (v[i] - v[j]);
            const double *w = W + (j * n + i) * kw;
            for (int64_t k = 0; k < kw; ++k) s[k] = h * w[k] + s[k];
        }
        const double *m = M + i * kw * kw;
        for (int64_t k = 0; k < kw; ++k) {
            double sum = 0.0;
            for (int64_t l = 0; l < kw; ++l) sum = sum + s[l] * m[l * kw + k];
            R[i * kw + k] = sum;
        }
    }
}

}  // namespace

void mexFunction(int nlhs, mxArray *plhs[], int nrhs, const mxArray *prhs[]) {
    pk::Gateway gw("transformed_pair_vector_sum", kArgNames, NARGS, nlhs, nrhs, prhs);
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
    double *s = gw.scratch(N > 0 ? pk::reads(K) : 0);
    double *R = gw.result(plhs, pk::dim(N, K), "N*K", 1, "1");
    sub(N, K, t, A.data, B.data, v.data, W.data, M.data, R, s);
}
