## The item-vector chain: item vectors -> pair_difference_vectors -> pair_scatter_reciprocal ->
## transformed_pair_vector_sum (and the pair vectors into item_closed_form_update), each stage
## compared bit for bit with plain loops (pairkernels_reference, fed the references' own results
## of the stages before), on random data with NaN, +-Inf, -0 and subnormals.

%!function check_chain (n, K, seed, special)
%!  X = reshape (pk_awkward (n*K, seed, special), K, n);
%!  t = pk_awkward (1, seed + 1, 0);
%!  A = pk_awkward (n*n, seed + 2, special); B = pk_awkward (n*n, seed + 3, special);
%!  v = pk_awkward (n, seed + 4, special);
%!  D = pair_difference_vectors (n, K, X);
%!  Dref = pairkernels_reference ("pair_difference_vectors", n, K, X);
%!  assert (pk_same_bits (D, Dref));
%!  R = pair_scatter_reciprocal (n, K, D);
%!  Rref = pairkernels_reference ("pair_scatter_reciprocal", n, K, Dref);
%!  assert (pk_same_bits (R, Rref));
%!  Y = transformed_pair_vector_sum (n, K, t, A, B, v, D, R);
%!  Yref = pairkernels_reference ("transformed_pair_vector_sum", n, K, t, A, B, v, Dref, Rref);
%!  assert (pk_same_bits (Y, Yref));
%!  ## the pair vectors and item vectors also feed the closed-form update
%!  U = pk_awkward (n*n, seed + 5, special); V = pk_awkward (n*n, seed + 6, special);
%!  x = pk_awkward (n, seed + 7, special); d = pk_awkward (n, seed + 8, special);
%!  y = item_closed_form_update (n, K, t, U, V, D, x, d, X);
%!  yref = pairkernels_reference ("item_closed_form_update", n, K, t, U, V, Dref, x, d, X);
%!  assert (pk_same_bits (y, yref));
%!endfunction

%!test
%! ## finite data first, so that most values compared are ordinary numbers
%! for n = [1 2 3 5 8]
%!   for K = [1 2 3 4]
%!     check_chain (n, K, 1000*n + 10*K, 0);
%!   endfor
%! endfor

%!test
%! ## NaN, +-Inf, -0, subnormals and 1e308 sprinkled in
%! for n = [2 3 5 8]
%!   for K = [1 2 3]
%!     for seed = 1:3
%!       check_chain (n, K, 5000*n + 100*K + seed, 0.06);
%!     endfor
%!   endfor
%! endfor

%!test
%! ## the documented example of the chain's first two stages: items (1, 2) and (4, 8)
%! D = pair_difference_vectors (2, 2, [1 4; 2 8]);
%! assert (pk_same_bits (D, [0; 0; -3; -6; 3; 6; 0; 0]));
%! ## item 0 sees (0, 0) and (3, 6), item 1 sees (-3, -6) and (0, 0): S = [9 18; 18 36] for both
%! assert (pk_same_bits (pair_scatter_reciprocal (2, 2, D), repmat ([1/9; 1/18; 1/18; 1/36], 2, 1)));
