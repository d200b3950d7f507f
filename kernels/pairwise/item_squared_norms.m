%item_squared_norms  Squared Euclidean norm of every item vector.
%
%   q = item_squared_norms(N, K, X)
%
%   q(i) = X(1, i)^2 + X(2, i)^2 + ... + X(K, i)^2, summed in that order from +0 with every
%   square rounded before it is added (sum(X.^2)' can differ in the last bit).
%
%   Arguments:
%     N  item count, numeric scalar
%     K  width of an item vector, numeric scalar
%     X  item vectors, K-by-N (at least N*K doubles); column i is item i
%
%   Result:
%     q  N-by-1 double column (zeros when K <= 0)
%
%   Errors:
%     pairkernels:item_squared_norms:nargin        fewer than 3 arguments
%     pairkernels:item_squared_norms:nargout       more than one output requested
%     pairkernels:item_squared_norms:notScalar     N or K is not a numeric scalar
%     pairkernels:item_squared_norms:notDouble     X is not a double array
%     pairkernels:item_squared_norms:sparse        X is sparse
%     pairkernels:item_squared_norms:tooShort      X holds fewer than N*K elements
%     pairkernels:item_squared_norms:negativeSize  N is negative
%
%   N and K are truncated toward zero; a complex X is read through its real part; further
%   arguments are ignored.
%
%   Example:
%     q = item_squared_norms(2, 3, [1 3; 2 4; 2 0])
%     % q = [9; 25]
%
%   See also pair_difference_vectors.
