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
%!   ## the binding once (gateway, cpu, entry), each module with its installer, the version
%!   assert (numel (compiles), 8);
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
%!   assert (exist (fullfile (outdir, "pairkernels_reference.m"), "file") == 2);
%!   contents = fileread (fullfile (outdir, "Contents.m"));
%!   listed = regexp (contents, '(?m)^%   (\w+) +- ', "tokens");
%!   assert (cellfun (@(t) t{1}, listed, "UniformOutput", false), {"clamped_pair_model_gap", ...
%!           "pair_residual", "pairkernels_version", "pairkernels_demo", "pairkernels_reference"});
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
%!   ## the MEX build into a folder that holds the native module replaces it (Octave would take
%!   ## the .oct first), and the other way round
%!   evalc ("build_pairkernels ('outdir', outdir, 'modules', {'pair_residual'}, 'mex', true);");
%!   assert (regexp (which ("pair_residual"), '\.mex$') > 0);
%!   assert (! exist (fullfile (outdir, "pair_residual.oct"), "file"));
%!   assert (pk_same_bits (pair_residual (args{:}), m));
%!   evalc ("build_pairkernels ('outdir', outdir, 'modules', {'pair_residual'});");
%!   assert (regexp (which ("pair_residual"), '\.oct$') > 0);
%!   assert (! exist (fullfile (outdir, "pair_residual.mex"), "file"));
%! unwind_protect_cleanup
%!   rmpath (outdir);
%!   clear pair_residual
%!   confirm_recursive_rmdir (false, "local");
%!   if (exist (mexdir, "dir"))
%!     rmdir (mexdir, "s");
%!   endif
%! end_unwind_protect

%!test
%! ## by default the modules go into pairkernels/ beside the script, whose help is the toolbox's
%! ## Contents.m with its dated version line (not a function of that name, as mex/ gave Octave's
%! ## mex); the script runs from a copy of the tree, so the tree itself is left as it is
%! copy = [outdir "-tree"];
%! mkdir (copy);
%! here = pwd ();
%! unwind_protect
%!   for d = {"kernels", "gateway", "simd", "toolbox", "tools"}
%!     copyfile (fullfile (root, d{1}), fullfile (copy, d{1}));
%!   endfor
%!   for f = {"build_pairkernels.m", "CMakeLists.txt", "NEWS"}
%!     copyfile (fullfile (root, f{1}), copy);
%!   endfor
%!   addpath (copy);
%!   cd (copy);                    # the copy's script, not the one of the folder the suite runs in
%!   clear build_pairkernels
%!   assert (which ("build_pairkernels"), fullfile (copy, "build_pairkernels.m"));
%!   evalc ("build_pairkernels ('modules', {'pair_matrix_step'});");
%!   folder = fullfile (copy, "pairkernels");
%!   assert (exist (fullfile (folder, "pair_matrix_step.oct"), "file") > 0);
%!   addpath (folder);
%!   assert (fileparts (which ("pair_matrix_step")), folder);
%!   shown = evalc ("help pairkernels");
%!   assert (! isempty (strfind (shown, "pairkernels  Bit-exact kernels")), shown);
%!   assert (! isempty (regexp (shown, 'Version \d+\.\d+\.\d+ \d\d-[A-Z][a-z]{2}-\d{4}', "once")),
%!           shown);
%!   assert (! isempty (regexp (shown, '(?m)^\s+pair_matrix_step\s+- ', "once")), shown);
%! unwind_protect_cleanup
%!   cd (here);
%!   rmpath (fullfile (copy, "pairkernels"));
%!   rmpath (copy);
%!   clear build_pairkernels pair_matrix_step pairkernels_version
%!   confirm_recursive_rmdir (false, "local");
%!   rmdir (copy, "s");
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
