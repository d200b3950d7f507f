## pair_scatter_reciprocal in GNU Octave: exact values, summation order, wide K and errors.

%!test
%! assert (pk_same_bits (pair_scatter_reciprocal (1, 2, [1 2]), [1; 0.5; 0.5; 0.25]));
%! assert (pk_same_bits (pair_scatter_reciprocal (2, 1, [1 2 3 4]), [0.1; 0.05]));
%! ## zero vectors sum to +0: +Inf; a negative off-diagonal sum, a negative reciprocal
%! assert (pk_same_bits (pair_scatter_reciprocal (1, 2, [0 -0]), Inf (4, 1)));
%! assert (pk_same_bits (pair_scatter_reciprocal (1, 2, [2 -4]), [0.25; -0.125; -0.125; 0.0625]));

%!test
%! ## partners in ascending order: (1e16 + 1) - 1e16 is +0, so the off-diagonal is +Inf
%! ## item 0's vectors are the pairs (j, 0): P(:, 1, j+1)
%! P = zeros (2, 3, 3);
%! P(:, 1, 1) = [1e8; 1e8];
%! P(:, 1, 2) = [1; 1];
%! P(:, 1, 3) = [1e8; -1e8];
%! R = pair_scatter_reciprocal (3, 2, P);
%! assert (pk_same_bits (R(1:4), [1/2e16; Inf; Inf; 1/2e16]));
%! assert (pk_same_bits (R, pairkernels_reference ("pair_scatter_reciprocal", 3, 2, P)));
%! ## (1 + 2^-30)(1 - 2^-30) rounds to 1 before -1 is added: +0 and +Inf, not -2^60
%! a = 1 + 2^-30;  b = 1 - 2^-30;
%! R = pair_scatter_reciprocal (2, 2, [1 -1 0 0 a b 0 0]);
%! assert (pk_same_bits (R(2:3), [Inf; Inf]));

%!test
%! assert (pk_same_bits (pair_scatter_reciprocal (0, 3, []), zeros (0, 1)));
%! assert (pk_same_bits (pair_scatter_reciprocal (3, 0, []), zeros (0, 1)));
%! ## K = -2 still gives K*K*N = 4 rows of zeros
%! assert (pk_same_bits (pair_scatter_reciprocal (1, -2, []), zeros (4, 1)));

%!test
%! for n = [1 2 3 7]
%!   for K = [1 2 5]
%!     P = pk_awkward (n*n*K, 100*n + K);
%!     assert (pk_same_bits (pair_scatter_reciprocal (n, K, P),
%!                           pairkernels_reference ("pair_scatter_reciprocal", n, K, P)));
%!   endfor
%! endfor

%!test
%! ## widths beyond 500 work like any other
%! for K = [500 501]
%!   P = pk_awkward (2*2*K, K, 0.02);
%!   assert (pk_same_bits (pair_scatter_reciprocal (2, K, P),
%!                         pairkernels_reference ("pair_scatter_reciprocal", 2, K, P)));
%! endfor

%!test
%! id = @(m) ["pairkernels:pair_scatter_reciprocal:" m];
%! assert (pk_error_id (@pair_scatter_reciprocal, 2, 1), id ("nargin"));
%! assert (pk_error_id (@pair_scatter_reciprocal, 2, 1, single ([1 2 3 4])), id ("notDouble"));
%! assert (pk_error_id (@pair_scatter_reciprocal, 2, 1, {1 2 3 4}), id ("notDouble"));
%! assert (pk_error_id (@pair_scatter_reciprocal, 2, 1, [1 2 3]), id ("tooShort"));
