## The tests and demos each module carries in its help file, as `test <module>` and
## `demo <module>` find them beside the module (for a native module too, whose help is its
## docstring): every module has tests, they pass in this build's profile, a profile-specific
## block is skipped only in the other profiles, and every demo runs. Their help text ends
## before them.

%!shared names
%! names = [{pk_under_test().name}, {"pairkernels_version"}];

%!test
%! assert (numel (names) > 1);
%! for k = 1:numel (names)
%!   file = file_in_loadpath ([names{k} ".m"]);
%!   assert (strcmp (fileparts (file), fileparts (which (names{k}))), names{k});
%!   log = tempname ();
%!   fid = fopen (log, "wt");
%!   unwind_protect
%!     [passed, total, ~, ~, ~, skipped] = test (names{k}, "quiet", fid);
%!   unwind_protect_cleanup
%!     fclose (fid);
%!     text = fileread (log);
%!     delete (log);
%!   end_unwind_protect
%!   assert (total >= 3, "%s: %d tests", names{k}, total);
%!   assert (passed == total, "%s:\n%s", names{k}, text);
%!   ## profile-specific blocks: of the forms of a module, this profile's run
%!   if (any (strcmp (names{k}, {"item_pair_scatter", "clamped_pair_model_gap"})))
%!     assert (skipped >= 1, "%s: no block skipped", names{k});
%!   else
%!     assert (skipped == 0, "%s: %d blocks skipped", names{k}, skipped);
%!   endif
%! endfor

%!test
%! ## the help block stops at the blank line before the tests: no test code in the help
%! for k = 1:numel (names)
%!   text = get_help_text (names{k});
%!   assert (isempty (strfind (text, "%!")), names{k});
%!   assert (! isempty (strfind (fileread (file_in_loadpath ([names{k} ".m"])), "\n\n%!")),
%!           names{k});
%! endfor

%!test
%! ## every demo runs without an error (demo catches one and prints "failed")
%! for k = 1:numel (names)
%!   [code, idx] = test (names{k}, "grabdemo");
%!   assert (numel (idx) >= 2, [names{k} ": no demo"]);
%!   shown = evalc (sprintf ("demo ('%s')", names{k}));
%!   assert (isempty (strfind (shown, "failed")), "%s", shown);
%!   assert (! isempty (strfind (shown, [names{k} " example 1:"])), names{k});
%! endfor
