## transformed_pair_vector_sum in GNU Octave: exact values, 1/t, edge cases, wide K, errors.

%!test
%! assert (pk_same_bits (transformed_pair_vector_sum (1, 1, 2, 4, 1, 7, 3, 5), 45));
%! assert (pk_same_bits (transformed_pair_vector_sum (1, 2, 1, 0, 1, 5, [1 2], [1 3; 2 4]), [7; 10]));
%! assert (pk_same_bits (transformed_pair_vector_sum (2, 1, 1, [1 3; 2 4], zeros (2), [10 20],
%!                                                   ones (4, 1), [1 1]), [14; -4]));

%!test
%! ## A is multiplied by 1/t: 46 * (1/3), not 46/3
%! assert (pk_same_bits (transformed_pair_vector_sum (1, 1, 3, 46, 0, 0, 1, 1), 15.333333333333332));
%! ## t = +-0: 1/t = +-Inf, and NaN where A is zero
%! assert (pk_same_bits (transformed_pair_vector_sum (1, 1, 0, 2, 0, 0, 1, 1), Inf));
%! assert (pk_same_bits (transformed_pair_vector_sum (1, 1, -0, 2, 0, 0, 1, 1), -Inf));
%! assert (isnan (transformed_pair_vector_sum (1, 1, 0, 0, 5, 0, 1, 1)));
%! ## an infinite v(i) makes h(i, i) NaN
%! assert (isnan (transformed_pair_vector_sum (1, 1, 1, 1, 1, Inf, 1, 1)));

%!test
%! ## products rounded before they are added, in s and in the product with M
%! a = 1 + 2^-30;  b = 1 - 2^-30;
%! R = transformed_pair_vector_sum (2, 1, 1, zeros (2), [-1 a; 0 0], [0 0], [1 0 b 0], [1 1]);
%! assert (pk_same_bits (R(1), 0));
%! R = transformed_pair_vector_sum (1, 2, 1, 0, 1, 0, [-1 a], [1 b; 7 7]);
%! assert (pk_same_bits (R(1), 0));

%!test
%! seed = 0;
%! for n = [1 2 3 7]
%!   for K = [1 2 5]
%!     for t = [1, 0.37, -3e-5, 0, -0, -Inf]
%!       seed += 5;
%!       A = pk_awkward (n*n, seed); B = pk_awkward (n*n, seed + 1); v = pk_awkward (n, seed + 2);
%!       W = pk_awkward (n*n*K, seed + 3); M = pk_awkward (n*K*K, seed + 4);
%!       args = {n, K, t, A, B, v, W, M};
%!       assert (pk_same_bits (transformed_pair_vector_sum (args{:}),
%!                             pairkernels_reference ("transformed_pair_vector_sum", args{:})));
%!     endfor
%!   endfor
%! endfor

%!test
%! ## widths beyond 500 work like any other
%! for K = [500 501]
%!   A = pk_awkward (4, K); B = pk_awkward (4, K + 1); v = pk_awkward (2, K + 2);
%!   W = pk_awkward (4*K, K + 3, 0.02); M = pk_awkward (2*K*K, K + 4, 0.02);
%!   args = {2, K, 0.7, A, B, v, W, M};
%!   assert (pk_same_bits (transformed_pair_vector_sum (args{:}),
%!                         pairkernels_reference ("transformed_pair_vector_sum", args{:})));
%! endfor

%!test
%! assert (pk_same_bits (transformed_pair_vector_sum (3, 0, 1, magic (3), magic (3), [1 2 3], [], []),
%!                       zeros (0, 1)));
%! assert (pk_same_bits (transformed_pair_vector_sum (0, 2, 1, [], [], [], [], []), zeros (0, 1)));
%! ## N = -2, K = -3 still gives N*K = 6 rows of zeros
%! assert (pk_same_bits (transformed_pair_vector_sum (-2, -3, 1, [], [], [], [], []), zeros (6, 1)));

%!test
%! id = @(m) ["pairkernels:transformed_pair_vector_sum:" m];
%! args = {3, 2, 1, zeros(9, 1), zeros(9, 1), zeros(3, 1), zeros(18, 1), zeros(12, 1)};
%! assert (pk_same_bits (transformed_pair_vector_sum (args{:}), zeros (6, 1)));
%! for p = 4:8
%!   short = args;
%!   short{p} = short{p}(1:end-1);
%!   assert (pk_error_id (@transformed_pair_vector_sum, short{:}), id ("tooShort"));
%!   bad = args;
%!   bad{p} = int32 (bad{p});
%!   assert (pk_error_id (@transformed_pair_vector_sum, bad{:}), id ("notDouble"));
%! endfor
%! assert (pk_error_id (@transformed_pair_vector_sum, args{1:7}), id ("nargin"));
