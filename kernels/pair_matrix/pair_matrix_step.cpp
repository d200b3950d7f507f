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

#include "../common/pair_model.h"
#include "dispatch.h"
#include "gateway.h"

namespace {

enum { IN_N = 0, IN_T, IN_P, IN_Q, NARGS };
const char *const kArgNames[NARGS] = {"N", "t", "P", "Q"};

// The product t*Q[p] is rounded on its own before P[p] is added (never one fused operation);
// t = 0 therefore still turns an infinite or NaN Q into NaN and a -0.0 in P into +0.0.
//
// Elements are independent: L per vector. A result beyond 64 MiB is streamed (pair_model.h): scalar
// up to the first 64-byte boundary, then streaming vector stores.
struct Step {
    template <class Target>
    static PK_INLINE void run(int64_t count, double t, const double *P, const double *Q,
                              double *R) {
        using namespace pk::pair_model;
        typedef typename pk::simd::Vec<Target::lanes>::type V;
        const bool stream = streamed(count);
        int64_t p = lead(R, count, stream);
        for (int64_t e = 0; e < p; ++e) R[e] = t * Q[e] + P[e];
        V tv;
        pk::simd::broadcast(tv, t);
        for (; p + Target::lanes <= count; p += Target::lanes) {
            V q, a;
            pk::simd::load(q, Q + p);
            pk::simd::load(a, P + p);
            put(R + p, tv * q + a, stream);
        }
        for (; p < count; ++p) R[p] = t * Q[p] + P[p];
        fence(stream);
    }
};

void sub(int32_t N, double t, const double *P, const double *Q, double *R) {
    if (N <= 0) return;
    const int64_t count = static_cast<int64_t>(N) * N;
    pk::simd::dispatch<Step>(count, t, P, Q, R);
}

}  // namespace

PK_ENTRY(pair_matrix_step, gw) {
    const int32_t N = gw.size(IN_N);
    const double t = gw.scalar(IN_T);
    const pk::Array P = gw.array(IN_P);
    const pk::Array Q = gw.array(IN_Q);
    gw.need(P, pk::reads(N, N), "N*N");
    gw.need(Q, pk::reads(N, N), "N*N");
    // Every element is stored, except the N*N zeros of a negative N.
    const pk::Writes writes = N > 0 ? pk::Writes::all : pk::Writes::some;
    double *R = gw.result(pk::dim(N, N), "N*N", 1, "1", writes);
    sub(N, t, P.data, Q.data, R);
}
