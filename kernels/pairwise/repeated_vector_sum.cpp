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
#include <type_traits>
#include <utility>

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
// first cache line boundary of C, go one at a time, so that no store of a block straddles two
// lines. A and B rarely lie at C's offset within a line (Octave's arrays start at any multiple of
// 16 bytes), and a load that straddles two lines costs about twice a whole one, every repetition
// anew. So where A or B lies at another offset, each repetition loads the aligned vectors that
// hold the block's elements (one more than the block has) and shifts each pair of neighbours
// into place; the shift is a constant of the code, one variant per pair of offsets. Every
// repetition still loads each element of A and B, if with its neighbours, and adds and stores
// it. The block is long enough that a repetition's loads of a vector come long after the
// previous repetition's store at the same page offset in C has left the store queue: the
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
constexpr int64_t kPollEvery = int64_t{1} << 24;

// Lanes shift .. shift+L-1 of the concatenation lo:hi, for a constant shift in [0, L).
template <int shift, class V, std::size_t... I>
PK_INLINE void shifted(V &out, const V &lo, const V &hi, std::index_sequence<I...>) {
    pk::simd::shuffle<(shift + static_cast<int>(I))...>(out, lo, hi);
}

struct Repeat {
    // The K repetitions of kBlock vectors from element i on. The L elements of vector v of A are
    // lanes sa .. sa+L-1 of the aligned vectors v and v + 1 from a (a = A + i - sa, aligned to
    // the vector size), and likewise for B from b with sb; C + i is aligned.
    template <int L, int sa, int sb, class V>
    static PK_INLINE void block(int32_t K, const double *a, const double *b, double *C) {
        for (int32_t rep = 0; rep < K; ++rep) {
            __asm__ __volatile__("" ::: "memory");
            V pa, pb;  // the aligned vectors before the next ones, where shifted
            if constexpr (sa != 0) pk::simd::load(pa, a);
            if constexpr (sb != 0) pk::simd::load(pb, b);
            PK_UNROLL
            for (int v = 0; v < kBlock; ++v) {
                V x, y;
                fetch<L, sa>(x, pa, a, v);
                fetch<L, sb>(y, pb, b, v);
                pk::simd::store(C + v * L, x + y);
            }
        }
    }

    // out: vector v of a block's elements from p (aligned, s lanes before the block's first
    // element). Where shifted, prev holds the aligned vector v on entry and v + 1 on exit.
    template <int L, int s, class V>
    static PK_INLINE void fetch(V &out, V &prev, const double *p, int v) {
        if constexpr (s != 0) {
            V next;
            pk::simd::load(next, p + (v + 1) * L);
            shifted<s>(out, prev, next, std::make_index_sequence<L>());
            prev = next;
        } else {
            pk::simd::load(out, p + v * L);
        }
    }

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
        const auto address = [](const double *p) { return reinterpret_cast<uintptr_t>(p); };
        if ((address(A) | address(B) | address(C)) % sizeof(double) != 0) {
            singly(0, n);  // not arrays of doubles as hosts hand them out
            return;
        }
        // The head reaches C's first line boundary and, where A or B lies before its vector
        // boundary there, one vector further, so that no aligned load starts before A or B.
        int64_t i = pk::simd::before_boundary(C, n);
        const auto lanes_in = [&](const double *p) {  // p's lanes past its vector boundary
            return static_cast<int>(address(p) % (L * sizeof(double)) / sizeof(double));
        };
        const int sa = lanes_in(A + i), sb = lanes_in(B + i);
        if (i < sa || i < sb) i = std::min(n, i + L);
        singly(0, i);
        // A block reads up to one vector past its last element where A or B is shifted.
        for (; i + (kBlock + 1) * L <= n; i += kBlock * L) {
            if ((work += int64_t{K} * kBlock * L) >= kPollEvery) {
                work = 0;
                pk::poll();
            }
            pk::simd::prefetch(A + i, kBlock * L, kAhead);
            pk::simd::prefetch(B + i, kBlock * L, kAhead);
            pk::simd::prefetch(C + i, kBlock * L, kAhead);
            with_shifts<L>(sa, sb, [&](auto ca, auto cb) __attribute__((always_inline)) {
                block<L, decltype(ca)::value, decltype(cb)::value, V>(K, A + i - ca.value,
                                                                       B + i - cb.value, C + i);
            });
        }
        singly(i, n);
    }

    // f(integral_constant<sa>, integral_constant<sb>) for the runtime sa, sb in [0, L).
    template <int L, class F>
    static PK_INLINE void with_shifts(int sa, int sb, F f) {
        with_shift<L>(sa, [&](auto ca) __attribute__((always_inline)) {
            with_shift<L>(sb, [&](auto cb) __attribute__((always_inline)) { f(ca, cb); },
                          std::make_index_sequence<L>());
        }, std::make_index_sequence<L>());
    }
    template <int L, class F, std::size_t... I>
    static PK_INLINE void with_shift(int s, F f, std::index_sequence<I...>) {
        constexpr auto c = [](std::size_t k) { return static_cast<int>(k); };
        ((s == c(I) ? f(std::integral_constant<int, c(I)>()) : void()), ...);
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
