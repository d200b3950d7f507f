## P = PK_SUITE_PROFILE ()
## The profile of the build the suite runs against (run_tests.m sets it), for conditions of
## %!testif blocks, which cannot see the suite's global.
function p = pk_suite_profile ()
  global PAIRKERNELS_PROFILE
  p = PAIRKERNELS_PROFILE;
endfunction
