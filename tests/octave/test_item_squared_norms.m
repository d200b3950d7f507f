## item_squared_norms in GNU Octave: exact values, shapes and the errors of its arguments.

%!test
%! assert (pk_same_bits (item_squared_norms (2, 3, [1 2 2 3 4 0]), [9; 25]));
%! assert (pk_same_bits (item_squared_norms (1, 1, -3), 9));
%! assert (pk_same_bits (item_squared_norms (1, 2, [1e200 1e200]), Inf));
%! assert (pk_same_bits (item_squared_norms (3, 0, []), [0; 0; 0]));
%! assert (pk_same_bits (item_squared_norms (2, -4, []), [0; 0]));
%! assert (pk_same_bits (item_squared_norms (1, 2, [-0 -0]), 0));
%! assert (pk_same_bits (item_squared_norms (0, 5, []), zeros (0, 1)));
%! assert (isnan (item_squared_norms (2, 2, [1 NaN 3 4])), [true; false]);

%!test
%! ## each square rounded before it is added: (1 + 2^-30)^2 rounds to 1 + 2^-29, and adding it to
%! ## 2^-53 is a tie kept at 1 + 2^-29 (a fused multiply-add would give 1 + 2^-29 + 2^-52)
%! assert (pk_same_bits (item_squared_norms (1, 3, [2^-27 2^-27 1+2^-30]), 1 + 2^-29));

%!test
%! ## random data with NaN, Inf, -0 and subnormals, against the plain loops
%! for s = [1 1; 1 9; 2 3; 3 1; 7 2; 5 7; 33 4]'
%!   X = pk_awkward (s(1)*s(2), 10*s(1) + s(2));
%!   assert (pk_same_bits (item_squared_norms (s(1), s(2), X),
%!                         pairkernels_reference ("item_squared_norms", s(1), s(2), X)));
%! endfor

%!test
%! X = magic (4);
%! E = pairkernels_reference ("item_squared_norms", 3, 4, X);
%! assert (pk_same_bits (item_squared_norms (3.9, 4.5, X), E));
%! E = pairkernels_reference ("item_squared_norms", 4, 4, X);
%! assert (pk_same_bits (item_squared_norms (4, 4, complex (X, 2), {}), E));

%!test
%! id = @(m) ["pairkernels:item_squared_norms:" m];
%! assert (pk_error_id (@item_squared_norms, 1, 1), id ("nargin"));
%! for bad = {int32([1 2 3]), single([1 2 3]), "abc", true(1, 3), {1,2,3}}
%!   assert (pk_error_id (@item_squared_norms, 1, 3, bad{1}), id ("notDouble"));
%! endfor
%! assert (pk_error_id (@item_squared_norms, 2, 3, 1:5), id ("tooShort"));
%! assert (pk_error_id (@item_squared_norms, -1, 3, []), id ("negativeSize"));
%! assert (pk_error_id (@item_squared_norms, Inf, 3, []), id ("negativeSize"));
%! assert (pk_error_id (@item_squared_norms, 1, [1 2], 1:3), id ("notScalar"));
