// item_net_balance: for each item of an N-by-N pair matrix, its column total minus its row total.
//
//   y = item_net_balance(N, A)
//
//   N  item count
//   A  N-by-N pair matrix (at least N*N doubles, element (r, c) at r + c*N)
//   y  N-by-1: y(i) = sum over j of A(j, i) - A(i, j)
#include <cstdint>

#include "dispatch.h"
#include "gateway.h"

namespace {

enum { IN_N = 0, IN_A, NARGS };
const char *const kArgNames[NARGS] = {"N", "A"};

// One running total per item from +0.0; for each j in ascending order the column element
// A(j, i) is added and then the row element A(i, j) subtracted. The strict alternation is part
// of the result (with 1e16-sized entries it decides which small terms survive), so the column
// and row totals are never formed separately.
//
// Item i's steps read column i top to bottom and row i left to right, the row with a stride of
// N. Instead of one item at a time, items go in blocks of kB and A in kB-by-kB tiles: the tile
// at rows R, columns C holds the column elements of the items in C for the steps j in R, and
// the row elements of the items in R for the steps j in C. Pairs of blocks (I, J), I <= J, are
// visited I-major: tiles (J, I) and (I, J) together give the items of I their steps j in J and
// the items of J their steps i in I, so every element of A is read once from memory. The items
// of block X get their steps from the pairs (0, X), (1, X), ..., (X, X), (X, X + 1), ... in
// exactly this order, that is in ascending j. The totals wait in y between pairs (the host's
// zero fill is overwritten with +0.0 first); block I's stay in registers while J runs, one
// vector lane per item. A short leading block (the items before the first 64-byte boundary of
// A, so that the tiles' column pieces fill cache lines where N allows) and a short trailing
// block (the last N mod kB items) are done with scalar code in the same pair order.
//
// Speed: each block's total is one long chain of dependent additions, so a pair is quick only
// if its tiles are in L1 by the time the chain reaches them. Both tiles of a pair a few pairs
// on are prefetched: block I's row pieces (one cache line per column, N doubles apart, which
// the hardware prefetchers do not follow) and block I's column pieces (which they follow, but
// only into L2). Each tile is transposed one lane group at a time and its untransposed vectors
// are read again from L1 as the other block's operands, so that no vector spills.
constexpr int kB = 8;
constexpr int64_t kAheadTiles = 6;

// The steps j0 .. j0+nj-1 of items i0 .. i0+ni-1 (ni <= kB) and, for two different blocks, the
// steps i0 .. i0+ni-1 of items j0 .. j0+nj-1, on the totals in y. The items of the first part
// go side by side, step by step, so that their chains of additions overlap.
PK_INLINE void pair_scalar(int64_t n, const double *A, double *y, int64_t i0, int64_t ni,
                           int64_t j0, int64_t nj) {
    double s[kB];
    for (int64_t i = 0; i < ni; ++i) s[i] = y[i0 + i];
    for (int64_t j = j0; j < j0 + nj; ++j)
        for (int64_t i = 0; i < ni; ++i) {
            s[i] = s[i] + A[(i0 + i) * n + j];
            s[i] = s[i] - A[j * n + i0 + i];
        }
    for (int64_t i = 0; i < ni; ++i) y[i0 + i] = s[i];
    if (i0 == j0) return;
    for (int64_t j = j0; j < j0 + nj; ++j) {
        double t = y[j];
        for (int64_t i = i0; i < i0 + ni; ++i) {
            t = t + A[j * n + i];
            t = t - A[i * n + j];
        }
        y[j] = t;
    }
}

// The kB columns of a tile, col(c) = p + c*n, addressed from two bases four columns apart: every
// column is then a base plus 0 to 3 strides, which keeps a pair's addresses in few registers
// (computed one by one they spill, and the reloads lengthen every pair).
struct Cols {
    const double *p, *p4;
    int64_t n;
    PK_INLINE Cols(const double *base, int64_t stride) : p(base), p4(base + 4 * stride), n(stride) {
        __asm__("" : "+r"(p4));  // kept as a base of its own, not folded back into p + 4n
    }
    PK_INLINE const double *col(int c) const { return (c < 4 ? p : p4) + (c & 3) * n; }
};

template <int L>
struct Balance {
    typedef pk::simd::Tile<L, kB> T;
    typedef typename T::V V;
    static constexpr int M = T::M;  // lane groups per block

    // The kB steps of a tile pair, lane by lane: s = (s + add[j]) - sub[j], j ascending.
    static PK_INLINE void steps(V (&s)[M], const V (&add)[kB][M], const V (&sub)[kB][M]) {
        PK_UNROLL
        for (int j = 0; j < kB; ++j)
            PK_UNROLL
            for (int r = 0; r < M; ++r) s[r] = (s[r] + add[j][r]) - sub[j][r];
    }

    // Items i0.. take their steps i0..: A[(i0 + i)*N + i0 + j] is Dt[j] lane i and
    // A[(i0 + j)*N + i0 + i] is D[j] lane i.
    static PK_INLINE void diagonal(V (&s)[M], const double *A, int64_t n, int64_t i0) {
        V D[kB][M], Dt[kB][M];
        T::load(D, A, n, i0, i0);
        T::transpose(D, Dt);
        steps(s, Dt, D);
    }

    // G[j] lane l = t.col(r*L + l)[j]: lane group r of the transpose of the tile t.
    static PK_INLINE void transposed(V (&G)[kB], Cols t, int r) {
        PK_UNROLL
        for (int jb = 0; jb < kB / L; ++jb) {
            V in[L], out[L];
            PK_UNROLL
            for (int l = 0; l < L; ++l) pk::simd::load(in[l], t.col(r * L + l) + jb * L);
            pk::simd::Transpose<L>::run(in, out);
            PK_UNROLL
            for (int l = 0; l < L; ++l) G[jb * L + l] = out[l];
        }
    }

    // Lane group r of s takes kB steps: s = (s + add[j]) - sub.col(j)[r*L ...], j ascending.
    static PK_INLINE void steps(V &s, const V (&add)[kB], Cols sub, int r) {
        PK_UNROLL
        for (int j = 0; j < kB; ++j) {
            V v;
            pk::simd::load(v, sub.col(j) + r * L);
            s = (s + add[j]) - v;
        }
    }

    // Items of block I take the steps of block J and the items of J those of I. P is the tile
    // at rows I, columns J; Q the tile at rows J, columns I.
    static PK_INLINE void pair(V (&sI)[M], V (&sJ)[M], Cols P, Cols Q) {
        PK_UNROLL
        for (int r = 0; r < M; ++r) {
            V G[kB];
            transposed(G, Q, r);
            steps(sI[r], G, P, r);
        }
        PK_UNROLL
        for (int r = 0; r < M; ++r) {
            V G[kB];
            transposed(G, P, r);
            steps(sJ[r], G, Q, r);
        }
    }

    static PK_INLINE void all(int64_t n, const double *A, double *y) {
        for (int64_t i = 0; i < n; ++i) y[i] = 0.0;
        const int64_t h = pk::simd::before_boundary(A, n);
        if (h > 0) {
            pair_scalar(n, A, y, 0, h, 0, h);
            pair_scalar(n, A, y, 0, h, h, n - h);
        }
        const int64_t end = n - (n - h) % kB;  // whole blocks cover h .. end-1
        for (int64_t i0 = h; i0 < end; i0 += kB) {
            V sI[M], sJ[M];
            PK_UNROLL
            for (int r = 0; r < M; ++r) pk::simd::load(sI[r], y + i0 + r * L);
            diagonal(sI, A, n, i0);
            for (int64_t j0 = i0 + kB; j0 < end; j0 += kB) {
                const Cols P(A + j0 * n + i0, n), Q(A + i0 * n + j0, n);
                if (j0 + kAheadTiles * kB < end) {
                    const Cols F(P.p + kAheadTiles * kB * n, n);
                    for (int c = 0; c < kB; ++c) __builtin_prefetch(F.col(c));
                    for (int c = 0; c < kB; ++c) __builtin_prefetch(Q.col(c) + kAheadTiles * kB);
                }
                PK_UNROLL
                for (int r = 0; r < M; ++r) pk::simd::load(sJ[r], y + j0 + r * L);
                pair(sI, sJ, P, Q);
                PK_UNROLL
                for (int r = 0; r < M; ++r) pk::simd::store(y + j0 + r * L, sJ[r]);
            }
            PK_UNROLL
            for (int r = 0; r < M; ++r) pk::simd::store(y + i0 + r * L, sI[r]);
            if (end < n) pair_scalar(n, A, y, i0, kB, end, n - end);
        }
        if (end < n) pair_scalar(n, A, y, end, n - end, end, n - end);
    }
};

struct NetBalance {
    template <class Target>
    static PK_INLINE void run(int64_t n, const double *A, double *y) {
        Balance<Target::lanes>::all(n, A, y);
    }
};

void sub(int32_t N, const double *A, double *y) {
    if (N <= 0) return;
    const int64_t n = N;
    if (n < 2 * kB) {  // too few items for tiles to pay off: item by item
        for (int64_t i = 0; i < n; ++i) {
            double s = 0.0;
            for (int64_t j = 0; j < n; ++j) {
                s = s + A[i * n + j];
                s = s - A[j * n + i];
            }
            y[i] = s;
        }
        return;
    }
    pk::simd::dispatch<NetBalance>(n, A, y);
}

}  // namespace

PK_ENTRY(item_net_balance, gw) {
    const int32_t N = gw.size(IN_N);
    const pk::Array A = gw.array(IN_A);
    gw.need(A, pk::reads(N, N), "N*N");
    double *y = gw.result(N, "N", 1, "1", pk::Writes::all);
    sub(N, A.data, y);
}
