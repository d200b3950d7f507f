## pairkernels_version against what the suite knows of the build it tests: the release of the
## source tree, the profile the suite was started for, the kind of module file beside it, and
## on Linux the processor's own flags.

%!function kind = host_kind (ext)
%!  kinds = struct ("oct", "native", "mex", "mex");
%!  kind = kinds.(ext(2:end));
%!endfunction

%!test
%! global PAIRKERNELS_SOURCE_DIR
%! v = pairkernels_version ();
%! release = regexp (fileread (fullfile (PAIRKERNELS_SOURCE_DIR, "CMakeLists.txt")),
%!                   'project\(pairkernels VERSION ([0-9.]+)', "tokens", "once");
%! assert (v.version, release{1});
%! assert (v.profile, pk_suite_profile ());
%! [~, ~, ext] = fileparts (which ("pairkernels_version"));
%! assert (v.host, host_kind (ext));

%!testif ; isunix () && ! ismac () && ! isempty (strfind (computer (), "x86_64"))
%! ## the widest level whose flags /proc/cpuinfo lists (the operating system's own support for
%! ## the registers is what the kernels check as well; Linux lists the flags only with it)
%! flags = regexp (fileread ("/proc/cpuinfo"), '(?m)^flags\s*:\s*(.*)$', "tokens", "once"){1};
%! has = @(f) ! isempty (regexp (flags, ['\<' f '\>'], "once"));
%! if (has ("avx2") && has ("avx512f") && has ("avx512dq") && has ("avx512vl"))
%!   expected = "avx512";
%! elseif (has ("avx2"))
%!   expected = "avx2";
%! else
%!   expected = "sse2";
%! endif
%! assert (pairkernels_version ().simd, expected);

%!error id=pairkernels:pairkernels_version:nargout [a, b] = pairkernels_version ()
