// Every module through the stand-in host at the sizes the module table gives, each next to its
// literal reference (reference/literal.cpp, called directly) and to the machine's streaming
// bandwidth (a triad). The summary that main() prints after the run gives, per module and size, the
// ratio of the module's median time to the literal's and the fraction of the bandwidth bound the
// module reaches.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fstream>
#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "catalog.h"
#include "harness.h"
#include "literal.h"
#include "pkhost_bench.h"

namespace {

// ---- Inputs -------------------------------------------------------------------------------------

// Finite values of magnitude 0.5 ... 1.5 with random sign: no NaN, infinity or subnormal, which
// would time something other than the kernels' ordinary path.
struct Fill {
    uint64_t state;
    double next() {
        uint64_t z = (state += 0x9e3779b97f4a7c15ull);
        z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ull;
        z = (z ^ (z >> 27)) * 0x94d049bb133111ebull;
        z ^= z >> 31;
        const double magnitude = 0.5 + static_cast<double>(z >> 11) * 0x1.0p-53;
        return (z & 1) ? -magnitude : magnitude;
    }
};

struct Case {
    std::string module;
    std::string profile;
    pktest::Sizes sizes;
    std::string label;        // "N=1000 K=8"
    double read_bytes = 0;    // inputs, each element the kernel needs read once
    double result_bytes = 0;  // the result, zero-filled once by the host
    double written_bytes = 0; // result elements the kernel must store after the zero fill
    double bytes() const { return read_bytes + result_bytes + written_bytes; }
};

// The arguments of one case. Arrays are host arrays created untouched (pkhost::zeros) and filled
// in place.
struct Inputs {
    std::vector<pkhost::Array> args;
    std::vector<const mxArray *> pointers;
    pktest::Shape shape{0, 0};
};

std::unique_ptr<Inputs> make_inputs(const Case &c) {
    const pktest::ModuleInfo &m = pktest::find_module(c.profile, c.module);
    auto in = std::make_unique<Inputs>();
    Fill fill{0x5eed + static_cast<uint64_t>(c.sizes.N * 131 + c.sizes.K)};
    for (const pktest::Arg &a : m.args) {
        if (a.kind == pktest::Kind::Array) {
            const int64_t len = std::max<int64_t>(a.length(c.sizes), 0);
            pkhost::Array array = pkhost::zeros(len, 1);
            double *d = mxGetPr(array.get());
            for (int64_t x = 0; x < len; ++x) d[x] = fill.next();
            in->args.push_back(std::move(array));
        } else if (a.name == "N") {
            in->args.push_back(pkhost::scalar(static_cast<double>(c.sizes.N)));
        } else if (a.name == "K") {
            in->args.push_back(pkhost::scalar(static_cast<double>(c.sizes.K)));
        } else if (a.name == "r") {
            in->args.push_back(pkhost::scalar(static_cast<double>(c.sizes.r)));
        } else if (a.name == "m") {
            in->args.push_back(pkhost::scalar(-0.0));
        } else {
            in->args.push_back(pkhost::scalar(0.75));  // t
        }
    }
    for (const pkhost::Array &a : in->args) in->pointers.push_back(a.get());
    in->shape = m.shape(c.sizes);
    return in;
}

// One case's inputs at a time: a case's repetitions run one after the other, and the largest
// inputs take a gigabyte.
const Inputs &inputs_of(const Case &c) {
    static std::string key;
    static std::unique_ptr<Inputs> held;
    const std::string wanted = c.profile + "/" + c.module + "/" + c.label;
    if (key != wanted) {
        held.reset();
        held = make_inputs(c);
        key = wanted;
    }
    return *held;
}

// ---- Cases --------------------------------------------------------------------------------------

// Bytes counted: every input element the kernel needs read once (the table's reads, where a
// module reads less than its arrays hold), the result once for the host's zero fill, and once
// more for the elements the kernel must store (the table's stores, where the rest keep the zeros).
Case make_case(const pktest::ModuleInfo &m, const std::string &profile, int64_t N, int64_t K) {
    Case c;
    c.module = m.name;
    c.profile = profile;
    c.sizes = pktest::Sizes{N, K, N / 2};
    c.label = "N=" + std::to_string(N) + (m.has("K") ? " K=" + std::to_string(K) : "");
    const pktest::Shape shape = m.shape(c.sizes);
    for (const pktest::Arg &a : m.args)
        if (a.kind == pktest::Kind::Array) c.read_bytes += 8.0 * static_cast<double>(a.length(c.sizes));
    if (!m.reads.text().empty()) c.read_bytes = 8.0 * static_cast<double>(m.reads(c.sizes));
    c.result_bytes = 8.0 * static_cast<double>(shape.rows) * static_cast<double>(shape.cols);
    c.written_bytes = c.result_bytes;
    if (!m.stores.text().empty()) c.written_bytes = 8.0 * static_cast<double>(m.stores(c.sizes));
    return c;
}

// The table's benchmark sizes of every module form, each in the first profile its line names:
// of the distinct builds, those of a form's other profiles (the same source compiled once more
// for another profile) are left out.
std::vector<Case> cases() {
    std::vector<Case> c;
    for (const pktest::ModuleBuild &b : pktest::module_builds()) {
        if (b.module->profiles.front() != b.profile) continue;
        for (const pktest::BenchSize &s : b.module->bench)
            c.push_back(make_case(*b.module, b.profile, s.N, s.K));
    }
    return c;
}

std::string case_name(const Case &c) {
    std::string label = c.label;
    std::replace(label.begin(), label.end(), ' ', '/');
    const std::string &f = pktest::find_module(c.profile, c.module).form;
    const std::string form = f.empty() ? "" : ":" + f;
    return c.module + form + "/" + label;
}

// ---- Benchmarks ---------------------------------------------------------------------------------

// With recycled memory (the default), a benchmark's results reuse the memory of the previous
// call's, zero-filled by the host's memset inside the timed call; one untimed call first makes
// the memory to recycle. Inputs are never recycled: the setting is on only while a case runs.
bool g_recycled = true;
bool g_literal = true;  // whether each module call is paired with a timed literal call (--pk_literal)
std::string g_variant;  // "/avx2" and the like: the variant the module calls are capped at (--pk_variant)

struct Recycling {
    Recycling() { pkhost::set_recycled_memory(g_recycled); }
    ~Recycling() { pkhost::set_recycled_memory(false); }
};

using Clock = std::chrono::steady_clock;

double seconds_since(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

// A module and its literal reference, timed call by call in alternation (which goes first flips
// every iteration), so that drift on a shared machine (frequency, a neighbour's memory traffic)
// falls on both and leaves their ratio alone. The benchmark's time is the module's; the literal's
// mean per iteration is the counter "literal_s".
//
// The literal's result is allocated by the host's allocator, outside any call: a zero-filled
// array per call, as the module's result is, so both times hold the same allocation and fill.
void run_case(benchmark::State &state, const Case &c) {
    const Inputs &in = inputs_of(c);
    const pktest::Build &module = pktest::module(c.module, c.profile + g_variant);
    const pkliteral::Bound literal =
        pkliteral::bind(pktest::find_module(c.profile, c.module), in.pointers);
    Recycling recycling;
    std::string failure;
    int variant = -1;
    auto time_module = [&] {
        const Clock::time_point start = Clock::now();
        pkhost::CallResult r = module.call(in.pointers);
        benchmark::DoNotOptimize(mxGetPr(r.result.get()));
        benchmark::ClobberMemory();
        const double s = seconds_since(start);
        if (r.failed) failure = r.message;
        variant = r.simd_used;
        return s;
    };
    auto time_literal = [&] {
        const Clock::time_point start = Clock::now();
        pkhost::Array out = pkhost::zeros(in.shape.rows, in.shape.cols);
        literal(mxGetPr(out.get()));
        benchmark::DoNotOptimize(mxGetPr(out.get()));
        benchmark::ClobberMemory();
        return seconds_since(start);
    };
    // One untimed call of each first: it makes the memory that recycling hands on.
    if (g_recycled) {
        time_module();
        if (g_literal) time_literal();
    }
    double literal_total = 0;
    bool literal_first = false;
    for (auto _ : state) {
        double module_s, literal_s;
        if (!g_literal) {
            module_s = time_module();
            literal_s = 0;
        } else if (literal_first) {
            literal_s = time_literal();
            module_s = time_module();
        } else {
            module_s = time_module();
            literal_s = time_literal();
        }
        literal_first = !literal_first;
        if (!failure.empty()) {
            state.SkipWithError(failure.c_str());
            break;
        }
        state.SetIterationTime(module_s);
        literal_total += literal_s;
    }
    if (g_literal)
        state.counters["literal_s"] = benchmark::Counter(literal_total, benchmark::Counter::kAvgIterations);
    // which kernel variant the module ran (--pk_variant's cap or, without it, the processor's widest)
    static const char *const variants[] = {"plain loops", "sse2", "avx2", "avx512"};
    state.SetLabel(variants[std::min(std::max(variant, -1), 2) + 1]);
    state.SetBytesProcessed(static_cast<int64_t>(c.bytes()) * state.iterations());
}

// a = b + s*c over three arrays of kTriadDoubles, 768 MB in all: far beyond the last-level cache.
// Counted as 24 bytes per element (two reads, one write), as STREAM counts it.
constexpr int64_t kTriadDoubles = int64_t{1} << 25;

void run_triad(benchmark::State &state) {
    std::vector<double> a(kTriadDoubles, 0.0), b(kTriadDoubles, 1.0), c(kTriadDoubles, 2.0);
    const double s = 0.5;
    for (auto _ : state) {
        double *pa = a.data();
        const double *pb = b.data(), *pc = c.data();
        for (int64_t i = 0; i < kTriadDoubles; ++i) pa[i] = pb[i] + s * pc[i];
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(24 * kTriadDoubles * state.iterations());
}

// The host's per-call costs, on a call whose kernel does nothing worth timing.
void run_small_call(benchmark::State &state, bool log, bool recycled) {
    auto N = pkhost::scalar(1.0), t = pkhost::scalar(0.5);
    auto P = pkhost::doubles({1.0}), Q = pkhost::doubles({2.0});
    const pktest::Build &module = pktest::module("pair_matrix_step");
    pkhost::set_call_log(log);
    pkhost::set_recycled_memory(recycled);
    module.call({N.get(), t.get(), P.get(), Q.get()});
    for (auto _ : state) {
        pkhost::CallResult r = module.call({N.get(), t.get(), P.get(), Q.get()});
        benchmark::DoNotOptimize(r.result.get());
    }
    pkhost::set_recycled_memory(false);
    pkhost::set_call_log(false);
}

bool g_huge_pages = true;  // the run's setting for fresh arrays (inputs, and results unless recycled)

// The host's zero fill of a fresh 128 MiB result alone: one store per 4 KiB page, so every page
// faults in and is cleared by the operating system, as a kernel's first pass over its result does.
constexpr int64_t kFillDoubles = int64_t{1} << 24;

void run_zero_fill(benchmark::State &state, bool huge) {
    pkhost::set_huge_pages(huge);
    for (auto _ : state) {
        pkhost::Array a = pkhost::zeros(kFillDoubles, 1);
        double *d = mxGetPr(a.get());
        for (int64_t i = 0; i < kFillDoubles; i += 512) d[i] = 0.0;
        benchmark::ClobberMemory();
    }
    pkhost::set_huge_pages(g_huge_pages);
    state.SetBytesProcessed(8 * kFillDoubles * state.iterations());
}

void run_allocation(benchmark::State &state) {
    for (auto _ : state) {
        pkhost::Array a = pkhost::zeros(1, 1);
        benchmark::DoNotOptimize(a.get());
    }
}

// ---- Summary ------------------------------------------------------------------------------------

// Forwards everything to the console and keeps each benchmark's median time per iteration (or its
// one time, when it ran once), and the same of its literal_s counter under "literal:<name>".
class Collector : public benchmark::ConsoleReporter {
public:
    std::map<std::string, double> seconds;

    void ReportRuns(const std::vector<Run> &runs) override {
        ConsoleReporter::ReportRuns(runs);
        for (const Run &r : runs) {
            if (r.error_occurred) continue;
            const bool median = r.run_type == Run::RT_Aggregate && r.aggregate_name == "median";
            const bool single = r.run_type == Run::RT_Iteration && r.repetitions <= 1;
            if (!median && !single) continue;
            seconds[r.run_name.function_name] =
                r.GetAdjustedRealTime() / benchmark::GetTimeUnitMultiplier(r.time_unit);
            const auto literal = r.counters.find("literal_s");
            if (literal != r.counters.end())
                seconds["literal:" + r.run_name.function_name] = literal->second.value;
        }
    }
};

std::string read_first(const char *file, const char *key) {
    std::ifstream in(file);
    std::string line;
    while (std::getline(in, line))
        if (line.rfind(key, 0) == 0) {
            std::string v = line.substr(line.find(':') + 1);
            v.erase(0, v.find_first_not_of(" \t"));
            return v;
        }
    return "?";
}

// The one-minute load average: other work on the machine shows in wall-clock medians.
double load_average() {
    double load = NAN;
    if (FILE *f = std::fopen("/proc/loadavg", "r")) {
        if (std::fscanf(f, "%lf", &load) != 1) load = NAN;
        std::fclose(f);
    }
    return load;
}

std::string fixed(double v, int digits) {
    char b[64];
    std::snprintf(b, sizeof b, "%.*f", digits, v);
    return b;
}

void summarise(const Collector &col, const std::vector<Case> &all, const std::string &dir,
               int repetitions, double load_before) {
    auto get = [&](const std::string &name) {
        auto it = col.seconds.find(name);
        return it == col.seconds.end() ? NAN : it->second;
    };
    const double triad = get("triad");
    const double bandwidth = 24.0 * kTriadDoubles / triad;  // bytes per second
    const double logged = get("host/small_call/call_log_on"), quiet = get("host/small_call/call_log_off");
    const double reused = get("host/small_call/recycled");
    const double alloc = get("host/zeros_1x1");
    const double fill_small = get("host/zero_fill_128MiB/pages:4KiB");
    const double fill_huge = get("host/zero_fill_128MiB/pages:huge");

    std::ostringstream md, csv;
    char date[32];
    const std::time_t now = std::time(nullptr);
    std::strftime(date, sizeof date, "%Y-%m-%d %H:%M UTC", std::gmtime(&now));
    md << "Run " << date << " on " << read_first("/proc/cpuinfo", "model name") << " ("
       << benchmark::CPUInfo::Get().num_cpus << " cores, " << read_first("/proc/meminfo", "MemTotal")
       << "); load average " << fixed(load_before, 2) << " before the run, "
       << fixed(load_average(), 2) << " after.\n\n"
       << "Streaming bandwidth (triad a = b + s*c over 3 arrays of "
       << (kTriadDoubles * 8 >> 20) << " MiB, 24 bytes per element): " << fixed(bandwidth / 1e9, 2)
       << " GB/s. Host overhead per call (pair_matrix_step, N = 1): "
       << fixed(logged * 1e6, 2) << " us with the call log, " << fixed(quiet * 1e6, 2)
       << " us without, " << fixed(reused * 1e6, 2) << " us without and with its result in "
       << "recycled memory; creating and freeing an untouched guarded 1-by-1 array alone: "
       << fixed(alloc * 1e6, 2) << " us (a call with a fresh result also faults in its result's "
       << "page and unmaps it once written). Modules are timed with the call log off.\n\n"
       << "Host zero fill of a fresh 128 MiB result (first touch of every page): "
       << fixed(8.0 * kFillDoubles / fill_small / 1e9, 2) << " GB/s with 4 KiB pages, "
       << fixed(8.0 * kFillDoubles / fill_huge / 1e9, 2) << " GB/s with transparent huge pages. "
       << (g_recycled
               ? "Module and literal results here reuse the memory of the previous call's result "
                 "(--pk_recycled=1), as a host's heap allocator serves a block it keeps mapped: the "
                 "host zero-fills it with memset inside the timed call, a pass over memory instead "
                 "of page faults"
               : std::string("Module and literal results here are fresh pages (--pk_recycled=0), ") +
                     (g_huge_pages ? "with transparent huge pages (--pk_huge_pages=1)"
                                   : "with 4 KiB pages (--pk_huge_pages=0)") +
                     ", faulted in by the call")
       << ".\n\n"
       << "Medians of " << repetitions << " repetitions. *Literal*: the plain loops in the defined "
       << "order, same flags, called directly on a fresh zero-filled result from the same host "
       << "allocator; module and literal calls alternate, call by call, so drift on the machine "
       << "falls on both. *Bound*: bytes the call must move divided by the triad bandwidth, over the "
       << "module's time; the bytes are every input element the kernel needs read once, the "
       << "result once for the host's zero fill and once more for the elements the kernel must "
       << "store (only those that can end non-zero, for the mostly-zero N*N*N results). Above 100% the "
       << "zero fill and the kernel's stores met in the cache instead of passing through memory "
       << "twice.\n\n"
       << "| Module | Size | Module ms | Literal ms | Module / literal | MB moved | Module GB/s | "
          "Bandwidth bound |\n"
       << "|---|---|---:|---:|---:|---:|---:|---:|\n";
    csv << "module,form,size,module_s,literal_s,ratio,bytes,module_gbps,bound_fraction\n";
    std::printf("\n%-42s %-14s %11s %11s %8s %10s %8s %7s\n", "module", "size", "module ms",
                "literal ms", "mod/lit", "MB moved", "GB/s", "bound");
    for (const Case &c : all) {
        const double tm = get(case_name(c)), tl = get("literal:" + case_name(c));
        if (std::isnan(tm) && std::isnan(tl)) continue;
        const double ratio = tm / tl, gbps = c.bytes() / tm / 1e9;
        const double bound = (c.bytes() / bandwidth) / tm;
        std::string name = c.module;
        const std::string &form = pktest::find_module(c.profile, c.module).form;
        if (!form.empty()) name += " (" + form + ")";
        std::printf("%-42s %-14s %11.3f %11.3f %8.2f %10.1f %8.2f %6.0f%%\n", name.c_str(),
                    c.label.c_str(), tm * 1e3, tl * 1e3, ratio, c.bytes() / 1e6, gbps, bound * 100);
        md << "| " << name << " | " << c.label << " | " << fixed(tm * 1e3, 3) << " | "
           << fixed(tl * 1e3, 3) << " | " << fixed(ratio, 2) << " | " << fixed(c.bytes() / 1e6, 1)
           << " | " << fixed(gbps, 2) << " | " << fixed(bound * 100, 0) << "% |\n";
        csv << c.module << "," << form
            << "," << c.label << "," << tm << "," << tl << "," << ratio << "," << c.bytes() << ","
            << gbps << "," << bound << "\n";
    }
    std::printf("\nmod/lit: module median time over the literal reference's; bound: bytes moved / "
                "triad bandwidth (%.2f GB/s) / module time.\n", bandwidth / 1e9);
    std::printf("Counted bytes: inputs read once + result zero fill + result elements the kernel "
                "must store.\n");
    if (!dir.empty()) {
        std::ofstream md_file(dir + "/bench.md"), csv_file(dir + "/bench.csv");
        md_file << md.str();
        csv_file << csv.str();
        md_file.close();
        csv_file.close();
        if (!md_file || !csv_file) {
            std::fprintf(stderr, "pairkernels_bench: cannot write %s/bench.md and bench.csv "
                                 "(the directory must exist)\n", dir.c_str());
            std::exit(1);
        }
        std::printf("Written: %s/bench.md, %s/bench.csv\n", dir.c_str(), dir.c_str());
    }
}

}  // namespace

int main(int argc, char **argv) {
    // Own flags: --pk_results=DIR (where bench.md and bench.csv go), --pk_repetitions=N,
    // --pk_recycled=0|1 (results of the timed calls in recycled memory; default 1),
    // --pk_huge_pages=0|1 (fresh results on transparent huge pages; default 1),
    // --pk_literal=0|1 (whether the literal reference is timed beside each module; default 1; 0
    // for comparing module builds alone, in a fraction of the time),
    // --pk_variant=sse2|avx2|avx512 (the kernel variant the modules' calls are capped at; default:
    // the widest this processor has), to time a narrower variant on a wider machine.
    std::string dir;
    int repetitions = 7;
    std::vector<char *> rest;
    for (int k = 0; k < argc; ++k) {
        const std::string a = argv[k];
        if (a.rfind("--pk_results=", 0) == 0) dir = a.substr(13);
        else if (a.rfind("--pk_repetitions=", 0) == 0) repetitions = std::max(1, std::atoi(a.c_str() + 17));
        else if (a.rfind("--pk_huge_pages=", 0) == 0) g_huge_pages = std::atoi(a.c_str() + 16) != 0;
        else if (a.rfind("--pk_recycled=", 0) == 0) g_recycled = std::atoi(a.c_str() + 14) != 0;
        else if (a.rfind("--pk_literal=", 0) == 0) g_literal = std::atoi(a.c_str() + 13) != 0;
        else if (a.rfind("--pk_variant=", 0) == 0) g_variant = "/" + a.substr(13);
        else rest.push_back(argv[k]);
    }
    int rest_count = static_cast<int>(rest.size());
    benchmark::Initialize(&rest_count, rest.data());
    if (benchmark::ReportUnrecognizedArguments(rest_count, rest.data())) return 1;

    pkhost::set_call_log(false);
    pkhost::set_huge_pages(g_huge_pages);
    const std::vector<Case> all = cases();
    benchmark::RegisterBenchmark("triad", run_triad)
        ->Unit(benchmark::kMillisecond)->Repetitions(repetitions)->DisplayAggregatesOnly();
    benchmark::RegisterBenchmark("host/small_call/call_log_on", run_small_call, true, false)
        ->Repetitions(repetitions)->DisplayAggregatesOnly();
    benchmark::RegisterBenchmark("host/small_call/call_log_off", run_small_call, false, false)
        ->Repetitions(repetitions)->DisplayAggregatesOnly();
    benchmark::RegisterBenchmark("host/small_call/recycled", run_small_call, false, true)
        ->Repetitions(repetitions)->DisplayAggregatesOnly();
    benchmark::RegisterBenchmark("host/zeros_1x1", run_allocation)
        ->Repetitions(repetitions)->DisplayAggregatesOnly();
    benchmark::RegisterBenchmark("host/zero_fill_128MiB/pages:4KiB", run_zero_fill, false)
        ->Unit(benchmark::kMillisecond)->Repetitions(repetitions)->DisplayAggregatesOnly();
    benchmark::RegisterBenchmark("host/zero_fill_128MiB/pages:huge", run_zero_fill, true)
        ->Unit(benchmark::kMillisecond)->Repetitions(repetitions)->DisplayAggregatesOnly();
    for (const Case &c : all) {
        benchmark::RegisterBenchmark(case_name(c).c_str(), run_case, c)
            ->Unit(benchmark::kMillisecond)->UseManualTime()->MinTime(0.2)
            ->Repetitions(repetitions)->DisplayAggregatesOnly();
    }

    Collector collector;
    const double load_before = load_average();
    benchmark::RunSpecifiedBenchmarks(&collector);
    summarise(collector, all, dir, repetitions, load_before);
    return 0;
}
