## pair_inner_product_residual in GNU Octave: worked examples, plain-loop comparisons, errors.

%!test
%! ## the item vector is that of the second item j; pair (i, j) in row j, column i of P
%! assert (pk_same_bits (pair_inner_product_residual (2, [10 30; 20 40], [1 1 1 1], [3 5], 1), [7; 15; 27; 35]));
%! W = [1 0 1 2; 0 1 1 0];  # K-by-N*N, column i*N + j + 1 is pair (i, j)
%! assert (pk_same_bits (pair_inner_product_residual (2, zeros (2), W, [3 5; 4 6], 2), [-3; -6; -7; -10]));
%! assert (pk_same_bits (pair_inner_product_residual (2.9, [10 30; 20 40], [1 1 1 1], [3 5], 1.5), [7; 15; 27; 35]));
%! ## K <= 0: R is P bit for bit; W and X are not read
%! P = [-0 -Inf; NaN 4e-320];
%! assert (pk_same_bits (pair_inner_product_residual (2, P, [], [], 0), P(:)));
%! assert (pk_same_bits (pair_inner_product_residual (2, P, [], [], -1), P(:)));
%! ## products rounded before the sum: fused, the result would be -2^-60
%! assert (pk_same_bits (pair_inner_product_residual (1, 0, [1 1+2^-30], [1 -(1-2^-30)], 2), 0));

%!test
%! for n = [1 2 3 7 11]
%!   for K = [0 1 2 3 6]
%!     seed = 500 + 100*n + K;
%!     P = pk_awkward (n*n, seed); W = pk_awkward (n*n*K, seed+1); X = pk_awkward (n*K, seed+2);
%!     assert (pk_same_bits (pair_inner_product_residual (n, reshape (P, n, n), reshape (W, K, n*n), reshape (X, K, n), K),
%!                           pairkernels_reference ("pair_inner_product_residual", n, P, W, X, K)));
%!   endfor
%! endfor

%!test
%! id = @(m) ["pairkernels:pair_inner_product_residual:" m];
%! assert (pk_same_bits (pair_inner_product_residual (0, [], [], [], 3), zeros (0, 1)));
%! assert (pk_same_bits (pair_inner_product_residual (-2, [], [], [], 3), zeros (4, 1)));
%! for n = {NaN, -Inf, 1e10, -46341}
%!   assert (pk_error_id (@pair_inner_product_residual, n{1}, [], [], [], 1), id ("tooLarge"));
%! endfor
%! assert (pk_error_id (@pair_inner_product_residual, 2, ones (2), ones (1, 4), [1 2], 2), id ("tooShort"));
%! assert (pk_error_id (@pair_inner_product_residual, 2, ones (2), ones (1, 4), [1 2]), id ("nargin"));
%! assert (pk_error_id (@pair_inner_product_residual, 2, ones (2), int8 ([1 1 1 1]), [1 2], 1), id ("notDouble"));
