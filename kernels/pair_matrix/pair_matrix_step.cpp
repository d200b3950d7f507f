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
#include "simd.h"

namespace {

enum { IN_N = 0, IN_T, IN_P, IN_Q, NARGS };
const char *const kArgNames[NARGS] = {"N", "t", "P", "Q"};

// The product t*Q[p] is rounded on its own before P[p] is added (never one fused operation);
// t = 0 therefore still turns an infinite or NaN Q into NaN and a -0.0 in P into +0.0.
//
// Elements are independent: L per vector. Results larger than kStreamBytes are written with
// non-temporal stores, which skip reading each result line into the cache before overwriting it
// (the result is far larger than the cache, so nothing is lost by not keeping it there).
constexpr int64_t kStreamBytes = int64_t{64} << 20;

// A non-temporal store of one vector at p (aligned to the vector's width).
template <int L>
PK_INLINE void stream_store(double *p, const typename pk::Vec<L>::type &v) {
    typedef typename pk::Vec<L>::type V;
    if (L == 2)
        __asm__("movntpd %1, %0" : "=m"(*reinterpret_cast<V *>(p)) : "x"(v));
    else
        __asm__("vmovntpd %1, %0" : "=m"(*reinterpret_cast<V *>(p)) : "v"(v));
}

template <int L>
PK_INLINE void step(int64_t count, double t, const double *P, const double *Q, double *R) {
    typedef typename pk::Vec<L>::type V;
    int64_t p = 0;
    const bool stream = count * 8 > kStreamBytes;
    if (stream)  // scalar up to the first 64-byte boundary of R, so the vector stores are aligned
        for (; p < count && reinterpret_cast<uintptr_t>(R + p) % 64 != 0; ++p)
            R[p] = t * Q[p] + P[p];
    V tv;
    for (int l = 0; l < L; ++l) tv[l] = t;
    for (; p + L <= count; p += L) {
        V q, a;
        pk::load<L>(q, Q + p);
        pk::load<L>(a, P + p);
        const V r = tv * q + a;
        if (stream)
            stream_store<L>(R + p, r);
        else
            pk::store<L>(R + p, r);
    }
    for (; p < count; ++p) R[p] = t * Q[p] + P[p];
    if (stream) __builtin_ia32_sfence();  // the streamed stores land before the call returns
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
