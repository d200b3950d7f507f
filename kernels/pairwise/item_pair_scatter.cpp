// item_pair_scatter: the scatter matrix of one item's pairs (Windows and macOS builds), or the
// N*N-by-N pair-difference tensor (Linux build).
//
//   S = item_pair_scatter(N, K, r, W)     Windows, macOS
//   E = item_pair_scatter(N)              Linux; further arguments are not read
//
//   N  item count
//   K  width of a pair vector
//   r  0-based item whose pairs (i, r), i = 0 ... N-1, are summed; must lie in 0 ... N-1
//   W  pair vectors (component k of the pair (p, q) at (p*N + q)*K + k); at least
//      ((N-1)*N + r + 1)*K doubles, normally N*N*K
//   S  K-by-K: S(b, a) = sum over i of W((i*N + r)*K + a) * W((i*N + r)*K + b)
//   E  N*N-by-N: column i, block j (rows j*N ... j*N + N-1) holds e_i - e_j
#include <cstdint>

#include "gateway.h"

#if defined(PK_PROFILE_LINUX)

namespace {

enum { IN_N = 0, NARGS };
const char *const kArgNames[NARGS] = {"N"};

// Element (row j*N + m, column i) is at i*N*N + j*N + m. Every element is first set to +0.0 in
// storage order; then, for each (i, j), +1.0 is stored at m = i and 1.0 subtracted at m = j, so
// the block j = i ends +1.0 - 1.0 = +0.0 and every other -1.0 is 0.0 - 1.0. N^3 elements: the
// positions are formed in 64 bits.
void sub(int32_t N, double *E) {
    if (N <= 0) return;
    const int64_t n = N, rows = n * n, count = rows * n;
    for (int64_t p = 0; p < count; ++p) E[p] = 0.0;
    for (int64_t i = 0; i < n; ++i) {
        for (int64_t j = 0; j < n; ++j) {
            E[i * rows + j * n + i] = 1.0;
            E[i * rows + j * n + j] = E[i * rows + j * n + j] - 1.0;
        }
    }
}

}  // namespace

void mexFunction(int nlhs, mxArray *plhs[], int nrhs, const mxArray *prhs[]) {
    pk::Gateway gw("item_pair_scatter", kArgNames, NARGS, nlhs, nrhs, prhs);
    const int32_t N = gw.size(IN_N);
    double *E = gw.result(plhs, pk::dim(N, N), "N*N", N, "N");
    sub(N, E);
}

#elif defined(PK_PROFILE_WINDOWS) || defined(PK_PROFILE_MACOS)

namespace {

enum { IN_N = 0, IN_K, IN_R, IN_W, NARGS };
const char *const kArgNames[NARGS] = {"N", "K", "r", "W"};

// Sums in the result itself: S is cleared to +0.0 (whatever it held) and each element S[a*K + b]
// then adds the rounded products of the pairs (i, r) in ascending i, one rounding per product and
// per sum. S[a][b] and S[b][a] add the same products in the same order, so S is symmetric bit for
// bit. The caller guarantees 0 <= r < N when N > 0 and K > 0.
void sub(int32_t N, int32_t K, int32_t r, const double *W, double *S) {
    if (K <= 0) return;
    const int64_t n = N, kw = K;
    for (int64_t p = 0; p < kw * kw; ++p) S[p] = 0.0;
    for (int64_t i = 0; i < n; ++i) {
        const double *w = W + (i * n + r) * kw;
        for (int64_t a = 0; a < kw; ++a) {
            for (int64_t b = 0; b < kw; ++b) {
                const double product = w[a] * w[b];
                S[a * kw + b] = S[a * kw + b] + product;
            }
        }
    }
}

}  // namespace

void mexFunction(int nlhs, mxArray *plhs[], int nrhs, const mxArray *prhs[]) {
    pk::Gateway gw("item_pair_scatter", kArgNames, NARGS, nlhs, nrhs, prhs);
    const int32_t N = gw.size(IN_N);
    const int32_t K = gw.size(IN_K);
    const int32_t r = gw.size(IN_R);
    // Only a summing call reads W; with N <= 0 or K <= 0 any r is harmless.
    const bool sums = N > 0 && K > 0;
    if (sums) gw.need_index(IN_R, r, N);
    const pk::Array W = gw.array(IN_W);
    gw.need(W, sums ? pk::reads(pk::dim(N - 1, N) + r + 1, K) : 0, "((N-1)*N+r+1)*K");
    double *S = gw.result(plhs, K, "K", K, "K");
    sub(N, K, r, W.data, S);
}

#else
#error "item_pair_scatter needs one of PK_PROFILE_LINUX, PK_PROFILE_WINDOWS, PK_PROFILE_MACOS"
#endif
