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
%   Results are the same bits on every platform and in every build, with one exception: where
%   a result is NaN, it is NaN at the same position, but its sign and payload may differ.
%
%   Example:
%     R = pair_matrix_step(2, 0.5, [1 2; 3 4], [2 2; 2 2])
%     % R = [2; 4; 3; 5]
%
%   See also pair_residual.

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
%! same (pair_matrix_step (2, 0.5, [1 2; 3 4], [2 2; 2 2]), [2; 4; 3; 5]);
%! ## the product is rounded before the sum: t = 0 still turns an infinite Q into NaN
%! assert (isnan (pair_matrix_step (1, 0, 1, Inf)));
%! ## (1 + 2^-30) * (1 - 2^-30) rounds to 1 first; fused, the result would be -2^-29 - 2^-60
%! same (pair_matrix_step (1, 1 + 2^-30, -(1 + 2^-29), 1 - 2^-30), -2^-29);
%! same (pair_matrix_step (-2, 1, [], []), zeros (4, 1));
%! ## only the first N*N elements are read
%! same (pair_matrix_step (1, 2, [1 NaN], [3 NaN]), 7);

%!test
%! for n = [1 2 3 5 8 17 40]
%!   for t = [0.5 -3 0 1e-300]
%!     P = awkward (n*n, n); Q = awkward (n*n, 2*n);
%!     same (pair_matrix_step (n, t, reshape (P, n, n), Q),
%!           pairkernels_reference ("pair_matrix_step", n, t, P, Q));
%!   endfor
%! endfor

%!error id=pairkernels:pair_matrix_step:nargin pair_matrix_step (1, 1, 1)
%!error id=pairkernels:pair_matrix_step:nargout [a, b] = pair_matrix_step (1, 1, 1, 1)
%!error id=pairkernels:pair_matrix_step:notScalar pair_matrix_step (1, {}, 1, 1)
%!error id=pairkernels:pair_matrix_step:notDouble pair_matrix_step (1, 1, 1, uint8 (1))
%!error id=pairkernels:pair_matrix_step:sparse pair_matrix_step (1, 1, sparse (1), 1)
%!error id=pairkernels:pair_matrix_step:tooShort pair_matrix_step (2, 1, ones (2), [1 2 3])
%!error id=pairkernels:pair_matrix_step:tooLarge pair_matrix_step (Inf, 1, [], [])

%!demo
%! P = magic (3);                   # pair values
%! Q = ones (3);                    # a direction
%! R = reshape (pair_matrix_step (3, 0.25, P, Q), 3, 3)
