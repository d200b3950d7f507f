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

#include "gateway.h"

namespace {

enum { IN_N = 0, IN_K, IN_T, IN_U, IN_V, IN_W, IN_X, IN_D, IN_Z, NARGS };
const char *const kArgNames[NARGS] = {"N", "K", "t", "U", "V", "W", "x", "d", "Z"};

// Scratch holds 7*N doubles: the per-item totals cu, ru, cv, rv, p, q and e, N each.
//
// Each total is one running sum from +0.0: cu, ru, cv, rv and e over j ascending (e skipping
// j = i), p and q over the pairs (j, k) with j ascending and k ascending within each j, one
// accumulator across all of them (never a partial sum per j). Every product is rounded before
// it is added. The factor g is a reciprocal formed once and multiplied in; dividing by the
// denominator instead can change the last bit (46/3 is ...334, 46 * (1/3) is ...332). The
// parentheses of y are the order of the operations.
//
// The totals are gathered in one pass over the pairs (a, b), a outer: element U[a*N + b] is
// term j = b of column total cu[a] and term j = a of row total ru[b], and the products of pair
// vector (a, b) with item vector b are term j = b of p[a] and term j = a of q[b]. Every total
// still receives its terms in ascending j, and U, V and W are read once, in storage order.
void fun(int32_t N, int32_t K, double t, const double *U, const double *V, const double *W,
         const double *x, const double *d, const double *Z, double *y, double *scratch) {
    if (N <= 0) return;
    const int64_t n = N;
    const int64_t kw = K > 0 ? K : 0;
    double *cu = scratch, *ru = cu + n, *cv = ru + n, *rv = cv + n;
    double *p = rv + n, *q = p + n, *e = q + n;

    for (int64_t i = 0; i < 7 * n; ++i) scratch[i] = 0.0;
    for (int64_t a = 0; a < n; ++a) {
        for (int64_t b = 0; b < n; ++b) {
            const double u = U[a * n + b], v = V[a * n + b];
            cu[a] = cu[a] + u;
            ru[b] = ru[b] + u;
            cv[a] = cv[a] + v;
            rv[b] = rv[b] + v;
            const double *w = W + (a * n + b) * kw;
            const double *zb = Z + b * kw;
            for (int64_t k = 0; k < kw; ++k) {
                const double wz = w[k] * zb[k];
                p[a] = p[a] + wz;
                q[b] = q[b] + wz;
            }
        }
    }

    // 2N is a 32-bit integer product converted to double. N*N doubles of U exist, so 2N is far
    // below 2^31 and forming it in 64 bits gives the same value.
    const double two_n = static_cast<double>(2 * n);
    const double g = 1.0 / ((two_n * t + 1.0) - t * 2.0);

    for (int64_t i = 0; i < n; ++i) {
        for (int64_t j = 0; j < n; ++j)
            if (j != i) e[i] = e[i] + x[j];
        const double a = (d[i] + ru[i]) - cu[i];
        const double b = ((((2.0 * e[i]) + rv[i]) - cv[i]) - q[i]) + p[i];
        y[i] = (a + t * b) * g;
    }
}

}  // namespace

void mexFunction(int nlhs, mxArray *plhs[], int nrhs, const mxArray *prhs[]) {
    pk::Gateway gw("item_closed_form_update", kArgNames, NARGS, nlhs, nrhs, prhs);
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
    double *scratch = gw.scratch(pk::reads(7, N));
    double *y = gw.result(plhs, N, "N", 1, "1");
    fun(N, K, t, U.data, V.data, W.data, x.data, d.data, Z.data, y, scratch);
}
