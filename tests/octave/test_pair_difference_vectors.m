## pair_difference_vectors in GNU Octave: exact values, shapes and argument errors.

%!test
%! assert (pk_same_bits (pair_difference_vectors (2, 1, [3 5]), [0; -2; 2; 0]));
%! assert (pk_same_bits (pair_difference_vectors (2, 2, [1 4; 2 8]), [0; 0; -3; -6; 3; 6; 0; 0]));
%! ## an item minus itself: +0.0 for finite components (-0 included), NaN for Inf and NaN
%! assert (pk_same_bits (pair_difference_vectors (1, 3, [-0 2.5 -7]), [0; 0; 0]));
%! assert (pk_same_bits (pair_difference_vectors (1, 2, [Inf NaN]), [NaN; NaN]));

%!test
%! assert (pk_same_bits (pair_difference_vectors (0, 3, []), zeros (0, 1)));
%! assert (pk_same_bits (pair_difference_vectors (3, 0, []), zeros (0, 1)));
%! ## N = -2 still gives N*N*K = 12 rows of zeros
%! assert (pk_same_bits (pair_difference_vectors (-2, 3, []), zeros (12, 1)));

%!test
%! ## random data with NaN, Inf, -0 and subnormals against the plain loops, exact lengths
%! for n = [1 2 3 7 12]
%!   for K = [1 2 5]
%!     X = pk_awkward (n*K, 10*n + K);
%!     assert (pk_same_bits (pair_difference_vectors (n, K, X),
%!                           pairkernels_reference ("pair_difference_vectors", n, K, X)));
%!   endfor
%! endfor

%!test
%! id = @(m) ["pairkernels:pair_difference_vectors:" m];
%! assert (pk_error_id (@pair_difference_vectors, 2, 2), id ("nargin"));
%! assert (pk_error_id (@pair_difference_vectors, 2, 2, single ([1 2 3 4])), id ("notDouble"));
%! assert (pk_error_id (@pair_difference_vectors, 2, 2, int32 ([1 2 3 4])), id ("notDouble"));
%! assert (pk_error_id (@pair_difference_vectors, 2, 2, [1 2 3]), id ("tooShort"));
%! assert (pk_error_id (@pair_difference_vectors, 1, -2, []), id ("negativeSize"));
%! assert (pk_error_id (@pair_difference_vectors, 46341, 1, zeros (46341, 1)), id ("tooLarge"));
