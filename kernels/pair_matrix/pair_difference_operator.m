%pair_difference_operator  The N*N-by-N matrix mapping item values to all pairwise differences.
%
%   D = pair_difference_operator(N)
%
%   For a column x of N item values, reshape(D * x, N, N)(p, q) = x(q) - x(p). Block q of D
%   (rows (q-1)*N+1 ... q*N) is a column of ones in column q minus the N-by-N identity, so the
%   rows (q-1)*N + q are zero.
%
%   Arguments:
%     N  item count, numeric scalar
%
%   Result:
%     D  N*N-by-N double matrix (0-by-0 for N = 0)
%
%   Errors:
%     pairkernels:pair_difference_operator:nargin        no argument
%     pairkernels:pair_difference_operator:nargout       more than one output requested
%     pairkernels:pair_difference_operator:notScalar     N is not a numeric scalar
%     pairkernels:pair_difference_operator:negativeSize  N is negative
%     pairkernels:pair_difference_operator:tooLarge      N*N exceeds 2147483647
%
%   N is truncated toward zero; further arguments are ignored.
%
%   Example:
%     D = pair_difference_operator(2)
%     % D = [0 0; 1 -1; -1 1; 0 0]
%     d = D * [10; 30]
%     % d = [0; -20; 20; 0]
%
%   See also pair_difference_blocks, item_pair_scatter.
