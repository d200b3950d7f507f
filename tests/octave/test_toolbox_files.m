## The toolbox files beside the modules of this build: Contents.m has MATLAB's dated version line
## and lists every module with the first line of its help, then pairkernels_version,
## pairkernels_demo and pairkernels_reference;
## functionSignatures.json is valid JSON and gives every module the arguments of its help's usage
## line for this profile, each with the kind the module table says; pairkernels_reference lies
## beside the modules and passes its own tests there.

%!shared folder, catalog
%! folder = fileparts (which ("pair_residual"));
%! catalog = pk_catalog (pk_suite_profile ());

%!test
%! contents = fileread (fullfile (folder, "Contents.m"));
%! listed = regexp (contents, '(?m)^%   (\w+) +- ([^\n]*)$', "tokens");
%! names = cellfun (@(t) t{1}, listed, "UniformOutput", false);
%! assert (names, [{catalog.name}, {"pairkernels_version", "pairkernels_demo", ...
%!                                   "pairkernels_reference"}]);
%! for k = 1:numel (listed)
%!   first = strsplit (get_help_text (names{k}), "\n"){1};
%!   assert (strtrim (first(numel (names{k}) + 1:end)), listed{k}{2});
%! endfor
%! ## what help shows for the folder's Contents.m
%! assert (strncmp (get_help_text (fullfile (folder, "Contents.m")), " pairkernels  ", 14));
%! ## MATLAB's version line: the release and the date of its heading in NEWS
%! global PAIRKERNELS_SOURCE_DIR
%! v = pairkernels_version ().version;
%! day = regexp (fileread (fullfile (PAIRKERNELS_SOURCE_DIR, "NEWS")),
%!               ['(?m)^pairkernels ' strrep(v, ".", '\.') ' \((\d{4}-\d{2}-\d{2})\)$'],
%!               "tokens", "once");
%! assert (! isempty (day), "NEWS has no dated heading for %s", v);
%! assert (strsplit (contents, "\n"){2},
%!         ["% Version " v " " datestr(datenum (day{1}, "yyyy-mm-dd"), "dd-mmm-yyyy")]);

%!testif ; exist ("jsondecode") > 0
%! ## (Octave 6 has no jsondecode: there the file is not read back)
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
%! assert ({s.pairkernels_reference.inputs.name}, {"module", "args"});
%! choices = regexp (s.pairkernels_reference.inputs(1).type{2}, '''(\w+)''', "tokens");
%! assert (cellfun (@(c) c{1}, choices, "UniformOutput", false), {catalog.name});

%!test
%! ## beside the modules, or, where pkg installs the toolbox's .m files apart from the compiled
%! ## modules (share/ and arch/), beside pairkernels_demo
%! where = fileparts (which ("pairkernels_reference"));
%! assert (any (strcmp (where, {folder, fileparts(which ("pairkernels_demo"))})), where);
%! [passed, total] = test ("pairkernels_reference", "quiet", stdout);
%! assert (total > 0 && passed == total);
