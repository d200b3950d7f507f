%pair_residual  Each pair value minus a linear pair model with item offsets.
%
%   R = pair_residual(N, P, q, W, X, K)
%
%   For the pair (i, j), items i and j in 1 ... N, element (i-1)*N + j of R is
%     P(j, i) - ((W(:, (i-1)*N + j)' * X(:, j) + q(j)) - q(i)),
%   that is reshape(R, N, N)(j, i). One accumulator from +0 adds the K products in ascending
%   order (each rounded first), then q(j), then subtracts q(i); the offsets pass through the
%   accumulator even on the diagonal.
%
%   Arguments:
%     N  item count, numeric scalar
%     P  N-by-N pair values (at least N*N doubles); pair (i, j) in row j, column i
%     q  item offsets (at least N doubles)
%     W  pair vectors, K-by-N*N (at least N*N*K doubles); column (i-1)*N + j is pair (i, j)
%     X  item vectors, K-by-N (at least N*K doubles); column j is item j
%     K  width of the pair and item vectors, numeric scalar
%
%   Result:
%     R  N*N-by-1 double column (N*N zeros for a negative N)
%
%   Errors:
%     pairkernels:pair_residual:nargin     fewer than 6 arguments
%     pairkernels:pair_residual:nargout    more than one output requested
%     pairkernels:pair_residual:notScalar  N or K is not a numeric scalar
%     pairkernels:pair_residual:notDouble  P, q, W or X is not a double array
%     pairkernels:pair_residual:sparse     P, q, W or X is sparse
%     pairkernels:pair_residual:tooShort   an array holds fewer elements than listed above
%     pairkernels:pair_residual:tooLarge   N*N exceeds 2147483647
%
%   N and K are truncated toward zero; complex arrays are read through their real parts;
%   further arguments are ignored.
%
%   Example:
%     R = pair_residual(2, [10 30; 20 40], [1 2], [1 1 1 1], [3 5], 1)
%     % R = [7; 14; 28; 35]
%
%   See also pair_inner_product_residual, clamped_pair_model_gap, pair_matrix_step.
