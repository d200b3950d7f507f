## repeated_vector_sum in GNU Octave: values, shapes and the errors of its arguments. That its
## time grows with K is shown by the benchmark in bench/.

%!test
%! for k = [1 3 1000 2.5]
%!   assert (pk_same_bits (repeated_vector_sum (2, k, [1 2], [10 20]), [11; 22]));
%! endfor
%! for k = [0 0.9 -1 -1e10 NaN]
%!   assert (pk_same_bits (repeated_vector_sum (2, k, [1 2], [10 20]), [0; 0]));
%! endfor
%! ## a real addition for K >= 1 (Inf - Inf is NaN, -0 + -0 is -0), nothing for K <= 0
%! assert (pk_same_bits (repeated_vector_sum (2, 5, [Inf -0], [-Inf -0]), [NaN; -0]));
%! assert (pk_same_bits (repeated_vector_sum (2, 0, [Inf -0], [-Inf -0]), [0; 0]));
%! assert (pk_same_bits (repeated_vector_sum (0, 10, [], []), zeros (0, 1)));

%!test
%! ## random data with NaN, Inf, -0 and subnormals, against the elementwise sum
%! for n = [1 2 3 7 64 101]
%!   A = pk_awkward (n, 2*n, 0.2);
%!   B = pk_awkward (n, 2*n + 1, 0.2);
%!   for k = [1 2 17]
%!     assert (pk_same_bits (repeated_vector_sum (n, k, A, B), A + B));
%!   endfor
%! endfor
%! A = magic (3);
%! assert (pk_same_bits (repeated_vector_sum (2.9, 2, A, complex (A, 1), "x"), [16; 6]));

%!test
%! id = @(m) ["pairkernels:repeated_vector_sum:" m];
%! assert (pk_error_id (@repeated_vector_sum, 1, 1, 1), id ("nargin"));
%! assert (pk_error_id (@repeated_vector_sum, 1, 1, int8 (1), 1), id ("notDouble"));
%! assert (pk_error_id (@repeated_vector_sum, 1, 1, 1, single (1)), id ("notDouble"));
%! assert (pk_error_id (@repeated_vector_sum, 3, 1, [1 2 3], [1 2]), id ("tooShort"));
%! assert (pk_error_id (@repeated_vector_sum, 3, 1, [1 2], [1 2 3]), id ("tooShort"));
%! assert (pk_error_id (@repeated_vector_sum, -2, 1, [], []), id ("negativeSize"));
%! assert (pk_error_id (@repeated_vector_sum, 1, {1}, 1, 1), id ("notScalar"));
