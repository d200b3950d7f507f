%pair_difference_blocks  Pair differences of item vectors in the second item's column block.
%
%   R = pair_difference_blocks(N, K, X)
%
%   R has one row per ordered pair of the N items and one block of K columns per item. Row
%   (i-1)*N + j, the pair (i, j), holds X(:, j) - X(:, i) in the column block of item j
%   (columns (j-1)*K+1 ... j*K) and zeros elsewhere, so R * c stacks, for every pair, the inner
%   product of x_j - x_i with item j's coefficients c((j-1)*K+1 : j*K).
%
%   Arguments:
%     N  item count, numeric scalar
%     K  width of an item vector, numeric scalar
%     X  item vectors, K-by-N (at least N*K doubles); column i is item i
%
%   Result:
%     R  N*N-by-N*K double matrix
%
%   Errors:
%     pairkernels:pair_difference_blocks:nargin        fewer than 3 arguments
%     pairkernels:pair_difference_blocks:nargout       more than one output requested
%     pairkernels:pair_difference_blocks:notScalar     N or K is not a numeric scalar
%     pairkernels:pair_difference_blocks:notDouble     X is not a double array
%     pairkernels:pair_difference_blocks:sparse        X is sparse
%     pairkernels:pair_difference_blocks:tooShort      X holds fewer than N*K elements
%     pairkernels:pair_difference_blocks:negativeSize  N*K is negative
%     pairkernels:pair_difference_blocks:tooLarge      N*N or N*K exceeds 2147483647
%
%   N and K are truncated toward zero; a complex X is read through its real part; further
%   arguments are ignored. Each element is one subtraction, the same bits on every platform.
%
%   Example:
%     R = pair_difference_blocks(2, 2, [1 4; 2 8])
%     % R = [0 0 0 0; 0 0 3 6; -3 -6 0 0; 0 0 0 0]
%
%   See also pair_difference_vectors, pair_difference_operator.
