// repeated_vector_sum: the elementwise sum of two vectors, each element formed K times over. A
// calibration kernel: K sets the amount of work, N*K loads, additions and stores, while the values
// depend on K only through its sign.
//
//   c = repeated_vector_sum(N, K, A, B)
//
//   N  length of the vectors
//   K  repeat count
//   A  first vector (at least N doubles)
//   B  second vector (at least N doubles)
//   c  N-by-1: c(i) = A(i) + B(i) when K >= 1, +0.0 when K <= 0
#include <algorithm>
#include <cstdint>

#include "dispatch.h"
#include "gateway.h"

namespace {

enum { IN_N = 0, IN_K, IN_A, IN_B, NARGS };
const char *const kArgNames[NARGS] = {"N", "K", "A", "B"};

// C[i] is +0.0 when K <= 0; otherwise, K times, A[i] and B[i] are read afresh, added and the sum
// stored in C[i]. Nothing accumulates, so every repetition stores the same value. The work is
// the point: the empty asm statement with a memory clobber sits before every repetition and tells
// the compiler that any memory may have been read or changed, so each repetition really loads
// both inputs, adds them and stores the sum; none can be merged or dropped. (A +0.0 stored first
// would be overwritten by the first repetition, and C's elements are then never read: it is
// stored only where no repetition follows.)
//
// Elements are independent, so they go L at a time, one per vector lane, and a repetition takes
// kBlock vectors (2 KiB or less each of A, B and C): each element still gets its own K loads,
// additions and stores, only L of them share an instruction, and the block's K repetitions run
// in the cache while the next block's lines are on their way. The first elements, up to the
// first cache line boundary of A, go one at a time, so that the blocks' vector loads never
// straddle two lines (nor B's loads and C's stores where B and C lie at A's offset within a
// line, as the arrays of one host allocator usually do): an access split across two lines costs
// about twice a whole one, every repetition would pay it again, and a repetition makes two loads
// for each store. The block is long enough that a repetition's loads of a vector come long after
// the previous repetition's store at the same page offset in C has left the store queue: the
// processor compares the low address bits first, and a load that matches a queued store waits
// for it.
//
// N*K repetitions can take days (N = 10^6, K = 2^31 - 1), so between blocks, about every 2^24
// repetitions, the host may stop the call (pk::poll: Ctrl-C in the native Octave build, nothing
// for MEX hosts). A block's repetitions are never cut, and no value depends on the polls.
constexpr int kBlock = 32;
// A block's repetitions take longer than its lines take to arrive, and the hardware's own
// prefetch then falls behind: the lines 4 KiB ahead of A, B and C are requested before each block.
const uintptr_t kAhead = 4096;
const uintptr_t kLine = 64;
constexpr int64_t kPollEvery = int64_t{1} << 24;

struct Repeat {
    template <class Target>
    static PK_INLINE void run(int64_t n, int32_t K, const double *A, const double *B, double *C) {
        constexpr int L = Target::lanes;
        typedef typename pk::simd::Vec<L>::type V;
        if (K <= 0) {
            for (int64_t i = 0; i < n; ++i) C[i] = 0.0;
            return;
        }
        int64_t work = 0;  // repetitions since the last poll
        // Elements [i, end) one at a time, each with its K repetitions.
        auto singly = [&](int64_t i, int64_t end) {
            for (; i < end; ++i) {
                if ((work += K) >= kPollEvery) {
                    work = 0;
                    pk::poll();
                }
                for (int32_t rep = 0; rep < K; ++rep) {
                    __asm__ __volatile__("" ::: "memory");
                    C[i] = A[i] + B[i];
                }
            }
        };
        int64_t i = 0;
        const uintptr_t line = reinterpret_cast<uintptr_t>(A) % kLine;
        if (line != 0 && line % sizeof(double) == 0) {
            i = std::min(n, static_cast<int64_t>((kLine - line) / sizeof(double)));
            singly(0, i);
        }
        for (; i + kBlock * L <= n; i += kBlock * L) {
            if ((work += int64_t{K} * kBlock * L) >= kPollEvery) {
                work = 0;
                pk::poll();
            }
            pk::simd::prefetch(A + i, kBlock * L, kAhead);
            pk::simd::prefetch(B + i, kBlock * L, kAhead);
            pk::simd::prefetch(C + i, kBlock * L, kAhead);
            for (int32_t rep = 0; rep < K; ++rep) {
                __asm__ __volatile__("" ::: "memory");
                PK_UNROLL
                for (int v = 0; v < kBlock; ++v) {
                    V a, b;
                    pk::simd::load(a, A + i + v * L);
                    pk::simd::load(b, B + i + v * L);
                    pk::simd::store(C + i + v * L, a + b);
                }
            }
        }
        singly(i, n);
    }
};

void sub(int32_t N, int32_t K, const double *A, const double *B, double *C) {
    if (N <= 0) return;
    pk::simd::dispatch<Repeat>(static_cast<int64_t>(N), K, A, B, C);
}

}  // namespace

PK_ENTRY(repeated_vector_sum, gw) {
    const int32_t N = gw.size(IN_N);
    const int32_t K = gw.size(IN_K);
    const pk::Array A = gw.array(IN_A);
    gw.need(A, pk::reads(N), "N");
    const pk::Array B = gw.array(IN_B);
    gw.need(B, pk::reads(N), "N");
    double *C = gw.result(N, "N", 1, "1", pk::Writes::all);
    sub(N, K, A.data, B.data, C);
}
