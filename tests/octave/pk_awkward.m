## X = PK_AWKWARD (N, SEED, SPECIAL)
## N random doubles of mixed sign and magnitude (2^-30 ... 2^30); about SPECIAL of them
## (default 0.1) replaced by NaN, +-Inf, +-0, subnormals or 1e308. Reproducible for a SEED.
function x = pk_awkward (n, seed, special)
  if (nargin < 3)
    special = 0.1;
  endif
  rand ("twister", seed);
  x = (2 * rand (n, 1) - 1) .* 2 .^ floor (61 * rand (n, 1) - 30);
  specials = [NaN, Inf, -Inf, 0, -0, realmin * 2^-52, -3 * realmin * 2^-52, 1e308];
  pick = rand (n, 1) < special;
  x(pick) = specials(randi (numel (specials), nnz (pick), 1));
endfunction
