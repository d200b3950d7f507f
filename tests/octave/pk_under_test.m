## C = PK_UNDER_TEST ()
## The modules the suite tests in this run, as pk_catalog describes them: every module of the
## run's profile, or, in a run that checks only what another profile changes (run_tests.m
## --profiled, on the folder of a profile other than the main build's), the modules whose form
## differs between profiles. The others are the same objects in every profile's folder and are
## tested once, in the main build's run.
function c = pk_under_test ()
  global PAIRKERNELS_PROFILE PAIRKERNELS_PROFILED_ONLY
  c = pk_catalog (PAIRKERNELS_PROFILE);
  if (! isempty (PAIRKERNELS_PROFILED_ONLY) && PAIRKERNELS_PROFILED_ONLY)
    c = c([c.profiled]);
  endif
endfunction
