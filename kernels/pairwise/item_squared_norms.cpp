// item_squared_norms: the squared Euclidean norm of every item vector.
//
//   q = item_squared_norms(N, K, X)
//
//   N  item count
//   K  width of an item vector
//   X  item vectors (at least N*K doubles, component k of item i at i*K + k)
//   q  N-by-1: q(i) = X(i*K)^2 + X(i*K + 1)^2 + ... + X(i*K + K-1)^2
#include <cstdint>
#include <cstring>

#include "gateway.h"
#include "lanes.h"
#include "isa.h"

namespace {

enum { IN_N = 0, IN_K, IN_X, NARGS };
const char *const kArgNames[NARGS] = {"N", "K", "X"};

using namespace pk::lanes;

// How far ahead of the item vectors in use the next ones are requested from memory, in bytes.
// Only a hint: the address is never dereferenced, so it may lie past the end of X.
const uintptr_t kPrefetchAhead = 4096;

// The sums of squares of T*L consecutive items, lane l of s[l / L] holding item l's: the lane
// inner products of lanes.h with each item vector against itself, so each lane is one item's own
// accumulator (+0.0, then the rounded squares added in ascending k), exactly the single-item loop.
template <int T, class V>
PK_INLINE void item_squares(V *s, const double *x, int64_t kw) {
    constexpr int L = sizeof(V) / sizeof(double);
    for (int64_t c = 0; c < T * L * kw; c += 8)
        __builtin_prefetch(reinterpret_cast<const void *>(
            reinterpret_cast<uintptr_t>(x + c) + kPrefetchAhead));
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
// K <= 0 leaves +0.0. Items are independent, so they are taken T*L at a time (then L, then
// one), each item its own lane.
template <int T, class V>
PK_INLINE void sub_lanes(int32_t N, int32_t K, const double *X, double *Q) {
    constexpr int L = sizeof(V) / sizeof(double);
    const int64_t n = N;
    const int64_t kw = K > 0 ? K : 0;
    int64_t i = 0;
    for (; i + T * L <= n; i += T * L) {
        V s[T];
        item_squares<T>(s, X + i * kw, kw);
        for (int t = 0; t < T; ++t) store(Q + i + t * L, s[t]);
    }
    for (; i + L <= n; i += L) {
        V s;
        item_squares<1>(&s, X + i * kw, kw);
        store(Q + i, s);
    }
    items_plain(n, i, kw, X, Q);
}

// The variants differ only in lane width: the widest whose block of L components fits K (every
// width serves K = 1 and K <= 0). All three stay out of line, so that the function choosing one
// is small and a small call costs no more than the plain loop.
__attribute__((noinline)) void sub_sse2(int32_t N, int32_t K, const double *X, double *Q) {
    sub_lanes<2, v2>(N, K, X, Q);
}

__attribute__((target("avx2"))) void sub_avx2(int32_t N, int32_t K, const double *X, double *Q) {
    if (K >= 4 || K <= 1)
        sub_lanes<2, v4>(N, K, X, Q);
    else
        sub_lanes<2, v2>(N, K, X, Q);
}

__attribute__((target("avx512f,avx512dq,avx512vl"))) void sub_avx512(int32_t N, int32_t K,
                                                                     const double *X, double *Q) {
    if (K >= 8 || K <= 1)
        sub_lanes<2, v8>(N, K, X, Q);
    else if (K >= 4)
        sub_lanes<2, v4>(N, K, X, Q);
    else
        sub_lanes<2, v2>(N, K, X, Q);
}

// Fewer than 8 items: the plain loop, which costs less than choosing a variant.
void sub(int32_t N, int32_t K, const double *X, double *Q) {
    if (N <= 0) return;
    if (N < 8) {
        items_plain(N, 0, K > 0 ? K : 0, X, Q);
        return;
    }
    switch (pk::isa()) {
        case pk::Isa::avx512: sub_avx512(N, K, X, Q); break;
        case pk::Isa::avx2: sub_avx2(N, K, X, Q); break;
        default: sub_sse2(N, K, X, Q); break;
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
