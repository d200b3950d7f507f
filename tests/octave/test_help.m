## Every module's help text, as `help <module>` finds it (beside a MEX module; a native module
## carries it as its docstring, and has the help file beside it too): its summary, usage line,
## arguments and error identifiers against the calling convention of this build, and its examples
## run against the module, each printed result compared bit for bit.

%!shared profile, catalog
%! global PAIRKERNELS_PROFILE
%! profile = PAIRKERNELS_PROFILE;
%! catalog = pk_under_test ();

%!test
%! ## the help file is the one beside the module file, and help prints it
%! ## the table lists every module built into this folder, once
%! names = {pk_catalog(profile).name};
%! assert (numel (unique (names)), numel (names));
%! folder = fileparts (which (names{1}));
%! built = [dir(fullfile (folder, "*.mex")); dir(fullfile (folder, "*.oct"))];
%! built = unique (regexprep ({built.name}, '\.(mex|oct)$', ''));
%! assert (setdiff (built, [names, {"pairkernels_version"}]), cell (1, 0));
%! for e = catalog
%!   mexfile = which (e.name);
%!   assert (regexp (mexfile, ['\.(mex|oct)$']) > 0, [e.name ": " mexfile]);
%!   helpfile = file_in_loadpath ([e.name ".m"]);
%!   assert (! isempty (helpfile), [e.name ": no help file"]);
%!   assert (fileparts (helpfile), fileparts (mexfile));
%!   [text, format] = get_help_text (e.name);
%!   assert (format, "plain text");
%!   ## a native module's docstring is the help file's text
%!   assert (strtrim (text), strtrim (get_help_text (helpfile)), e.name);
%!   shown = evalc (["help " e.name]);
%!   assert (! isempty (strfind (shown, strtrim (strsplit (text, "\n"){1}))));
%! endfor

%!test
%! ## summary line, the usage line of this build, every argument described, known identifiers
%! mnemonics = {"nargin", "nargout", "notScalar", "notDouble", "sparse", "tooShort", ...
%!              "tooLarge", "negativeSize", "outOfRange", "outOfMemory"};
%! for e = catalog
%!   text = get_help_text (e.name);
%!   assert (regexp (text, ['^' e.name '  [A-Z]'], "once"), 1, e.name);
%!   usages = regexp (text, ['(?m)^\s+\w+ = ' e.name '\(([^)]*)\)'], "tokens");
%!   usages = cellfun (@(u) u{1}, usages, "UniformOutput", false);
%!   assert (any (strcmp (usages, strjoin (e.args, ", "))), [e.name ": no usage line for " profile]);
%!   for a = e.args
%!     assert (! isempty (regexp (text, ['(?m)^\s+' a{1} '  \S'], "once")), [e.name ": " a{1}]);
%!   endfor
%!   ids = regexp (text, 'pairkernels:(\w+):(\w+)', "tokens");
%!   assert (numel (ids) >= 3, e.name);
%!   for id = ids
%!     assert (id{1}{1}, e.name);
%!     assert (any (strcmp (id{1}{2}, mnemonics)), [e.name ": " id{1}{2}]);
%!   endfor
%!   listed = cellfun (@(id) id{2}, ids, "UniformOutput", false);
%!   assert (all (ismember ({"nargin", "nargout", "notScalar"}, listed)), e.name);
%! endfor

%!test
%! ## each example runs and leaves exactly the printed values (same bits, same shape)
%! checked = 0;
%! for e = catalog
%!   ex = pk_help_examples (get_help_text (e.name), profile);
%!   assert (! isempty (ex), [e.name ": no example for " profile]);
%!   for x = ex
%!     [names, actual, expected] = pk_run_example (x);
%!     assert (! isempty (names), [e.name ": example prints no result"]);
%!     for k = 1:numel (names)
%!       assert (pk_same_bits (actual{k}, expected{k}), [e.name ": " names{k}]);
%!     endfor
%!     checked += numel (names);
%!   endfor
%! endfor
%! assert (checked >= numel (catalog));

%!test
%! ## the example reader: build labels, indentation, printed results; a wrong result is caught
%! text = sprintf (["f  Something.\n\n   Example (windows build):\n     a = 1\n     %% a = 2\n\n", ...
%!                  "   Example (linux and macos builds):\n     b = [1 2]';  %% note\n", ...
%!                  "     %% b = [1; 2]\n   Unrelated:\n     c = 3\n"]);
%! ex = pk_help_examples (text, "linux");
%! assert (numel (ex), 1);
%! assert (ex.code, {"b = [1 2]';  % note"});
%! assert (ex.checks, {"b", "[1; 2]"});
%! [names, actual, expected] = pk_run_example (ex);
%! assert (pk_same_bits (actual{1}, expected{1}));
%! ex = pk_help_examples (text, "windows");
%! [names, actual, expected] = pk_run_example (ex);
%! assert (names, {"a"});
%! assert (! pk_same_bits (actual{1}, expected{1}));
%! assert (isempty (pk_help_examples (text, "mac")));
