// Literal references of the fourteen kernels: the plain loops, in the order in which each kernel's
// sums are defined, with no blocking, no interleaving and no vectorization by hand. The benchmark
// times the modules against them, the tests compare the modules' bits with them.
//
// One function per module form, declared from the module table (kernels/modules.txt; see
// reference/literals.cmake): its arguments in the table's order, a size as int32_t, a real as
// double, an array as const double *, then the result `out`, which must be zero-filled on entry,
// as a host's fresh result is (some kernels write only the non-zero elements, or subtract from the
// zero that is there). A module with two forms has two overloads. Positions are formed in 64 bits,
// which gives the same values as the 32-bit forms wherever those are exact. Scratch is sized from
// K and N, so K is not limited to 500.
#ifndef PAIRKERNELS_REFERENCE_LITERAL_H
#define PAIRKERNELS_REFERENCE_LITERAL_H

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "catalog.h"
#include "matrix.h"

namespace pkliteral {

#include "pk_literal_declarations.inc"

// The literal of the module form `m` (a catalogue entry), bound to the arguments of one call as
// the module would receive them: each argument read at its position in the entry, sizes and reals
// as scalars, arrays by their data (the arrays must outlive the returned function). Calling it
// writes the result into a zero-filled buffer of the module's result size. Throws
// std::invalid_argument for a module without a literal or a call with too few arguments.
using Bound = std::function<void(double *out)>;
Bound bind(const pktest::ModuleInfo &m, const std::vector<const mxArray *> &args);

// The literal's result of one call, as the module returns it (column-major): the shape the
// entry's formulas give for the call's sizes (converted as the modules convert them), zero-filled
// and written by the bound literal. Throws std::invalid_argument where bind does, and for sizes
// that give a negative dimension (the module refuses those).
std::vector<double> result(const pktest::ModuleInfo &m, const std::vector<const mxArray *> &args);

}  // namespace pkliteral

#endif
