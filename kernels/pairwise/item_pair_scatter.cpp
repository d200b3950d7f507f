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

#include "dispatch.h"
#include "gateway.h"

#if defined(PK_PROFILE_LINUX)

namespace {

enum { IN_N = 0, NARGS };
const char *const kArgNames[NARGS] = {"N"};

// Element (row j*N + m, column i) is at i*N*N + j*N + m. Every element is first +0.0; then, for
// each (i, j), +1.0 is stored at m = i and 1.0 subtracted at m = j, so the block j = i ends
// +1.0 - 1.0 = +0.0 and every other -1.0 is 0.0 - 1.0. The result arrives from the host already
// zero-filled (+0.0 in every element), so the first step, a pass storing +0.0 over all N^3
// elements, would leave every bit as it is and is not repeated: it would double the time, which
// is all memory traffic. N^3 elements: the positions are formed in 64 bits.
void sub(int32_t N, double *E) {
    if (N <= 0) return;
    const int64_t n = N, rows = n * n;
    for (int64_t i = 0; i < n; ++i) {
        for (int64_t j = 0; j < n; ++j) {
            E[i * rows + j * n + i] = 1.0;
            E[i * rows + j * n + j] = E[i * rows + j * n + j] - 1.0;
        }
    }
}

}  // namespace

PK_ENTRY(item_pair_scatter, gw) {
    const int32_t N = gw.size(IN_N);
    double *E = gw.result(pk::dim(N, N), "N*N", N, "N");
    sub(N, E);
}

#elif defined(PK_PROFILE_WINDOWS) || defined(PK_PROFILE_MACOS)

namespace {

enum { IN_N = 0, IN_K, IN_R, IN_W, NARGS };
const char *const kArgNames[NARGS] = {"N", "K", "r", "W"};

using namespace pk::simd;

// Sums in the result itself: S is cleared to +0.0 (whatever it held) and each element S[a*K + b]
// then adds the rounded products of the pairs (i, r) in ascending i, one rounding per product and
// per sum. S[a][b] and S[b][a] add the same products in the same order, so S is symmetric bit for
// bit. The caller guarantees 0 <= r < N when N > 0 and K > 0.
void sub_plain(int32_t N, int32_t K, int32_t r, const double *W, double *S) {
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

// Pairs are summed a block of this many at a time, which every tile of S then reads from the
// nearest cache: in W their vectors lie N*K doubles apart, often a multiple of the page size and
// so on the same cache sets, of which a level-1 cache has 8 or more ways.
const int64_t kBlockPairs = 8;

// Adds to the elements S[a][b] of rows a0 ... a0+A-1 and columns b0 ... b0+L-1 (L doubles in a V;
// V = double is one column) the products w[a] * w[b] of `count` pair vectors, w0, w0 + stride,
// ..., in that order. Each element is one register from its stored value on: the same sequence of
// rounded products and sums that the plain loop performs on S[a][b].
// A tile's narrowest column is one double.
using pk::simd::load;
using pk::simd::store;
PK_INLINE void load(double &v, const double *p) { v = *p; }
PK_INLINE void store(double *p, const double &v) { *p = v; }

template <int A, class V>
PK_INLINE void add_tile(int64_t count, int64_t kw, int64_t a0, int64_t b0, const double *w0,
                        int64_t stride, double *S) {
    V s[A];
    for (int a = 0; a < A; ++a) load(s[a], S + (a0 + a) * kw + b0);
    for (int64_t i = 0; i < count; ++i) {
        const double *w = w0 + i * stride;
        V wb;
        load(wb, w + b0);
        for (int a = 0; a < A; ++a) s[a] = s[a] + w[a0 + a] * wb;
    }
    for (int a = 0; a < A; ++a) store(S + (a0 + a) * kw + b0, s[a]);
}

// Rows a0 ... a0+A-1 from column b on: as many tiles of the widest V as fit, the rest with the
// narrower ones, the last of which is double. The tiles never overlap.
template <int A, class V, class... Narrower>
PK_INLINE void add_rows(int64_t count, int64_t kw, int64_t a0, int64_t b, const double *w0,
                        int64_t stride, double *S) {
    constexpr int L = sizeof(V) / sizeof(double);  // V may be double
    for (; b + L <= kw; b += L) add_tile<A, V>(count, kw, a0, b, w0, stride, S);
    if constexpr (sizeof...(Narrower) > 0)
        add_rows<A, Narrower...>(count, kw, a0, b, w0, stride, S);
}

// S, cleared to +0.0, then every element summed over the pairs (i, r) in ascending i: block by
// block of pairs, and within a block tile by tile, 8 rows at a time (then 4, 2, 1). A tile goes
// on from the sums the blocks before it left in S, so each element still adds its products in
// ascending i.
template <class... Vs>
PK_INLINE void sub_tiles(int32_t N, int32_t K, int32_t r, const double *W, double *S) {
    const int64_t n = N, kw = K;
    for (int64_t p = 0; p < kw * kw; ++p) S[p] = 0.0;
    for (int64_t i0 = 0; i0 < n; i0 += kBlockPairs) {
        const int64_t count = n - i0 < kBlockPairs ? n - i0 : kBlockPairs;
        const double *w0 = W + (i0 * n + r) * kw;
        int64_t a = 0;
        for (; a + 8 <= kw; a += 8) add_rows<8, Vs...>(count, kw, a, 0, w0, n * kw, S);
        for (; a + 4 <= kw; a += 4) add_rows<4, Vs...>(count, kw, a, 0, w0, n * kw, S);
        for (; a + 2 <= kw; a += 2) add_rows<2, Vs...>(count, kw, a, 0, w0, n * kw, S);
        for (; a < kw; ++a) add_rows<1, Vs...>(count, kw, a, 0, w0, n * kw, S);
    }
}

// K = 2 and 3: the K*K sums all in registers at once, over the pairs in ascending i.
template <int KK>
PK_INLINE void sub_small(int32_t N, int32_t r, const double *W, double *S) {
    const int64_t n = N;
    double s[KK][KK];
    for (int a = 0; a < KK; ++a)
        for (int b = 0; b < KK; ++b) s[a][b] = 0.0;
    for (int64_t i = 0; i < n; ++i) {
        const double *w = W + (i * n + r) * KK;
        for (int a = 0; a < KK; ++a)
            for (int b = 0; b < KK; ++b) s[a][b] = s[a][b] + w[a] * w[b];
    }
    for (int a = 0; a < KK; ++a)
        for (int b = 0; b < KK; ++b) S[a * KK + b] = s[a][b];
}

// The variants differ only in their widest lanes; each tiles with every narrower width after it.
struct Tiles {
    template <class Target>
    static PK_INLINE void run(int32_t N, int32_t K, int32_t r, const double *W, double *S) {
        if constexpr (Target::lanes >= 8)
            sub_tiles<v8, v4, v2, double>(N, K, r, W, S);
        else if constexpr (Target::lanes >= 4)
            sub_tiles<v4, v2, double>(N, K, r, W, S);
        else
            sub_tiles<v2, double>(N, K, r, W, S);
    }
};

// K = 1 is a single sum, and with no pairs S is just cleared: the plain loop.
void sub(int32_t N, int32_t K, int32_t r, const double *W, double *S) {
    if (K <= 1 || N <= 0) {
        sub_plain(N, K, r, W, S);
        return;
    }
    if (K <= 3) {
        if (K == 2)
            sub_small<2>(N, r, W, S);
        else
            sub_small<3>(N, r, W, S);
        return;
    }
    dispatch<Tiles>(N, K, r, W, S);
}

}  // namespace

PK_ENTRY(item_pair_scatter, gw) {
    const int32_t N = gw.size(IN_N);
    const int32_t K = gw.size(IN_K);
    const int32_t r = gw.size(IN_R);
    // Only a summing call reads W; with N <= 0 or K <= 0 any r is harmless.
    const bool sums = N > 0 && K > 0;
    if (sums) gw.need_index(IN_R, r, N);
    const pk::Array W = gw.array(IN_W);
    gw.need(W, sums ? pk::reads(pk::dim(N - 1, N) + r + 1, K) : 0, "((N-1)*N+r+1)*K");
    double *S = gw.result(K, "K", K, "K", pk::Writes::all);
    sub(N, K, r, W.data, S);
}

#else
#error "item_pair_scatter needs one of PK_PROFILE_LINUX, PK_PROFILE_WINDOWS, PK_PROFILE_MACOS"
#endif
