%item_net_balance  Per item, the column total minus the row total of an N-by-N pair matrix.
%
%   y = item_net_balance(N, A)
%
%   y(i) is the sum over j = 1 ... N of A(j, i) - A(i, j), in matrix terms (A.' - A) * ones(N, 1).
%   The total starts at +0 and, for each j in ascending order, adds A(j, i) and then subtracts
%   A(i, j); this alternation decides which small terms survive among large ones, so
%   sum(A, 1)' - sum(A, 2) can give a different result.
%
%   Arguments:
%     N  item count, numeric scalar
%     A  N-by-N pair matrix (at least N*N doubles, read in column-major order)
%
%   Result:
%     y  N-by-1 double column
%
%   Errors:
%     pairkernels:item_net_balance:nargin        fewer than 2 arguments
%     pairkernels:item_net_balance:nargout       more than one output requested
%     pairkernels:item_net_balance:notScalar     N is not a numeric scalar
%     pairkernels:item_net_balance:notDouble     A is not a double array
%     pairkernels:item_net_balance:sparse        A is sparse
%     pairkernels:item_net_balance:tooShort      A holds fewer than N*N elements
%     pairkernels:item_net_balance:negativeSize  N is negative
%
%   N is truncated toward zero; a complex A is read through its real part; further arguments
%   are ignored.
%
%   Example:
%     y = item_net_balance(2, [1 3; 2 4])
%     % y = [-1; 1]
%     b = item_net_balance(3, [0 1e16 0; 1e16 0 0; 1 0 0])
%     % b = [1; 0; -1]
%
%   See also item_closed_form_update.
