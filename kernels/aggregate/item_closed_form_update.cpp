// item_closed_form_update: one new value per item from pair totals, in closed form.
//
//   y = item_closed_form_update(N, K, t, U, V, W, x, d, Z)
//
//   N  item count
//   K  width of the pair and item vectors
//   t  real parameter of the update
//   U  N-by-N pair matrix (at least N*N doubles, element (r, s) at r + s*N)
//   V  N-by-N pair matrix, same layout as U
//   W  pair vectors (at least N*N*K doubles, pair (a, b) at (a*N + b)*K ... + K - 1)
//   x  per-item values (at least N doubles)
//   d  per-item values (at least N doubles)
//   Z  item vectors (at least N*K doubles, item a at a*K ... a*K + K - 1)
//   y  N-by-1: y(i) = ((d(i) + ru(i) - cu(i)) + t*(2*e(i) + rv(i) - cv(i) - q(i) + p(i))) * g
//      with cu/ru and cv/rv the column/row totals of U and V for item i,
//      p(i) = sum over j, k of W(pair (i, j), k) * Z(item j, k),
//      q(i) = sum over j, k of W(pair (j, i), k) * Z(item i, k),
//      e(i) = sum of x over the other items, and g = 1 / ((2N*t + 1) - 2*t)
#include <cstdint>

#include "dispatch.h"
#include "gateway.h"

using pk::simd::v2;
using pk::simd::v4;
using pk::simd::v8;

namespace {

enum { IN_N = 0, IN_K, IN_T, IN_U, IN_V, IN_W, IN_X, IN_D, IN_Z, NARGS };
const char *const kArgNames[NARGS] = {"N", "K", "t", "U", "V", "W", "x", "d", "Z"};

// Scratch holds 6*N doubles: the per-item totals cu, ru, cv, rv, p and q, N each.
//
// Each total is one running sum from +0.0: cu, ru, cv, rv and e over j ascending (e skipping
// j = i), p and q over the pairs (j, k) with j ascending and k ascending within each j, one
// accumulator across all of them (never a partial sum per j). Every product is rounded before
// it is added. The factor g is a reciprocal formed once and multiplied in; dividing by the
// denominator instead can change the last bit (46/3 is ...334, 46 * (1/3) is ...332). The
// parentheses of y are the order of the operations. The order in which different totals are
// worked on is free, since no total feeds another before y.

// Items in blocks of kB, as vectors of L lanes, one item per lane.
constexpr int kB = 8;

// How far ahead each of the kB streams that a pass reads side by side (columns of U and V, rows
// of W) is requested from memory, in bytes: the hardware follows so many streams poorly.
const uintptr_t kRowsAhead = 2048;

// Column and row totals of one N-by-N matrix A: c[i] = sum over j of A[i*N + j] (down column
// i), r[i] = sum over j of A[j*N + i] (along row i, stride N). A is read once, in blocks of kB
// columns streamed top to bottom side by side, kB rows at a time: the kB-by-kB tile at rows
// r0 .., columns j0 .. gives row total r[r0 + u] its terms j0 .. j0+kB-1 in order (r waits in
// memory between column blocks, which come in ascending order), and, transposed, gives the
// block's column totals (one vector lane per column, kept in registers down the columns) their
// terms r0 .. r0+kB-1 in order. Rows before the first 64-byte boundary of A (so that the tiles'
// column pieces fill cache lines where N allows), rows after the last whole tile and the last
// N mod kB columns are added with scalar code in the same orders.

// Rows r0 .. r1-1 of the columns j0 .. j0+nc-1.
PK_INLINE void rows_scalar(int64_t n, const double *A, double *c, double *r, int64_t j0,
                           int64_t nc, int64_t r0, int64_t r1) {
    for (int64_t i = r0; i < r1; ++i)
        for (int64_t j = j0; j < j0 + nc; ++j) {
            c[j] = c[j] + A[j * n + i];
            r[i] = r[i] + A[j * n + i];
        }
}

template <int L>
PK_INLINE void totals(int64_t n, const double *A, double *c, double *r) {
    typedef pk::simd::Tile<L, kB> T;
    typedef typename T::V V;
    constexpr int M = T::M;
    for (int64_t i = 0; i < n; ++i) c[i] = r[i] = 0.0;
    int64_t h = static_cast<int64_t>((64 - reinterpret_cast<uintptr_t>(A) % 64) % 64 / 8);
    if (h > n) h = n;
    const int64_t end = n - (n - h) % kB;  // whole tiles cover rows h .. end-1
    int64_t j0 = 0;
    for (; j0 + kB <= n; j0 += kB) {
        // Rows above the tiles, then the tiles, then the rows below: each row total takes the
        // block's columns in order, each column total its rows in order.
        rows_scalar(n, A, c, r, j0, kB, 0, h);
        V cv[M];
        PK_UNROLL
        for (int k = 0; k < M; ++k) pk::simd::load(cv[k], c + j0 + k * L);
        for (int64_t r0 = h; r0 < end; r0 += kB) {
            V X[kB][M], Xt[kB][M], rv[M];
            PK_UNROLL
            for (int c = 0; c < kB; ++c) pk::simd::prefetch(A + (j0 + c) * n + r0, kB, kRowsAhead);
            T::load(X, A, n, r0, j0);
            PK_UNROLL
            for (int k = 0; k < M; ++k) pk::simd::load(rv[k], r + r0 + k * L);
            PK_UNROLL
            for (int u = 0; u < kB; ++u)
                PK_UNROLL
                for (int k = 0; k < M; ++k) rv[k] = rv[k] + X[u][k];
            PK_UNROLL
            for (int k = 0; k < M; ++k) pk::simd::store(r + r0 + k * L, rv[k]);
            T::transpose(X, Xt);
            PK_UNROLL
            for (int v = 0; v < kB; ++v)
                PK_UNROLL
                for (int k = 0; k < M; ++k) cv[k] = cv[k] + Xt[v][k];
        }
        PK_UNROLL
        for (int k = 0; k < M; ++k) pk::simd::store(c + j0 + k * L, cv[k]);
        rows_scalar(n, A, c, r, j0, kB, end, n);
    }
    if (j0 < n) rows_scalar(n, A, c, r, j0, n - j0, 0, n);
}

// p and q from one pass over W. The product of component k of pair vector (a, b) with that of
// item vector b is term (b, k) of p[a] and term (a, k) of q[b], so each product is formed once
// and added to both. Rows a go in blocks of kB; step s of a block takes the cells (a0 + u,
// s - u), one per row u, each cell the K products of one pair vector. The cells of a step
// belong to different p and different q totals, so they are independent and go side by side,
// component by component; p[a0 + u] meets its cells in ascending b, and q[b] meets the rows of
// the block in ascending a (cell (a0 + u, b) comes at step b + u), blocks in ascending order.
// The block's rows of W are read as kB streams side by side.
PK_INLINE void pq_cell(const double *w, const double *z, int64_t K, double &p, double &q) {
    double sp = p, sq = q;
    for (int64_t k = 0; k < K; ++k) {
        const double wz = w[k] * z[k];
        sp = sp + wz;
        sq = sq + wz;
    }
    p = sp;
    q = sq;
}

// The cells of step s that exist: rows u with 0 <= s - u < N.
PK_INLINE void pq_step(int64_t n, int64_t K, const double *wa, const double *Z, double *pa,
                       double *q, int64_t rows, int64_t s) {
    const int64_t lo = s < n ? 0 : s - n + 1, hi = s < rows ? s : rows - 1;
    for (int64_t u = lo; u <= hi; ++u)
        pq_cell(wa + (u * n + s - u) * K, Z + (s - u) * K, K, pa[u], q[s - u]);
}

// v = {x, v[0], ..., v[L-2]}; returns the lane shifted out, v[L-1].
template <int L>
struct ShiftIn;

template <>
struct ShiftIn<2> {
    static PK_INLINE double run(v2 &v, double x) {
        const double out = v[1];
        v2 b;
        pk::simd::broadcast(b, x);
        pk::simd::shuffle<2, 0>(v, v, b);
        return out;
    }
};

template <>
struct ShiftIn<4> {
    static PK_INLINE double run(v4 &v, double x) {
        const double out = v[3];
        v4 b;
        pk::simd::broadcast(b, x);
        pk::simd::shuffle<4, 0, 1, 2>(v, v, b);
        return out;
    }
};

template <>
struct ShiftIn<8> {
    static PK_INLINE double run(v8 &v, double x) {
        const double out = v[7];
        v8 b;
        pk::simd::broadcast(b, x);
        pk::simd::shuffle<8, 0, 1, 2, 3, 4, 5, 6>(v, v, b);
        return out;
    }
};

// Steps kB-1 .. N-1 of a block, which have all their cells, in vectors of L lanes: lane l of
// vector t is row u = t*L + l. The rows' p totals stay in registers, and so do the q totals of
// the step's cells: lane u holds q[s - u], so from one step to the next the lanes move up by
// one, q[s + 1] comes in at lane 0 and q[s - kB + 1], done with this block, goes out. A cell's
// K products are formed L components at a time from contiguous loads (the last block of
// components overlapping the one before, only its new components added; K = 1 puts one cell
// in each lane instead), and the L-by-L blocks of products transposed so that one vector
// addition adds component k of L cells to their totals, k ascending.
// The products of one block of L components, kb ... kb + L - 1, of the step's kB cells (cell u:
// pair vector w[u], item vector z - u*K), transposed: m[t][c] holds component kb + c of the
// cells t*L ... t*L + L - 1, one per lane.
template <int L, int T, class V>
PK_INLINE void cell_products(V (&m)[T][L], const double *const (&w)[kB], const double *z,
                             int64_t K, int64_t kb) {
    PK_UNROLL
    for (int t = 0; t < T; ++t) {
        PK_UNROLL
        for (int l = 0; l < L; ++l) {
            const int u = t * L + l;
            V a, b;
            pk::simd::load(a, w[u] + kb);
            pk::simd::load(b, z - u * K + kb);
            m[t][l] = a * b;
        }
        pk::simd::transpose(m[t]);
    }
}

template <int L>
PK_INLINE void pq_full_steps(int64_t n, int64_t K, const double *wa, const double *Z, double *pa,
                             double *q) {
    typedef typename pk::simd::Vec<L>::type V;
    constexpr int T = kB / L;
    // Before step kB-1, lane u holds q[kB - 2 - u]; the last lane's, which would be q[-1], is
    // shifted out unused at that step.
    double before[kB];
    PK_UNROLL
    for (int u = 0; u < kB; ++u) before[u] = u < kB - 1 ? q[kB - 2 - u] : 0.0;
    V sp[T], sq[T];
    PK_UNROLL
    for (int t = 0; t < T; ++t) {
        pk::simd::load(sp[t], pa + t * L);
        pk::simd::load(sq[t], before + t * L);
    }
    // Cell u of step s: pair vector (a0 + u, s - u) and item vector s - u.
    const double *w[kB];
    PK_UNROLL
    for (int u = 0; u < kB; ++u) w[u] = wa + (u * n + kB - 1 - u) * K;
    const double *z = Z + (kB - 1) * K;
    for (int64_t s = kB - 1; s < n; ++s) {
        PK_UNROLL
        for (int u = 0; u < kB; ++u) pk::simd::prefetch(w[u], K, kRowsAhead);
        double in = q[s];
        PK_UNROLL
        for (int t = 0; t < T; ++t) in = ShiftIn<L>::run(sq[t], in);
        if (s >= kB) q[s - kB] = in;  // q[s - kB] has all its cells of this block
        if (K == 1) {
            PK_UNROLL
            for (int t = 0; t < T; ++t) {
                V a, b;
                for (int l = 0; l < L; ++l) {
                    a[l] = w[t * L + l][0];
                    b[l] = z[-(t * L + l)];
                }
                const V m = a * b;
                sp[t] = sp[t] + m;
                sq[t] = sq[t] + m;
            }
        } else if (K == L) {
            V m[T][L];
            cell_products<L>(m, w, z, K, 0);
            PK_UNROLL
            for (int c = 0; c < L; ++c)
                PK_UNROLL
                for (int t = 0; t < T; ++t) {
                    sp[t] = sp[t] + m[t][c];
                    sq[t] = sq[t] + m[t][c];
                }
        } else {
            for (int64_t k0 = 0; k0 < K; k0 += L) {
                const int64_t kb = k0 + L <= K ? k0 : K - L;
                V m[T][L];
                cell_products<L>(m, w, z, K, kb);
                const int64_t first = k0 - kb;
                PK_UNROLL
                for (int c = 0; c < L; ++c)
                    if (c >= first)
                        PK_UNROLL
                        for (int t = 0; t < T; ++t) {
                            sp[t] = sp[t] + m[t][c];
                            sq[t] = sq[t] + m[t][c];
                        }
            }
        }
        PK_UNROLL
        for (int u = 0; u < kB; ++u) w[u] += K;
        z += K;
    }
    PK_UNROLL
    for (int t = 0; t < T; ++t) {
        pk::simd::store(pa + t * L, sp[t]);
        for (int l = 0; l < L; ++l) q[n - 1 - t * L - l] = sq[t][l];
    }
}

// The vectors' lanes must fit the components (K >= L, or K = 1); narrower K take the scalar
// cells, 8 side by side.
template <int L>
PK_INLINE void pq_totals(int64_t n, int64_t K, const double *W, const double *Z, double *p,
                         double *q) {
    for (int64_t i = 0; i < n; ++i) p[i] = q[i] = 0.0;
    if (K <= 0) return;
    for (int64_t a0 = 0; a0 < n; a0 += kB) {
        const int64_t rows = n - a0 < kB ? n - a0 : kB;
        double *pa = p + a0;
        const double *wa = W + a0 * n * K;  // row a0 + u starts u*N*K further
        if (rows < kB || n < kB) {
            for (int64_t s = 0; s < n + rows - 1; ++s) pq_step(n, K, wa, Z, pa, q, rows, s);
            continue;
        }
        for (int64_t s = 0; s < kB - 1; ++s) pq_step(n, K, wa, Z, pa, q, kB, s);
        if (K == 1 || K >= L) {
            pq_full_steps<L>(n, K, wa, Z, pa, q);
        } else {
            double sp[kB], sq[kB];
            const double *w[kB], *z[kB];
            PK_UNROLL
            for (int u = 0; u < kB; ++u) sp[u] = pa[u];
            for (int64_t s = kB - 1; s < n; ++s) {
                PK_UNROLL
                for (int u = 0; u < kB; ++u) {
                    w[u] = wa + (u * n + s - u) * K;
                    z[u] = Z + (s - u) * K;
                    sq[u] = q[s - u];
                }
                for (int64_t k = 0; k < K; ++k)
                    PK_UNROLL
                    for (int u = 0; u < kB; ++u) {
                        const double wz = w[u][k] * z[u][k];
                        sp[u] = sp[u] + wz;
                        sq[u] = sq[u] + wz;
                    }
                PK_UNROLL
                for (int u = 0; u < kB; ++u) q[s - u] = sq[u];
            }
            PK_UNROLL
            for (int u = 0; u < kB; ++u) pa[u] = sp[u];
        }
        for (int64_t s = n; s < n + kB - 1; ++s) pq_step(n, K, wa, Z, pa, q, kB, s);
    }
}

// e[i] = sum of x[j] over j != i, ascending, for the items of a block at once (one per lane);
// then y. The block's own items are the only terms some lane skips; they go lane by lane.
template <int L>
PK_INLINE void finish(int64_t n, double t, double g, const double *x, const double *d,
                      const double *cu, const double *ru, const double *cv, const double *rv,
                      const double *p, const double *q, double *y) {
    typedef typename pk::simd::Vec<L>::type V;
    constexpr int M = kB / L;
    const int64_t end = n - n % kB;
    for (int64_t i0 = 0; i0 < n; i0 += kB) {
        double e[kB] = {};
        if (i0 < end) {
            V ev[M] = {};
            for (int64_t j = 0; j < i0; ++j)
                PK_UNROLL
                for (int k = 0; k < M; ++k) ev[k] = ev[k] + x[j];
            PK_UNROLL
            for (int k = 0; k < M; ++k) pk::simd::store(e + k * L, ev[k]);
            for (int64_t j = i0; j < i0 + kB; ++j)
                for (int64_t i = 0; i < kB; ++i)
                    if (i0 + i != j) e[i] = e[i] + x[j];
            PK_UNROLL
            for (int k = 0; k < M; ++k) pk::simd::load(ev[k], e + k * L);
            for (int64_t j = i0 + kB; j < n; ++j)
                PK_UNROLL
                for (int k = 0; k < M; ++k) ev[k] = ev[k] + x[j];
            PK_UNROLL
            for (int k = 0; k < M; ++k) pk::simd::store(e + k * L, ev[k]);
        } else {
            for (int64_t j = 0; j < n; ++j)
                for (int64_t i = 0; i < n - i0; ++i)
                    if (i0 + i != j) e[i] = e[i] + x[j];
        }
        for (int64_t i = i0; i < i0 + kB && i < n; ++i) {
            const double a = (d[i] + ru[i]) - cu[i];
            const double b = ((((2.0 * e[i - i0]) + rv[i]) - cv[i]) - q[i]) + p[i];
            y[i] = (a + t * b) * g;
        }
    }
}

// Item blocks of kB items take vectors of the target's width.
struct ClosedForm {
    template <class Target>
    static PK_INLINE void run(int64_t n, int64_t K, double t, const double *U, const double *V,
                              const double *W, const double *x, const double *d, const double *Z,
                              double *y, double *scratch) {
        constexpr int L = Target::lanes;
        double *cu = scratch, *ru = cu + n, *cv = ru + n, *rv = cv + n, *p = rv + n, *q = p + n;
        totals<L>(n, U, cu, ru);
        totals<L>(n, V, cv, rv);
        pq_totals<L>(n, K, W, Z, p, q);
        // 2N is a 32-bit integer product converted to double. N*N doubles of U exist, so 2N is
        // far below 2^31 and forming it in 64 bits gives the same value.
        const double two_n = static_cast<double>(2 * n);
        const double g = 1.0 / ((two_n * t + 1.0) - t * 2.0);
        finish<L>(n, t, g, x, d, cu, ru, cv, rv, p, q, y);
    }
};

// Few items: item by item, each total in a local.
void fun_small(int64_t n, int64_t K, double t, const double *U, const double *V, const double *W,
               const double *x, const double *d, const double *Z, double *y) {
    const double two_n = static_cast<double>(2 * n);
    const double g = 1.0 / ((two_n * t + 1.0) - t * 2.0);
    for (int64_t i = 0; i < n; ++i) {
        double cu = 0.0, ru = 0.0, cv = 0.0, rv = 0.0, p = 0.0, q = 0.0, e = 0.0;
        for (int64_t j = 0; j < n; ++j) {
            cu = cu + U[i * n + j];
            ru = ru + U[j * n + i];
            cv = cv + V[i * n + j];
            rv = rv + V[j * n + i];
            for (int64_t k = 0; k < K; ++k) {
                p = p + W[(i * n + j) * K + k] * Z[j * K + k];
                q = q + W[(j * n + i) * K + k] * Z[i * K + k];
            }
            if (j != i) e = e + x[j];
        }
        const double a = (d[i] + ru) - cu;
        const double b = ((((2.0 * e) + rv) - cv) - q) + p;
        y[i] = (a + t * b) * g;
    }
}

void fun(int32_t N, int32_t K, double t, const double *U, const double *V, const double *W,
         const double *x, const double *d, const double *Z, double *y, double *scratch) {
    if (N <= 0) return;
    const int64_t kw = K > 0 ? K : 0;
    if (N < 16) return fun_small(N, kw, t, U, V, W, x, d, Z, y);
    pk::simd::dispatch<ClosedForm>(static_cast<int64_t>(N), kw, t, U, V, W, x, d, Z, y, scratch);
}

}  // namespace

PK_ENTRY(item_closed_form_update, gw) {
    const int32_t N = gw.size(IN_N);
    const int32_t K = gw.size(IN_K);
    const double t = gw.scalar(IN_T);
    const pk::Array U = gw.array(IN_U);
    const pk::Array V = gw.array(IN_V);
    const pk::Array W = gw.array(IN_W);
    const pk::Array x = gw.array(IN_X);
    const pk::Array d = gw.array(IN_D);
    const pk::Array Z = gw.array(IN_Z);
    gw.need(U, pk::reads(N, N), "N*N");
    gw.need(V, pk::reads(N, N), "N*N");
    gw.need(W, pk::reads(N, N, K), "N*N*K");
    gw.need(x, pk::reads(N), "N");
    gw.need(d, pk::reads(N), "N");
    gw.need(Z, pk::reads(N, K), "N*K");
    double *scratch = gw.scratch(pk::reads(6, N));
    double *y = gw.result(N, "N", 1, "1", pk::Writes::all);
    fun(N, K, t, U.data, V.data, W.data, x.data, d.data, Z.data, y, scratch);
}
