## Times every module in GNU Octave, as a MEX module and as a native module, against the
## vectorized Octave expression a user would write for the same result, and against the floors:
## floor_module (MEX) creating the same zero-filled result, storing each of its elements once and
## reading every input element once, and floor_native doing the same as a native module (whose
## result need not be cleared first, nor copied by Octave afterwards).
##
##   octave-cli run_bench.m MEX_DIR NATIVE_DIR FLOOR_DIR OUT_CSV [LABEL [REPS]]
##
## MEX_DIR and NATIVE_DIR hold the linux-profile modules (build/octave, build/oct); the
## windows-profile builds beside them (build/octave-windows, build/oct-windows) supply the forms
## the linux profile lacks (item_pair_scatter's scatter form) when present. Writes one CSV row per
## case to OUT_CSV; LABEL names the run's memory settings.
##
## The cases come from the module table (kernels/modules.txt): every form with an octave= field
## is timed at each of its sizes, its arguments built from the table's (sizes N and K, r = N/2,
## t = 0.75, arrays of the table's lengths); its expression is the function ex_<module> (or
## ex_<module>_<form>) below, which called without arguments describes itself.
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

## What an expression function says of itself, called without arguments: the expression in
## short, and whether the case is timed against the floors (not where the module's time is its
## arithmetic, which no floor bounds).
function d = describe (note, has_floor)
  d = struct ("note", note, "has_floor", has_floor);
endfunction

## ---- Vectorized Octave equivalents ----------------------------------------------------------

function R = ex_pair_difference_blocks (N, K, X)
  if (nargin == 0) R = describe ("differences placed by an ndgrid index", true); return; endif
  Xm = reshape (X, K, N);
  V = reshape (Xm, K, 1, N) - reshape (Xm, K, N, 1);        # V(k, i, j) = X(k, j) - X(k, i)
  [kk, ii, jj] = ndgrid (0:K-1, 0:N-1, 0:N-1);
  R = zeros (N*N, N*K);
  R(ii*N + jj + (jj*K + kk)*N*N + 1) = V;
endfunction

function q = ex_item_squared_norms (N, K, X)
  if (nargin == 0) q = describe ("sum(X.^2, 1).'", true); return; endif
  q = sum (reshape (X, K, N) .^ 2, 1).';
endfunction

## K = 1 forms the sum once, as the expression does; larger K that many times over (calibration
## work).
function C = ex_repeated_vector_sum (N, K, A, B)
  if (nargin == 0) C = describe ("A + B (once; the module forms it K times)", true); return; endif
  C = A + B;
endfunction

function D = ex_pair_difference_vectors (N, K, X)
  if (nargin == 0) D = describe ("reshape(X,K,1,N) - reshape(X,K,N,1)", true); return; endif
  Xm = reshape (X, K, N);
  D = reshape (reshape (Xm, K, 1, N) - reshape (Xm, K, N, 1), [], 1);
endfunction

function R = ex_pair_scatter_reciprocal (N, K, P)
  if (nargin == 0) R = describe ("loop over items: 1 ./ (G*G.') (no vectorized form without a paged product)", false); return; endif
  Pm = reshape (P, K, N, N);                                 # Pm(:, q, p) is pair (p, q)
  R = zeros (K, K, N);
  for i = 1:N
    G = reshape (Pm(:, i, :), K, N);                         # the pairs (j, i)
    R(:, :, i) = 1 ./ (G * G.');
  endfor
  R = R(:);
endfunction

function S = ex_item_pair_scatter_scatter (N, K, r, W)
  if (nargin == 0) S = describe ("G*G.' of the pairs (i, r)", false); return; endif
  G = reshape (reshape (W, K, N, N)(:, r+1, :), K, N);       # the pairs (i, r)
  S = G * G.';
endfunction

function E = ex_item_pair_scatter_tensor (N)
  if (nargin == 0) E = describe ("reshape(I,N,1,N) - reshape(I,N,N,1)", true); return; endif
  I = eye (N);
  E = reshape (reshape (I, N, 1, N) - reshape (I, N, N, 1), N*N, N);
endfunction

function y = ex_item_net_balance (N, A)
  if (nargin == 0) y = describe ("sum(A,1).' - sum(A,2)", true); return; endif
  Am = reshape (A, N, N);
  y = sum (Am, 1).' - sum (Am, 2);
endfunction

function y = ex_item_closed_form_update (N, K, t, U, V, W, x, d, Z)
  if (nargin == 0) y = describe ("row/column sums, W.*Z summed twice", true); return; endif
  Um = reshape (U, N, N);  Vm = reshape (V, N, N);
  WZ = reshape (W, K, N, N) .* reshape (Z, K, N);            # (k, b, a) for the pair (a, b)
  p = reshape (sum (sum (WZ, 1), 2), N, 1);
  q = reshape (sum (sum (WZ, 1), 3), N, 1);
  e = sum (x) - x;
  g = 1 / ((2*N*t + 1) - 2*t);
  y = (((d + sum (Um, 2)) - sum (Um, 1).') + t * ((((2*e + sum (Vm, 2)) - sum (Vm, 1).') - q) + p)) * g;
endfunction

function D = ex_pair_difference_operator (N)
  if (nargin == 0) D = describe ("reshape(I,1,N,N) - reshape(I,N,1,N)", true); return; endif
  I = eye (N);
  D = reshape (reshape (I, 1, N, N) - reshape (I, N, 1, N), N*N, N);
endfunction

function R = ex_transformed_pair_vector_sum (N, K, t, A, B, v, W, M)
  if (nargin == 0) R = describe ("sum(W.*H, 3), then sum(M.*S, 2)", false); return; endif
  H = ((1/t) * reshape (A, N, N) + reshape (B, N, N)) - (v - v.');
  S = sum (reshape (W, K, N, N) .* reshape (H, 1, N, N), 3);    # K-by-N, column i is item i's sum
  R = reshape (sum (reshape (M, K, K, N) .* reshape (S, 1, K, N), 2), [], 1);
endfunction

function s = inner_products (N, K, W, X)
  s = reshape (sum (reshape (W, K, N, N) .* reshape (X, K, N), 1), N, N);   # s(j, i)
endfunction

function R = ex_pair_inner_product_residual (N, P, W, X, K)
  if (nargin == 0) R = describe ("P - sum(W.*X)", true); return; endif
  R = P - reshape (inner_products (N, K, W, X), [], 1);
endfunction

function R = ex_clamped_pair_model_gap (N, t, P, q, W, X, K)
  if (nargin == 0) R = describe ("G = ... - P/t; G(G > 0) = 0", true); return; endif
  G = ((inner_products (N, K, W, X) + q) - q.') - reshape (P, N, N) / t;
  G(G > 0) = 0;
  R = G(:);
endfunction

function R = ex_pair_residual (N, P, q, W, X, K)
  if (nargin == 0) R = describe ("P - ((sum(W.*X) + q) - q.')", true); return; endif
  R = reshape (reshape (P, N, N) - ((inner_products (N, K, W, X) + q) - q.'), [], 1);
endfunction

function R = ex_pair_matrix_step (N, t, P, Q)
  if (nargin == 0) R = describe ("P + t*Q", true); return; endif
  R = P + t * Q;
endfunction

## ---- Cases ----------------------------------------------------------------------------------

function c = cases (root, has_windows)
  c = struct ("name", {}, "form", {}, "label", {}, "args", {}, "expr", {}, "note", {},
              "has_floor", {}, "in_linux", {});
  seed = 0;
  for m = module_table (root)
    if (! isfield (m.keys, "octave"))
      continue;
    endif
    form = "";
    if (isfield (m.keys, "form")) form = m.keys.form; endif
    ## the linux builds, or the windows ones for a form the linux profile lacks
    in_linux = any (strcmp (m.profiles, "linux"));
    if (! in_linux && ! (has_windows && any (strcmp (m.profiles, "windows"))))
      continue;
    endif
    expr = str2func (["ex_" m.name ifelse_text(isempty (form), "", ["_" form])]);
    d = expr ();
    for size = strsplit (m.keys.octave, ";")
      NK = str2double (strsplit (size{1}, ","));
      [N, K] = deal (NK(1), NK(2));
      args = cell (1, numel (m.args));
      for p = 1:numel (m.args)
        switch (m.kinds{p})
          case "size"
            args{p} = struct ("N", N, "K", K, "r", N/2).(m.args{p});
          case "real"
            args{p} = 0.75;
          otherwise
            args{p} = values (str2func (["@(N, K) " m.kinds{p}]) (N, K), ++seed);
        endswitch
      endfor
      label = sprintf ("N=%d", N);
      if (any (strcmp (m.args, "K"))) label = sprintf ("N=%d K=%d", N, K); endif
      c(end+1) = struct ("name", m.name, "form", form, "label", label, "args", {args},
                         "expr", expr, "note", d.note, "has_floor", d.has_floor,
                         "in_linux", in_linux);
    endfor
  endfor
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
root = fileparts (fileparts (fileparts (mfilename ("fullpathext"))));
addpath (fullfile (root, "tools"));
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
for c = cases (root, has_windows)
  k++;
  a = c.args;
  [mexdir, nativedir] = deal (dirs.mex, dirs.native);
  if (! c.in_linux)                       # a form of the windows builds
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
