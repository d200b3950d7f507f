%pair_scatter_reciprocal  Per item, the elementwise reciprocal of the scatter of its pair vectors.
%
%   R = pair_scatter_reciprocal(N, K, P)
%
%   For item i (1 ... N), S_i is the K-by-K sum over j = 1 ... N of p*p' with p the vector of
%   the pair (j, i), column (j-1)*N + i of P read as K-by-N*N. Given the output of
%   pair_difference_vectors, p = x_j - x_i and S_i is the scatter of all items about item i.
%   Block i of R, reshape(R, K, K, N)(:, :, i), is 1 ./ S_i: an elementwise reciprocal, not a
%   matrix inverse (a zero sum gives Inf). Each sum runs over j in ascending order from +0
%   with every product rounded before it is added.
%
%   Arguments:
%     N  item count, numeric scalar
%     K  width of a pair vector, numeric scalar
%     P  pair vectors, K-by-N*N (at least N*N*K doubles), as pair_difference_vectors returns
%
%   Result:
%     R  K*K*N-by-1 double column, item i's K-by-K block (column-major) at (i-1)*K*K + 1
%
%   Errors:
%     pairkernels:pair_scatter_reciprocal:nargin        fewer than 3 arguments
%     pairkernels:pair_scatter_reciprocal:nargout       more than one output requested
%     pairkernels:pair_scatter_reciprocal:notScalar     N or K is not a numeric scalar
%     pairkernels:pair_scatter_reciprocal:notDouble     P is not a double array
%     pairkernels:pair_scatter_reciprocal:sparse        P is sparse
%     pairkernels:pair_scatter_reciprocal:tooShort      P holds fewer than N*N*K elements
%     pairkernels:pair_scatter_reciprocal:negativeSize  K*K*N is negative
%     pairkernels:pair_scatter_reciprocal:tooLarge      K*K*N exceeds 2147483647
%     pairkernels:pair_scatter_reciprocal:outOfMemory   K*K doubles of working storage
%                                                       could not be allocated
%
%   N and K are truncated toward zero; a complex P is read through its real part; further
%   arguments are ignored.
%
%   Example:
%     D = pair_difference_vectors(2, 2, [1 4; 2 8]);
%     R = pair_scatter_reciprocal(2, 2, D)
%     % R = [1/9; 1/18; 1/18; 1/36; 1/9; 1/18; 1/18; 1/36]
%
%   See also pair_difference_vectors, item_pair_scatter, transformed_pair_vector_sum.
