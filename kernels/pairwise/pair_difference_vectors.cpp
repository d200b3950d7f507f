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

#include "dispatch.h"
#include "gateway.h"

namespace {

enum { IN_N = 0, IN_K, IN_X, NARGS };
const char *const kArgNames[NARGS] = {"N", "K", "X"};

using namespace pk::simd;

// Row i (pairs (i, 0) ... (i, N-1)), one subtraction per element. With K = 1 the row is item i's
// value minus the whole of X, L pairs per vector; otherwise each pair's K components go L at a
// time (K >= L), the last block overlapping the one before, whose elements it stores again with
// the same values.
template <class V>
PK_INLINE void row_lanes(int64_t n, int64_t kw, const double *xi, const double *X, double *d) {
    constexpr int L = lanes<V>;
    if (kw == 1) {
        V a;
        broadcast(a, xi[0]);
        int64_t j = 0;
        for (; j + L <= n; j += L) {
            V b;
            load(b, X + j);
            store(d + j, a - b);
        }
        for (; j < n; ++j) d[j] = xi[0] - X[j];
        return;
    }
    for (int64_t j = 0; j < n; ++j) {
        const double *xj = X + j * kw;
        double *dij = d + j * kw;
        for (int64_t k0 = 0; k0 < kw; k0 += L) {
            const int64_t kb = k0 + L <= kw ? k0 : kw - L;
            V a, b;
            load(a, xi + kb);
            load(b, xj + kb);
            store(dij + kb, a - b);
        }
    }
}

// Every element is one subtraction, the first item's component minus the second's, so block
// (j, i) is the exact negation of block (i, j) except that a zero difference is +0.0 in both.
// Elements are independent; they are written in storage order, with ordinary stores even for
// results far beyond the cache: this kernel reads almost nothing, and on the test machine its
// non-temporal stores took from 0.85x to 1.25x the time of ordinary ones, depending on what else
// the memory was doing, while ordinary stores stayed at or below the plain loop's time.
//
// L is the widest lane count whose block of L components fits K (every width serves K = 1). The
// loop is bound by its stores; 512-bit stores measured slower than 256-bit ones here, so
// AVX-512 processors take the AVX2 variant.
struct Rows {
    template <int L>
    static PK_INLINE void run(int64_t n, int64_t kw, const double *X, double *D) {
        typedef typename Vec<L>::type V;
        for (int64_t i = 0; i < n; ++i) row_lanes<V>(n, kw, X + i * kw, X, D + i * n * kw);
    }
};

struct Differences {
    static constexpr Level widest = Level::avx2;
    template <class Target>
    static PK_INLINE void run(int64_t n, int64_t kw, const double *X, double *D) {
        widest_lanes<Target, Rows>(blocks_of(kw), n, kw, X, D);
    }
};

// Fewer than 8 items: the plain loop, which costs less than choosing a variant.
void sub(int32_t N, int32_t K, const double *X, double *D) {
    if (N <= 0 || K <= 0) return;
    const int64_t n = N, kw = K;
    if (n < 8) {
        for (int64_t i = 0; i < n; ++i) {
            const double *xi = X + i * kw;
            for (int64_t j = 0; j < n; ++j) {
                const double *xj = X + j * kw;
                double *dij = D + (i * n + j) * kw;
                for (int64_t k = 0; k < kw; ++k) dij[k] = xi[k] - xj[k];
            }
        }
        return;
    }
    dispatch<Differences>(n, kw, X, D);
}

}  // namespace

PK_ENTRY(pair_difference_vectors, gw) {
    const int32_t N = gw.size(IN_N);
    const int32_t K = gw.size(IN_K);
    const pk::Array X = gw.array(IN_X);
    gw.need(X, pk::reads(N, K), "N*K");
    // Every element is stored, except the N*N*K zeros of a negative N.
    const pk::Writes writes = N > 0 ? pk::Writes::all : pk::Writes::some;
    double *D = gw.result(pk::dim(N, N, K), "N*N*K", 1, "1", writes);
    sub(N, K, X.data, D);
}
