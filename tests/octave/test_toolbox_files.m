## The toolbox files beside the modules of this build: Contents.m lists every module with the
## first line of its help, then pairkernels_version and pairkernels_demo; functionSignatures.json
## is valid JSON and gives every module the arguments of its help's usage line for this profile,
## each with the kind the module table says.

%!shared folder, catalog
%! folder = fileparts (which ("pair_residual"));
%! catalog = pk_catalog (pk_suite_profile ());

%!test
%! contents = fileread (fullfile (folder, "Contents.m"));
%! listed = regexp (contents, '(?m)^%   (\w+) +- ([^\n]*)$', "tokens");
%! names = cellfun (@(t) t{1}, listed, "UniformOutput", false);
%! assert (names, [{catalog.name}, {"pairkernels_version", "pairkernels_demo"}]);
%! for k = 1:numel (listed)
%!   first = strsplit (get_help_text (names{k}), "\n"){1};
%!   assert (strtrim (first(numel (names{k}) + 1:end)), listed{k}{2});
%! endfor
%! ## what help shows for the folder's Contents.m
%! assert (strncmp (get_help_text (fullfile (folder, "Contents.m")), " pairkernels  ", 14));

%!test
%! s = jsondecode (fileread (fullfile (folder, "functionSignatures.json")));
%! assert (isfield (s, "x_schemaVersion") || isfield (s, "_schemaVersion"));
%! for e = catalog
%!   inputs = s.(e.name).inputs;
%!   assert ({inputs.name}, e.args);
%!   usage = regexp (get_help_text (e.name), ['(?m)^\s+(\w+) = ' e.name '\(' ...
%!                   regexptranslate("escape", strjoin (e.args, ", ")) '\)'], "tokens", "once");
%!   assert (! isempty (usage), e.name);
%!   assert (s.(e.name).outputs.name, usage{1});
%!   for a = 1:numel (e.args)
%!     if (e.kinds(a) == "a")
%!       assert (inputs(a).type, "double");
%!     else
%!       assert (inputs(a).type, {"numeric"; "scalar"});
%!     endif
%!     assert (! isempty (inputs(a).purpose), [e.name " " e.args{a}]);
%!   endfor
%! endfor
%! assert (isempty (s.pairkernels_version.inputs));
%! assert (s.pairkernels_demo.inputs.name, "moddir");
