// pair_matrix_step: a pair matrix moved a real step along a direction, P + t*Q elementwise.
//
//   R = pair_matrix_step(N, t, P, Q)
//
//   N  item count
//   t  the step
//   P  base pair values, N*N doubles; pair (i, j) at i*N + j
//   Q  direction pair values, N*N doubles, laid out like P
//   R  N*N-by-1: R(p) = t*Q(p) + P(p)
//
// Only the first N*N elements of P and Q are read; a negative N gives N*N zeros.
#include <cstdint>

#include "gateway.h"
#include "isa.h"
#include "lanes.h"
#include "simd.h"

namespace {

enum { IN_N = 0, IN_T, IN_P, IN_Q, NARGS };
const char *const kArgNames[NARGS] = {"N", "t", "P", "Q"};

// The product t*Q[p] is rounded on its own before P[p] is added (never one fused operation);
// t = 0 therefore still turns an infinite or NaN Q into NaN and a -0.0 in P into +0.0.
//
// Elements are independent: L per vector. A result beyond 64 MiB is streamed (lanes.h): scalar
// up to the first 64-byte boundary, then non-temporal vector stores.
template <int L>
PK_INLINE void step(int64_t count, double t, const double *P, const double *Q, double *R) {
    typedef typename pk::Vec<L>::type V;
    const bool stream = pk::lanes::streamed(count);
    int64_t p = pk::lanes::lead(R, count, stream);
    for (int64_t e = 0; e < p; ++e) R[e] = t * Q[e] + P[e];
    V tv;
    for (int l = 0; l < L; ++l) tv[l] = t;
    for (; p + L <= count; p += L) {
        V q, a;
        pk::load<L>(q, Q + p);
        pk::load<L>(a, P + p);
        pk::lanes::put(R + p, tv * q + a, stream);
    }
    for (; p < count; ++p) R[p] = t * Q[p] + P[p];
    pk::lanes::fence(stream);
}

__attribute__((target("avx512f,avx512dq,avx512vl"))) void sub_avx512(int64_t count, double t,
                                                                      const double *P,
                                                                      const double *Q, double *R) {
    step<8>(count, t, P, Q, R);
}

__attribute__((target("avx2"))) void sub_avx2(int64_t count, double t, const double *P,
                                              const double *Q, double *R) {
    step<4>(count, t, P, Q, R);
}

void sub(int32_t N, double t, const double *P, const double *Q, double *R) {
    if (N <= 0) return;
    const int64_t count = static_cast<int64_t>(N) * N;
    switch (pk::isa()) {
        case pk::Isa::avx512: sub_avx512(count, t, P, Q, R); break;
        case pk::Isa::avx2: sub_avx2(count, t, P, Q, R); break;
        default: step<2>(count, t, P, Q, R); break;
    }
}

}  // namespace

void mexFunction(int nlhs, mxArray *plhs[], int nrhs, const mxArray *prhs[]) {
    pk::Gateway gw("pair_matrix_step", kArgNames, NARGS, nlhs, nrhs, prhs);
    const int32_t N = gw.size(IN_N);
    const double t = gw.scalar(IN_T);
    const pk::Array P = gw.array(IN_P);
    const pk::Array Q = gw.array(IN_Q);
    gw.need(P, pk::reads(N, N), "N*N");
    gw.need(Q, pk::reads(N, N), "N*N");
    double *R = gw.result(plhs, pk::dim(N, N), "N*N", 1, "1");
    sub(N, t, P.data, Q.data, R);
}
