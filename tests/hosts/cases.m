## octave-cli cases.m MODULE_DIR OUT_FILE
## The fixed set of cases every host runs on its builds (tests/hosts/run.sh), the main build's
## included: every module of the linux profile at sizes from 0 to 64 (odd ones, and sizes that
## leave a vector tail), inputs with NaN, +-Inf, -0, subnormals and values near overflow, results
## of 32 MiB and more (the native modules ask for huge pages there), and refused calls. Saves each
## case's result to OUT_FILE (Octave's binary format, read by compare_cases.m): its bits with every
## NaN made one pattern, so that equal saved bits mean the same bits and NaN at the same places; a
## result of more than 2^20 elements as the MD5 of those bits; a refused call as its identifier and
## message. The MD5 of the NaNs' own bits tells where they differ (compare_cases.m counts those).
##
## The inputs come from a Park-Miller generator carried out in exact double arithmetic (divisions
## and powers of two only after it), not from rand, so every Octave version and processor draws the
## same inputs; each case records their MD5 too.
1;

## S(k) = 16807^k * SEED mod (2^31 - 1), k = 1 ... N, by doubling: every product exact (below 2^53).
function s = park_miller (n, seed)
  m = 2147483647;
  mulmod = @(a, v) mod (mod (mod (floor (a / 65536) * v, m) * 65536, m) + mod (a, 65536) * v, m);
  s = mulmod (16807, max (1, mod (seed, m)));
  step = 16807;                         # 16807^numel(s) mod m
  while (numel (s) < n)
    step = mulmod (step, step);
    s = [s; mulmod(step, s)];
  endwhile
  s = s(1:n);
endfunction

## N awkward doubles: sign, magnitude 2^-30 ... 2^30 and mantissa drawn; about SPECIAL of them
## replaced by NaN, -NaN, +-Inf, +-0, subnormals, the smallest normal or values near overflow.
function x = awkward (n, seed, special)
  if (n <= 0)
    x = zeros (0, 1);
    return;
  endif
  u = reshape (park_miller (3 * n, seed), n, 3);
  m = 2147483647;
  x = (u(:, 1) / m) .* pow2 (mod (u(:, 2), 61) - 30) .* (1 - 2 * mod (floor (u(:, 2) / 61), 2));
  specials = [NaN, -NaN, Inf, -Inf, 0, -0, pow2(-1074), -3 * pow2(-1074), realmin / 3, ...
              realmin, 1e308, -realmax];
  pick = u(:, 3) / m < special;
  x(pick) = specials(1 + mod (u(pick, 3), numel (specials)));
endfunction

## Large inputs: one awkward block repeated, each copy shifted by one element.
function x = tiled (n, seed)
  block = awkward (65536, seed, 0.1);
  x = zeros (n, 1);
  for k = 0:ceil (n / 65536) - 1
    rows = k * 65536 + 1:min (n, (k + 1) * 65536);
    x(rows) = circshift (block, k)(1:numel (rows));
  endfor
endfunction

function d = md5_of (bits)
  d = hash ("md5", reshape (char (typecast (bits(:), "uint8")), 1, []));
endfunction

## The result as saved: its bits, every NaN as 0x7FF8000000000000.
function bits = canonical (r)
  r = full (double (r));
  bits = typecast (r(:), "uint64");
  bits(isnan (r(:))) = uint64 (9221120237041090560);
endfunction

## A size argument's value for sizes N and K: the item index r is the last item.
function v = size_arg (name, N, K)
  switch (name)
    case "N", v = N;
    case "K", v = K;
    case "r", v = max (fix (N) - 1, 0);
    otherwise, error ("cases: no value for the size %s", name);
  endswitch
endfunction

function c = make_case (name, args, label)
  c = struct ("name", name, "label", label, "args", {args});
endfunction

function c = run_case (c)
  inputs = cellfun (@(a) canonical (a)', c.args, "UniformOutput", false);
  c.inputs = md5_of ([inputs{:}]);
  c.status = "ok";
  [c.rows, c.cols, c.bits, c.digest, c.identifier, c.message] = deal (0, 0, uint64 ([]), "",
                                                                       "", "");
  c.nans = "";
  try
    r = feval (c.name, c.args{:});
    [c.rows, c.cols] = size (r);
    ## the NaNs as they came (sign and payload may differ between processors)
    c.nans = md5_of (typecast (r(isnan (r)), "uint64"));
    bits = canonical (r);
    if (numel (bits) > 2^20)
      c.digest = md5_of (bits);
    else
      c.bits = bits;
    endif
  catch err
    c.status = "error";
    c.identifier = err.identifier;
    c.message = err.message;
  end_try_catch
  c = rmfield (c, "args");
endfunction

args = argv ();
if (numel (args) != 2)
  error ("usage: octave-cli cases.m MODULE_DIR OUT_FILE");
endif
[moddir, outfile] = deal (args{:});
addpath (fullfile (fileparts (fileparts (mfilename ("fullpathext"))), "octave"));  # pk_catalog
addpath (moddir);

sizes = [0 0; 1 1; 1 4; 2 3; 3 1; 4 4; 5 2; 7 5; 8 8; 9 1; 13 3; 16 2; 17 6; 31 2; 47 3; 64 1;
         -2 3; 3.7 2.2];
ts = [0.5, -0.75, 3, 0, -0, pow2(-1070), Inf, NaN, 1e-3];
fractions = [0, 0.15, 0.6];
catalog = pk_catalog ("linux");
cases = {};
seed = 1;
for e = catalog
  for s = 1:rows (sizes)
    [N, K] = deal (sizes(s, 1), sizes(s, 2));
    for f = fractions
      a = cell (1, numel (e.args));
      for p = 1:numel (e.args)
        switch (e.kinds(p))
          case "s"
            a{p} = size_arg (e.args{p}, N, K);
          case "r"
            a{p} = ts(1 + mod (seed, numel (ts)));
          otherwise
            a{p} = awkward (e.len{p} (fix (N), fix (K)), seed, f);
        endswitch
        seed++;
      endfor
      cases{end+1} = make_case (e.name, a, sprintf ("N=%g K=%g specials=%g", N, K, f));
    endfor
  endfor
  ## refused calls: no arguments, N = 1e10 and -3.5, an int32 and a sparse array, one short
  good = cell (1, numel (e.args));
  for p = 1:numel (e.args)
    switch (e.kinds(p))
      case "s", good{p} = size_arg (e.args{p}, 3, 2);
      case "r", good{p} = 0.5;
      otherwise, good{p} = awkward (e.len{p} (3, 2), seed++, 0.2);
    endswitch
  endfor
  cases{end+1} = make_case (e.name, {}, "no arguments");
  for n = [1e10, -3.5]
    a = good;
    a{1} = n;
    cases{end+1} = make_case (e.name, a, sprintf ("N=%g", n));
  endfor
  for p = find (e.kinds == "a")
    for bad = {int32(good{p}), sparse(good{p}), good{p}(1:end-1)}
      a = good;
      a{p} = bad{1};
      cases{end+1} = make_case (e.name, a, sprintf ("argument %d %s %dx%d", p, class (bad{1}),
                                                    size (bad{1})));
    endfor
  endfor
endfor

## results of 32 MiB and more
cases{end+1} = make_case ("repeated_vector_sum", {4.5e6, 3, tiled(4.5e6, 7), tiled(4.5e6, 8)},
                          "N=4.5e6 K=3");
cases{end+1} = make_case ("pair_difference_vectors", {800, 8, tiled(6400, 9)}, "N=800 K=8");
cases{end+1} = make_case ("pair_difference_blocks", {61, 19, tiled(61 * 19, 10)}, "N=61 K=19");
cases{end+1} = make_case ("pair_difference_operator", {163}, "N=163");
cases{end+1} = make_case ("item_pair_scatter", {163}, "N=163");

for k = 1:numel (cases)
  cases{k} = run_case (cases{k});
endfor
cases = [cases{:}];
v = pairkernels_version ();
about = struct ("octave", OCTAVE_VERSION, "computer", computer (), "simd", v.simd, "host", v.host,
                "moddir", moddir);
save ("-binary", "-zip", outfile, "cases", "about");
printf ("%d cases (%d refused) on %s modules, Octave %s, %s, %s\n", numel (cases),
        sum (strcmp ({cases.status}, "error")), v.host, OCTAVE_VERSION, computer (), v.simd);
