%pair_scatter_reciprocal  Per item, the elementwise reciprocal of the scatter of its pair vectors.
%
%   R = pair_scatter_reciprocal(N, K, P)
%
%   For item i (1 ... N), S_i is the K-by-K sum over j = 1 ... N of p*p' with p the vector of
%   the pair (j, i), column (j-1)*N + i of P read as K-by-N*N. Given the output of
%   pair_difference_vectors, p = x_j - x_i and S_i is the scatter of all items about item i.
%   Block i of R, reshape(R, K, K, N)(:, :, i), is 1 ./ S_i: an elementwise reciprocal, not a
%   matrix inverse (a zero sum gives Inf). Each sum runs over j in ascending order from +0
%   with every product rounded before it is added.
%
%   Arguments:
%     N  item count, numeric scalar
%     K  width of a pair vector, numeric scalar
%     P  pair vectors, K-by-N*N (at least N*N*K doubles), as pair_difference_vectors returns
%
%   Result:
%     R  K*K*N-by-1 double column, item i's K-by-K block (column-major) at (i-1)*K*K + 1
%
%   Errors:
%     pairkernels:pair_scatter_reciprocal:nargin        fewer than 3 arguments
%     pairkernels:pair_scatter_reciprocal:nargout       more than one output requested
%     pairkernels:pair_scatter_reciprocal:notScalar     N or K is not a numeric scalar
%     pairkernels:pair_scatter_reciprocal:notDouble     P is not a double array
%     pairkernels:pair_scatter_reciprocal:sparse        P is sparse
%     pairkernels:pair_scatter_reciprocal:tooShort      P holds fewer than N*N*K elements
%     pairkernels:pair_scatter_reciprocal:negativeSize  K*K*N is negative
%     pairkernels:pair_scatter_reciprocal:tooLarge      K*K*N exceeds 2147483647
%     pairkernels:pair_scatter_reciprocal:outOfMemory   min(N, 16)*(K + 7) doubles of working
%                                                       storage could not be allocated (none
%                                                       are taken for K = 1 or small N and K)
%
%   N and K are truncated toward zero; a complex P is read through its real part; further
%   arguments are ignored.
%
%   Results are the same bits on every platform and in every build, with one exception: where
%   a result is NaN, it is NaN at the same position, but its sign and payload may differ.
%
%   Example:
%     D = pair_difference_vectors(2, 2, [1 4; 2 8]);
%     R = pair_scatter_reciprocal(2, 2, D)
%     % R = [1/9; 1/18; 1/18; 1/36; 1/9; 1/18; 1/18; 1/36]
%
%   See also pair_difference_vectors, item_pair_scatter, transformed_pair_vector_sum.

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
%! D = pair_difference_vectors (2, 2, [1 4; 2 8]);
%! same (pair_scatter_reciprocal (2, 2, D), [1/9; 1/18; 1/18; 1/36; 1/9; 1/18; 1/18; 1/36]);
%! ## a zero sum gives Inf, not an error
%! same (pair_scatter_reciprocal (1, 1, 0), Inf);
%! same (pair_scatter_reciprocal (0, 2, []), zeros (0, 1));

%!test
%! ## small and larger problems (the latter take the vector kernels), with special values
%! for n = [1 2 3 6 33]
%!   for K = [1 2 3 5 8]
%!     P = awkward (n*n*K, n + 2*K);
%!     same (pair_scatter_reciprocal (n, K, reshape (P, K, n*n)),
%!           pairkernels_reference ("pair_scatter_reciprocal", n, K, P));
%!   endfor
%! endfor

%!error id=pairkernels:pair_scatter_reciprocal:nargin pair_scatter_reciprocal (1, 1)
%!error id=pairkernels:pair_scatter_reciprocal:nargout [a, b] = pair_scatter_reciprocal (1, 1, 1)
%!error id=pairkernels:pair_scatter_reciprocal:notScalar pair_scatter_reciprocal (1, [1 1], 1)
%!error id=pairkernels:pair_scatter_reciprocal:notDouble pair_scatter_reciprocal (1, 1, single (1))
%!error id=pairkernels:pair_scatter_reciprocal:sparse pair_scatter_reciprocal (1, 1, sparse (1))
%!error id=pairkernels:pair_scatter_reciprocal:tooShort pair_scatter_reciprocal (2, 1, [1 2 3])
%!error id=pairkernels:pair_scatter_reciprocal:negativeSize pair_scatter_reciprocal (-1, 2, [])
%!error id=pairkernels:pair_scatter_reciprocal:tooLarge pair_scatter_reciprocal (1, -46341, [])

%!demo
%! X = [0 1 3; 0 10 30];            # three items of two features
%! D = pair_difference_vectors (3, 2, X);
%! R = pair_scatter_reciprocal (3, 2, D);
%! M = reshape (R, 2, 2, 3)         # 1 ./ (scatter of all items about item i)
%! 1 ./ M(:, :, 1)                  # the scatter itself, for item 1
