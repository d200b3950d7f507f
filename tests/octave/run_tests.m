## octave-cli run_tests.m MODULE_DIR [PROFILE [TEST_DIR]] [--profiled]
## Runs every test_*.m file of a folder (default: this one) with Octave's test framework against
## the modules in MODULE_DIR, built in PROFILE (linux, windows, macos; default linux). With
## --profiled, only what a profile changes is tested: the files that look at the profile
## (pk_under_test, pk_suite_profile, the global PAIRKERNELS_PROFILE), on the modules whose form differs between profiles; the
## other modules are the same objects in every profile's folder and are tested in the main
## build's run. Prints each file's count and "N passed, N failed"; exits non-zero when any test
## fails or none ran.
1;
args = argv ();
profiled = any (strcmp (args, "--profiled"));
args = args(! strcmp (args, "--profiled"));
if (numel (args) < 1)
  error ("usage: octave-cli run_tests.m MODULE_DIR [PROFILE [TEST_DIR]] [--profiled]");
endif
here = fileparts (mfilename ("fullpathext"));
if (isempty (here))
  here = pwd ();
endif
addpath (args{1});
addpath (here);
global PAIRKERNELS_PROFILE PAIRKERNELS_SOURCE_DIR PAIRKERNELS_PROFILED_ONLY
PAIRKERNELS_PROFILE = "linux";
if (numel (args) >= 2)
  PAIRKERNELS_PROFILE = args{2};
endif
PAIRKERNELS_PROFILED_ONLY = profiled;
PAIRKERNELS_SOURCE_DIR = fileparts (fileparts (here));
testdir = here;
if (numel (args) >= 3)
  testdir = args{3};
endif

files = dir (fullfile (testdir, "test_*.m"));
total = 0;
passed = 0;
for k = 1:numel (files)
  name = fullfile (testdir, files(k).name);
  looks = 'pk_under_test|pk_suite_profile|PAIRKERNELS_PROFILE(?!\w)';
  if (profiled && isempty (regexp (fileread (name), looks, "once")))
    continue;
  endif
  [n, nmax] = test (name, "quiet", stdout);
  printf ("%-40s %4d of %4d passed\n", files(k).name(1:end-2), n, nmax);
  total += nmax;
  passed += n;
endfor
printf ("%d passed, %d failed\n", passed, total - passed);
exit (double (passed != total || total == 0));
