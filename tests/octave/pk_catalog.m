## C = PK_CATALOG (PROFILE)
## Every module's calling convention as data, as built in PROFILE ("linux", "windows", "macos"):
## C(k).name, C(k).args (names by position), C(k).kinds ("s" size, "r" real scalar, "a" array),
## C(k).len (function of N, K giving each argument's required length; 0 for scalars) and
## C(k).shape (function of N, K giving [rows, cols]).
function c = pk_catalog (profile)
  n = @(N, K) N;  nn = @(N, K) N*N;  nk = @(N, K) N*K;  nnk = @(N, K) N*N*K;
  nkk = @(N, K) N*K*K;  z = @(N, K) 0;
  c = struct ("name", {}, "args", {}, "kinds", {}, "len", {}, "shape", {});
  c(end+1) = entry ("pair_difference_blocks", {"N", "K", "X"}, "ssa", {z, z, nk}, @(N, K) [N*N, N*K]);
  c(end+1) = entry ("item_squared_norms", {"N", "K", "X"}, "ssa", {z, z, nk}, @(N, K) [N, 1]);
  c(end+1) = entry ("repeated_vector_sum", {"N", "K", "A", "B"}, "ssaa", {z, z, n, n}, @(N, K) [N, 1]);
  c(end+1) = entry ("pair_difference_vectors", {"N", "K", "X"}, "ssa", {z, z, nk}, @(N, K) [N*N*K, 1]);
  c(end+1) = entry ("pair_scatter_reciprocal", {"N", "K", "P"}, "ssa", {z, z, nnk}, @(N, K) [K*K*N, 1]);
  if (strcmp (profile, "linux"))
    c(end+1) = entry ("item_pair_scatter", {"N"}, "s", {z}, @(N, K) [N*N, N]);
  else
    c(end+1) = entry ("item_pair_scatter", {"N", "K", "r", "W"}, "sssa", {z, z, z, nnk}, @(N, K) [K, K]);
  endif
  c(end+1) = entry ("item_net_balance", {"N", "A"}, "sa", {z, nn}, @(N, K) [N, 1]);
  c(end+1) = entry ("item_closed_form_update", {"N", "K", "t", "U", "V", "W", "x", "d", "Z"},
                    "ssraaaaaa", {z, z, z, nn, nn, nnk, n, n, nk}, @(N, K) [N, 1]);
  c(end+1) = entry ("pair_difference_operator", {"N"}, "s", {z}, @(N, K) [N*N, N]);
  c(end+1) = entry ("transformed_pair_vector_sum", {"N", "K", "t", "A", "B", "v", "W", "M"},
                    "ssraaaaa", {z, z, z, nn, nn, n, nnk, nkk}, @(N, K) [N*K, 1]);
  c(end+1) = entry ("pair_inner_product_residual", {"N", "P", "W", "X", "K"}, "saaas",
                    {z, nn, nnk, nk, z}, @(N, K) [N*N, 1]);
  if (strcmp (profile, "windows"))
    c(end+1) = entry ("clamped_pair_model_gap", {"N", "t", "P", "q", "W", "X", "K", "m"},
                      "sraaaasr", {z, z, nn, n, nnk, nk, z, z}, @(N, K) [N*N, 1]);
  else
    c(end+1) = entry ("clamped_pair_model_gap", {"N", "t", "P", "q", "W", "X", "K"},
                      "sraaaas", {z, z, nn, n, nnk, nk, z}, @(N, K) [N*N, 1]);
  endif
  c(end+1) = entry ("pair_residual", {"N", "P", "q", "W", "X", "K"}, "saaaas",
                    {z, nn, n, nnk, nk, z}, @(N, K) [N*N, 1]);
  c(end+1) = entry ("pair_matrix_step", {"N", "t", "P", "Q"}, "sraa", {z, z, nn, nn}, @(N, K) [N*N, 1]);
endfunction

function e = entry (name, args, kinds, len, shape)
  e = struct ("name", name, "args", {args}, "kinds", kinds, "len", {len}, "shape", shape);
endfunction
