%transformed_pair_vector_sum  Per item, its K-by-K matrix times the weighted sum of its pair vectors.
%
%   R = transformed_pair_vector_sum(N, K, t, A, B, v, W, M)
%
%   For item i (1 ... N) and each partner j (1 ... N, i itself included), the weight is
%     h(i, j) = ((1/t) * A(i, j) + B(i, j)) - (v(i) - v(j))
%   and the weighted sum is the K-vector s_i = sum over j of h(i, j) * W(:, (j-1)*N + i) (the
%   vector of the pair (j, i), item j minus item i in the output of pair_difference_vectors).
%   Item i's result is M_i * s_i, with M_i = reshape(M, K, K, N)(:, :, i) (the layout that
%   pair_scatter_reciprocal returns). A is multiplied by 1/t, never divided by t (t = 0 gives
%   Inf and NaN); both sums run in ascending order from +0 with every product rounded before
%   it is added.
%
%   Arguments:
%     N  item count, numeric scalar
%     K  width of the pair and result vectors, numeric scalar
%     t  real parameter, numeric scalar
%     A  N-by-N pair matrix (at least N*N doubles)
%     B  N-by-N pair matrix (at least N*N doubles)
%     v  item values (at least N doubles)
%     W  pair vectors, K-by-N*N (at least N*N*K doubles), as pair_difference_vectors returns
%     M  item matrices, K-by-K-by-N (at least N*K*K doubles), as pair_scatter_reciprocal returns
%
%   Result:
%     R  N*K-by-1 double column; reshape(R, K, N)(:, i) is item i's vector
%
%   Errors:
%     pairkernels:transformed_pair_vector_sum:nargin        fewer than 8 arguments
%     pairkernels:transformed_pair_vector_sum:nargout       more than one output requested
%     pairkernels:transformed_pair_vector_sum:notScalar     N, K or t is not a numeric scalar
%     pairkernels:transformed_pair_vector_sum:notDouble     A, B, v, W or M is not a double
%                                                           array
%     pairkernels:transformed_pair_vector_sum:sparse        A, B, v, W or M is sparse
%     pairkernels:transformed_pair_vector_sum:tooShort      an array holds fewer elements
%                                                           than listed above
%     pairkernels:transformed_pair_vector_sum:outOfMemory   K doubles of working storage
%                                                           could not be allocated
%     pairkernels:transformed_pair_vector_sum:negativeSize  N*K is negative
%     pairkernels:transformed_pair_vector_sum:tooLarge      N*K exceeds 2147483647
%
%   N and K are truncated toward zero; complex arrays are read through their real parts;
%   further arguments are ignored.
%
%   Example:
%     W = pair_difference_vectors(2, 2, [1 4; 2 8]);
%     M = [1 0 0 1 2 0 0 2];    % M_1 = eye(2), M_2 = 2*eye(2)
%     R = transformed_pair_vector_sum(2, 2, 2, [2 4; 6 8], [0 1; 1 0], [1 3], W, M)
%     % R = [15; 30; -12; -24]
%
%   See also pair_difference_vectors, pair_scatter_reciprocal.
