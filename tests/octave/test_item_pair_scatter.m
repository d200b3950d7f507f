## item_pair_scatter in GNU Octave. The linux profile builds the difference tensor (one argument,
## N*N-by-N); the windows and macos profiles build the scatter matrix (N, K, r, W -> K-by-K).

%!shared scatter_form
%! global PAIRKERNELS_PROFILE
%! scatter_form = any (strcmp (PAIRKERNELS_PROFILE, {"windows", "macos"}));

## ---- scatter form -------------------------------------------------------------------------

%!test
%! if (scatter_form)
%!   assert (pk_same_bits (item_pair_scatter (2, 2, 1, 1:8), [58 68; 68 80]));
%!   assert (pk_same_bits (item_pair_scatter (1, 2, 0, [1 2]), [1 2; 2 4]));
%!   assert (pk_same_bits (item_pair_scatter (0, 3, 7, []), zeros (3)));
%!   assert (pk_same_bits (item_pair_scatter (2, 0, -4, []), zeros (0)));
%!   ## -0 * 0 products added to +0.0 stay +0.0
%!   assert (pk_same_bits (item_pair_scatter (2, 2, 1, [9 9 -0 0 9 9 0 -0]), zeros (2)));
%!   S = item_pair_scatter (2, 3, 0, [1 NaN 2 5 5 5 3 4 5]);
%!   assert (isnan (S), logical ([0 1 0; 1 1 1; 0 1 0]));
%! endif

%!test
%! ## random pair vectors with NaN, Inf, -0 and subnormals, for every r; W exactly as long as read
%! if (scatter_form)
%!   for s = [1 1; 1 3; 2 2; 3 1; 3 4; 7 3; 5 8]'
%!     n = s(1); k = s(2);
%!     for r = 0:n-1
%!       W = pk_awkward (((n-1)*n + r + 1)*k, 100*n + 10*k + r, 0.05);
%!       assert (pk_same_bits (item_pair_scatter (n, k, r, W),
%!                             pairkernels_reference ("item_pair_scatter", n, k, r, W)));
%!     endfor
%!   endfor
%! endif

%!test
%! ## each product is rounded before it is added: a*b = 1 - 2^-60 rounds to 1, so -1 + a*b = +0
%! if (scatter_form)
%!   a = 1 + 2^-30; b = 1 - 2^-30;
%!   S = item_pair_scatter (2, 2, 0, [1 -1 NaN NaN a b]);
%!   assert (pk_same_bits (S, [2 + 2^-29, 0; 0, 2 - 2^-29]));
%! endif

%!test
%! if (scatter_form)
%!   id = @(m) ["pairkernels:item_pair_scatter:" m];
%!   assert (pk_error_id (@item_pair_scatter, 2, 2, 1), id ("nargin"));
%!   for r = {-1, 2, 1e10, NaN}
%!     assert (pk_error_id (@item_pair_scatter, 2, 2, r{1}, 1:8), id ("outOfRange"));
%!   endfor
%!   assert (pk_error_id (@item_pair_scatter, 2, 2, 0, 1:5), id ("tooShort"));
%!   assert (pk_error_id (@item_pair_scatter, 3, 1, 2, 1:8), id ("tooShort"));
%!   assert (pk_error_id (@item_pair_scatter, 2, -1, 0, []), id ("negativeSize"));
%!   ## K-by-K with K = 1518500250: each dimension fits 32 bits, K^2 elements no host's byte count
%!   assert (pk_error_id (@item_pair_scatter, 0, 1518500250, 0, []), id ("tooLarge"));
%!   assert (pk_error_id (@item_pair_scatter, 2, 2, 1, single (1:8)), id ("notDouble"));
%!   assert (pk_error_id (@item_pair_scatter, 2, 2, "1", 1:8), id ("notScalar"));
%!   try
%!     item_pair_scatter (2, 2, 5, 1:8);
%!   catch err
%!     assert (! isempty (strfind (err.message, "Argument 3 (r)")));
%!   end_try_catch
%! endif

## ---- difference-tensor form -----------------------------------------------------------------

%!test
%! if (! scatter_form)
%!   assert (pk_same_bits (item_pair_scatter (1), 0));
%!   E = item_pair_scatter (2);
%!   assert (pk_same_bits (E(:), [0 0 1 -1 -1 1 0 0]'));
%!   assert (pk_same_bits (item_pair_scatter (0), zeros (0)));
%!   for n = [3 7 12]
%!     assert (pk_same_bits (item_pair_scatter (n),
%!                           pairkernels_reference ("item_pair_scatter", n)));
%!   endfor
%!   ## only the first argument is read
%!   assert (pk_same_bits (item_pair_scatter (2, 2, 1, 1:8), E));
%!   assert (pk_same_bits (item_pair_scatter (2.7, "x"), E));
%! endif

%!test
%! if (! scatter_form)
%!   id = @(m) ["pairkernels:item_pair_scatter:" m];
%!   assert (pk_error_id (@item_pair_scatter), id ("nargin"));
%!   assert (pk_error_id (@item_pair_scatter, -2), id ("negativeSize"));
%!   assert (pk_error_id (@item_pair_scatter, 46341), id ("tooLarge"));
%!   assert (pk_error_id (@item_pair_scatter, NaN), id ("tooLarge"));
%!   assert (pk_error_id (@item_pair_scatter, 46340), id ("tooLarge"));   # N^3 beyond 2^45
%!   assert (pk_error_id (@item_pair_scatter, [2 2]), id ("notScalar"));
%! endif
