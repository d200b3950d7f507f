## Runs every test_*.m file of a folder with Octave's test framework against the modules in the
## folder given as first argument; the second is the build profile (linux, windows, macos), the
## third the folder of test files (default: this one). Exits non-zero when any test fails.
1;
args = argv ();
if (numel (args) < 1)
  error ("usage: octave-cli run_tests.m MODULE_DIR [PROFILE [TEST_DIR]]");
endif
here = fileparts (mfilename ("fullpathext"));
if (isempty (here))
  here = pwd ();
endif
addpath (args{1});
addpath (here);
global PAIRKERNELS_PROFILE PAIRKERNELS_SOURCE_DIR
PAIRKERNELS_PROFILE = "linux";
if (numel (args) >= 2)
  PAIRKERNELS_PROFILE = args{2};
endif
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
  [n, nmax] = test (name, "quiet", stdout);
  printf ("%-40s %4d of %4d passed\n", files(k).name(1:end-2), n, nmax);
  total += nmax;
  passed += n;
endfor
printf ("%d passed, %d failed\n", passed, total - passed);
exit (double (passed != total || total == 0));
