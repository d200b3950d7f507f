## pair_difference_operator in GNU Octave: content bit for bit, its action, sizes and errors.

## D from its definition: row p + q*N (pair (p, q)) has +1 in column q and -1 in column p,
## except for p = q, whose row is +0.
%!function D = ref (n)
%!  D = zeros (n*n, n);
%!  for q = 0:n-1
%!    for p = [0:q-1, q+1:n-1]
%!      D(p + q*n + 1, q + 1) = 1;
%!      D(p + q*n + 1, p + 1) = -1;
%!    endfor
%!  endfor
%!endfunction

%!test
%! assert (pk_same_bits (pair_difference_operator (0), zeros (0, 0)));
%! assert (pk_same_bits (pair_difference_operator (1), 0));
%! assert (pk_same_bits (pair_difference_operator (2), reshape ([0 1 -1 0 0 -1 1 0], 4, 2)));
%! assert (pk_same_bits (pair_difference_operator (2.9), reshape ([0 1 -1 0 0 -1 1 0], 4, 2)));
%! for n = [3 4 7 12 31]
%!   assert (pk_same_bits (pair_difference_operator (n), ref (n)));
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
%! ## N = 46340 fits the dimension limits but needs N^3 doubles (796 TB): the host's own
%! ## allocation failure ends the call with an error, not the session
%! failed = false;
%! try
%!   pair_difference_operator (46340);
%! catch
%!   failed = true;
%! end_try_catch
%! assert (failed);
