## item_closed_form_update in GNU Octave: exact values, the reciprocal factor, edge cases, errors.

%!test
%! ## 46 * (1/3) and 25 * (1/3); 46/3 and 25/3 would end in ...334
%! y = item_closed_form_update (2, 1, 1, [1 3; 2 4], [0 2; 1 0], [1 2 3 4], [10 20], [5 6], [1 1]);
%! assert (pk_same_bits (y, [15.333333333333332; 8.333333333333332]));
%! assert (! pk_same_bits (y, [46; 25] / 3));

%!test
%! ## one item: (1 + 1e16) - 1e16 = 0 with a denominator of exactly 1 ...
%! assert (pk_same_bits (item_closed_form_update (1, 1, 0.5, 1e16, 2.5, 3, 123, 1, -1.5), 0));
%! ## ... and g = +Inf at t = 1e16, where 2t + 1 is not representable
%! assert (isnan (item_closed_form_update (1, 1, 1e16, 1e16, 2.5, 3, 123, 1, -1.5)));
%! assert (pk_same_bits (item_closed_form_update (1, 1, 1e16, 1e16, 2.5, 3, 123, 3, -1.5), Inf));
%! assert (pk_same_bits (item_closed_form_update (1, 1, 1e16, 1e16, 2.5, 3, 123, -3, -1.5), -Inf));
%! ## N = 2, t = -0.5: the denominator is +0, every result infinite or NaN
%! U = [1 -2; 3 4]; V = [0.5 7; -1 2]; W = [1 2 3 4]; x = [10 20]; d = [5 6]; Z = [1 -1];
%! args = {2, 1, -0.5, U, V, W, x, d, Z};
%! y = item_closed_form_update (args{:});
%! assert (pk_same_bits (y, pairkernels_reference ("item_closed_form_update", args{:})));
%! assert (all (isinf (y) | isnan (y)));

%!test
%! ## products rounded before they are added: p(0) = -1 + (1 + 2^-30)(1 - 2^-30) is +0
%! a = 1 + 2^-30;  b = 1 - 2^-30;
%! y = item_closed_form_update (2, 1, 1, zeros (2), zeros (2), [-1 a 1 0], [0 0], [0 0], [1 b]);
%! assert (pk_same_bits (y(1), 0));
%! ## and a + t*b = -1 + (1 + 2^-30)(1 - 2^-30) is +0 too
%! y = item_closed_form_update (2, 1, a, zeros (2), zeros (2), [0 b 0 0], [0 0], [-1 0], [1 1]);
%! assert (pk_same_bits (y(1), 0));

%!test
%! ## random data with NaN, Inf, -0 and subnormals, arrays of exactly the required length
%! ts = [1, -0, 0.37, -2.5e-3, 1e300, -Inf, NaN];
%! seed = 0;
%! for n = [1 2 3 7]
%!   for K = [0 1 3]
%!     for t = ts
%!       seed += 6;
%!       U = pk_awkward (n*n, seed); V = pk_awkward (n*n, seed + 1);
%!       W = pk_awkward (n*n*K, seed + 2); x = pk_awkward (n, seed + 3);
%!       d = pk_awkward (n, seed + 4); Z = pk_awkward (n*K, seed + 5);
%!       args = {n, K, t, U, V, W, x, d, Z};
%!       assert (pk_same_bits (item_closed_form_update (args{:}),
%!                             pairkernels_reference ("item_closed_form_update", args{:})));
%!     endfor
%!   endfor
%! endfor

%!test
%! ## K = 0 reads neither W nor Z; N = 0 reads nothing
%! U = pk_awkward (9, 1); V = pk_awkward (9, 2); x = pk_awkward (3, 3); d = pk_awkward (3, 4);
%! args = {3, 0, 0.75, U, V, [], x, d, []};
%! assert (pk_same_bits (item_closed_form_update (args{:}),
%!                       pairkernels_reference ("item_closed_form_update", args{:})));
%! assert (pk_same_bits (item_closed_form_update (0, 2, 1, [], [], [], [], [], []), zeros (0, 1)));

%!test
%! id = @(m) ["pairkernels:item_closed_form_update:" m];
%! args = {3, 2, 1, zeros(9, 1), zeros(9, 1), zeros(18, 1), zeros(3, 1), zeros(3, 1), zeros(6, 1)};
%! assert (pk_same_bits (item_closed_form_update (args{:}), zeros (3, 1)));
%! for p = 4:9
%!   short = args;
%!   short{p} = short{p}(1:end-1);
%!   assert (pk_error_id (@item_closed_form_update, short{:}), id ("tooShort"));
%!   bad = args;
%!   bad{p} = single (bad{p});
%!   assert (pk_error_id (@item_closed_form_update, bad{:}), id ("notDouble"));
%! endfor
%! assert (pk_error_id (@item_closed_form_update, args{1:8}), id ("nargin"));
%! assert (pk_error_id (@item_closed_form_update, args{1:2}, "t", args{4:9}), id ("notScalar"));
