// Test-facing side of the stand-in host: build arguments of every class, load a module, call its
// mexFunction and see what it did (its result, the host calls it made, the error it raised).
//
// Every array's data is placed so that the byte after its last element is the first byte of an
// inaccessible page, and an empty array's data pointer points at such a page: a module that reads
// or writes one element too many faults at once instead of passing silently.
#ifndef PAIRKERNELS_STANDIN_PKHOST_H
#define PAIRKERNELS_STANDIN_PKHOST_H

#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "matrix.h"

namespace pkhost {

// What mexErrMsgIdAndTxt throws; Module::call turns it into a failed CallResult.
class PK_MX_API HostError : public std::runtime_error {
public:
    HostError(std::string id, const std::string &message);
    ~HostError() override;
    const std::string &id() const { return id_; }

private:
    std::string id_;
};

struct ArrayDeleter {
    void operator()(mxArray *a) const { mxDestroyArray(a); }
};
using Array = std::unique_ptr<mxArray, ArrayDeleter>;

// Full double arrays. Data are given column-major; `rows`-by-`cols` must equal the data's length.
PK_MX_API Array doubles(const std::vector<double> &values);  // column vector
PK_MX_API Array doubles(int64_t rows, int64_t cols, const std::vector<double> &values);
PK_MX_API Array scalar(double v);
// A rows-by-cols double array of zeros whose pages are never touched by the host: large inputs
// cost no memory until a module reads them.
PK_MX_API Array zeros(int64_t rows, int64_t cols);
PK_MX_API Array complex_doubles(const std::vector<double> &re, const std::vector<double> &im);
// A sparse double rows-by-cols array whose stored nonzeros are `nonzeros` (column-major order).
PK_MX_API Array sparse_doubles(int64_t rows, int64_t cols, const std::vector<double> &nonzeros);
// A numeric or logical array of another class holding `values` converted to that class.
PK_MX_API Array numeric(mxClassID cls, const std::vector<double> &values);
PK_MX_API Array chars(const std::string &text);
PK_MX_API Array cell(int64_t rows, int64_t cols);
PK_MX_API Array structure(int64_t rows, int64_t cols);

PK_MX_API std::vector<double> values(const mxArray *a);  // real part, column-major

// Largest result, in bytes, that mxCreateDoubleMatrix_700 hands out (default: unlimited); a
// larger request raises the host error "standin:outOfMemory", as a real host's allocation
// failure would. For fuzzing, where sizes are arbitrary.
PK_MX_API void set_result_limit(std::size_t bytes);

// Kernel variants. When a module built for this host picks the instruction-set variant of its
// kernel, it asks the host which level it may use, and gets the lower of the level it detected
// and this thread's cap: 0 (SSE2 on x86-64, the generic vectors elsewhere), 1 (AVX2), 2 (AVX-512);
// -1, the default, caps nothing. So one module file runs every variant the machine has.
PK_MX_API void set_simd_cap(int level);

// What one call of a module's mexFunction did.
struct CallResult {
    bool failed = false;
    std::string id;       // error identifier, when failed
    std::string message;  // error message, when failed
    Array result;         // plhs[0] after the call (empty when failed or never stored)
    bool other_slots_written = false;  // any plhs[k], k >= 1, set
    // Every host call the module made, in order, e.g. "mxGetScalar(prhs[0])",
    // "mxCreateDoubleMatrix_700(3,1,0)", "mxGetPr(new#0 in plhs[0])"; empty while the call log
    // is off (pkhost_bench.h).
    std::vector<std::string> log;
    // The instruction-set levels of the kernel's variant choice: what the module detected and
    // what it ran (see set_simd_cap); -1 when it chose no variant (small sizes take plain loops).
    int simd_detected = -1;
    int simd_used = -1;
};

// Host calls of `log` that read arguments or create/touch results (mxGetScalar, mxGetPr,
// mxCreateDoubleMatrix_700), in order: the data steps, without the validation queries.
PK_MX_API std::vector<std::string> data_calls(const std::vector<std::string> &log);

class PK_MX_API Module {
public:
    // Loads an ELF or PE module file, or a Mach-O bundle (of this host's processor); throws
    // std::runtime_error, with the reason, when it cannot.
    explicit Module(const std::string &path);
    ~Module();
    Module(const Module &) = delete;
    Module &operator=(const Module &) = delete;

    CallResult call(const std::vector<const mxArray *> &args, int nlhs = 1) const;
    const std::string &path() const { return path_; }

private:
    std::string path_;
    void *handle_ = nullptr;  // the platform loader's (ELF, PE)
    void *image_ = nullptr;   // a Mach-O bundle's (macho.h)
    void (*entry_)(int, mxArray **, int, const mxArray **) = nullptr;
};

}  // namespace pkhost

// The host call behind set_simd_cap, made by the modules' variant choice (simd/cpu.cpp): the
// level a kernel may use, given the one it detected. Not part of any real host's API.
extern "C" PK_MX_API int pkhostSimdLevel(int detected);

#endif
