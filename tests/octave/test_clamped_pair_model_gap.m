## clamped_pair_model_gap in GNU Octave: bound +0 (linux, macos) or -m (windows, eighth argument).

## Calls the module with m appended in the windows profile; BOUND is the bound it applies, E
## the reference's result for the same call.
%!function [R, bound, E] = gap (m, varargin)
%!  global PAIRKERNELS_PROFILE
%!  bound = 0;
%!  if (strcmp (PAIRKERNELS_PROFILE, "windows"))
%!    varargin{end+1} = m;
%!    bound = -m;
%!  endif
%!  R = clamped_pair_model_gap (varargin{:});
%!  if (nargout > 2)
%!    E = pairkernels_reference ("clamped_pair_model_gap", varargin{:});
%!  endif
%!endfunction

%!test
%! global PAIRKERNELS_PROFILE
%! args = {2, 2, [2 30; 20 8], [1 3], [1 1 1 1], [3 5], 1};  # g = 2, -3, -14, 1
%! if (strcmp (PAIRKERNELS_PROFILE, "windows"))
%!   assert (pk_same_bits (clamped_pair_model_gap (args{:}, 2), [-2; -3; -14; -2]));
%!   assert (pk_same_bits (clamped_pair_model_gap (args{:}, -0), [0; -3; -14; 0]));
%!   assert (pk_same_bits (clamped_pair_model_gap (args{:}, NaN), [2; -3; -14; 1]));
%!   assert (pk_error_id (@clamped_pair_model_gap, args{:}), "pairkernels:clamped_pair_model_gap:nargin");
%!   ## m = +0: the bound is -0; a g of exactly +0 equals it and stays +0, every g > 0 is -0
%!   R = clamped_pair_model_gap (2, 1, [0 1; -1 0], [0 0], [], [], 0, 0);
%!   assert (pk_same_bits (R, [0; -0; -1; 0]));
%! else
%!   assert (pk_same_bits (clamped_pair_model_gap (args{:}), [0; -3; -14; 0]));
%!   ## an eighth argument is ignored
%!   assert (pk_same_bits (clamped_pair_model_gap (args{:}, {"ignored"}), [0; -3; -14; 0]));
%!   R = clamped_pair_model_gap (2, 1, [0 1; -1 0], [0 0], [], [], 0);
%!   assert (pk_same_bits (R, [0; 0; -1; 0]));
%! endif

%!test
%! ## a true division (3/10, not 3*(1/10)); t = +-0 and 0/0; products rounded before the sum
%! assert (pk_same_bits (gap (-5, 1, 10, 3, 0, [], [], 0), -0.3));
%! [R, b] = gap (-5, 2, 0, [1 0; -1 2], [0 0], [], [], 0);
%! assert (pk_same_bits (R, [-Inf; b; NaN; -Inf]));
%! [R, b] = gap (-5, 2, -0, [1 0; -1 2], [0 0], [], [], 0);
%! assert (pk_same_bits (R, [b; -Inf; NaN; b]));
%! assert (pk_same_bits (gap (-5, 1, 1, 0, 0, [-1 1+2^-30], [1 1-2^-30], 2), 0));
%! ## infinite offset: its diagonal is NaN and stays unclamped
%! [R, b] = gap (5, 2, 1, zeros (2), [Inf 1], zeros (1, 4), [0 0], 1);
%! assert (isnan (R(1)) && pk_same_bits (R(2:4), [-Inf; b; b]));

%!test
%! ts = [2, 0.1, -3, 0, -0, Inf, NaN, 1e-310];
%! ms = [2, 0, -0, -1.5, NaN, 1e-300];
%! r = 0;
%! for n = [1 2 3 7 11]
%!   for K = [0 1 2 3 5]
%!     seed = 300 + 100*n + K;
%!     P = pk_awkward (n*n, seed); q = pk_awkward (n, seed+1);
%!     W = pk_awkward (n*n*K, seed+2); X = pk_awkward (n*K, seed+3);
%!     t = ts(mod (r, 8) + 1); m = ms(mod (r, 6) + 1); r++;
%!     [R, ~, E] = gap (m, n, t, reshape (P, n, n), q, reshape (W, K, n*n), reshape (X, K, n), K);
%!     assert (pk_same_bits (R, E));
%!   endfor
%! endfor

%!test
%! id = @(m) ["pairkernels:clamped_pair_model_gap:" m];
%! assert (pk_same_bits (gap (1, 0, 1, [], [], [], [], 4), zeros (0, 1)));
%! assert (pk_same_bits (gap (1, -2, 1, [], [], [], [], 4), zeros (4, 1)));
%! for n = {NaN, Inf, 1e10, -46341}
%!   assert (pk_error_id (@gap, 1, n{1}, 1, [], [], [], [], 1), id ("tooLarge"));
%! endfor
%! assert (pk_error_id (@gap, 1, 2, 1, ones (2), [1 2], ones (1, 3), [1 2], 1), id ("tooShort"));
%! assert (pk_error_id (@gap, 1, 2, 1, ones (2), [1 2], ones (1, 4), 1, 1), id ("tooShort"));
%! assert (pk_error_id (@gap, 1, 2, [1 1], ones (2), [1 2], ones (1, 4), [1 2], 1), id ("notScalar"));
