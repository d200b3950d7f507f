// Shared helpers of the benchmarks.
#ifndef PAIRKERNELS_BENCH_SUPPORT_H
#define PAIRKERNELS_BENCH_SUPPORT_H

#include <string>

#include "pkhost.h"

namespace pkbench {

// The stand-in-host build of `name` in `profile` (linux, windows, macos); loaded once per process.
const pkhost::Module &module(const std::string &name, const std::string &profile = "linux");

}  // namespace pkbench

#endif
