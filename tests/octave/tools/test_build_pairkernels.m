## build_pairkernels, the build script for users inside Octave: it builds native modules (or MEX
## files on request) with their help into a folder of one's choice, with contraction off and the
## chosen profile, checks each build's status and leaves CXXFLAGS as it found it; the toolbox
## (pairkernels_version, the demo, Contents.m, functionSignatures.json) goes beside them.

%!shared root, outdir
%! global PAIRKERNELS_SOURCE_DIR
%! root = PAIRKERNELS_SOURCE_DIR;
%! outdir = tempname ();

%!test
%! ## two modules in the windows profile: the folder shadows the suite's build, and the modules
%! ## take the windows forms (clamped_pair_model_gap reads an eighth argument)
%! addpath (root);
%! unwind_protect
%!   setenv ("CXXFLAGS", "-O2");
%!   log = evalc ("built = build_pairkernels ('outdir', outdir, 'profile', 'windows', 'modules', {'pair_residual', 'clamped_pair_model_gap'}, 'verbose', true);");
%!   assert (getenv ("CXXFLAGS"), "-O2");
%!   assert (sort (built), sort ({fullfile(outdir, "pair_residual.oct"), fullfile(outdir, "clamped_pair_model_gap.oct")}));
%!   ## every compile command carries the flags
%!   compiles = regexp (log, '(?m)^\S*g\+\+ -c [^\n]*', "match");
%!   assert (numel (compiles), 9);  # each module and pairkernels_version with gateway, cpu
%!   assert (all (cellfun (@(c) ! isempty (strfind (c, " -ffp-contract=off")), compiles)));
%!   assert (all (cellfun (@(c) ! isempty (strfind (c, " -fno-fast-math")), compiles)));
%!   assert (all (cellfun (@(c) ! isempty (strfind (c, "-DPK_PROFILE_WINDOWS")), compiles)));
%!   assert (all (cellfun (@(c) ! isempty (strfind (c, "-DPK_HOST_OCTAVE")), compiles)));
%!   addpath (outdir);
%!   assert (fileparts (which ("clamped_pair_model_gap")), outdir);
%!   assert (fileparts (file_in_loadpath ("pair_residual.m")), outdir);
%!   ## the copied help's windows example holds for the module just built
%!   for name = {"clamped_pair_model_gap", "pair_residual"}
%!     ex = pk_help_examples (get_help_text (name{1}), "windows");
%!     assert (! isempty (ex));
%!     for x = ex
%!       [names, actual, expected] = pk_run_example (x);
%!       for k = 1:numel (names)
%!         assert (pk_same_bits (actual{k}, expected{k}), [name{1} ": " names{k}]);
%!       endfor
%!     endfor
%!   endfor
%!   assert (pk_error_id (@clamped_pair_model_gap, 2, 1, ones (2), [1 2], ones (1, 4), [3 5], 1),
%!           "pairkernels:clamped_pair_model_gap:nargin");
%!   ## the native module's docstring is the help text, which ends before the tests
%!   assert (strtrim (get_help_text ("pair_residual")),
%!           strtrim (get_help_text (fullfile (outdir, "pair_residual.m"))));
%!   assert (isempty (strfind (get_help_text ("pair_residual"), "%!")));
%!   ## the version function of this build, and the toolbox files of the modules built
%!   v = pairkernels_version ();
%!   assert ({v.profile, v.host}, {"windows", "native"});
%!   assert (fileparts (which ("pairkernels_version")), outdir);
%!   assert (isempty (strfind (get_help_text ("pairkernels_version"), "%!")));
%!   assert (exist (fullfile (outdir, "pairkernels_demo.m"), "file") == 2);
%!   contents = fileread (fullfile (outdir, "Contents.m"));
%!   listed = regexp (contents, '(?m)^%   (\w+) +- ', "tokens");
%!   assert (cellfun (@(t) t{1}, listed, "UniformOutput", false), {"clamped_pair_model_gap", ...
%!           "pair_residual", "pairkernels_version", "pairkernels_demo"});
%!   signatures = jsondecode (fileread (fullfile (outdir, "functionSignatures.json")));
%!   assert ({signatures.clamped_pair_model_gap.inputs.name},
%!           {"N", "t", "P", "q", "W", "X", "K", "m"});
%! unwind_protect_cleanup
%!   rmpath (outdir);
%!   clear clamped_pair_model_gap pair_residual pairkernels_version
%!   unsetenv ("CXXFLAGS");
%! end_unwind_protect

%!test
%! ## 'mex', true builds the MEX file instead, with the same bits as the native module
%! addpath (root);
%! mexdir = [outdir "-mex"];
%! unwind_protect
%!   built = evalc ("b = build_pairkernels ('outdir', mexdir, 'modules', {'pair_residual'}, 'mex', true);");
%!   assert (exist (fullfile (mexdir, "pair_residual.mex"), "file") > 0);
%!   assert (exist (fullfile (mexdir, "pairkernels_version.mex"), "file") > 0);
%!   assert (! exist (fullfile (mexdir, "pair_residual.oct"), "file"));
%!   addpath (mexdir);
%!   assert (regexp (which ("pair_residual"), '\.mex$') > 0);
%!   args = {5, pk_awkward(25, 1), pk_awkward(5, 2), pk_awkward(50, 3), pk_awkward(10, 4), 2};
%!   m = pair_residual (args{:});
%!   rmpath (mexdir);
%!   clear pair_residual
%!   addpath (outdir);
%!   assert (regexp (which ("pair_residual"), '\.oct$') > 0);
%!   assert (pk_same_bits (pair_residual (args{:}), m));
%! unwind_protect_cleanup
%!   rmpath (outdir);
%!   clear pair_residual
%!   confirm_recursive_rmdir (false, "local");
%!   if (exist (mexdir, "dir"))
%!     rmdir (mexdir, "s");
%!   endif
%! end_unwind_protect

%!test
%! ## a failing compile is reported as a failure, not taken for a build; the old file is gone
%! addpath (root);
%! unwind_protect
%!   setenv ("CXXFLAGS", "-fno-such-flag-pairkernels");
%!   try
%!     evalc ("build_pairkernels ('outdir', outdir, 'modules', 'pair_residual');");
%!     error ("build_pairkernels did not fail");
%!   catch err
%!     assert (err.identifier, "pairkernels:build:failed");
%!     assert (! isempty (strfind (err.message, "pair_residual")));
%!   end_try_catch
%!   assert (! exist (fullfile (outdir, "pair_residual.oct"), "file"));
%!   assert (getenv ("CXXFLAGS"), "-fno-such-flag-pairkernels");
%!   ## value-changing flags are refused before anything is compiled
%!   setenv ("CXXFLAGS", "-O2 -ffast-math");
%!   assert (pk_error_id (@build_pairkernels, "outdir", outdir, "modules", "pair_matrix_step"),
%!           "pairkernels:build:fastMath");
%!   assert (! exist (fullfile (outdir, "pair_matrix_step.oct"), "file"));
%! unwind_protect_cleanup
%!   unsetenv ("CXXFLAGS");
%! end_unwind_protect

%!test
%! addpath (root);
%! assert (pk_error_id (@build_pairkernels, "modules", {"no_such_module"}), "pairkernels:build:unknownModule");
%! assert (pk_error_id (@build_pairkernels, "profile", "solaris"), "pairkernels:build:options");
%! assert (pk_error_id (@build_pairkernels, "outdir"), "pairkernels:build:options");

%!test
%! confirm_recursive_rmdir (false, "local");
%! if (exist (outdir, "dir"))
%!   rmdir (outdir, "s");
%! endif
