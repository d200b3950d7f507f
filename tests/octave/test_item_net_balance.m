## item_net_balance in GNU Octave: exact values, shapes and every error of the gateway.

%!test
%! assert (pk_same_bits (item_net_balance (2, [1 3; 2 4]), [-1; 1]));
%! ## alternating add and subtract: 1e16 + 1 - 1e16 keeps nothing, so y(1) = 1 only this way
%! assert (pk_same_bits (item_net_balance (3, [0 1e16 0; 1e16 0 0; 1 0 0]), [1; 0; -1]));

%!test
%! assert (pk_same_bits (item_net_balance (1, -7), 0));
%! assert (pk_same_bits (item_net_balance (1, -0), 0));
%! assert (isnan (item_net_balance (1, Inf)));
%! assert (pk_same_bits (item_net_balance (0, []), zeros (0, 1)));
%! assert (pk_same_bits (item_net_balance (0, zeros (0, 7)), zeros (0, 1)));

%!test
%! ## random data with NaN, Inf, -0 and subnormals, against the plain loops
%! for n = [1 2 3 7 16 33]
%!   A = reshape (pk_awkward (n*n, n), n, n);
%!   assert (pk_same_bits (item_net_balance (n, A),
%!                         pairkernels_reference ("item_net_balance", n, A)));
%! endfor

%!test
%! ## sizes: truncation, other numeric classes, extra arguments, nargout = 0, complex input
%! A = magic (3);
%! E = pairkernels_reference ("item_net_balance", 3, A);
%! assert (pk_same_bits (item_net_balance (2.9, A),
%!                       pairkernels_reference ("item_net_balance", 2, A)));
%! assert (pk_same_bits (item_net_balance (int32 (3), A), E));
%! assert (pk_same_bits (item_net_balance (3, A, "ignored", {1}), E));
%! assert (pk_same_bits (item_net_balance (3, complex (A, NaN (3))), E));
%! item_net_balance (3, A);
%! assert (pk_same_bits (ans, E));

%!test
%! id = @(m) ["pairkernels:item_net_balance:" m];
%! assert (pk_error_id (@item_net_balance), id ("nargin"));
%! assert (pk_error_id (@item_net_balance, 2), id ("nargin"));
%! for bad = {int32([1 2 3 4]), single([1 2 3 4]), "abcd", true(1, 4), {1,2,3,4}, struct("a", {1,2,3,4})}
%!   assert (pk_error_id (@item_net_balance, 2, bad{1}), id ("notDouble"));
%! endfor
%! assert (pk_error_id (@item_net_balance, 2, sparse ([1 2; 3 4])), id ("sparse"));
%! assert (pk_error_id (@item_net_balance, 2, [1 2 3]), id ("tooShort"));
%! assert (pk_error_id (@item_net_balance, 46341, [1 2 3]), id ("tooShort"));
%! for n = {-3, -0.5 - 3, NaN, Inf, -Inf, 1e10}
%!   assert (pk_error_id (@item_net_balance, n{1}, []), id ("negativeSize"));
%! endfor
%! for n = {"3", {3}, [], [2 2], sparse(2)}
%!   assert (pk_error_id (@item_net_balance, n{1}, magic (2)), id ("notScalar"));
%! endfor

%!test
%! ## messages name the argument and what it should be
%! try
%!   item_net_balance (2, int8 ([1 2 3 4]));
%! catch err
%!   assert (! isempty (strfind (err.message, "Argument 2 (A)")));
%!   assert (! isempty (strfind (err.message, "int8")));
%! end_try_catch

%!test
%! ## asking for two outputs is refused by the module, not left to the host
%! try
%!   [a, b] = item_net_balance (1, 1);
%!   error ("no error");
%! catch err
%!   assert (err.identifier, "pairkernels:item_net_balance:nargout");
%! end_try_catch
