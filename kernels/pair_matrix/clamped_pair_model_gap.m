%clamped_pair_model_gap  Linear pair model minus the pair values over t, clamped from above.
%
%   R = clamped_pair_model_gap(N, t, P, q, W, X, K)       linux and macos builds
%   R = clamped_pair_model_gap(N, t, P, q, W, X, K, m)    windows build
%
%   For the pair (i, j), items i and j in 1 ... N, the gap is
%     g = ((W(:, (i-1)*N + j)' * X(:, j) + q(j)) - q(i)) - P(j, i) / t
%   and element (i-1)*N + j of R is the bound where g > bound, g otherwise (a NaN g stays
%   NaN). The bound is +0 in the linux and macos builds; the windows build takes an eighth
%   argument m and clamps at -m. The inner product is summed over the K components in
%   ascending order from +0, each product rounded before it is added; P is divided by t.
%
%   Arguments:
%     N  item count, numeric scalar
%     t  divisor of the pair values, numeric scalar
%     P  N-by-N pair values (at least N*N doubles); pair (i, j) in row j, column i
%     q  item offsets (at least N doubles)
%     W  pair vectors, K-by-N*N (at least N*N*K doubles); column (i-1)*N + j is pair (i, j)
%     X  item vectors, K-by-N (at least N*K doubles); column j is item j
%     K  width of the pair and item vectors, numeric scalar
%     m  windows build only: the bound is -m, numeric scalar
%
%   Result:
%     R  N*N-by-1 double column (N*N zeros for a negative N)
%
%   Errors:
%     pairkernels:clamped_pair_model_gap:nargin     fewer than 7 arguments (8 in the windows
%                                                   build)
%     pairkernels:clamped_pair_model_gap:nargout    more than one output requested
%     pairkernels:clamped_pair_model_gap:notScalar  N, t, K or m is not a numeric scalar
%     pairkernels:clamped_pair_model_gap:notDouble  P, q, W or X is not a double array
%     pairkernels:clamped_pair_model_gap:sparse     P, q, W or X is sparse
%     pairkernels:clamped_pair_model_gap:tooShort   an array holds fewer elements than
%                                                   listed above
%     pairkernels:clamped_pair_model_gap:tooLarge   N*N exceeds 2147483647
%
%   N and K are truncated toward zero; complex arrays are read through their real parts;
%   further arguments are ignored.
%
%   Example (linux and macos builds):
%     R = clamped_pair_model_gap(2, 1, [1 3; 2 40], [1 2], [1 1 1 1], [3 5], 1)
%     % R = [0; 0; -1; -35]
%
%   Example (windows build):
%     R = clamped_pair_model_gap(2, 1, [1 3; 2 40], [1 2], [1 1 1 1], [3 5], 1, 0.5)
%     % R = [-0.5; -0.5; -1; -35]
%
%   See also pair_residual, pair_inner_product_residual.
