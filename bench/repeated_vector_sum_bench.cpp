// repeated_vector_sum is a calibration kernel: its values are those of one addition per element,
// but its time must grow linearly with the repeat count K. Runs a fixed N over a range of K; the
// BigO line fits the time against K (the call itself, with its checks and result, costs the same
// at every K).
#include <benchmark/benchmark.h>

#include <cstdint>
#include <vector>

#include "harness.h"

namespace {

void RepeatedVectorSum(benchmark::State &state) {
    const int64_t n = 1024, k = state.range(0);
    auto N = pkhost::scalar(static_cast<double>(n));
    auto K = pkhost::scalar(static_cast<double>(k));
    auto A = pkhost::doubles(std::vector<double>(n, 1.5));
    auto B = pkhost::doubles(std::vector<double>(n, 2.25));
    const pktest::Build &module = pktest::module("repeated_vector_sum");
    for (auto _ : state) {
        pkhost::CallResult r = module.call({N.get(), K.get(), A.get(), B.get()});
        if (r.failed) {
            state.SkipWithError(r.message.c_str());
            break;
        }
        benchmark::DoNotOptimize(r.result.get());
    }
    state.SetComplexityN(k);
    state.counters["additions"] = benchmark::Counter(
        static_cast<double>(n * k), benchmark::Counter::kIsIterationInvariantRate);
}

BENCHMARK(RepeatedVectorSum)
    ->RangeMultiplier(8)
    ->Range(1, 1 << 15)
    ->Unit(benchmark::kMicrosecond)
    ->Complexity(benchmark::oN);

}  // namespace
