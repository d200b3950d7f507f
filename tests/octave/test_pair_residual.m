## pair_residual in GNU Octave: worked examples, plain-loop comparisons, shapes and errors.

%!test
%! ## pair (i, j) sits in row j, column i of an N-by-N P
%! assert (pk_same_bits (pair_residual (2, [10 30; 20 40], [1 2], [1 1 1 1], [3 5], 1), [7; 14; 28; 35]));
%! assert (pk_same_bits (pair_residual (2.9, [10 30; 20 40], [1 2], [1 1 1 1], [3 5], 1.9), [7; 14; 28; 35]));
%! ## K = 0: W and X are not read; offsets still pass through the accumulator
%! assert (pk_same_bits (pair_residual (2, [1 3; 2 4], [0.5 -0], [], [], 0), [1; 2.5; 2.5; 4]));
%! ## diagonal: (1e-20 + 1) - 1 is +0, not -1e-20
%! assert (pk_same_bits (pair_residual (1, 0, 1, 1e-20, 1, 1), 0));
%! ## infinite offset: its diagonal is NaN
%! R = pair_residual (2, zeros (2), [Inf 1], zeros (1, 4), [0 0], 1);
%! assert (isnan (R(1)) && pk_same_bits (R(2:4), [Inf; -Inf; 0]));
%! ## products rounded before the sum: fused, 1 - (1-2^-60) would leave 2^-60
%! assert (pk_same_bits (pair_residual (1, 0, 0, [1 1+2^-30], [1 -(1-2^-30)], 2), 0));

%!test
%! for n = [1 2 3 7 11]
%!   for K = [0 1 2 3 5]
%!     seed = 100*n + K;
%!     P = pk_awkward (n*n, seed); q = pk_awkward (n, seed+1);
%!     W = pk_awkward (n*n*K, seed+2); X = pk_awkward (n*K, seed+3);
%!     assert (pk_same_bits (pair_residual (n, reshape (P, n, n), q, reshape (W, K, n*n), reshape (X, K, n), K),
%!                           pairkernels_reference ("pair_residual", n, P, q, W, X, K)));
%!   endfor
%! endfor

%!test
%! ## sizes: N = 0 and negative N read nothing; negative N gives N*N zeros
%! assert (pk_same_bits (pair_residual (0, [], [], [], [], 4), zeros (0, 1)));
%! assert (pk_same_bits (pair_residual (-2, [], [], [], [], 4), zeros (4, 1)));
%! assert (pk_same_bits (pair_residual (-3.5, [], [], [], [], -1), zeros (9, 1)));

%!test
%! id = @(m) ["pairkernels:pair_residual:" m];
%! assert (pk_error_id (@pair_residual, 2, ones (2), [1 2], ones (1, 4)), id ("nargin"));
%! assert (pk_error_id (@pair_residual, 2, [1 2 3], [1 2], ones (1, 4), [1 2], 1), id ("tooShort"));
%! assert (pk_error_id (@pair_residual, 2, ones (2), 1, ones (1, 4), [1 2], 1), id ("tooShort"));
%! assert (pk_error_id (@pair_residual, 2, ones (2), [1 2], ones (1, 4), [1 2], 2), id ("tooShort"));
%! assert (pk_error_id (@pair_residual, 2, ones (2), [1 2], ones (1, 7), [1 2 3], 2), id ("tooShort"));
%! ## N*N beyond int32 (NaN converts to -2^31) is refused, not wrapped
%! for n = {NaN, Inf, 1e10, -46341}
%!   assert (pk_error_id (@pair_residual, n{1}, [], [], [], [], 1), id ("tooLarge"));
%! endfor
%! assert (pk_error_id (@pair_residual, 1, single (1), 1, 1, 1, 1), id ("notDouble"));
%! assert (pk_error_id (@pair_residual, 1, 1, 1, 1, 1, [1 1]), id ("notScalar"));
