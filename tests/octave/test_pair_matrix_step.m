## pair_matrix_step in GNU Octave: worked example, special values, plain-loop comparisons, errors.

%!test
%! assert (pk_same_bits (pair_matrix_step (2, 0.5, [1 3; 2 4], [2 6; 4 8]), [2; 4; 6; 8]));
%! assert (pk_same_bits (pair_matrix_step (1.9, 0.25, [1 NaN], [4 NaN]), 2));
%! ## t = 0: NaN where Q is infinite or NaN, +0 where P is -0
%! assert (pk_same_bits (pair_matrix_step (2, 0, [1 3; -0 4], [Inf NaN; 5 -2]), [NaN; 0; NaN; 4]));
%! assert (pk_same_bits (pair_matrix_step (1, -0, -0, 3), -0));
%! assert (pk_same_bits (pair_matrix_step (2, 1e300, [1 Inf; -Inf 0], [1e10 -1e10; 1e10 0]), [Inf; NaN; NaN; 0]));
%! ## the product is rounded before the addition: fused, the result would be -2^-60
%! assert (pk_same_bits (pair_matrix_step (1, 1+2^-30, -1, 1-2^-30), 0));

%!test
%! ts = [0.5, -3.25, 0, -0, Inf, NaN, 1e-310, 1e300];
%! r = 0;
%! for n = [1 2 3 7 16 31]
%!   t = ts(mod (r, 8) + 1); r++;
%!   P = reshape (pk_awkward (n*n, 700 + n), n, n);
%!   Q = reshape (pk_awkward (n*n, 800 + n), n, n);
%!   assert (pk_same_bits (pair_matrix_step (n, t, P, Q),
%!                         pairkernels_reference ("pair_matrix_step", n, t, P, Q)));
%! endfor

%!test
%! id = @(m) ["pairkernels:pair_matrix_step:" m];
%! assert (pk_same_bits (pair_matrix_step (0, 1, [], []), zeros (0, 1)));
%! assert (pk_same_bits (pair_matrix_step (-2, 1, [], []), zeros (4, 1)));
%! for n = {NaN, Inf, 1e10, -46341}
%!   assert (pk_error_id (@pair_matrix_step, n{1}, 1, [], []), id ("tooLarge"));
%! endfor
%! assert (pk_error_id (@pair_matrix_step, 2, 1, ones (2), [1 2 3]), id ("tooShort"));
%! assert (pk_error_id (@pair_matrix_step, 2, 1, ones (2)), id ("nargin"));
%! assert (pk_error_id (@pair_matrix_step, 2, [1 2], ones (2), ones (2)), id ("notScalar"));
