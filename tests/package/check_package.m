## Installs the Octave package TARBALL with pkg into the folder WORK (never the user's Octave),
## loads it and calls every module through its help example, checking each printed result bit
## for bit; the modules (native oct-files) and their help must come from the installed package.
## Usage: octave-cli check_package.m TARBALL WORK SOURCE_DIR
1;
args = argv ();
[tarball, work, source] = deal (args{1:3});
addpath (fullfile (source, "tests", "octave"));   # pk_catalog, pk_help_examples, ...

prefix = fullfile (work, "packages");
archprefix = fullfile (work, "packages-arch");
pkg ("prefix", prefix, archprefix);
pkg ("local_list", fullfile (work, "octave_packages"));
pkg ("global_list", fullfile (work, "octave_packages_global"));
pkg ("install", "-local", "-verbose", tarball);
pkg ("load", "pairkernels");

if (ispc ())
  profile = "windows";
elseif (ismac ())
  profile = "macos";
else
  profile = "linux";
endif
failures = {};
checked = 0;
catalog = pk_catalog (profile);
for e = catalog
  module = which (e.name);
  helpfile = file_in_loadpath ([e.name ".m"]);
  if (! strncmp (module, archprefix, numel (archprefix)) || isempty (regexp (module, '\.oct$')))
    failures{end+1} = sprintf ("%s: module not from the package but %s", e.name, module);
    continue;
  endif
  if (! strcmp (fileparts (helpfile), fileparts (module)) || isempty (get_help_text (e.name)))
    failures{end+1} = sprintf ("%s: no help beside the module (%s)", e.name, helpfile);
    continue;
  endif
  for x = pk_help_examples (get_help_text (e.name), profile)
    [names, actual, expected] = pk_run_example (x);
    for k = 1:numel (names)
      checked += 1;
      if (! pk_same_bits (actual{k}, expected{k}))
        failures{end+1} = sprintf ("%s: %s differs from its help example", e.name, names{k});
      endif
    endfor
  endfor
endfor
pkg ("unload", "pairkernels");

printf ("package check: %d modules, %d example results, %d failures\n", numel (catalog),
        checked, numel (failures));
if (! isempty (failures))
  printf ("  %s\n", failures{:});
endif
exit (double (! isempty (failures) || numel (catalog) != 14 || checked < 14));
