%pair_difference_vectors  Difference vector of every ordered pair of items.
%
%   D = pair_difference_vectors(N, K, X)
%
%   For the pair (i, j), items i and j in 1 ... N, the K elements
%   D((i-1)*N*K + (j-1)*K + (1:K)) are X(:, i) - X(:, j). Read as a K-by-N*N array, column
%   (i-1)*N + j is the vector of pair (i, j): the pair-vector layout that
%   pair_scatter_reciprocal, item_pair_scatter, item_closed_form_update,
%   transformed_pair_vector_sum, pair_inner_product_residual, clamped_pair_model_gap and
%   pair_residual read.
%
%   Arguments:
%     N  item count, numeric scalar
%     K  width of an item vector, numeric scalar
%     X  item vectors, K-by-N (at least N*K doubles); column i is item i
%
%   Result:
%     D  N*N*K-by-1 double column
%
%   Errors:
%     pairkernels:pair_difference_vectors:nargin        fewer than 3 arguments
%     pairkernels:pair_difference_vectors:nargout       more than one output requested
%     pairkernels:pair_difference_vectors:notScalar     N or K is not a numeric scalar
%     pairkernels:pair_difference_vectors:notDouble     X is not a double array
%     pairkernels:pair_difference_vectors:sparse        X is sparse
%     pairkernels:pair_difference_vectors:tooShort      X holds fewer than N*K elements
%     pairkernels:pair_difference_vectors:negativeSize  N*N*K is negative
%     pairkernels:pair_difference_vectors:tooLarge      N*N*K exceeds 2147483647
%
%   N and K are truncated toward zero; a complex X is read through its real part; further
%   arguments are ignored. Each element is one subtraction.
%
%   Results are the same bits on every platform and in every build, with one exception: where
%   a result is NaN, it is NaN at the same position, but its sign and payload may differ.
%
%   Example:
%     D = pair_difference_vectors(2, 2, [1 4; 2 8])
%     % D = [0; 0; -3; -6; 3; 6; 0; 0]
%
%   See also pair_scatter_reciprocal, pair_difference_blocks.

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
%! same (pair_difference_vectors (2, 2, [1 4; 2 8]), [0; 0; -3; -6; 3; 6; 0; 0]);
%! same (pair_difference_vectors (3, 0, []), zeros (0, 1));
%! same (pair_difference_vectors (0, 3, []), zeros (0, 1));

%!test
%! for n = [1 2 3 5 9]
%!   for K = [1 2 3 4 7]
%!     X = awkward (n*K, 3*n + K);
%!     same (pair_difference_vectors (n, K, reshape (X, K, n)),
%!           pairkernels_reference ("pair_difference_vectors", n, K, X));
%!   endfor
%! endfor

%!error id=pairkernels:pair_difference_vectors:nargin pair_difference_vectors (2, 2)
%!error id=pairkernels:pair_difference_vectors:nargout [a, b] = pair_difference_vectors (1, 1, 1)
%!error id=pairkernels:pair_difference_vectors:notScalar pair_difference_vectors (1, {1}, 1)
%!error id=pairkernels:pair_difference_vectors:notDouble pair_difference_vectors (1, 1, true)
%!error id=pairkernels:pair_difference_vectors:sparse pair_difference_vectors (1, 1, sparse (1))
%!error id=pairkernels:pair_difference_vectors:tooShort pair_difference_vectors (2, 2, [1 2 3])
%!error id=pairkernels:pair_difference_vectors:negativeSize pair_difference_vectors (2, -1, [])
%!error id=pairkernels:pair_difference_vectors:tooLarge pair_difference_vectors (-30000, 3, [])

%!demo
%! X = [0 1 3; 0 10 30];            # three items of two features
%! D = pair_difference_vectors (3, 2, X);
%! W = reshape (D, 2, 3*3)          # column (i-1)*3 + j: item i minus item j
