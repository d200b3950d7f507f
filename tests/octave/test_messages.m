## Error messages as Octave shows them: the host's "<module>: " prefix names the module, and the
## message itself does not name it again; sizes the conversion changed are named with their value
## and what they became; a non-scalar is described with all its dimensions.

%!shared profile, catalog
%! global PAIRKERNELS_PROFILE
%! profile = PAIRKERNELS_PROFILE;
%! catalog = pk_under_test ();

%!function err = caught (fcn, varargin)
%!  err = [];
%!  try
%!    fcn (varargin{:});
%!  catch e
%!    err = e;
%!  end_try_catch
%!  assert (! isempty (err), "no error raised");
%!endfunction

%!test
%! ## every module, called with no argument: its name once, at the start
%! for e = catalog
%!   err = caught (str2func (e.name));
%!   assert (err.identifier, ["pairkernels:" e.name ":nargin"]);
%!   want = sprintf ("%s: Not enough input arguments: %d expected, got 0.", e.name,
%!                   numel (e.args));
%!   assert (err.message, want);
%!   assert (numel (strfind (err.message, e.name)) == 1, e.name);
%! endfor

%!test
%! try
%!   [a, b] = item_net_balance (1, 1);
%!   error ("no error raised");
%! catch e
%!   assert (e.identifier, "pairkernels:item_net_balance:nargout");
%!   assert (e.message, ["item_net_balance: Too many output arguments: one is returned, ", ...
%!                       "2 were requested."]);
%! end_try_catch

%!test
%! ## N = NaN: the product the check saw, and where its value came from
%! err = caught (@pair_difference_operator, NaN);
%! assert (err.identifier, "pairkernels:pair_difference_operator:tooLarge");
%! assert (err.message, ["pair_difference_operator: The result would have N*N = ", ...
%!                       "4611686018427387904 rows; at most 2147483647 are supported. ", ...
%!                       "N = NaN converts to -2147483648 (as do NaN, Inf, -Inf and every ", ...
%!                       "size outside -2147483648 ... 2147483647)."]);

%!test
%! ## a truncated size is named only where its formula uses it
%! err = caught (@item_squared_norms, 2.5, 3, [1 2 3]);
%! assert (err.message, ["item_squared_norms: Argument 3 (X) must hold at least N*K = 6 ", ...
%!                       "elements, it holds 3. N = 2.5 is truncated toward zero to 2."]);
%! err = caught (@item_net_balance, -3.5, []);
%! assert (err.identifier, "pairkernels:item_net_balance:negativeSize");
%! assert (err.message, ["item_net_balance: The result would have N = -3 rows; a dimension ", ...
%!                       "cannot be negative. N = -3.5 is truncated toward zero to -3."]);

%!testif ; ! strcmp (pk_suite_profile (), "linux")
%! ## the scatter form's index r = NaN
%! W = pair_difference_vectors (2, 2, [1 4; 2 8]);
%! err = caught (@item_pair_scatter, 2, 2, NaN, W);
%! assert (err.identifier, "pairkernels:item_pair_scatter:outOfRange");
%! assert (err.message, ["item_pair_scatter: Argument 3 (r) must be an index in 0 ... 1, got ", ...
%!                       "-2147483648. r = NaN converts to -2147483648 (as do NaN, Inf, -Inf ", ...
%!                       "and every size outside -2147483648 ... 2147483647)."]);

%!test
%! ## shapes with every dimension
%! err = caught (@item_net_balance, ones (2, 2, 2), 1);
%! assert (err.identifier, "pairkernels:item_net_balance:notScalar");
%! assert (err.message, ["item_net_balance: Argument 1 (N) must be a numeric scalar size, got ", ...
%!                       "a 2x2x2 double array."]);
%! err = caught (@pair_matrix_step, 1, zeros (1, 0, 3), 1, 1);
%! assert (! isempty (strfind (err.message, "got a 1x0x3 double array.")), "%s", err.message);
