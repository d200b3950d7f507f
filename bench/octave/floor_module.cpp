// floor_module: what every call costs the host before any kernel arithmetic, for the Octave
// benchmark. Not one of the library's modules; built only for benchmarking.
//
//   R = floor_module(rows, cols, A1, A2, ...)
//
// Creates the zero-filled rows-by-cols result, stores every element of it once (a fresh result's
// pages come into memory only when first written, and every streaming kernel writes its whole
// result) and reads every element of every array argument once. R is all zeros.
#include <cstdint>
#include <cstring>

#include "mex.h"

namespace {

volatile uint64_t sink;

// XOR of the bit patterns: one pass over the data that the compiler may vectorize freely, which
// a floating-point sum with its fixed order would not allow.
uint64_t read_all(const double *p, std::size_t n) {
    uint64_t acc[4] = {0, 0, 0, 0};
    std::size_t k = 0;
    for (; k + 4 <= n; k += 4)
        for (int l = 0; l < 4; ++l) {
            uint64_t b;
            std::memcpy(&b, p + k + l, sizeof b);
            acc[l] ^= b;
        }
    for (; k < n; ++k) {
        uint64_t b;
        std::memcpy(&b, p + k, sizeof b);
        acc[0] ^= b;
    }
    return acc[0] ^ acc[1] ^ acc[2] ^ acc[3];
}

}  // namespace

void mexFunction(int, mxArray *plhs[], int nrhs, const mxArray *prhs[]) {
    if (nrhs < 2) mexErrMsgIdAndTxt("floor_module:nargin", "floor_module(rows, cols, arrays...)");
    const double rows = mxGetScalar(prhs[0]), cols = mxGetScalar(prhs[1]);
    uint64_t acc = 0;
    for (int k = 2; k < nrhs; ++k)
        if (mxIsDouble(prhs[k]))
            acc ^= read_all(mxGetPr(prhs[k]), mxGetNumberOfElements(prhs[k]));
    mxArray *r = mxCreateDoubleMatrix(static_cast<mwSize>(rows), static_cast<mwSize>(cols), mxREAL);
    plhs[0] = r;
    double *d = mxGetPr(r);
    const std::size_t n = mxGetNumberOfElements(r);
    for (std::size_t k = 0; k < n; ++k) d[k] = 0.0;
    sink = acc;
}
