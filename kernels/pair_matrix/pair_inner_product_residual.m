%pair_inner_product_residual  Each pair value minus the inner product of its pair and item vectors.
%
%   R = pair_inner_product_residual(N, P, W, X, K)
%
%   For the pair (i, j), items i and j in 1 ... N, element (i-1)*N + j of R is
%     P(j, i) - W(:, (i-1)*N + j)' * X(:, j),
%   that is reshape(R, N, N)(j, i). The inner product is summed over the K components in
%   ascending order from +0, each product rounded before it is added.
%
%   Arguments:
%     N  item count, numeric scalar
%     P  N-by-N pair values (at least N*N doubles); pair (i, j) in row j, column i
%     W  pair vectors, K-by-N*N (at least N*N*K doubles); column (i-1)*N + j is pair (i, j)
%     X  item vectors, K-by-N (at least N*K doubles); column j is item j
%     K  width of the pair and item vectors, numeric scalar (K <= 0: R holds P(1:N*N))
%
%   Result:
%     R  N*N-by-1 double column (N*N zeros for a negative N)
%
%   Errors:
%     pairkernels:pair_inner_product_residual:nargin     fewer than 5 arguments
%     pairkernels:pair_inner_product_residual:nargout    more than one output requested
%     pairkernels:pair_inner_product_residual:notScalar  N or K is not a numeric scalar
%     pairkernels:pair_inner_product_residual:notDouble  P, W or X is not a double array
%     pairkernels:pair_inner_product_residual:sparse     P, W or X is sparse
%     pairkernels:pair_inner_product_residual:tooShort   an array holds fewer elements than
%                                                        listed above
%     pairkernels:pair_inner_product_residual:tooLarge   N*N exceeds 2147483647
%
%   N and K are truncated toward zero; complex arrays are read through their real parts;
%   further arguments are ignored.
%
%   Example:
%     R = pair_inner_product_residual(2, [10 30; 20 40], [1 1 1 1], [3 5], 1)
%     % R = [7; 15; 27; 35]
%
%   See also pair_residual, clamped_pair_model_gap.
