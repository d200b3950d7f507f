## octave-cli compare_builds.m MEX_DIR NATIVE_DIR PROFILE [--profiled]
## The same calls through the MEX modules of MEX_DIR and the native modules of NATIVE_DIR (both
## built in PROFILE): every valid call, on inputs with NaN, infinities, signed zeros and
## subnormals, must give the same bits, and every refused call the same error identifier and
## message. With --profiled only the modules whose form differs between profiles are called (the
## others are compared in the main build's profile). Exits non-zero on any difference.
1;

function out = run_all (calls)
  out = cell (size (calls));
  for k = 1:numel (calls)
    c = calls{k};
    try
      out{k} = feval (c.name, c.args{:});
    catch err
      out{k} = struct ("identifier", err.identifier, "message", err.message);
    end_try_catch
  endfor
endfunction

args = argv ();
profiled = any (strcmp (args, "--profiled"));
args = args(! strcmp (args, "--profiled"));
if (numel (args) < 3)
  error ("usage: octave-cli compare_builds.m MEX_DIR NATIVE_DIR PROFILE [--profiled]");
endif
[mexdir, octdir, profile] = deal (args{1:3});
addpath (fileparts (mfilename ("fullpathext")));

calls = {};
bad = {int32([1 2 3]), single(1:3), "abc", {1}, sparse([1; 2]), [], [3 3], true, 1+2i};
seed = 1;
catalog = pk_catalog (profile);
if (profiled)
  catalog = catalog([catalog.profiled]);
endif
for e = catalog
  for NK = [0 0; 1 1; 2 3; 3 0; 7 5; 17 8; 40 3; 9 1; -2 3]'
    [N, K] = deal (NK(1), NK(2));
    a = pk_valid_args (e, N, K, max (N - 1, 0));
    for p = find (e.kinds == "a")
      a{p} = pk_awkward (numel (a{p}), seed++, 0.2);
    endfor
    calls{end+1} = struct ("name", e.name, "args", {a});
  endfor
  ## refused calls: too few arguments, and each kind of bad argument at every position
  good = pk_valid_args (e, 3, 2, 2);
  calls{end+1} = struct ("name", e.name, "args", {good(1:end-1)});
  for p = 1:numel (good)
    for b = bad
      a = good;
      a{p} = b{1};
      calls{end+1} = struct ("name", e.name, "args", {a});
    endfor
  endfor
endfor

## results of 32 MiB and more, whose memory the native modules ask to be backed by huge pages
for e = pk_catalog (profile)
  switch (e.name)
    case "repeated_vector_sum"
      big = {5e6, 2, pk_awkward(5e6, seed++, 0.2), pk_awkward(5e6, seed++, 0.2)};
    case "pair_difference_vectors"
      big = {800, 8, pk_awkward(6400, seed++, 0.2)};
    otherwise
      continue;
  endswitch
  calls{end+1} = struct ("name", e.name, "args", {big});
endfor

addpath (mexdir);
mex_out = run_all (calls);
rmpath (mexdir);
addpath (octdir);
for e = pk_catalog (profile)
  clear (e.name);                      # unload the MEX module of that name
  assert (regexp (which (e.name), '\.oct$') > 0, ["not a native module: " which(e.name)]);
endfor
oct_out = run_all (calls);

differ = 0;
for k = 1:numel (calls)
  m = mex_out{k};
  o = oct_out{k};
  if (isstruct (m) || isstruct (o))
    same = isstruct (m) && isstruct (o) && strcmp (m.identifier, o.identifier) ...
           && strcmp (m.message, o.message);
  else
    same = pk_same_bits (o, m);
  endif
  if (! same)
    differ++;
    if (differ <= 10)
      printf ("differs: %s, call %d\n", calls{k}.name, k);
      disp (m);
      disp (o);
    endif
  endif
endfor
errors = sum (cellfun (@isstruct, mex_out));
printf ("%d calls (%d refused), %d differ between the MEX and the native modules (%s)\n",
        numel (calls), errors, differ, profile);
exit (double (differ > 0 || errors == 0 || errors == numel (calls)));
