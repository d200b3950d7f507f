%item_closed_form_update  One new value per item, in closed form, from pair totals.
%
%   y = item_closed_form_update(N, K, t, U, V, W, x, d, Z)
%
%   For item i (1 ... N), with
%     cu(i), ru(i)  the total of column i and of row i of U (cv, rv likewise of V),
%     p(i)          the sum over j of W(:, (i-1)*N + j)' * Z(:, j)  (pairs (i, j), item j),
%     q(i)          the sum over j of W(:, (j-1)*N + i)' * Z(:, i)  (pairs (j, i), item i),
%     e(i)          the sum of x over the other items, and
%     g             1 / ((2*N*t + 1) - 2*t), that is 1 / (1 + 2*t*(N-1)),
%   the result is
%     y(i) = ((d(i) + ru(i) - cu(i)) + t * (2*e(i) + rv(i) - cv(i) - q(i) + p(i))) * g,
%   evaluated left to right as written. Every total is one running sum from +0 in ascending
%   order (p and q over j, then over the K components, with one accumulator), every product
%   is rounded before it is added, and g is a reciprocal multiplied in.
%
%   Arguments:
%     N  item count, numeric scalar
%     K  width of the pair and item vectors, numeric scalar
%     t  real parameter, numeric scalar
%     U  N-by-N pair matrix (at least N*N doubles)
%     V  N-by-N pair matrix (at least N*N doubles)
%     W  pair vectors, K-by-N*N (at least N*N*K doubles), as pair_difference_vectors returns
%     x  per-item values (at least N doubles)
%     d  per-item values (at least N doubles)
%     Z  item vectors, K-by-N (at least N*K doubles); column i is item i
%
%   Result:
%     y  N-by-1 double column
%
%   Errors:
%     pairkernels:item_closed_form_update:nargin        fewer than 9 arguments
%     pairkernels:item_closed_form_update:nargout       more than one output requested
%     pairkernels:item_closed_form_update:notScalar     N, K or t is not a numeric scalar
%     pairkernels:item_closed_form_update:notDouble     U, V, W, x, d or Z is not a double
%                                                       array
%     pairkernels:item_closed_form_update:sparse        U, V, W, x, d or Z is sparse
%     pairkernels:item_closed_form_update:tooShort      an array holds fewer elements than
%                                                       listed above
%     pairkernels:item_closed_form_update:outOfMemory   6*N doubles of working storage could
%                                                       not be allocated
%     pairkernels:item_closed_form_update:negativeSize  N is negative
%
%   N and K are truncated toward zero; complex arrays are read through their real parts;
%   further arguments are ignored.
%
%   Results are the same bits on every platform and in every build, with one exception: where
%   a result is NaN, it is NaN at the same position, but its sign and payload may differ.
%
%   Example:
%     y = item_closed_form_update(2, 1, 0.5, [0 1; 2 0], zeros(2), [1 2 3 4], [1 2], [0 0], [1 1])
%     % y = [0.25; 1.25]
%
%   See also item_net_balance, pair_difference_vectors.

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
%! y = item_closed_form_update (2, 1, 0.5, [0 1; 2 0], zeros (2), [1 2 3 4], [1 2], [0 0], [1 1]);
%! same (y, [0.25; 1.25]);
%! same (item_closed_form_update (0, 3, 1, [], [], [], [], [], []), zeros (0, 1));

%!test
%! for n = [1 2 3 5 12]
%!   for K = [0 1 2 3]
%!     for t = [0.5 -0.25 3]
%!       s = 10*n + K;
%!       args = {awkward(n*n, s), awkward(n*n, s+1), awkward(n*n*K, s+2), awkward(n, s+3), ...
%!               awkward(n, s+4), awkward(n*K, s+5)};
%!       same (item_closed_form_update (n, K, t, args{:}),
%!             pairkernels_reference ("item_closed_form_update", n, K, t, args{:}));
%!     endfor
%!   endfor
%! endfor

%!error id=pairkernels:item_closed_form_update:nargin
%! item_closed_form_update (1, 1, 1, 1, 1, 1, 1, 1)
%!error id=pairkernels:item_closed_form_update:nargout
%! [a, b] = item_closed_form_update (1, 1, 1, 1, 1, 1, 1, 1, 1)
%!error id=pairkernels:item_closed_form_update:notScalar
%! item_closed_form_update (1, 1, [1 1], 1, 1, 1, 1, 1, 1)
%!error id=pairkernels:item_closed_form_update:notDouble
%! item_closed_form_update (1, 1, 1, 1, 1, 1, 1, 1, "Z")
%!error id=pairkernels:item_closed_form_update:sparse
%! item_closed_form_update (1, 1, 1, sparse (1), 1, 1, 1, 1, 1)
%!error id=pairkernels:item_closed_form_update:tooShort
%! item_closed_form_update (2, 1, 1, ones (2), ones (2), ones (1, 4), [1 2], [1 2], 1)
%!error id=pairkernels:item_closed_form_update:negativeSize
%! item_closed_form_update (-1, 1, 1, [], [], [], [], [], [])

%!demo
%! N = 3; K = 2; t = 0.5;
%! X = [0 1 3; 0 10 30];            # item vectors
%! W = pair_difference_vectors (N, K, X);
%! U = magic (N); V = zeros (N);
%! y = item_closed_form_update (N, K, t, U, V, W, [1 2 3], [0 0 0], X)
