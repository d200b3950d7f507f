// item_squared_norms: the squared Euclidean norm of every item vector.
//
//   q = item_squared_norms(N, K, X)
//
//   N  item count
//   K  width of an item vector
//   X  item vectors (at least N*K doubles, component k of item i at i*K + k)
//   q  N-by-1: q(i) = X(i*K)^2 + X(i*K + 1)^2 + ... + X(i*K + K-1)^2
#include <cstdint>

#include "../common/pair_model.h"
#include "dispatch.h"
#include "gateway.h"

namespace {

enum { IN_N = 0, IN_K, IN_X, NARGS };
const char *const kArgNames[NARGS] = {"N", "K", "X"};

using namespace pk::simd;
using pk::pair_model::pair_dots;

// How far ahead of the item vectors in use the next ones are requested from memory, in bytes.
// Only a hint: the address is never dereferenced, so it may lie past the end of X.
const uintptr_t kPrefetchAhead = 4096;

// The sums of squares of T*L consecutive items, lane l of s[l / L] holding item l's: the pair
// models' lane inner products with each item vector against itself, so each lane is one item's own
// accumulator (+0.0, then the rounded squares added in ascending k), exactly the single-item loop.
template <int T, class V>
PK_INLINE void item_squares(V *s, const double *x, int64_t kw) {
    prefetch(x, T * lanes<V> * kw, kPrefetchAhead);
    pair_dots<T>(s, x, x, kw);
}

// Items i ... N-1, one at a time: the plain loop.
PK_INLINE void items_plain(int64_t n, int64_t i, int64_t kw, const double *X, double *Q) {
    for (; i < n; ++i) {
        double s = 0.0;
        for (int64_t k = 0; k < kw; ++k) {
            const double x = X[i * kw + k];
            const double square = x * x;
            s = s + square;
        }
        Q[i] = s;
    }
}

// One accumulator per item from +0.0, adding the squares in ascending k. Each square is rounded
// to double before it is added (never a fused multiply-add): the bits of the result depend on it.
// K <= 0 leaves +0.0. Items are independent, so they are taken 2*L at a time (then L, then
// one), each item its own lane, L the widest whose block of L components fits K.
struct Items {
    template <int L>
    static PK_INLINE void run(int64_t n, int64_t kw, const double *X, double *Q) {
        typedef typename Vec<L>::type V;
        int64_t i = 0;
        for (; i + 2 * L <= n; i += 2 * L) {
            V s[2];
            item_squares<2>(s, X + i * kw, kw);
            for (int t = 0; t < 2; ++t) store(Q + i + t * L, s[t]);
        }
        for (; i + L <= n; i += L) {
            V s;
            item_squares<1>(&s, X + i * kw, kw);
            store(Q + i, s);
        }
        items_plain(n, i, kw, X, Q);
    }
};

struct Norms {
    template <class Target>
    static PK_INLINE void run(int64_t n, int64_t kw, const double *X, double *Q) {
        widest_lanes<Target, Items>(blocks_of(kw), n, kw, X, Q);
    }
};

// Fewer than 8 items: the plain loop, which costs less than choosing a variant.
void sub(int32_t N, int32_t K, const double *X, double *Q) {
    if (N <= 0) return;
    const int64_t n = N, kw = K > 0 ? K : 0;
    if (n < 8) {
        items_plain(n, 0, kw, X, Q);
        return;
    }
    dispatch<Norms>(n, kw, X, Q);
}

}  // namespace

PK_ENTRY(item_squared_norms, gw) {
    const int32_t N = gw.size(IN_N);
    const int32_t K = gw.size(IN_K);
    const pk::Array X = gw.array(IN_X);
    gw.need(X, pk::reads(N, K), "N*K");
    double *Q = gw.result(N, "N", 1, "1", pk::Writes::all);
    sub(N, K, X.data, Q);
}
