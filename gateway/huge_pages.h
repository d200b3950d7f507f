// Large results of the native Octave modules (and of the Octave benchmark's floor, which must
// pay what they pay): a hint to Linux to back them with transparent huge pages.
//
// A result of 32 MiB or more is a fresh mapping of glibc's (its mmap threshold never rises above
// that), whose pages the kernel faults in and clears one at a time as they are first written:
// 4 KiB at a time, at several microseconds a fault on some (virtual) machines, which then costs
// more than the arithmetic. With huge pages on the block's 2 MiB-aligned interior that is one
// fault per 2 MiB. Only a hint: where huge pages are off (or not offered on request), or none are
// free, nothing changes; the block is freed as before, and no value depends on it.
#ifndef PAIRKERNELS_HUGE_PAGES_H
#define PAIRKERNELS_HUGE_PAGES_H

#include <cstddef>
#include <cstdint>

#if defined(__linux__)
#include <sys/mman.h>
#endif

namespace pk {

inline void prefer_huge_pages(void *data, std::size_t bytes) {
#if defined(__linux__) && defined(MADV_HUGEPAGE)
    const std::uintptr_t huge = std::uintptr_t{2} << 20;
    if (bytes < (std::size_t{32} << 20)) return;
    const std::uintptr_t begin = (reinterpret_cast<std::uintptr_t>(data) + huge - 1) & ~(huge - 1);
    const std::uintptr_t end = (reinterpret_cast<std::uintptr_t>(data) + bytes) & ~(huge - 1);
    if (end > begin) madvise(reinterpret_cast<void *>(begin), end - begin, MADV_HUGEPAGE);
#else
    static_cast<void>(data);
    static_cast<void>(bytes);
#endif
}

}  // namespace pk

#endif
