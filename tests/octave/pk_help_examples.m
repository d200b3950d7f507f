## EX = PK_HELP_EXAMPLES (TEXT, PROFILE)
## The examples of a module's help TEXT that apply to the build PROFILE. An example starts at a
## line "Example:" or "Example (<builds>):" (it applies when <builds> names PROFILE) and runs
## over the lines indented deeper than that heading. Its lines are code, except comment lines
## "% NAME = VALUE", which give the value the code leaves in variable NAME.
## EX(k).code is a cell of code lines, EX(k).checks a cell of {NAME, VALUE} pairs.
function ex = pk_help_examples (text, profile)
  lines = strsplit (text, "\n");
  ex = struct ("code", {}, "checks", {});
  k = 1;
  while (k <= numel (lines))
    head = regexp (lines{k}, '^(\s*)Example(\s*\(([^)]*)\))?:\s*$', "tokens", "once");
    k += 1;
    if (isempty (head))
      continue;
    endif
    indent = numel (head{1});
    builds = "";
    if (numel (head) >= 2 && ! isempty (head{end}))
      builds = head{end};
    endif
    code = {};
    checks = cell (0, 2);
    while (k <= numel (lines))
      lead = regexp (lines{k}, '^(\s*)\S', "tokens", "once");
      if (isempty (lead) || numel (lead{1}) <= indent)
        break;
      endif
      line = strtrim (lines{k});
      k += 1;
      printed = regexp (line, '^%\s*(\w+)\s*=\s*(.+)$', "tokens", "once");
      if (! isempty (printed))
        checks(end+1, :) = printed;
      elseif (line(1) != "%")
        code{end+1} = line;
      endif
    endwhile
    if (isempty (builds) || ! isempty (regexp (builds, ['\<' profile '\>'], "once")))
      ex(end+1) = struct ("code", {code}, "checks", {checks});
    endif
  endwhile
endfunction
