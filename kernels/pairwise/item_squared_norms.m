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
%   Results are the same bits on every platform and in every build, with one exception: where
%   a result is NaN, it is NaN at the same position, but its sign and payload may differ.
%
%   Example:
%     q = item_squared_norms(2, 3, [1 3; 2 4; 2 0])
%     % q = [9; 25]
%
%   See also pair_difference_vectors.

%!function same (actual, expected)
%!  ## the same class, shape and bits, with NaN at the same places (of any sign and payload)
%!  assert (class (actual), "double");
%!  assert (size (actual), size (expected));
%!  holes = isnan (expected);
%!  assert (isnan (actual), holes);
%!  assert (typecast (actual(! holes), "uint64"), typecast (expected(! holes), "uint64"));
%!endfunction

%!function x = awkward (n, seed)
%!  ## n values of many magnitudes, with NaN, Inf, -Inf, -0 and a subnormal among them
%!  k = (1:n)' + seed;
%!  x = tan (k * 0.77) .* 10 .^ mod (k, 5);
%!  x(mod (k, 19) == 0) = NaN;
%!  x(mod (k, 23) == 0) = Inf;
%!  x(mod (k, 29) == 0) = -Inf;
%!  x(mod (k, 17) == 0) = -0;
%!  x(mod (k, 31) == 0) = 5e-324;
%!endfunction

%!test
%! same (item_squared_norms (2, 3, [1 3; 2 4; 2 0]), [9; 25]);
%! same (item_squared_norms (3, 0, []), [0; 0; 0]);
%! same (item_squared_norms (0, 4, []), zeros (0, 1));
%! ## each square is rounded before it is added: (1 + 2^-30)^2 loses its 2^-60
%! same (item_squared_norms (1, 2, [1+2^-30, 1]), 2 + 2^-29);

%!test
%! for n = [1 2 3 7 40]
%!   for k = [1 2 3 5 8 9]
%!     X = awkward (n*k, n + 7*k);
%!     same (item_squared_norms (n, k, reshape (X, k, n)),
%!           pairkernels_reference ("item_squared_norms", n, k, X));
%!   endfor
%! endfor

%!error id=pairkernels:item_squared_norms:nargin item_squared_norms (2, 3)
%!error id=pairkernels:item_squared_norms:nargout [a, b] = item_squared_norms (1, 1, 1)
%!error id=pairkernels:item_squared_norms:notScalar item_squared_norms (1, "k", 1)
%!error id=pairkernels:item_squared_norms:notDouble item_squared_norms (1, 1, {1})
%!error id=pairkernels:item_squared_norms:sparse item_squared_norms (1, 1, sparse (1))
%!error id=pairkernels:item_squared_norms:tooShort item_squared_norms (2, 3, ones (1, 5))
%!error id=pairkernels:item_squared_norms:negativeSize item_squared_norms (-1, 3, [])

%!demo
%! X = [3 1 0; 4 1 0]              # three items of two features, one per column
%! q = item_squared_norms (3, 2, X)
