%pairkernels_version  Release, platform profile and instruction set of this build of pairkernels.
%
%   v = pairkernels_version()
%
%   Describes the build of the modules it was compiled with, as a struct with the fields
%     version  the release, for example '0.1.0'
%     profile  the platform behaviour the modules were built with: 'linux', 'windows' or
%              'macos'. item_pair_scatter and clamped_pair_model_gap take different arguments
%              in different profiles (see their help): a call written for another profile's
%              build is refused (nargin) or, where the argument count fits, runs this
%              profile's form.
%     simd     the instruction set the kernels choose on this processor, once per process:
%              'sse2', 'avx2' or 'avx512' on x86-64, 'generic' elsewhere (pair_difference_vectors
%              stays at 'avx2'). Every choice computes the same results; only where a result
%              is NaN may its sign and payload differ.
%     host     'mex' for a MEX file (MATLAB, or Octave's MEX interface) or 'native' for an
%              Octave function built over Octave's own API (.oct)
%
%   Arguments are ignored.
%
%   Errors:
%     pairkernels:pairkernels_version:nargout  more than one output requested
%
%   Example:
%     v = pairkernels_version();
%     if strcmp(v.profile, 'linux')
%       E = item_pair_scatter(3);            % the difference-tensor form
%     end
%
%   See also pairkernels_demo, item_pair_scatter, clamped_pair_model_gap.

%!test
%! v = pairkernels_version ();
%! assert (isstruct (v) && isscalar (v));
%! assert (fieldnames (v), {"version"; "profile"; "simd"; "host"});
%! assert (! isempty (regexp (v.version, '^\d+\.\d+\.\d+$', "once")), v.version);
%! assert (any (strcmp (v.profile, {"linux", "windows", "macos"})), v.profile);
%! assert (any (strcmp (v.simd, {"sse2", "avx2", "avx512", "generic"})), v.simd);
%! assert (any (strcmp (v.host, {"mex", "native"})), v.host);

%!test
%! ## the host kind is the module file's own: a native module is an .oct file
%! v = pairkernels_version ();
%! [~, ~, ext] = fileparts (which ("pairkernels_version"));
%! assert (strcmp (v.host, "native"), strcmp (ext, ".oct"));
%! ## and the same for the modules beside it
%! [~, ~, ext] = fileparts (which ("pair_residual"));
%! assert (strcmp (v.host, "native"), strcmp (ext, ".oct"));

%!test
%! ## the profile is the modules' own: the tensor form of item_pair_scatter on linux only, the
%! ## eighth argument of clamped_pair_model_gap on windows only
%! v = pairkernels_version ();
%! try
%!   E = item_pair_scatter (2);
%!   tensor = true;
%! catch err
%!   assert (err.identifier, "pairkernels:item_pair_scatter:nargin");
%!   tensor = false;
%! end_try_catch
%! assert (tensor, strcmp (v.profile, "linux"));
%! try
%!   clamped_pair_model_gap (1, 1, 1, 1, 1, 1, 1);
%!   seven = true;
%! catch err
%!   assert (err.identifier, "pairkernels:clamped_pair_model_gap:nargin");
%!   seven = false;
%! end_try_catch
%! assert (seven, ! strcmp (v.profile, "windows"));

%!test
%! ## extra arguments are ignored, as by every module
%! assert (pairkernels_version (1, "x", {}), pairkernels_version ());

%!error id=pairkernels:pairkernels_version:nargout [a, b] = pairkernels_version ()

%!demo
%! v = pairkernels_version ()
%! if (strcmp (v.profile, "linux"))
%!   E = item_pair_scatter (2)                      # the difference-tensor form
%! else
%!   S = item_pair_scatter (2, 2, 1, pair_difference_vectors (2, 2, [1 4; 2 8]))
%! endif
