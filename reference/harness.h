// How the tests, the benchmark and the fuzz target call modules: the stand-in-host module files
// (loaded once per process), their kernel variants, and awkward inputs.
#ifndef PAIRKERNELS_REFERENCE_HARNESS_H
#define PAIRKERNELS_REFERENCE_HARNESS_H

#include <cstdint>
#include <string>
#include <vector>

#include "pkhost.h"

namespace pktest {

// A module file of the stand-in host, loaded once per process, and the instruction-set level its
// calls cap the kernels' variant choice at (-1: none; see pkhost::set_simd_cap).
class Build {
public:
    Build(const pkhost::Module &module, int level) : module_(module), level_(level) {}
    pkhost::CallResult call(const std::vector<const mxArray *> &args, int nlhs = 1) const;
    const std::string &path() const { return module_.path(); }
    int level() const { return level_; }

private:
    const pkhost::Module &module_;
    int level_;
};

// The stand-in-host build of `name`. `build` is a profile (linux, windows, macos), whose calls
// run the widest variant this machine has, or a profile and a variant, "linux/sse2", whose calls
// are capped at that variant's level.
const Build &module(const std::string &name, const std::string &build = "linux");
std::string module_path(const std::string &name, const std::string &profile = "linux");

// Where the module files are: <folder>/<profile>/<module><suffix>, the stand-in host's build
// (build/standin, .mexa64 or .mexw64) unless the environment of the test program names others,
// PKTEST_MODULE_DIR and PKTEST_MODULE_SUFFIX (the Mach-O bundles: build-macos/standin and
// .mexmaci64 or .mexmaca64). The modules' variants and results are tested alike in every kind.
std::string module_folder();
std::string module_suffix();

// The builds of `profile` that reach each kernel variant this machine can run, widest first:
// "<profile>/avx512" where the processor has AVX-512, "<profile>/avx2" where it has AVX2, and
// "<profile>/sse2" ("<profile>/generic" off x86-64).
const std::vector<std::string> &variants(const std::string &profile);

// Levels and names of the kernel variants: 0 sse2 (generic off x86-64), 1 avx2, 2 avx512.
int machine_simd_level();  // the widest this machine runs, as the modules detect it
std::string simd_name(int level);

uint64_t bits(double v);

// n random doubles of mixed magnitude and sign; about `special` of them are NaN, ±Inf, ±0.0 or
// subnormal.
std::vector<double> awkward_values(std::size_t n, uint64_t seed, double special = 0.1);

// The result's data, column-major.
std::vector<double> result_values(const pkhost::CallResult &r);

}  // namespace pktest

#endif
