## ARGS = PK_VALID_ARGS (ENTRY, N, K, R)
## Arguments of a valid call of the catalog ENTRY (see pk_catalog): sizes N and K, item index
## R, t = 0.5, m = -0.5, arrays of exactly the required length.
function args = pk_valid_args (e, N, K, r)
  args = cell (1, numel (e.args));
  for p = 1:numel (e.args)
    switch (e.args{p})
      case "N", args{p} = N;
      case "K", args{p} = K;
      case "r", args{p} = r;
      case "t", args{p} = 0.5;
      case "m", args{p} = -0.5;
      otherwise, args{p} = pk_awkward (e.len{p} (N, K), p);
    endswitch
  endfor
endfunction
