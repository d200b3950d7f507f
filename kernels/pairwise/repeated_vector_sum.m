%repeated_vector_sum  Elementwise sum of two vectors, formed K times over (calibration work).
%
%   c = repeated_vector_sum(N, K, A, B)
%
%   c(i) = A(i) + B(i) for i = 1 ... N. Each element is cleared and then loaded, added and
%   stored K times, so K sets the amount of work (N*K additions) while the values depend on K
%   only through its sign: K <= 0 leaves every element +0.
%
%   Arguments:
%     N  length of the vectors, numeric scalar
%     K  repeat count, numeric scalar
%     A  first vector (at least N doubles, any shape)
%     B  second vector (at least N doubles, any shape)
%
%   Result:
%     c  N-by-1 double column
%
%   Errors:
%     pairkernels:repeated_vector_sum:nargin        fewer than 4 arguments
%     pairkernels:repeated_vector_sum:nargout       more than one output requested
%     pairkernels:repeated_vector_sum:notScalar     N or K is not a numeric scalar
%     pairkernels:repeated_vector_sum:notDouble     A or B is not a double array
%     pairkernels:repeated_vector_sum:sparse        A or B is sparse
%     pairkernels:repeated_vector_sum:tooShort      A or B holds fewer than N elements
%     pairkernels:repeated_vector_sum:negativeSize  N is negative
%
%   N and K are truncated toward zero; complex A or B are read through their real parts;
%   further arguments are ignored.
%
%   Example:
%     c = repeated_vector_sum(3, 1000, [1 2 3], [10 20 30])
%     % c = [11; 22; 33]
%     z = repeated_vector_sum(3, 0, [1 2 3], [10 20 30])
%     % z = [0; 0; 0]
