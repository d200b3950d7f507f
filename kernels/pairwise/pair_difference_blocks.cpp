// pair_difference_blocks: pair differences of item vectors, placed in the second item's column
// block of a matrix with one row per ordered pair.
//
//   R = pair_difference_blocks(N, K, X)
//
//   N  item count
//   K  width of an item vector
//   X  item vectors (at least N*K doubles, component k of item i at i*K + k)
//   R  N*N-by-N*K: row i*N + j (pair (i, j)) holds X(:, j) - X(:, i) in columns j*K ... j*K + K-1
//      and zeros elsewhere
#include <cstdint>

#include "gateway.h"

namespace {

enum { IN_N = 0, IN_K, IN_X, NARGS };
const char *const kArgNames[NARGS] = {"N", "K", "X"};

// Writes only the N*N*K addressed elements, each once by one subtraction, and relies on the
// host's zero fill for the rest. The minuend is always the second item's value, so the row of the
// pair (i, j) holds x_j - x_i. Element (row i*N + j, column j*K + k) is at
// (j*K + k)*N*N + i*N + j: the result has N^3*K elements, so positions are formed in 64 bits.
// Elements are independent; they are stored column by column from the end of the result back to
// its start, because the end is what the host's zero fill wrote last and may still be in the
// cache.
void fun(int32_t N, int32_t K, const double *X, double *R) {
    if (N <= 0 || K <= 0) return;
    const int64_t n = N, kw = K, rows = n * n;
    for (int64_t j = n; j-- > 0;)
        for (int64_t k = kw; k-- > 0;) {
            double *column = R + (j * kw + k) * rows + j;  // the pairs (i, j), row i*N + j
            const double xj = X[j * kw + k];
            for (int64_t i = n; i-- > 0;) column[i * n] = xj - X[i * kw + k];
        }
}

}  // namespace

PK_ENTRY(pair_difference_blocks, gw) {
    const int32_t N = gw.size(IN_N);
    const int32_t K = gw.size(IN_K);
    const pk::Array X = gw.array(IN_X);
    gw.need(X, pk::reads(N, K), "N*K");
    double *R = gw.result(pk::dim(N, N), "N*N", pk::dim(N, K), "N*K");
    fun(N, K, X.data, R);
}
