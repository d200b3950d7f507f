%item_pair_scatter  Scatter matrix of one item's pairs (windows, macos); difference tensor (linux).
%
%   S = item_pair_scatter(N, K, r, W)     windows and macos builds: scatter form
%   E = item_pair_scatter(N)              linux build: difference-tensor form
%
%   The platform builds differ in what this module computes; each build has one form only.
%   The linux build reads its first argument alone and ignores any others; the windows and
%   macos builds need all four.
%
%   Scatter form (windows and macos builds): S is the sum over items i = 1 ... N of w*w', with
%   w the vector of the pair (i, r+1), column (i-1)*N + r + 1 of W read as K-by-N*N. This is
%   the matrix that pair_scatter_reciprocal forms for item r+1 before taking reciprocals. Each
%   element is summed over i in ascending order from +0 with every product rounded before it
%   is added, so S is symmetric bit for bit.
%     N  item count, numeric scalar
%     K  width of a pair vector, numeric scalar
%     r  ZERO-BASED index of the item, numeric scalar in 0 ... N-1 (r = 0 is the first item);
%        not checked when N <= 0 or K <= 0
%     W  pair vectors, K-by-N*N, as pair_difference_vectors returns them (at least
%        ((N-1)*N + r + 1)*K doubles are read)
%     S  K-by-K double matrix (zeros when N <= 0)
%
%   Difference-tensor form (linux build): column i of E, cut into N blocks of N rows, holds in
%   block j (rows (j-1)*N+1 ... j*N) the vector e_i - e_j, the unit vector of item i minus the
%   unit vector of item j.
%     N  item count, numeric scalar
%     E  N*N-by-N double matrix
%
%   Errors, scatter form (windows and macos builds):
%     pairkernels:item_pair_scatter:nargin        fewer than 4 arguments
%     pairkernels:item_pair_scatter:nargout       more than one output requested
%     pairkernels:item_pair_scatter:notScalar     N, K or r is not a numeric scalar
%     pairkernels:item_pair_scatter:outOfRange    r is outside 0 ... N-1 (N > 0 and K > 0)
%     pairkernels:item_pair_scatter:notDouble     W is not a double array
%     pairkernels:item_pair_scatter:sparse        W is sparse
%     pairkernels:item_pair_scatter:tooShort      W holds fewer than ((N-1)*N + r + 1)*K
%                                                 elements
%     pairkernels:item_pair_scatter:negativeSize  K is negative
%   Errors, difference-tensor form (linux build):
%     pairkernels:item_pair_scatter:nargin        no argument
%     pairkernels:item_pair_scatter:nargout       more than one output requested
%     pairkernels:item_pair_scatter:notScalar     N is not a numeric scalar
%     pairkernels:item_pair_scatter:negativeSize  N is negative
%     pairkernels:item_pair_scatter:tooLarge      N*N exceeds 2147483647
%
%   Sizes and r are truncated toward zero; a complex W is read through its real part.
%
%   Example (windows and macos builds):
%     W = pair_difference_vectors(2, 2, [1 4; 2 8]);
%     S = item_pair_scatter(2, 2, 1, W)
%     % S = [9 18; 18 36]
%
%   Example (linux build):
%     E = item_pair_scatter(2)
%     % E = [0 -1; 0 1; 1 0; -1 0]
%
%   See also pair_scatter_reciprocal, pair_difference_operator.
