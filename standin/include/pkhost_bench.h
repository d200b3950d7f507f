// Benchmark settings of the stand-in host, apart from its test API (pkhost.h): what a call costs
// the host (the call log, page faults of fresh results) is part of what a benchmark times.
#ifndef PAIRKERNELS_STANDIN_PKHOST_BENCH_H
#define PAIRKERNELS_STANDIN_PKHOST_BENCH_H

#include "pkhost.h"

namespace pkhost {

// Whether calls record their host calls in CallResult::log (default: on). Each call reads the
// setting once when it starts, so it may be changed from any thread at any time. Off, a call
// builds no strings: for benchmarks, where the log would be part of the time measured.
PK_MX_API void set_call_log(bool on);

// Whether arrays created from now on (results included) ask the operating system for transparent
// huge pages (default: off). A fresh result's zero fill happens page by page on first touch; with
// 2 MiB pages instead of 4 KiB ones a large result costs a few hundred faults instead of tens of
// thousands. For benchmarks; the guard pages stay as they are. Thread-safe.
PK_MX_API void set_huge_pages(bool on);

// Whether this thread's host recycles the memory of destroyed double arrays (default: off). On,
// a new array of the same byte count as one destroyed earlier takes that memory back, zero-filled
// by a memset in the creating call (a pass over memory, not page faults), as a host's heap
// allocator serves blocks it keeps mapped; the guard pages stay. Off again frees what is kept.
// For benchmarks: a fresh result's first-touch faults are then outside the time of a call.
PK_MX_API void set_recycled_memory(bool on);

}  // namespace pkhost

#endif
