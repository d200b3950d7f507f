%pair_residual  Each pair value minus a linear pair model with item offsets.
%
%   R = pair_residual(N, P, q, W, X, K)
%
%   For the pair (i, j), items i and j in 1 ... N, element (i-1)*N + j of R is
%     P(j, i) - ((W(:, (i-1)*N + j)' * X(:, j) + q(j)) - q(i)),
%   that is reshape(R, N, N)(j, i). One accumulator from +0 adds the K products in ascending
%   order (each rounded first), then q(j), then subtracts q(i); the offsets pass through the
%   accumulator even on the diagonal.
%
%   Arguments:
%     N  item count, numeric scalar
%     P  N-by-N pair values (at least N*N doubles); pair (i, j) in row j, column i
%     q  item offsets (at least N doubles)
%     W  pair vectors, K-by-N*N (at least N*N*K doubles); column (i-1)*N + j is pair (i, j)
%     X  item vectors, K-by-N (at least N*K doubles); column j is item j
%     K  width of the pair and item vectors, numeric scalar
%
%   Result:
%     R  N*N-by-1 double column (N*N zeros for a negative N)
%
%   Errors:
%     pairkernels:pair_residual:nargin     fewer than 6 arguments
%     pairkernels:pair_residual:nargout    more than one output requested
%     pairkernels:pair_residual:notScalar  N or K is not a numeric scalar
%     pairkernels:pair_residual:notDouble  P, q, W or X is not a double array
%     pairkernels:pair_residual:sparse     P, q, W or X is sparse
%     pairkernels:pair_residual:tooShort   an array holds fewer elements than listed above
%     pairkernels:pair_residual:tooLarge   N*N exceeds 2147483647
%
%   N and K are truncated toward zero; complex arrays are read through their real parts;
%   further arguments are ignored.
%
%   Results are the same bits on every platform and in every build, with one exception: where
%   a result is NaN, it is NaN at the same position, but its sign and payload may differ.
%
%   Example:
%     R = pair_residual(2, [10 30; 20 40], [1 2], [1 1 1 1], [3 5], 1)
%     % R = [7; 14; 28; 35]
%
%   See also pair_inner_product_residual, clamped_pair_model_gap, pair_matrix_step.

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
%! same (pair_residual (2, [10 30; 20 40], [1 2], [1 1 1 1], [3 5], 1), [7; 14; 28; 35]);
%! ## the offsets pass through the accumulator, even on the diagonal: (1e-20 + 1) - 1 is +0
%! same (pair_residual (1, 0, 1, 1e-20, 1, 1), 0);
%! same (pair_residual (-2, [], [], [], [], 1), zeros (4, 1));

%!test
%! for n = [1 2 3 7 16]
%!   for K = [0 1 2 3 5 8]
%!     s = 10*n + K;
%!     P = awkward (n*n, s); q = awkward (n, s+1); W = awkward (n*n*K, s+2);
%!     X = awkward (n*K, s+3);
%!     same (pair_residual (n, reshape (P, n, n), q, W, X, K),
%!           pairkernels_reference ("pair_residual", n, P, q, W, X, K));
%!   endfor
%! endfor

%!error id=pairkernels:pair_residual:nargin pair_residual (2, ones (2), [1 2], ones (1, 4), [3 5])
%!error id=pairkernels:pair_residual:nargout [a, b] = pair_residual (1, 1, 1, 1, 1, 1)
%!error id=pairkernels:pair_residual:notScalar pair_residual ([1 1], 1, 1, 1, 1, 1)
%!error id=pairkernels:pair_residual:notDouble pair_residual (1, single (1), 1, 1, 1, 1)
%!error id=pairkernels:pair_residual:sparse pair_residual (1, 1, 1, sparse (1), 1, 1)
%!error id=pairkernels:pair_residual:tooShort pair_residual (2, ones (2), 1, ones (1, 4), [3 5], 1)
%!error id=pairkernels:pair_residual:tooLarge pair_residual (NaN, [], [], [], [], 1)

%!demo
%! ## a linear pair model with item offsets q, and what it leaves of the pair values P
%! X = [1 2 3];                     # one feature per item, K = 1
%! W = pair_difference_vectors (3, 1, X);
%! q = [0.5 0 -0.5];
%! P = ones (3);
%! R = reshape (pair_residual (3, P, q, W, X, 1), 3, 3)   # (j, i): pair (i, j)
