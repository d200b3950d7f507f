## What the modules rely on of the Octave they run in and that changes between versions: that a
## result holds only what the kernel wrote or +0.0, never what its memory held before (Octave 6's
## NDArray(dims) leaves that memory as it was; from Octave 7 on the native binding allocates it
## itself), and that a native result of 32 MiB or more ends up on transparent huge pages where
## Linux offers them on request. Run by tests/hosts/suites.sh through tests/octave/run_tests.m.

%!shared catalog, marker
%! catalog = pk_catalog (pk_suite_profile ());
%! ## a NaN no computation makes: its payload spells PKHOST
%! marker = typecast (uint32 ([0x484F5354, 0x7FF4504B]), "double");

## Frees a block of ROWS*COLS doubles filled with the marker, so that the next allocation of that
## size is likely to be given the same memory.
%!function dirty (rows, cols, marker)
%!  junk = repmat (marker, max (rows, 0), max (cols, 0));
%!  clear junk
%!endfunction

## Arguments of a valid call with finite values, so that a result is never NaN.
%!function a = finite_args (e, N, K)
%!  a = cell (1, numel (e.args));
%!  for p = 1:numel (e.args)
%!    switch (e.args{p})
%!      case "N", a{p} = N;
%!      case "K", a{p} = K;
%!      case "r", a{p} = max (N - 1, 0);
%!      case {"t", "m"}, a{p} = 0.5;
%!      otherwise, a{p} = 4 * rand (e.len{p} (N, K), 1) - 2;
%!    endswitch
%!  endfor
%!endfunction

## Kilobytes of this process's anonymous memory on transparent huge pages.
%!function kb = anon_huge_kb ()
%!  file = "/proc/self/smaps_rollup";
%!  if (! exist (file, "file"))
%!    file = "/proc/self/smaps";
%!  endif
%!  found = regexp (fileread (file), '(?m)^AnonHugePages:\s+(\d+) kB', "tokens");
%!  kb = sum (cellfun (@(t) str2double (t{1}), found));
%!endfunction

%!function yes = huge_pages_on_request ()
%!  yes = false;
%!  if (! isunix () || ismac ())
%!    return;
%!  endif
%!  try
%!    enabled = fileread ("/sys/kernel/mm/transparent_hugepage/enabled");
%!    yes = isempty (strfind (enabled, "[never]"));
%!  end_try_catch
%!  ## user-mode QEMU takes madvise as a hint it ignores
%!  yes = yes && isempty (getenv ("PAIRKERNELS_EMULATED"));
%!endfunction

%!test
%! ## every module, at sizes with and without vector tails, after the marker was freed
%! for e = catalog
%!   for NK = [1 1; 2 3; 5 2; 7 1; 9 4; 16 3; 23 2]'
%!     a = finite_args (e, NK(1), NK(2));
%!     shape = e.shape (NK(1), NK(2));
%!     dirty (shape(1), shape(2), marker);
%!     R = feval (e.name, a{:});
%!     assert (size (R), shape);
%!     assert (! any (isnan (R(:))), sprintf ("%s(N=%d, K=%d): NaN, stale memory", e.name, NK));
%!   endfor
%! endfor

%!test
%! ## a negative N gives N*N zeros, each +0.0, where the result is N*N-by-1
%! for e = catalog
%!   if (! isequal (e.shape (-3, 2), [9, 1]))
%!     continue;
%!   endif
%!   a = finite_args (e, 3, 2);
%!   a{strcmp (e.args, "N")} = -3;
%!   dirty (9, 1, marker);
%!   R = feval (e.name, a{:});
%!   assert (typecast (R, "uint64"), zeros (9, 1, "uint64"), e.name);
%! endfor

%!testif ; strcmp (pairkernels_version ().host, "native") && huge_pages_on_request ()
%! ## 800*800*8 doubles (40 MiB): at least half of them on huge pages (a MEX result, copied by
%! ## Octave, gets none)
%! X = rand (6400, 1);
%! before = anon_huge_kb ();
%! D = pair_difference_vectors (800, 8, X);
%! gained = anon_huge_kb () - before;
%! assert (gained >= numel (D) * 8 / 1024 / 2, sprintf ("%d kB on huge pages", gained));
