## Installs the Octave package TARBALL with pkg into the folder WORK (never the user's Octave),
## loads it and checks what a user gets: every module (native oct-files) and its help from the
## installed package, each help example's printed result bit for bit; pkg test running every
## module's shipped tests; demo, help pairkernels, news, citation (and no made-up address),
## pairkernels_version, pairkernels_demo, pairkernels_reference; functionSignatures.json beside the
## modules; the reference pages in doc/; and pkg unload undoing it all.
## Usage: octave-cli check_package.m TARBALL WORK SOURCE_DIR
1;

function check (ok, varargin)
  global failures
  if (! ok)
    failures{end+1} = sprintf (varargin{:});
  endif
endfunction

## The argument names of MODULE's usage lines in its help TEXT, one cell of names per line.
function forms = usage_lines (text, module)
  found = regexp (text, ['(?m)^\s+\w+ = ' module '\(([^)]*)\)'], "tokens");
  forms = cellfun (@(t) strtrim (strsplit (t{1}, ",")), found, "UniformOutput", false);
endfunction

args = argv ();
[tarball, work, source] = deal (args{1:3});
addpath (fullfile (source, "tests", "octave"));   # pk_catalog, pk_help_examples, ...
global failures
failures = {};

prefix = fullfile (work, "packages");
archprefix = fullfile (work, "packages-arch");
pkg ("prefix", prefix, archprefix);
pkg ("local_list", fullfile (work, "octave_packages"));
pkg ("global_list", fullfile (work, "octave_packages_global"));
pkg ("install", "-local", "-verbose", tarball);
pkg ("load", "pairkernels");
installed = pkg ("list"){1};
cd (work);                                          # pkg test writes fntests.log here

if (ispc ())
  profile = "windows";
elseif (ismac ())
  profile = "macos";
else
  profile = "linux";
endif
checked = 0;
catalog = pk_catalog (profile);
for e = catalog
  module = which (e.name);
  helpfile = file_in_loadpath ([e.name ".m"]);
  if (! strncmp (module, archprefix, numel (archprefix)) || isempty (regexp (module, '\.oct$')))
    check (false, "%s: module not from the package but %s", e.name, module);
    continue;
  endif
  if (! strcmp (fileparts (helpfile), fileparts (module)) || isempty (get_help_text (e.name)))
    check (false, "%s: no help beside the module (%s)", e.name, helpfile);
    continue;
  endif
  ## the docstring (the package Makefile's extraction) is the help block, without the tests
  check (strcmp (strtrim (get_help_text (e.name)), strtrim (get_help_text (helpfile))),
         "%s: docstring is not the help block", e.name);
  check (isempty (strfind (get_help_text (e.name), "%!")), "%s: tests in the docstring", e.name);
  for x = pk_help_examples (get_help_text (e.name), profile)
    [names, actual, expected] = pk_run_example (x);
    for k = 1:numel (names)
      checked += 1;
      check (pk_same_bits (actual{k}, expected{k}), "%s: %s differs from its help example",
             e.name, names{k});
    endfor
  endfor
endfor
printf ("package check: %d modules, %d example results\n", numel (catalog), checked);

## pairkernels_version: the package's release and this platform's profile, a native function
v = pairkernels_version ();
check (strcmp (v.version, installed.version), "pairkernels_version: %s, package %s", v.version,
       installed.version);
check (strcmp (v.profile, profile) && strcmp (v.host, "native"), "pairkernels_version: %s %s",
       v.profile, v.host);
check (strncmp (which ("pairkernels_version"), archprefix, numel (archprefix)),
       "pairkernels_version from %s", which ("pairkernels_version"));
printf ("pairkernels_version: %s, %s profile, %s, %s\n", v.version, v.profile, v.simd, v.host);

## pkg test: every module's help file and pairkernels_version's, each with tests, all passing
shown = evalc ("pkg ('test', 'pairkernels')");
runs = regexp (shown, '(\w+)\.m \.*\s+pass\s+(\d+)/(\d+)', "tokens");
tested = cellfun (@(r) r{1}, runs, "UniformOutput", false);
want = [{catalog.name}, {"pairkernels_version", "pairkernels_demo", "pairkernels_reference"}];
check (isempty (setxor (tested, want)), "pkg test ran %s", strjoin (sort (tested), " "));
for r = runs
  least = 1 + 2 * any (strcmp (r{1}{1}, {catalog.name}));   # a module's file has three or more
  check (strcmp (r{1}{2}, r{1}{3}) && str2double (r{1}{3}) >= least,
         "pkg test: %s passed %s of %s", r{1}{1}, r{1}{2}, r{1}{3});
endfor
total = regexp (shown, 'PASS\s+(\d+)\s+FAIL\s+(\d+)', "tokens", "once");
check (! isempty (total) && str2double (total{2}) == 0, "pkg test summary:\n%s", shown);
printf ("pkg test: %d files with tests, %s passed, %s failed\n", numel (runs), total{:});

## demo, help pairkernels, news, citation
shown = evalc ("demo pair_residual");
check (! isempty (strfind (shown, "pair_residual example 1:"))
       && isempty (strfind (shown, "failed")), "demo pair_residual:\n%s", shown);
shown = evalc ("help pairkernels");
for name = want
  summary = strtrim (regexprep (strsplit (get_help_text (name{1}), "\n"){1}, ['^' name{1}], ""));
  check (! isempty (regexp (shown, ['(?m)^\s+' name{1} '\s+- ' regexptranslate("escape", summary)],
                            "once")), "help pairkernels: no line for %s", name{1});
endfor
## no made-up address: DESCRIPTION names no Url and no maintainer's mail, CITATION no URL (the
## package has none to give), and none of them an address under a reserved .example name
desc = fileread (fullfile (installed.dir, "packinfo", "DESCRIPTION"));
check (isempty (regexp (desc, '(?m)^Url:', "once")), "DESCRIPTION has a Url");
check (! isempty (regexp (desc, '(?m)^Maintainer: [^<@\n]+$', "once")),
       "DESCRIPTION: the maintainer is not a name alone");
shown = evalc ("news pairkernels");
check (! isempty (strfind (shown, ["pairkernels " installed.version])), "news:\n%s", shown);
shown = evalc ("citation pairkernels");
check (! isempty (strfind (shown, installed.version)) && isempty (strfind (shown, "http")),
       "citation:\n%s", shown);
check (isempty (regexp ([desc shown], '\.example\b', "once")), "an .example address:\n%s%s",
       desc, shown);
## the reference pages, in the package's doc/ folder: the index and one page per function
pages = dir (fullfile (installed.dir, "doc", "*.html"));
check (isequal (sort ({pages.name}), sort ([{"index.html"}, strcat(want, ".html")])),
       "doc/ holds %s", strjoin ({pages.name}, " "));
index = fileread (fullfile (installed.dir, "doc", "index.html"));
for name = want
  check (! isempty (strfind (index, ['href="' name{1} '.html"'])), "doc/index.html: no %s",
         name{1});
endfor
shown = evalc ("ok = pairkernels_demo ();");
check (ok && ! isempty (strfind (shown, "same bits")), "pairkernels_demo:\n%s", shown);

## functionSignatures.json beside the modules: valid JSON naming every module with the arguments
## of its help's usage line for this profile
file = fullfile (fileparts (which ("pair_residual")), "functionSignatures.json");
try
  signatures = jsondecode (fileread (file));
catch err
  signatures = struct ();
  check (false, "%s: %s", file, err.message);
end_try_catch
for e = catalog
  if (! isfield (signatures, e.name))
    check (false, "functionSignatures.json: no %s", e.name);
    continue;
  endif
  inputs = {signatures.(e.name).inputs.name};
  check (isequal (inputs, e.args), "functionSignatures.json: %s(%s)", e.name,
         strjoin (inputs, ", "));
  check (any (cellfun (@(f) isequal (f, inputs), usage_lines (get_help_text (e.name), e.name))),
         "functionSignatures.json: %s(%s) is no usage line of its help", e.name,
         strjoin (inputs, ", "));
endfor
check (all (isfield (signatures, {"pairkernels_version", "pairkernels_demo", ...
                                   "pairkernels_reference"})),
       ["functionSignatures.json: no pairkernels_version, pairkernels_demo or ", ...
        "pairkernels_reference"]);
printf ("functionSignatures.json: %d functions\n", numel (fieldnames (signatures)) - 1);

## pkg unload takes the modules and the Contents folder off the path
pkg ("unload", "pairkernels");
check (isempty (which ("pair_residual")) && isempty (which ("pairkernels_version")),
       "modules still on the path after pkg unload");
check (isempty (strfind (path (), fullfile (installed.dir, "pairkernels"))),
       "the Contents folder is still on the path after pkg unload");

printf ("package check: %d failures\n", numel (failures));
if (! isempty (failures))
  printf ("  %s\n", failures{:});
endif
## at least one example result a module
exit (double (! isempty (failures) || isempty (catalog) || checked < numel (catalog)));
