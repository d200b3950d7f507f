%transformed_pair_vector_sum  Per item, its K-by-K matrix times a weighted sum of its pair vectors.
%
%   R = transformed_pair_vector_sum(N, K, t, A, B, v, W, M)
%
%   For item i (1 ... N) and each partner j (1 ... N, i itself included), the weight is
%     h(i, j) = ((1/t) * A(i, j) + B(i, j)) - (v(i) - v(j))
%   and the weighted sum is the K-vector s_i = sum over j of h(i, j) * W(:, (j-1)*N + i) (the
%   vector of the pair (j, i), item j minus item i in the output of pair_difference_vectors).
%   Item i's result is M_i * s_i, with M_i = reshape(M, K, K, N)(:, :, i) (the layout that
%   pair_scatter_reciprocal returns). A is multiplied by 1/t, never divided by t (t = 0 gives
%   Inf and NaN); both sums run in ascending order from +0 with every product rounded before
%   it is added.
%
%   Arguments:
%     N  item count, numeric scalar
%     K  width of the pair and result vectors, numeric scalar
%     t  real parameter, numeric scalar
%     A  N-by-N pair matrix (at least N*N doubles)
%     B  N-by-N pair matrix (at least N*N doubles)
%     v  item values (at least N doubles)
%     W  pair vectors, K-by-N*N (at least N*N*K doubles), as pair_difference_vectors returns
%     M  item matrices, K-by-K-by-N (at least N*K*K doubles), as pair_scatter_reciprocal returns
%
%   Result:
%     R  N*K-by-1 double column; reshape(R, K, N)(:, i) is item i's vector
%
%   Errors:
%     pairkernels:transformed_pair_vector_sum:nargin        fewer than 8 arguments
%     pairkernels:transformed_pair_vector_sum:nargout       more than one output requested
%     pairkernels:transformed_pair_vector_sum:notScalar     N, K or t is not a numeric scalar
%     pairkernels:transformed_pair_vector_sum:notDouble     A, B, v, W or M is not a double
%                                                           array
%     pairkernels:transformed_pair_vector_sum:sparse        A, B, v, W or M is sparse
%     pairkernels:transformed_pair_vector_sum:tooShort      an array holds fewer elements
%                                                           than listed above
%     pairkernels:transformed_pair_vector_sum:outOfMemory   K + 8*min(N, max(fix(16384/K), 8))
%                                                           doubles of working storage (K for
%                                                           small N and K) could not be
%                                                           allocated
%     pairkernels:transformed_pair_vector_sum:negativeSize  N*K is negative
%     pairkernels:transformed_pair_vector_sum:tooLarge      N*K exceeds 2147483647
%
%   N and K are truncated toward zero; complex arrays are read through their real parts;
%   further arguments are ignored.
%
%   Results are the same bits on every platform and in every build, with one exception: where
%   a result is NaN, it is NaN at the same position, but its sign and payload may differ.
%
%   Example:
%     W = pair_difference_vectors(2, 2, [1 4; 2 8]);
%     M = [1 0 0 1 2 0 0 2];    % M_1 = eye(2), M_2 = 2*eye(2)
%     R = transformed_pair_vector_sum(2, 2, 2, [2 4; 6 8], [0 1; 1 0], [1 3], W, M)
%     % R = [15; 30; -12; -24]
%
%   See also pair_difference_vectors, pair_scatter_reciprocal.

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
%! W = pair_difference_vectors (2, 2, [1 4; 2 8]);
%! M = [1 0 0 1 2 0 0 2];
%! same (transformed_pair_vector_sum (2, 2, 2, [2 4; 6 8], [0 1; 1 0], [1 3], W, M),
%!       [15; 30; -12; -24]);
%! same (transformed_pair_vector_sum (0, 2, 1, [], [], [], [], []), zeros (0, 1));
%! ## A is multiplied by 1/t: t = 0 makes every weight infinite or NaN
%! R = transformed_pair_vector_sum (1, 1, 0, 1, 0, 0, 1, 1);
%! same (R, Inf);

%!test
%! ## small sums and the chunked vector kernel, with special values
%! for n = [1 2 3 7 20]
%!   for K = [1 2 3 5]
%!     for t = [2 -0.5]
%!       s = n + 3*K;
%!       args = {awkward(n*n, s), awkward(n*n, s+1), awkward(n, s+2), awkward(n*n*K, s+3), ...
%!               awkward(n*K*K, s+4)};
%!       same (transformed_pair_vector_sum (n, K, t, args{:}),
%!             pairkernels_reference ("transformed_pair_vector_sum", n, K, t, args{:}));
%!     endfor
%!   endfor
%! endfor

%!error id=pairkernels:transformed_pair_vector_sum:nargin
%! transformed_pair_vector_sum (1, 1, 1, 1, 1, 1, 1)
%!error id=pairkernels:transformed_pair_vector_sum:nargout
%! [a, b] = transformed_pair_vector_sum (1, 1, 1, 1, 1, 1, 1, 1)
%!error id=pairkernels:transformed_pair_vector_sum:notScalar
%! transformed_pair_vector_sum (1, 1, "t", 1, 1, 1, 1, 1)
%!error id=pairkernels:transformed_pair_vector_sum:notDouble
%! transformed_pair_vector_sum (1, 1, 1, 1, 1, 1, 1, {1})
%!error id=pairkernels:transformed_pair_vector_sum:sparse
%! transformed_pair_vector_sum (1, 1, 1, 1, sparse (1), 1, 1, 1)
%!error id=pairkernels:transformed_pair_vector_sum:tooShort
%! transformed_pair_vector_sum (2, 1, 1, ones (2), ones (2), [1 2], ones (1, 4), 1)
%!error id=pairkernels:transformed_pair_vector_sum:negativeSize
%! transformed_pair_vector_sum (2, -1, 1, ones (2), ones (2), [1 2], [], [])
%!error id=pairkernels:transformed_pair_vector_sum:tooLarge
%! transformed_pair_vector_sum (-50000, -50000, 1, [], [], [], [], [])

%!demo
%! X = [0 1 3; 0 10 30];            # three items of two features
%! W = pair_difference_vectors (3, 2, X);
%! M = pair_scatter_reciprocal (3, 2, W);
%! R = transformed_pair_vector_sum (3, 2, 1, ones (3), zeros (3), [0 0 0], W, M);
%! reshape (R, 2, 3)                # column i: item i's vector
