## Times every module in GNU Octave, as a MEX module and as a native module, against the
## vectorized Octave expression a user would write for the same result, and against the floors:
## floor_module (MEX) creating the same zero-filled result, storing each of its elements once and
## reading every input element once, and floor_native doing the same as a native module (whose
## result need not be cleared first, nor copied by Octave afterwards).
##
##   octave-cli run_bench.m MEX_DIR NATIVE_DIR FLOOR_DIR OUT_CSV [LABEL [REPS]]
##
## MEX_DIR and NATIVE_DIR hold the linux-profile modules (build/octave, build/oct); the
## windows-profile builds beside them (build/octave-windows, build/oct-windows) supply
## item_pair_scatter's scatter form when present. Writes one CSV row per case to OUT_CSV; LABEL
## names the run's memory settings.
1;

## Median per-call times of the functions FS, timed in rounds: in every round each function runs
## a batch of calls in turn, so that drift on the machine falls on all of them alike. A batch
## starts with two untimed calls: what the previous function left of the heap (the blocks glibc
## keeps or returns, its moving mmap threshold) takes a few calls to settle, and a user calling
## one module in a loop meets that module's own settled state. The median over every timed call
## leaves out the calls that met a page-fault storm of another function's making.
function t = median_times (fs, reps)
  n = numel (fs);
  inner = zeros (1, n);
  for k = 1:n
    fs{k} ();                             # warm-up: loads the module, faults in the inputs
    t0 = tic; fs{k} (); once = toc (t0);
    inner(k) = max (3, ceil (0.05 / max (once, 1e-6)));
  endfor
  times = cell (1, n);
  for r = 1:reps
    for k = 1:n
      fs{k} (); fs{k} ();
      batch = zeros (1, inner(k));
      for i = 1:inner(k)
        t0 = tic;
        fs{k} ();
        batch(i) = toc (t0);
      endfor
      times{k}(end+1:end+inner(k)) = batch;
    endfor
  endfor
  t = cellfun (@median, times);
endfunction

## Deterministic finite inputs of magnitude 0.5 ... 1.5 and random sign (no NaN, infinity or
## subnormal, which would time something other than the ordinary path).
function x = values (n, seed)
  rand ("state", seed);
  x = (0.5 + rand (n, 1)) .* sign (rand (n, 1) - 0.5);
endfunction

function c = add_case (c, name, form, label, args, expr, note, has_floor)
  c(end+1) = struct ("name", name, "form", form, "label", label, "args", {args},
                     "expr", expr, "note", note, "has_floor", has_floor);
endfunction

## ---- Vectorized Octave equivalents ----------------------------------------------------------

function R = ex_pair_difference_blocks (N, K, X)
  Xm = reshape (X, K, N);
  V = reshape (Xm, K, 1, N) - reshape (Xm, K, N, 1);        # V(k, i, j) = X(k, j) - X(k, i)
  [kk, ii, jj] = ndgrid (0:K-1, 0:N-1, 0:N-1);
  R = zeros (N*N, N*K);
  R(ii*N + jj + (jj*K + kk)*N*N + 1) = V;
endfunction

function q = ex_item_squared_norms (N, K, X)
  q = sum (reshape (X, K, N) .^ 2, 1).';
endfunction

function D = ex_pair_difference_vectors (N, K, X)
  Xm = reshape (X, K, N);
  D = reshape (reshape (Xm, K, 1, N) - reshape (Xm, K, N, 1), [], 1);
endfunction

function R = ex_pair_scatter_reciprocal (N, K, P)
  Pm = reshape (P, K, N, N);                                 # Pm(:, q, p) is pair (p, q)
  R = zeros (K, K, N);
  for i = 1:N
    G = reshape (Pm(:, i, :), K, N);                         # the pairs (j, i)
    R(:, :, i) = 1 ./ (G * G.');
  endfor
  R = R(:);
endfunction

function S = ex_item_pair_scatter (N, K, r, W)
  G = reshape (reshape (W, K, N, N)(:, r+1, :), K, N);       # the pairs (i, r)
  S = G * G.';
endfunction

function E = ex_item_pair_tensor (N)
  I = eye (N);
  E = reshape (reshape (I, N, 1, N) - reshape (I, N, N, 1), N*N, N);
endfunction

function y = ex_item_net_balance (N, A)
  Am = reshape (A, N, N);
  y = sum (Am, 1).' - sum (Am, 2);
endfunction

function y = ex_item_closed_form_update (N, K, t, U, V, W, x, d, Z)
  Um = reshape (U, N, N);  Vm = reshape (V, N, N);
  WZ = reshape (W, K, N, N) .* reshape (Z, K, N);            # (k, b, a) for the pair (a, b)
  p = reshape (sum (sum (WZ, 1), 2), N, 1);
  q = reshape (sum (sum (WZ, 1), 3), N, 1);
  e = sum (x) - x;
  g = 1 / ((2*N*t + 1) - 2*t);
  y = (((d + sum (Um, 2)) - sum (Um, 1).') + t * ((((2*e + sum (Vm, 2)) - sum (Vm, 1).') - q) + p)) * g;
endfunction

function D = ex_pair_difference_operator (N)
  I = eye (N);
  D = reshape (reshape (I, 1, N, N) - reshape (I, N, 1, N), N*N, N);
endfunction

function R = ex_transformed_pair_vector_sum (N, K, t, A, B, v, W, M)
  H = ((1/t) * reshape (A, N, N) + reshape (B, N, N)) - (v - v.');
  S = sum (reshape (W, K, N, N) .* reshape (H, 1, N, N), 3);    # K-by-N, column i is item i's sum
  R = reshape (sum (reshape (M, K, K, N) .* reshape (S, 1, K, N), 2), [], 1);
endfunction

function s = inner_products (N, K, W, X)
  s = reshape (sum (reshape (W, K, N, N) .* reshape (X, K, N), 1), N, N);   # s(j, i)
endfunction

function R = ex_pair_inner_product_residual (N, P, W, X, K)
  R = P - reshape (inner_products (N, K, W, X), [], 1);
endfunction

function R = ex_clamped_pair_model_gap (N, t, P, q, W, X, K)
  G = ((inner_products (N, K, W, X) + q) - q.') - reshape (P, N, N) / t;
  G(G > 0) = 0;
  R = G(:);
endfunction

function R = ex_pair_residual (N, P, q, W, X, K)
  R = reshape (reshape (P, N, N) - ((inner_products (N, K, W, X) + q) - q.'), [], 1);
endfunction

function R = ex_pair_matrix_step (N, t, P, Q)
  R = P + t * Q;
endfunction

## ---- Cases ----------------------------------------------------------------------------------

function c = cases (has_windows)
  c = struct ("name", {}, "form", {}, "label", {}, "args", {}, "expr", {}, "note", {},
              "has_floor", {});
  t = 0.75;
  N = 2000; K = 8;
  P = values (N*N, 1); Q = values (N*N, 2); q = values (N, 3); W = values (N*N*K, 4);
  X = values (N*K, 5);
  lab = sprintf ("N=%d K=%d", N, K);
  c = add_case (c, "item_net_balance", "", sprintf ("N=%d", N), {N, P},
                @ex_item_net_balance, "sum(A,1).' - sum(A,2)", true);
  c = add_case (c, "item_closed_form_update", "", lab, {N, K, t, P, Q, W, q, values(N, 6), X},
                @ex_item_closed_form_update, "row/column sums, W.*Z summed twice", true);
  c = add_case (c, "pair_matrix_step", "", sprintf ("N=%d", N), {N, t, P, Q},
                @ex_pair_matrix_step, "P + t*Q", true);
  c = add_case (c, "pair_residual", "", lab, {N, P, q, W, X, K},
                @ex_pair_residual, "P - ((sum(W.*X) + q) - q.')", true);
  c = add_case (c, "pair_inner_product_residual", "", lab, {N, P, W, X, K},
                @ex_pair_inner_product_residual, "P - sum(W.*X)", true);
  c = add_case (c, "clamped_pair_model_gap", "", lab, {N, t, P, q, W, X, K},
                @ex_clamped_pair_model_gap, "G = ... - P/t; G(G > 0) = 0", true);
  clear P Q W;
  N = 1000; K = 8;
  c = add_case (c, "transformed_pair_vector_sum", "", sprintf ("N=%d K=%d", N, K),
                {N, K, t, values(N*N, 7), values(N*N, 8), values(N, 9), values(N*N*K, 10), ...
                 values(N*K*K, 11)},
                @ex_transformed_pair_vector_sum, "sum(W.*H, 3), then sum(M.*S, 2)", false);
  c = add_case (c, "pair_difference_vectors", "", sprintf ("N=%d K=%d", N, K),
                {N, K, values(N*K, 12)}, @ex_pair_difference_vectors,
                "reshape(X,K,1,N) - reshape(X,K,N,1)", true);
  N = 300; K = 32;
  c = add_case (c, "pair_scatter_reciprocal", "", sprintf ("N=%d K=%d", N, K),
                {N, K, values(N*N*K, 13)}, @ex_pair_scatter_reciprocal,
                "loop over items: 1 ./ (G*G.') (no vectorized form without a paged product)", false);
  if (has_windows)
    N = 2000; K = 64;
    c = add_case (c, "item_pair_scatter", "scatter", sprintf ("N=%d K=%d", N, K),
                  {N, K, N/2, values(N*N*K, 14)}, @ex_item_pair_scatter,
                  "G*G.' of the pairs (i, r)", false);
  endif
  N = 1000000; K = 8;
  c = add_case (c, "item_squared_norms", "", sprintf ("N=%d K=%d", N, K),
                {N, K, values(N*K, 15)}, @ex_item_squared_norms, "sum(X.^2, 1).'", true);
  ## K = 1 forms the sum once, as the expression does; K = 4 four times over (calibration work)
  for K = [1 4]
    c = add_case (c, "repeated_vector_sum", "", sprintf ("N=%d K=%d", N, K),
                  {N, K, values(N, 16), values(N, 17)}, @(N, K, A, B) A + B,
                  "A + B (once; the module forms it K times)", true);
  endfor
  N = 200;
  c = add_case (c, "pair_difference_operator", "", sprintf ("N=%d", N), {N},
                @ex_pair_difference_operator, "reshape(I,1,N,N) - reshape(I,N,1,N)", true);
  c = add_case (c, "item_pair_scatter", "tensor", sprintf ("N=%d", N), {N},
                @ex_item_pair_tensor, "reshape(I,N,1,N) - reshape(I,N,N,1)", true);
  N = 100; K = 4;
  c = add_case (c, "pair_difference_blocks", "", sprintf ("N=%d K=%d", N, K),
                {N, K, values(N*K, 18)}, @ex_pair_difference_blocks,
                "differences placed by an ndgrid index", true);
endfunction

function s = ifelse_text (condition, yes, no)
  if (condition) s = yes; else s = no; endif
endfunction

## Largest relative difference between two results (0 when they agree bit for bit).
function d = difference (a, b)
  if (! isequal (size (a), size (b)))
    d = Inf;
  elseif (isequal (a, b))
    d = 0;
  else
    d = max (abs (a(:) - b(:)) ./ max (abs (b(:)), realmin));
  endif
endfunction

## ---- Main -----------------------------------------------------------------------------------

args = argv ();
if (numel (args) < 4)
  error ("usage: octave-cli run_bench.m MEX_DIR NATIVE_DIR FLOOR_DIR OUT_CSV [LABEL [REPS]]");
endif
dirs = struct ("mex", args{1}, "native", args{2});
windows = @(d) [regexprep(d, '/+$', '') "-windows"];
label = "default";
if (numel (args) >= 5) label = args{5}; endif
reps = 7;
if (numel (args) >= 6) reps = str2double (args{6}); endif
addpath (args{3});
has_windows = exist (fullfile (windows (dirs.mex), "item_pair_scatter.mex"), "file") > 0 ...
              && exist (fullfile (windows (dirs.native), "item_pair_scatter.oct"), "file") > 0;

settings = "";
for v = {"GLIBC_TUNABLES", "MALLOC_MMAP_THRESHOLD_", "MALLOC_TRIM_THRESHOLD_", "MALLOC_TOP_PAD_"}
  value = getenv (v{1});
  if (isempty (value)) value = "(unset)"; endif
  settings = [settings sprintf("%s=%s ", v{1}, value)];
endfor
thp = strtrim (fileread ("/sys/kernel/mm/transparent_hugepage/enabled"));
printf ("Run '%s': %s; transparent huge pages: %s\n", label, strtrim (settings), thp);

load_before = sscanf (fileread ("/proc/loadavg"), "%f", 1);
fid = fopen (args{4}, "w");
fprintf (fid, ["label,module,form,size,mex_s,native_s,octave_s,speedup_mex,speedup_native," ...
               "floor_mex_s,floor_native_s,mex_over_floor,native_over_floor,difference," ...
               "native_same_as_mex,expression\n"]);
## The MEX module and the native one have the same name: each case's MEX file is copied under a
## name of its own (a MEX function takes its name from its file), so both are loaded at once.
stage = tempname ();
mkdir (stage);
addpath (stage);
k = 0;
for c = cases (has_windows)
  k++;
  a = c.args;
  [mexdir, nativedir] = deal (dirs.mex, dirs.native);
  if (strcmp (c.form, "scatter"))         # the scatter form lives in the windows builds
    [mexdir, nativedir] = deal (windows (mexdir), windows (nativedir));
  endif
  copy = sprintf ("pkbench_mex_%d", k);
  copyfile (fullfile (mexdir, [c.name ".mex"]), fullfile (stage, [copy ".mex"]));
  addpath (nativedir);
  rehash ();
  mex_module = str2func (copy);
  native_module = str2func (c.name);
  result.mex = mex_module (a{:});
  result.native = native_module (a{:});
  theirs = c.expr (a{:});
  diff = difference (result.native, theirs);
  same = isequal (typecast (result.native(:), "uint64"), typecast (result.mex(:), "uint64"));
  shape = size (result.native);
  clear theirs result;
  fs = {@() mex_module(a{:}), @() native_module(a{:}), @() c.expr(a{:})};
  if (c.has_floor)
    arrays = a(cellfun (@(x) numel (x) > 1, a));
    fs(end+1:end+2) = {@() floor_module(shape(1), shape(2), arrays{:}), ...
                       @() floor_native(shape(1), shape(2), arrays{:})};
  endif
  times = median_times (fs, reps);
  t = struct ("mex", times(1), "native", times(2));
  t_octave = times(3);
  [floor_mex, floor_oct] = deal (NaN);
  if (c.has_floor)
    [floor_mex, floor_oct] = deal (times(4), times(5));
  endif
  clear (c.name, copy);                   # unload both: the windows builds have the same names
  rmpath (nativedir);
  name = c.name;
  if (! isempty (c.form)) name = sprintf ("%s (%s)", c.name, c.form); endif
  printf (["%-36s %-14s mex %8.3f ms  native %8.3f ms  octave %8.3f ms  speed-up %6.2f / %6.2f" ...
           "  floor %8.3f / %8.3f ms  over floor %5.2f / %5.2f  diff %.1e%s\n"],
          name, c.label, t.mex*1e3, t.native*1e3, t_octave*1e3, t_octave/t.mex,
          t_octave/t.native, floor_mex*1e3, floor_oct*1e3, t.mex/floor_mex, t.native/floor_oct,
          diff, ifelse_text (same, "", "  NATIVE DIFFERS FROM MEX"));
  fprintf (fid, "%s,%s,%s,%s,%.9g,%.9g,%.9g,%.6g,%.6g,%.9g,%.9g,%.6g,%.6g,%.3g,%d,\"%s\"\n",
           label, c.name, c.form, c.label, t.mex, t.native, t_octave, t_octave/t.mex,
           t_octave/t.native, floor_mex, floor_oct, t.mex/floor_mex, t.native/floor_oct, diff,
           same, strrep (c.note, "\"", "'"));
endfor
confirm_recursive_rmdir (false, "local");
rmpath (stage);
rmdir (stage, "s");
fprintf (fid, "# %s; transparent huge pages: %s; %s, load average %.2f before the run, %.2f after\n",
         strtrim (settings), thp, datestr (now (), "yyyy-mm-dd HH:MM"), load_before,
         sscanf (fileread ("/proc/loadavg"), "%f", 1));
fclose (fid);
