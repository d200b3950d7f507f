%pair_difference_vectors  Difference vector of every ordered pair of items.
%
%   D = pair_difference_vectors(N, K, X)
%
%   For the pair (i, j), items i and j in 1 ... N, the K elements
%   D((i-1)*N*K + (j-1)*K + (1:K)) are X(:, i) - X(:, j). Read as a K-by-N*N array, column
%   (i-1)*N + j is the vector of pair (i, j): the pair-vector layout that
%   pair_scatter_reciprocal, item_pair_scatter, item_closed_form_update,
%   transformed_pair_vector_sum, pair_inner_product_residual, clamped_pair_model_gap and
%   pair_residual read.
%
%   Arguments:
%     N  item count, numeric scalar
%     K  width of an item vector, numeric scalar
%     X  item vectors, K-by-N (at least N*K doubles); column i is item i
%
%   Result:
%     D  N*N*K-by-1 double column
%
%   Errors:
%     pairkernels:pair_difference_vectors:nargin        fewer than 3 arguments
%     pairkernels:pair_difference_vectors:nargout       more than one output requested
%     pairkernels:pair_difference_vectors:notScalar     N or K is not a numeric scalar
%     pairkernels:pair_difference_vectors:notDouble     X is not a double array
%     pairkernels:pair_difference_vectors:sparse        X is sparse
%     pairkernels:pair_difference_vectors:tooShort      X holds fewer than N*K elements
%     pairkernels:pair_difference_vectors:negativeSize  N*N*K is negative
%     pairkernels:pair_difference_vectors:tooLarge      N*N*K exceeds 2147483647
%
%   N and K are truncated toward zero; a complex X is read through its real part; further
%   arguments are ignored. Each element is one subtraction, the same bits on every platform.
%
%   Example:
%     D = pair_difference_vectors(2, 2, [1 4; 2 8])
%     % D = [0; 0; -3; -6; 3; 6; 0; 0]
%
%   See also pair_scatter_reciprocal, pair_difference_blocks.
