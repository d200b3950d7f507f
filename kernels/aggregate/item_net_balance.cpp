// item_net_balance: for each item of an N-by-N pair matrix, its column total minus its row total.
//
//   y = item_net_balance(N, A)
//
//   N  item count
//   A  N-by-N pair matrix (at least N*N doubles, element (r, c) at r + c*N)
//   y  N-by-1: y(i) = sum over j of A(j, i) - A(i, j)
#include <cstdint>

#include "gateway.h"

namespace {

enum { IN_N = 0, IN_A, NARGS };
const char *const kArgNames[NARGS] = {"N", "A"};

// One running total per item from +0.0; for each j in ascending order the column element
// A(j, i) is added and then the row element A(i, j) subtracted. The strict alternation is part
// of the result (with 1e16-sized entries it decides which small terms survive), so the column
// and row totals are never formed separately.
void sub(int32_t N, const double *A, double *y) {
    if (N <= 0) return;
    const int64_t n = N;
    for (int64_t i = 0; i < n; ++i) {
        double s = 0.0;
        for (int64_t j = 0; j < n; ++j) {
            s = s + A[i * n + j];
            s = s - A[j * n + i];
        }
        y[i] = s;
    }
}

}  // namespace

void mexFunction(int nlhs, mxArray *plhs[], int nrhs, const mxArray *prhs[]) {
    pk::Gateway gw("item_net_balance", kArgNames, NARGS, nlhs, nrhs, prhs);
    const int32_t N = gw.size(IN_N);
    const pk::Array A = gw.array(IN_A);
    gw.need(A, pk::reads(N, N), "N*N");
    double *y = gw.result(plhs, N, "N", 1, "1");
    sub(N, A.data, y);
}
