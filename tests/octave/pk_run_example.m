## [NAMES, ACTUAL, EXPECTED] = PK_RUN_EXAMPLE (EX)
## Runs the code of one help example (see pk_help_examples) in a workspace of its own, its
## display swallowed, and returns for each of its printed results the variable's name, the value
## the code left in it, and the value the help text prints.
function [names, actual, expected] = pk_run_example (ex)
  [names, actual, expected] = run_isolated (ex.code, ex.checks);
endfunction

## The example's variables live here; the parameters' names cannot clash with an example's.
function [pk__names, pk__actual, pk__expected] = run_isolated (pk__code, pk__checks)
  evalc (strjoin (pk__code, "\n"));
  pk__names = pk__checks(:, 1)';
  pk__actual = cell (size (pk__names));
  pk__expected = cell (size (pk__names));
  for pk__k = 1:numel (pk__names)
    pk__actual{pk__k} = eval (pk__names{pk__k});
    pk__expected{pk__k} = eval (pk__checks{pk__k, 2});
  endfor
endfunction
