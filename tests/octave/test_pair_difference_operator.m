## pair_difference_operator in GNU Octave: content bit for bit, its action, sizes and errors.

%!test
%! assert (pk_same_bits (pair_difference_operator (0), zeros (0, 0)));
%! assert (pk_same_bits (pair_difference_operator (1), 0));
%! assert (pk_same_bits (pair_difference_operator (2), reshape ([0 1 -1 0 0 -1 1 0], 4, 2)));
%! assert (pk_same_bits (pair_difference_operator (2.9), reshape ([0 1 -1 0 0 -1 1 0], 4, 2)));
%! for n = [3 4 7 12 31]
%!   assert (pk_same_bits (pair_difference_operator (n),
%!                         pairkernels_reference ("pair_difference_operator", n)));
%! endfor

%!test
%! ## D * x holds x(q) - x(p) at row p + q*N
%! n = 10; x = (0:n-1)';
%! assert (isequal (pair_difference_operator (n) * x, reshape (x' - x, [], 1)));

%!test
%! id = @(m) ["pairkernels:pair_difference_operator:" m];
%! for n = {-1, -2, -46340}
%!   assert (pk_error_id (@pair_difference_operator, n{1}), id ("negativeSize"));
%! endfor
%! for n = {NaN, Inf, 1e10, 46341, -46341, 46340}   # 46340^3 elements: beyond 2^45
%!   assert (pk_error_id (@pair_difference_operator, n{1}), id ("tooLarge"));
%! endfor
%! assert (pk_error_id (@pair_difference_operator), id ("nargin"));
%! assert (pk_error_id (@pair_difference_operator, [2 2]), id ("notScalar"));

%!test
%! ## N = 32768: exactly 2^45 elements (256 TiB) pass the size checks, and no machine has them.
%! ## The native module says so with its own identifier, naming the bytes; a MEX module's host
%! ## raises its own error inside mxCreateDoubleMatrix. Either way the session goes on.
%! try
%!   pair_difference_operator (32768);
%!   error ("no error raised");
%! catch err
%!   if (strcmp (pairkernels_version ().host, "native"))
%!     assert (err.identifier, "pairkernels:pair_difference_operator:outOfMemory");
%!     assert (! isempty (strfind (err.message, "281474976710656 bytes")), err.message);
%!   else
%!     assert (isempty (strfind (err.message, "no error raised")), err.message);
%!   endif
%! end_try_catch
%! assert (pk_same_bits (pair_difference_operator (2), [0 0; 1 -1; -1 1; 0 0]));
