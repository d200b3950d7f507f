%pair_matrix_step  A pair matrix moved a step t along a direction: P + t*Q elementwise.
%
%   R = pair_matrix_step(N, t, P, Q)
%
%   R(p) = t*Q(p) + P(p) for p = 1 ... N*N, the product rounded before the sum (never one
%   fused multiply-add), so t = 0 still turns an infinite or NaN Q(p) into NaN.
%
%   Arguments:
%     N  item count, numeric scalar
%     t  the step, numeric scalar
%     P  base pair values, N-by-N (at least N*N doubles; only the first N*N are read)
%     Q  direction pair values, laid out like P
%
%   Result:
%     R  N*N-by-1 double column (N*N zeros for a negative N)
%
%   Errors:
%     pairkernels:pair_matrix_step:nargin     fewer than 4 arguments
%     pairkernels:pair_matrix_step:nargout    more than one output requested
%     pairkernels:pair_matrix_step:notScalar  N or t is not a numeric scalar
%     pairkernels:pair_matrix_step:notDouble  P or Q is not a double array
%     pairkernels:pair_matrix_step:sparse     P or Q is sparse
%     pairkernels:pair_matrix_step:tooShort   P or Q holds fewer than N*N elements
%     pairkernels:pair_matrix_step:tooLarge   N*N exceeds 2147483647
%
%   N is truncated toward zero; complex arrays are read through their real parts; further
%   arguments are ignored.
%
%   Example:
%     R = pair_matrix_step(2, 0.5, [1 2; 3 4], [2 2; 2 2])
%     % R = [2; 4; 3; 5]
%
%   See also pair_residual.
