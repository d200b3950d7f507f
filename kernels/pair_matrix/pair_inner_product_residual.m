%pair_inner_product_residual  Each pair value minus the inner product of its pair and item vectors.
%
%   R = pair_inner_product_residual(N, P, W, X, K)
%
%   For the pair (i, j), items i and j in 1 ... N, element (i-1)*N + j of R is
%     P(j, i) - W(:, (i-1)*N + j)' * X(:, j),
%   that is reshape(R, N, N)(j, i). The inner product is summed over the K components in
%   ascending order from +0, each product rounded before it is added.
%
%   Arguments:
%     N  item count, numeric scalar
%     P  N-by-N pair values (at least N*N doubles); pair (i, j) in row j, column i
%     W  pair vectors, K-by-N*N (at least N*N*K doubles); column (i-1)*N + j is pair (i, j)
%     X  item vectors, K-by-N (at least N*K doubles); column j is item j
%     K  width of the pair and item vectors, numeric scalar (K <= 0: R holds P(1:N*N))
%
%   Result:
%     R  N*N-by-1 double column (N*N zeros for a negative N)
%
%   Errors:
%     pairkernels:pair_inner_product_residual:nargin     fewer than 5 arguments
%     pairkernels:pair_inner_product_residual:nargout    more than one output requested
%     pairkernels:pair_inner_product_residual:notScalar  N or K is not a numeric scalar
%     pairkernels:pair_inner_product_residual:notDouble  P, W or X is not a double array
%     pairkernels:pair_inner_product_residual:sparse     P, W or X is sparse
%     pairkernels:pair_inner_product_residual:tooShort   an array holds fewer elements than
%                                                        listed above
%     pairkernels:pair_inner_product_residual:tooLarge   N*N exceeds 2147483647
%
%   N and K are truncated toward zero; complex arrays are read through their real parts;
%   further arguments are ignored.
%
%   Results are the same bits on every platform and in every build, with one exception: where
%   a result is NaN, it is NaN at the same position, but its sign and payload may differ.
%
%   Example:
%     R = pair_inner_product_residual(2, [10 30; 20 40], [1 1 1 1], [3 5], 1)
%     % R = [7; 15; 27; 35]
%
%   See also pair_residual, clamped_pair_model_gap.

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
%! same (pair_inner_product_residual (2, [10 30; 20 40], [1 1 1 1], [3 5], 1), [7; 15; 27; 35]);
%! ## K <= 0: R holds P; a negative N gives N*N zeros
%! same (pair_inner_product_residual (2, [1 2; 3 4], [], [], 0), [1; 3; 2; 4]);
%! same (pair_inner_product_residual (-2, [], [], [], 1), zeros (4, 1));
%! ## (Inf - Inf) * 1 + 1 * NaN: NaN, of whichever sign this processor makes
%! assert (isnan (pair_inner_product_residual (1, 5, [Inf-Inf; 1], [1; NaN], 2)));

%!test
%! for n = [1 2 3 7 16]
%!   for K = [0 1 2 3 5 8]
%!     s = 10*n + K;
%!     P = awkward (n*n, s); W = awkward (n*n*K, s+1); X = awkward (n*K, s+2);
%!     same (pair_inner_product_residual (n, reshape (P, n, n), W, X, K),
%!           pairkernels_reference ("pair_inner_product_residual", n, P, W, X, K));
%!   endfor
%! endfor

%!error id=pairkernels:pair_inner_product_residual:nargin
%! pair_inner_product_residual (1, 1, 1, 1)
%!error id=pairkernels:pair_inner_product_residual:nargout
%! [a, b] = pair_inner_product_residual (1, 1, 1, 1, 1)
%!error id=pairkernels:pair_inner_product_residual:notScalar
%! pair_inner_product_residual (1, 1, 1, 1, [])
%!error id=pairkernels:pair_inner_product_residual:notDouble
%! pair_inner_product_residual (1, 1, "W", 1, 1)
%!error id=pairkernels:pair_inner_product_residual:sparse
%! pair_inner_product_residual (1, sparse (1), 1, 1, 1)
%!error id=pairkernels:pair_inner_product_residual:tooShort
%! pair_inner_product_residual (2, ones (2), ones (1, 3), [1 2], 1)
%!error id=pairkernels:pair_inner_product_residual:tooLarge
%! pair_inner_product_residual (NaN, [], [], [], 1)

%!demo
%! X = [1 2; 3 4];                  # item vectors, K = 2
%! W = pair_difference_vectors (2, 2, X);
%! P = ones (2);
%! R = reshape (pair_inner_product_residual (2, P, W, X, 2), 2, 2)   # (j, i): pair (i, j)
