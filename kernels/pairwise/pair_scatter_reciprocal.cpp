// pair_scatter_reciprocal: per item, the elementwise reciprocal of the scatter of its pair vectors.
//
//   R = pair_scatter_reciprocal(N, K, P)
//
//   N  item count
//   K  width of a pair vector
//   P  pair vectors (at least N*N*K doubles, pair (p, q) at (p*N + q)*K ... + K - 1), as
//      pair_difference_vectors returns them
//   R  K*K*N-by-1: item i's K-by-K block at i*K*K, R(i*K*K + a*K + b) = 1 / S_i(a, b), 0-based,
//      with S_i(a, b) = sum over j of P((j*N + i)*K + a) * P((j*N + i)*K + b). The reciprocal is
//      taken element by element; it is not a matrix inverse.
#include <cstdint>

#include "gateway.h"

namespace {

enum { IN_N = 0, IN_K, IN_P, NARGS };
const char *const kArgNames[NARGS] = {"N", "K", "P"};

// S is K*K doubles of scratch, row a at a*K, reused for every item. Each S(a, b) is one running
// sum from +0.0 over j ascending, each product rounded before it is added; a zero sum therefore
// is +0.0 and its reciprocal +Inf. For data without NaN the blocks are symmetric bit for bit
// (P_a*P_b equals P_b*P_a and both sums see the same terms in the same order).
void sub(int32_t N, int32_t K, const double *P, double *R, double *S) {
    if (N <= 0 || K <= 0) return;
    const int64_t n = N, kw = K;
    for (int64_t i = 0; i < n; ++i) {
        for (int64_t ab = 0; ab < kw * kw; ++ab) S[ab] = 0.0;
        for (int64_t j = 0; j < n; ++j) {
            const double *v = P + (j * n + i) * kw;
            for (int64_t a = 0; a < kw; ++a)
                for (int64_t b = 0; b < kw; ++b) S[a * kw + b] = S[a * kw + b] + v[a] * v[b];
        }
        double *block = R + i * kw * kw;
        for (int64_t ab = 0; ab < kw * kw; ++ab) block[ab] = 1.0 / S[ab];
    }
}

}  // namespace

void mexFunction(int nlhs, mxArray *plhs[], int nrhs, const mxArray *prhs[]) {
    pk::Gateway gw("pair_scatter_reciprocal", kArgNames, NARGS, nlhs, nrhs, prhs);
    const int32_t N = gw.size(IN_N);
    const int32_t K = gw.size(IN_K);
    const pk::Array P = gw.array(IN_P);
    gw.need(P, pk::reads(N, N, K), "N*N*K");
    double *S = gw.scratch(N > 0 ? pk::reads(K, K) : 0);
    double *R = gw.result(plhs, pk::dim(K, K, N), "K*K*N", 1, "1");
    sub(N, K, P.data, R, S);
}
