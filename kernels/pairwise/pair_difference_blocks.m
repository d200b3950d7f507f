%pair_difference_blocks  Pair differences of item vectors in the second item's column block.
%
%   R = pair_difference_blocks(N, K, X)
%
%   R has one row per ordered pair of the N items and one block of K columns per item. Row
%   (i-1)*N + j, the pair (i, j), holds X(:, j) - X(:, i) in the column block of item j
%   (columns (j-1)*K+1 ... j*K) and zeros elsewhere, so R * c stacks, for every pair, the inner
%   product of x_j - x_i with item j's coefficients c((j-1)*K+1 : j*K).
%
%   Arguments:
%     N  item count, numeric scalar
%     K  width of an item vector, numeric scalar
%     X  item vectors, K-by-N (at least N*K doubles); column i is item i
%
%   Result:
%     R  N*N-by-N*K double matrix
%
%   Errors:
%     pairkernels:pair_difference_blocks:nargin        fewer than 3 arguments
%     pairkernels:pair_difference_blocks:nargout       more than one output requested
%     pairkernels:pair_difference_blocks:notScalar     N or K is not a numeric scalar
%     pairkernels:pair_difference_blocks:notDouble     X is not a double array
%     pairkernels:pair_difference_blocks:sparse        X is sparse
%     pairkernels:pair_difference_blocks:tooShort      X holds fewer than N*K elements
%     pairkernels:pair_difference_blocks:negativeSize  N*K is negative
%     pairkernels:pair_difference_blocks:tooLarge      N*N or N*K exceeds 2147483647
%
%   N and K are truncated toward zero; a complex X is read through its real part; further
%   arguments are ignored. Each element is one subtraction.
%
%   Results are the same bits on every platform and in every build, with one exception: where
%   a result is NaN, it is NaN at the same position, but its sign and payload may differ.
%
%   Example:
%     R = pair_difference_blocks(2, 2, [1 4; 2 8])
%     % R = [0 0 0 0; 0 0 3 6; -3 -6 0 0; 0 0 0 0]
%
%   See also pair_difference_vectors, pair_difference_operator.

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
%! same (pair_difference_blocks (2, 2, [1 4; 2 8]), [0 0 0 0; 0 0 3 6; -3 -6 0 0; 0 0 0 0]);
%! same (pair_difference_blocks (0, 3, []), zeros (0, 0));
%! same (pair_difference_blocks (2.9, 1.5, [5 7 9]), [0 0; 0 2; -2 0; 0 0]);

%!test
%! ## every element one subtraction, against the plain loops
%! for n = [1 2 3 5]
%!   for k = [1 2 3]
%!     X = awkward (n*k, 10*n + k);
%!     same (pair_difference_blocks (n, k, reshape (X, k, n)),
%!           pairkernels_reference ("pair_difference_blocks", n, k, X));
%!   endfor
%! endfor

%!error id=pairkernels:pair_difference_blocks:nargin pair_difference_blocks (2, 2)
%!error id=pairkernels:pair_difference_blocks:nargout [a, b] = pair_difference_blocks (1, 1, 1)
%!error id=pairkernels:pair_difference_blocks:notScalar pair_difference_blocks ([2 2], 1, 1)
%!error id=pairkernels:pair_difference_blocks:notDouble pair_difference_blocks (1, 1, int8 (1))
%!error id=pairkernels:pair_difference_blocks:sparse pair_difference_blocks (1, 1, sparse (1))
%!error id=pairkernels:pair_difference_blocks:tooShort pair_difference_blocks (2, 2, [1 2 3])
%!error id=pairkernels:pair_difference_blocks:negativeSize pair_difference_blocks (1, -2, [])
%!error id=pairkernels:pair_difference_blocks:tooLarge pair_difference_blocks (46341, 0, [])

%!demo
%! ## three items with two features each: row (i-1)*3 + j holds X(:, j) - X(:, i) in block j
%! X = [0 1 3; 0 10 30]
%! R = pair_difference_blocks (3, 2, X)
%! c = [1; 0; 1; 0; 1; 0];        # item j's coefficients: its first feature
%! reshape (R * c, 3, 3)           # (j, i): x_j(1) - x_i(1)
