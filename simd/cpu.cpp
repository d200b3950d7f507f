// Which kernel variant this processor runs: detected once per process from cpuid and xgetbv
// (what the processor has and what the operating system saves on a context switch), with no
// call into a runtime library, so that the same code serves GCC, Clang, MinGW and macOS builds.
#include <atomic>

#include "dispatch.h"

#if PK_SIMD_X86
#include <cpuid.h>
#endif

#if defined(PK_SIMD_HOST_CAP)
// The stand-in test host's answer: the level a call may use, given the one detected here (the
// lower of the two and the cap its test set). Only builds for that host make this call.
extern "C" int pkhostSimdLevel(int detected);
#endif

namespace pk {
namespace simd {

namespace {

#if PK_SIMD_X86
uint64_t xgetbv0() {
    uint32_t lo, hi;
    __asm__ volatile("xgetbv" : "=a"(lo), "=d"(hi) : "c"(0));
    return (static_cast<uint64_t>(hi) << 32) | lo;
}

// AVX2 needs the processor's AVX and AVX2 and an operating system that saves the SSE and AVX
// state (XCR0 bits 1, 2); AVX-512 its F, DQ and VL subsets and the opmask and upper ZMM state
// (XCR0 bits 5, 6, 7). macOS turns the AVX-512 state on only once a thread first uses it, so
// there XCR0 reports it off and its Intel Macs run the AVX2 variants.
Level detect() {
    unsigned a, b, c, d;
    if (!__get_cpuid(1, &a, &b, &c, &d)) return Level::base;
    const bool osxsave = (c >> 27) & 1, avx = (c >> 28) & 1;
    if (!osxsave || !avx) return Level::base;
    const uint64_t xcr0 = xgetbv0();
    if ((xcr0 & 0x6) != 0x6) return Level::base;
    if (__get_cpuid_max(0, nullptr) < 7) return Level::base;
    __cpuid_count(7, 0, a, b, c, d);
    const bool avx2 = (b >> 5) & 1;
    const bool avx512 = ((b >> 16) & 1) && ((b >> 17) & 1) && ((b >> 31) & 1) &&
                        (xcr0 & 0xe6) == 0xe6;
    if (avx2 && avx512) return Level::avx512;
    return avx2 ? Level::avx2 : Level::base;
}
#else
Level detect() { return Level::base; }
#endif

// -1 until the first call; detect() gives the same answer every time, so two threads racing on
// the first call store the same value.
std::atomic<int> detected{-1};

}  // namespace

Level chosen() {
    int level = detected.load(std::memory_order_relaxed);
    if (level < 0) {
        level = static_cast<int>(detect());
#if defined(PK_SIMD_MAX_LEVEL)
        // A build for measuring what a processor with fewer instruction sets runs.
        if (level > PK_SIMD_MAX_LEVEL) level = PK_SIMD_MAX_LEVEL;
#endif
        detected.store(level, std::memory_order_relaxed);
    }
#if defined(PK_SIMD_HOST_CAP)
    const int capped = pkhostSimdLevel(level);
    if (capped >= 0 && capped < level) level = capped;
#endif
    return static_cast<Level>(level);
}

const char *name(Level level) {
    switch (level) {
        case Level::avx512: return "avx512";
        case Level::avx2: return "avx2";
        default: return PK_SIMD_X86 ? "sse2" : "generic";
    }
}

}  // namespace simd
}  // namespace pk
