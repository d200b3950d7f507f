// Literal references of the fourteen kernels: the plain loops, in the order in which each kernel's
// sums are defined, with no blocking, no interleaving and no vectorization by hand. The benchmark
// times the modules against them, the differential test compares the modules' bits with them.
//
// Every function takes its module kernel's parameters in the kernel's order and writes into `out`,
// which must be zero-filled on entry, as a host's fresh result is (some kernels write only the
// non-zero elements, or subtract from the zero that is there). Positions are formed in 64 bits,
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

void pair_difference_blocks(int32_t N, int32_t K, const double *X, double *R);
void item_squared_norms(int32_t N, int32_t K, const double *X, double *Q);
void repeated_vector_sum(int32_t N, int32_t K, const double *A, const double *B, double *C);
void pair_difference_vectors(int32_t N, int32_t K, const double *X, double *D);
void pair_scatter_reciprocal(int32_t N, int32_t K, const double *P, double *R);
void item_pair_scatter(int32_t N, int32_t K, int32_t r, const double *W, double *S);  // scatter form
void item_pair_tensor(int32_t N, double *E);  // item_pair_scatter's difference-tensor form
void item_net_balance(int32_t N, const double *A, double *y);
void item_closed_form_update(int32_t N, int32_t K, double t, const double *U, const double *V,
                             const double *W, const double *x, const double *d, const double *Z,
                             double *y);
void pair_difference_operator(int32_t N, double *D);
void transformed_pair_vector_sum(int32_t N, int32_t K, double t, const double *A, const double *B,
                                 const double *v, const double *W, const double *M, double *R);
void pair_inner_product_residual(int32_t N, const double *P, const double *W, const double *X,
                                 double *R, int32_t K);
// `bound` is +0.0 in the linux and macos forms and -m in the windows form.
void clamped_pair_model_gap(int32_t N, double t, const double *P, const double *q, const double *W,
                            const double *X, double *R, int32_t K, double bound);
void pair_residual(int32_t N, const double *P, const double *q, const double *W, const double *X,
                   double *R, int32_t K);
void pair_matrix_step(int32_t N, double t, const double *P, const double *Q, double *R);

// The literal of the module form `m` (a catalogue entry), bound to the arguments of one call as
// the module would receive them: each argument found by its name in the entry, sizes and reals as
// scalars, arrays by their data (the arrays must outlive the returned function). Calling it
// writes the result into a zero-filled buffer of the module's result size. Throws
// std::invalid_argument for a module without a literal or a call with too few arguments.
using Bound = std::function<void(double *out)>;
Bound bind(const pktest::ModuleInfo &m, const std::vector<const mxArray *> &args);

}  // namespace pkliteral

#endif
