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
%   Results are the same bits on every platform and in every build, with one exception: where
%   a result is NaN, it is NaN at the same position, but its sign and payload may differ.
%
%   Example:
%     D = pair_difference_operator(2)
%     % D = [0 0; 1 -1; -1 1; 0 0]
%     d = D * [10; 30]
%     % d = [0; -20; 20; 0]
%
%   See also pair_difference_blocks, item_pair_scatter.

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
%! D = pair_difference_operator (2);
%! same (D, [0 0; 1 -1; -1 1; 0 0]);
%! same (D * [10; 30], [0; -20; 20; 0]);
%! same (pair_difference_operator (0), zeros (0, 0));
%! for n = [1 3 4 9]
%!   same (pair_difference_operator (n), pairkernels_reference ("pair_difference_operator", n));
%! endfor
%! ## D * x gives x(q) - x(p) at p + q*N (0-based), for any x
%! x = [1.5; -2; 1e300; -0];
%! same (reshape (pair_difference_operator (4) * x, 4, 4), x.' - x);

%!error id=pairkernels:pair_difference_operator:nargin pair_difference_operator ()
%!error id=pairkernels:pair_difference_operator:nargout [a, b] = pair_difference_operator (1)
%!error id=pairkernels:pair_difference_operator:notScalar pair_difference_operator ({2})
%!error id=pairkernels:pair_difference_operator:negativeSize pair_difference_operator (-1)
%!error id=pairkernels:pair_difference_operator:tooLarge pair_difference_operator (46341)
%!error id=pairkernels:pair_difference_operator:tooLarge pair_difference_operator (Inf)

%!demo
%! D = pair_difference_operator (3);
%! x = [1; 4; 9];
%! reshape (D * x, 3, 3)            # (p, q): x(q) - x(p)
