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
%   Results are the same bits on every platform and in every build, with one exception: where
%   a result is NaN, it is NaN at the same position, but its sign and payload may differ.
%
%   Example:
%     y = item_net_balance(2, [1 3; 2 4])
%     % y = [-1; 1]
%     b = item_net_balance(3, [0 1e16 0; 1e16 0 0; 1 0 0])
%     % b = [1; 0; -1]
%
%   See also item_closed_form_update.

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
%! same (item_net_balance (2, [1 3; 2 4]), [-1; 1]);
%! ## adding and subtracting alternately keeps the 1 that sum (A, 1)' - sum (A, 2) loses
%! same (item_net_balance (3, [0 1e16 0; 1e16 0 0; 1 0 0]), [1; 0; -1]);
%! same (item_net_balance (0, []), zeros (0, 1));
%! same (item_net_balance (2.9, magic (3)),
%!       pairkernels_reference ("item_net_balance", 2.9, magic (3)));

%!test
%! for n = [1 2 3 7 16 33]
%!   A = reshape (awkward (n*n, n), n, n);
%!   same (item_net_balance (n, A), pairkernels_reference ("item_net_balance", n, A));
%! endfor

%!error id=pairkernels:item_net_balance:nargin item_net_balance (2)
%!error id=pairkernels:item_net_balance:nargout [a, b] = item_net_balance (1, 1)
%!error id=pairkernels:item_net_balance:notScalar item_net_balance ("2", ones (2))
%!error id=pairkernels:item_net_balance:notDouble item_net_balance (2, int32 (ones (2)))
%!error id=pairkernels:item_net_balance:sparse item_net_balance (2, sparse (ones (2)))
%!error id=pairkernels:item_net_balance:tooShort item_net_balance (2, [1 2 3])
%!error id=pairkernels:item_net_balance:negativeSize item_net_balance (-3, [])
%!error id=pairkernels:item_net_balance:negativeSize item_net_balance (NaN, [])

%!demo
%! ## who receives more than they give: A(j, i) flows from j to i
%! A = [0 5 0; 2 0 1; 4 0 0]
%! y = item_net_balance (3, A)     # column total minus row total
