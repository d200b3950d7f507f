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

#include "dispatch.h"
#include "gateway.h"

namespace {

enum { IN_N = 0, IN_K, IN_P, NARGS };
const char *const kArgNames[NARGS] = {"N", "K", "P"};

// Each S_i(a, b) is one running sum from +0.0 over j ascending, each product rounded before it
// is added; a zero sum therefore is +0.0 and its reciprocal +Inf. For data without NaN the
// blocks are symmetric bit for bit (P_a*P_b equals P_b*P_a and both sums see the same terms in
// the same order). S_i is accumulated in item i's result block, row a at a*K, and replaced by
// its reciprocals in place at the end: no scratch copy of S.
//
// Loop order: items in chunks whose blocks stay in cache; partners j in runs of up to kRun.
// For each item of the chunk, its pair vectors (j, i) of the run (N*K doubles apart in P, and
// read kRun streams side by side, the next items' vectors prefetched) are copied into a panel,
// row jj at jj*Kp with Kp = K rounded up to the vector width and zeros beyond K; then the block
// is updated tile by tile: a tile of TA rows a and TB vectors of columns b is loaded into
// registers, takes the run's terms in ascending j, and is stored back. Runs go in ascending j,
// so every S_i(a, b) still takes all its terms in ascending j. Tiles wholly below the diagonal
// are skipped: those entries are copied from the ones above it at the end (mirror() says when
// that is exact). For K = 1 the items are the vector lanes instead, S_i being the single sum
// of P((j, i))^2. For a few hundred products the plain loops are used.
constexpr int64_t kBlockDoubles = 32768;  // a chunk's blocks: 256 KiB
constexpr int64_t kPanelDoubles = 2048;   // a run's panel: 16 KiB
constexpr int64_t kRun = 16;
constexpr int64_t kAhead = 128;  // prefetch distance along a stream, in doubles (1 KiB)

void mirror(int64_t n, int64_t K, const double *P, int64_t i, double *R);

// The panel starts at the scratch's first 64-byte boundary (the scratch holds doubles, so one
// lies among its first 8), so that every row of Kp doubles starts at a vector boundary and the
// tiles load the panel's vectors aligned.
PK_INLINE double *aligned_panel(double *scratch) {
    const uintptr_t past = reinterpret_cast<uintptr_t>(scratch) % 64;
    return past == 0 ? scratch : scratch + (64 - past) / sizeof(double);
}

template <int L>
struct Scatter {
    typedef typename pk::simd::Vec<L>::type V;

    static int64_t padded(int64_t K) { return (K + L - 1) / L * L; }

    static int64_t run(int64_t K) {
        const int64_t r = kPanelDoubles / padded(K);
        return r > kRun ? kRun : r > 1 ? r : 1;
    }

    // Columns b0 .. b0 + nb - 1 of row a, lane by lane where fewer than L remain (the block
    // may end there).
    static PK_INLINE void load_part(V &v, const double *p, int64_t nb) {
        if (nb >= L) return pk::simd::load(v, p);
        V part = {};
        for (int l = 0; l < nb; ++l) part[l] = p[l];
        v = part;
    }
    static PK_INLINE void store_part(double *p, const V &v, int64_t nb) {
        if (nb >= L) return pk::simd::store(p, v);
        for (int l = 0; l < nb; ++l) p[l] = v[l];
    }

    // Rows a0 .. a0+TA-1, columns b0 .. b0 + TB*L - 1 (those below K stored) of the block S
    // (row stride K), over the rows jj = 0 .. jn-1 of the panel (row stride Kp) in order.
    template <int TA, int TB>
    static PK_INLINE void tile(double *S, int64_t K, const double *panel, int64_t Kp, int64_t jn,
                               int64_t a0, int64_t b0) {
        V acc[TA][TB];
        PK_UNROLL
        for (int ta = 0; ta < TA; ++ta)
            PK_UNROLL
            for (int tb = 0; tb < TB; ++tb)
                load_part(acc[ta][tb], S + (a0 + ta) * K + b0 + tb * L, K - b0 - tb * L);
        // One pointer per operand row, stepped a panel row at a time: the tile's scalars are
        // then one base and constant offsets, which leaves registers for the accumulators.
        const double *rows_a = panel + a0, *rows_b = panel + b0;
        for (int64_t jj = 0; jj < jn; ++jj, rows_a += Kp, rows_b += Kp) {
            V pb[TB];
            PK_UNROLL
            for (int tb = 0; tb < TB; ++tb) pk::simd::load_aligned(pb[tb], rows_b + tb * L);
            PK_UNROLL
            for (int ta = 0; ta < TA; ++ta) {
                const double pa = rows_a[ta];
                PK_UNROLL
                for (int tb = 0; tb < TB; ++tb) acc[ta][tb] = acc[ta][tb] + pa * pb[tb];
            }
        }
        PK_UNROLL
        for (int ta = 0; ta < TA; ++ta)
            PK_UNROLL
            for (int tb = 0; tb < TB; ++tb)
                store_part(S + (a0 + ta) * K + b0 + tb * L, acc[ta][tb], K - b0 - tb * L);
    }

    // The rows of the columns b0 .. b0 + TB*L - 1 that reach the upper triangle (a <= b for
    // some column b of the group), in tiles of 8 rows (6 for two vectors), then of 4, 2 and 1.
    template <int TB>
    static PK_INLINE void columns(double *S, int64_t K, const double *panel, int64_t Kp,
                                  int64_t jn, int64_t b0) {
        constexpr int TA = TB == 1 ? 8 : 6;
        const int64_t rows = b0 + TB * L < K ? b0 + TB * L : K;
        int64_t a0 = 0;
        for (; a0 + TA <= rows; a0 += TA) tile<TA, TB>(S, K, panel, Kp, jn, a0, b0);
        if (TA > 4 && a0 + 4 <= rows) {
            tile<4, TB>(S, K, panel, Kp, jn, a0, b0);
            a0 += 4;
        }
        if (TA > 2 && a0 + 2 <= rows) {
            tile<2, TB>(S, K, panel, Kp, jn, a0, b0);
            a0 += 2;
        }
        if (a0 < rows) tile<1, TB>(S, K, panel, Kp, jn, a0, b0);
    }

    // Column groups of one vector each (two where L = 2): the narrower the groups, the less of
    // the lower triangle their tiles cover.
    static PK_INLINE void block(double *S, int64_t K, const double *panel, int64_t Kp,
                                int64_t jn) {
        int64_t b0 = 0;
        if (L == 2)  // two-lane vectors: two per group, so that each broadcast feeds four columns
            for (; b0 + L < K; b0 += 2 * L) columns<2>(S, K, panel, Kp, jn, b0);
        for (; b0 < K; b0 += L) columns<1>(S, K, panel, Kp, jn, b0);
    }

    static PK_INLINE void single(int64_t n, const double *P, double *R) {
        for (int64_t i = 0; i < n; ++i) R[i] = 0.0;
        for (int64_t j = 0; j < n; ++j) {
            const double *p = P + j * n;
            int64_t i = 0;
            for (; i + L <= n; i += L) {
                V pv, sv;
                pk::simd::load(pv, p + i);
                pk::simd::load(sv, R + i);
                pk::simd::store(R + i, sv + pv * pv);
            }
            for (; i < n; ++i) R[i] = R[i] + p[i] * p[i];
        }
        for (int64_t i = 0; i < n; ++i) R[i] = 1.0 / R[i];
    }

    static PK_INLINE void all(int64_t n, int64_t K, const double *P, double *R, double *scratch) {
        if (K == 1) return single(n, P, R);
        double *panel = aligned_panel(scratch);
        const int64_t Kp = padded(K), runs = n < run(K) ? n : run(K), KK = K * K;
        const int64_t chunk = kBlockDoubles / KK > 1 ? kBlockDoubles / KK : 1;
        const int64_t ahead = kAhead / K > 1 ? kAhead / K : 1;  // in items
        for (int64_t jj = 0; jj < runs; ++jj)
            for (int64_t a = K; a < Kp; ++a) panel[jj * Kp + a] = 0.0;
        for (int64_t i0 = 0; i0 < n; i0 += chunk) {
            const int64_t c = n - i0 < chunk ? n - i0 : chunk;
            for (int64_t m = 0; m < c * KK; ++m) R[i0 * KK + m] = 0.0;
            for (int64_t j0 = 0; j0 < n; j0 += runs) {
                const int64_t jn = n - j0 < runs ? n - j0 : runs;
                for (int64_t i = i0; i < i0 + c; ++i) {
                    for (int64_t jj = 0; jj < jn; ++jj) {
                        const double *v = P + ((j0 + jj) * n + i) * K;
                        if (i + ahead < i0 + c)
                            for (int64_t o = 0; o < K; o += 8)
                                __builtin_prefetch(v + ahead * K + o);
                        double *row = panel + jj * Kp;
                        int64_t a = 0;
                        for (; a + L <= K; a += L) {
                            V t;
                            pk::simd::load(t, v + a);
                            pk::simd::store(row + a, t);
                        }
                        for (; a < K; ++a) row[a] = v[a];
                    }
                    block(R + i * KK, K, panel, Kp, jn);
                }
            }
            for (int64_t m = 0; m < c * KK; ++m) R[i0 * KK + m] = 1.0 / R[i0 * KK + m];
            for (int64_t i = i0; i < i0 + c; ++i) mirror(n, K, P, i, R + i * KK);
        }
    }
};

// The entries below the diagonal of item i's block (of reciprocals) from those above it. Where
// 1/S_i(b, a), b < a, is not NaN, no product of its sum was NaN, so neither factor of any was, and
// then P_a*P_b and P_b*P_a are the same number: S_i(a, b) took the same terms in the same order
// and is the same bits. Where it is NaN, S_i(a, b) is summed on its own: its NaN is then the one
// its own products give (a product of two NaNs takes the payload of one of them).
void mirror(int64_t n, int64_t K, const double *P, int64_t i, double *R) {
    for (int64_t a = 1; a < K; ++a)
        for (int64_t b = 0; b < a; ++b) {
            const double upper = R[b * K + a];
            if (upper == upper) {
                R[a * K + b] = upper;
                continue;
            }
            double s = 0.0;
            for (int64_t j = 0; j < n; ++j) {
                const double *v = P + (j * n + i) * K;
                s = s + v[a] * v[b];
            }
            R[a * K + b] = 1.0 / s;
        }
}

bool few_products(int64_t n, int64_t K) { return n < 32 && K < 32 && n * n * K * K < 1024; }

// Panel scratch for every variant: a run of at most min(N, kRun) rows of K rounded up to at
// most K + 7, from the first 64-byte boundary in the scratch on (none for K = 1 and for the
// plain loops).
int64_t panel_doubles(int64_t n, int64_t K) {
    if (n <= 0 || K <= 1 || few_products(n, K)) return 0;
    return (n < kRun ? n : kRun) * (K + 7) + 7;
}

struct Blocks {
    template <int L>
    static PK_INLINE void run(int64_t n, int64_t K, const double *P, double *R, double *panel) {
        Scatter<L>::all(n, K, P, R, panel);
    }
};

// Narrow blocks take narrow vectors: K <= 2 two lanes, K <= 4 four.
struct Reciprocals {
    template <class Target>
    static PK_INLINE void run(int64_t n, int64_t K, const double *P, double *R, double *panel) {
        pk::simd::widest_lanes<Target, Blocks>(K <= 2 ? 2 : K <= 4 ? 4 : 8, n, K, P, R, panel);
    }
};

void sub_small(int64_t n, int64_t K, const double *P, double *R) {
    for (int64_t i = 0; i < n; ++i) {
        double *S = R + i * K * K;
        for (int64_t a = 0; a < K; ++a)
            for (int64_t b = 0; b < K; ++b) S[a * K + b] = 0.0;
        for (int64_t j = 0; j < n; ++j)
            for (int64_t a = 0; a < K; ++a)
                for (int64_t b = 0; b < K; ++b)
                    S[a * K + b] = S[a * K + b] + P[(j * n + i) * K + a] * P[(j * n + i) * K + b];
        for (int64_t a = 0; a < K; ++a)
            for (int64_t b = 0; b < K; ++b) S[a * K + b] = 1.0 / S[a * K + b];
    }
}

void sub(int32_t N, int32_t K, const double *P, double *R, double *panel) {
    if (N <= 0 || K <= 0) return;
    if (few_products(N, K)) return sub_small(N, K, P, R);
    pk::simd::dispatch<Reciprocals>(static_cast<int64_t>(N), static_cast<int64_t>(K), P, R, panel);
}

}  // namespace

PK_ENTRY(pair_scatter_reciprocal, gw) {
    const int32_t N = gw.size(IN_N);
    const int32_t K = gw.size(IN_K);
    const pk::Array P = gw.array(IN_P);
    gw.need(P, pk::reads(N, N, K), "N*N*K");
    double *panel = gw.scratch(panel_doubles(N, K));
    // Every element is stored, except the K*K*N zeros of a negative K.
    const pk::Writes writes = N > 0 && K > 0 ? pk::Writes::all : pk::Writes::some;
    double *R = gw.result(pk::dim(K, K, N), "K*K*N", 1, "1", writes);
    sub(N, K, P.data, R, panel);
}
