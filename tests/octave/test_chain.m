## The item-vector chain: item vectors -> pair_difference_vectors -> pair_scatter_reciprocal ->
## transformed_pair_vector_sum (and the pair vectors into item_closed_form_update), each stage
## compared bit for bit with plain loops, on random data with NaN, +-Inf, -0 and subnormals.

%!function D = ref_differences (n, K, X)
%!  D = zeros (n*n*K, 1);
%!  for i = 0:n-1
%!    for j = 0:n-1
%!      for k = 0:K-1
%!        D((i*n + j)*K + k + 1) = X(i*K + k + 1) - X(j*K + k + 1);
%!      endfor
%!    endfor
%!  endfor
%!endfunction

%!function R = ref_scatter_reciprocal (n, K, P)
%!  R = zeros (K*K*n, 1);
%!  for i = 0:n-1
%!    for a = 0:K-1
%!      for b = 0:K-1
%!        s = 0;
%!        for j = 0:n-1
%!          s = s + P((j*n + i)*K + a + 1) * P((j*n + i)*K + b + 1);
%!        endfor
%!        R((i*K + a)*K + b + 1) = 1 / s;
%!      endfor
%!    endfor
%!  endfor
%!endfunction

%!function Y = ref_transformed_sum (n, K, t, A, B, v, W, M)
%!  Y = zeros (n*K, 1);
%!  r = 1 / t;
%!  for i = 0:n-1
%!    s = zeros (K, 1);
%!    for j = 0:n-1
%!      h = (r * A(j*n + i + 1) + B(j*n + i + 1)) - (v(i + 1) - v(j + 1));
%!      for k = 0:K-1
%!        s(k + 1) = h * W((j*n + i)*K + k + 1) + s(k + 1);
%!      endfor
%!    endfor
%!    for k = 0:K-1
%!      acc = 0;
%!      for l = 0:K-1
%!        acc = acc + s(l + 1) * M(i*K*K + l*K + k + 1);
%!      endfor
%!      Y(i*K + k + 1) = acc;
%!    endfor
%!  endfor
%!endfunction

%!function y = ref_update (n, K, t, U, V, W, x, d, Z)
%!  y = zeros (n, 1);
%!  g = 1 / ((2*n * t + 1) - t * 2);
%!  for i = 0:n-1
%!    cu = 0; ru = 0; cv = 0; rv = 0; p = 0; q = 0; e = 0;
%!    for j = 0:n-1
%!      cu = cu + U(i*n + j + 1);
%!      ru = ru + U(j*n + i + 1);
%!      cv = cv + V(i*n + j + 1);
%!      rv = rv + V(j*n + i + 1);
%!      for k = 0:K-1
%!        p = p + W((i*n + j)*K + k + 1) * Z(j*K + k + 1);
%!        q = q + W((j*n + i)*K + k + 1) * Z(i*K + k + 1);
%!      endfor
%!      if (j != i)
%!        e = e + x(j + 1);
%!      endif
%!    endfor
%!    y(i + 1) = (((d(i + 1) + ru) - cu) + t * (((((2 * e) + rv) - cv) - q) + p)) * g;
%!  endfor
%!endfunction

%!function check_chain (n, K, seed, special)
%!  X = reshape (pk_awkward (n*K, seed, special), K, n);
%!  t = pk_awkward (1, seed + 1, 0);
%!  A = pk_awkward (n*n, seed + 2, special); B = pk_awkward (n*n, seed + 3, special);
%!  v = pk_awkward (n, seed + 4, special);
%!  D = pair_difference_vectors (n, K, X);
%!  Dref = ref_differences (n, K, X);
%!  assert (pk_same_bits (D, Dref));
%!  R = pair_scatter_reciprocal (n, K, D);
%!  Rref = ref_scatter_reciprocal (n, K, Dref);
%!  assert (pk_same_bits (R, Rref));
%!  Y = transformed_pair_vector_sum (n, K, t, A, B, v, D, R);
%!  assert (pk_same_bits (Y, ref_transformed_sum (n, K, t, A, B, v, Dref, Rref)));
%!  ## the pair vectors and item vectors also feed the closed-form update
%!  U = pk_awkward (n*n, seed + 5, special); V = pk_awkward (n*n, seed + 6, special);
%!  x = pk_awkward (n, seed + 7, special); d = pk_awkward (n, seed + 8, special);
%!  y = item_closed_form_update (n, K, t, U, V, D, x, d, X);
%!  assert (pk_same_bits (y, ref_update (n, K, t, U, V, Dref, x, d, X)));
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
