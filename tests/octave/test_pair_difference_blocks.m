## pair_difference_blocks in GNU Octave: exact values, shapes and the errors of its arguments.

%!test
%! assert (pk_same_bits (pair_difference_blocks (2, 1, [1 4]), [0 0; 0 3; -3 0; 0 0]));
%! R = pair_difference_blocks (2, 2, [1 2; 10 20]');
%! assert (pk_same_bits (R(:), [0 0 -9 0 0 0 -18 0 0 9 0 0 0 18 0 0]'));
%! assert (pk_same_bits (pair_difference_blocks (1, 3, [5 -7 0.25]), [0 0 0]));
%! assert (pk_same_bits (pair_difference_blocks (0, 3, []), zeros (0, 0)));
%! assert (pk_same_bits (pair_difference_blocks (2, 0, []), zeros (4, 0)));
%! ## a negative N keeps its N*N rows; with a negative K nothing is written
%! assert (pk_same_bits (pair_difference_blocks (-2, -1, []), zeros (4, 2)));

%!test
%! ## random data with NaN, Inf, -0 and subnormals, against the plain loops
%! for s = [1 1; 1 4; 2 3; 3 1; 7 2; 5 7; 13 3]'
%!   X = pk_awkward (s(1)*s(2), 10*s(1) + s(2), 0.2);
%!   assert (pk_same_bits (pair_difference_blocks (s(1), s(2), X),
%!                         pairkernels_reference ("pair_difference_blocks", s(1), s(2), X)));
%! endfor

%!test
%! ## an infinite component: NaN on its own pair, infinite on every other pair of its item
%! R = pair_difference_blocks (3, 2, [1 2 Inf 4 5 6]);
%! for i = 0:2
%!   for j = 0:2
%!     e = R(i*3 + j + 1, j*2 + 1);  # component 0 of the pair (i, j)
%!     if (i == 1 && j == 1)
%!       assert (isnan (e));
%!     else
%!       assert (isinf (e), i == 1 || j == 1);
%!     endif
%!   endfor
%! endfor

%!test
%! X = magic (4);
%! E = pairkernels_reference ("pair_difference_blocks", 2, 2, X);
%! assert (pk_same_bits (pair_difference_blocks (2.9, 2.2, X), E));
%! assert (pk_same_bits (pair_difference_blocks (2, 2, X, "ignored"), E));
%! assert (pk_same_bits (pair_difference_blocks (2, 2, complex (X, 1)), E));

%!test
%! id = @(m) ["pairkernels:pair_difference_blocks:" m];
%! assert (pk_error_id (@pair_difference_blocks, 2, 2), id ("nargin"));
%! for bad = {int32([1 2 3 4]), single([1 2 3 4]), "abcd", true(1, 4), {1,2,3,4}}
%!   assert (pk_error_id (@pair_difference_blocks, 2, 2, bad{1}), id ("notDouble"));
%! endfor
%! assert (pk_error_id (@pair_difference_blocks, 2, 2, [1 2 3]), id ("tooShort"));
%! assert (pk_error_id (@pair_difference_blocks, 3, 1, [1 2]), id ("tooShort"));
%! assert (pk_error_id (@pair_difference_blocks, -2, 3, []), id ("negativeSize"));
%! assert (pk_error_id (@pair_difference_blocks, NaN, 1, []), id ("tooLarge"));
%! ## N*N rows, and N*K columns, beyond int32
%! assert (pk_error_id (@pair_difference_blocks, 46341, 1, zeros (46341, 1)), id ("tooLarge"));
%! assert (pk_error_id (@pair_difference_blocks, -2, -1073741825, []), id ("tooLarge"));
%! ## each dimension fits 32 bits, the element count (2.3e18) no host's byte count
%! assert (pk_error_id (@pair_difference_blocks, -39089, -38607, []), id ("tooLarge"));
