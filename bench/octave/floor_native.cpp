// floor_native: what every call of a native Octave module costs before any kernel arithmetic,
// for the Octave benchmark; the native counterpart of floor_module. Not one of the library's
// modules; built only for benchmarking.
//
//   R = floor_native(rows, cols, A1, A2, ...)
//
// Creates the rows-by-cols result as the native modules do (not cleared first, as for a module
// that stores every element, and with huge pages asked for where it is large), stores every
// element of it once and reads every element of every array argument once. R is all zeros.
#include <cstdint>
#include <cstring>
#include <memory>

#include <octave/oct.h>

#include "huge_pages.h"

namespace {

volatile uint64_t sink;

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

DEFUN_DLD(floor_native, args, , "floor_native(rows, cols, arrays...)") {
    if (args.length() < 2) error("floor_native(rows, cols, arrays...)");
    const octave_idx_type rows = args(0).idx_type_value(), cols = args(1).idx_type_value();
    uint64_t acc = 0;
    for (int k = 2; k < args.length(); ++k)
        if (args(k).is_double_type()) {
            const NDArray a = args(k).array_value();
            acc ^= read_all(a.data(), static_cast<std::size_t>(a.numel()));
        }
    const std::size_t n = static_cast<std::size_t>(rows * cols);
    double *d = std::allocator<double>().allocate(n);
    pk::prefer_huge_pages(d, n * sizeof(double));  // as the native modules' results
    for (std::size_t k = 0; k < n; ++k) d[k] = 0.0;
    sink = acc;
    return octave_value(NDArray(Array<double>(d, dim_vector(rows, cols))));
}
