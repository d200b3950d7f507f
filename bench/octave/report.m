## Turns the Octave benchmark's CSV files (octave-<label>.csv from run_bench.m, one per memory
## setting) in DIR into DIR/octave.md (markdown tables) and DIR/octave.png (bar chart of the
## speed-ups over the vectorized Octave expressions).
##
##   octave-cli report.m DIR LABEL...
##
## The first LABEL is the main table's; every label gets a column pair in the memory-settings table
## and a bar per module in the chart.
1;

function r = read_run (file)
  rows = {};
  settings = "";
  text = strsplit (fileread (file), "\n");
  for k = 2:numel (text)
    line = text{k};
    if (isempty (line)) continue; endif
    if (line(1) == "#")
      settings = strtrim (line(2:end));
      continue;
    endif
    q = find (line == "\"", 1);              # the expression, last and quoted, may hold commas
    f = strsplit (line(1:q-2), ",", "CollapseDelimiters", false);
    rows{end+1} = struct ("module", f{2}, "form", f{3}, "size", f{4},
                          "module_s", str2double (f{5}), "octave_s", str2double (f{6}),
                          "speedup", str2double (f{7}), "floor_s", str2double (f{8}),
                          "over_floor", str2double (f{9}), "difference", str2double (f{10}),
                          "expression", line(q+1:end-1));
  endfor
  r = [rows{:}];
  [r.settings] = deal (settings);
endfunction

function s = name_of (row)
  s = row.module;
  if (! isempty (row.form)) s = sprintf ("%s (%s)", row.module, row.form); endif
endfunction

function s = ms (t)
  if (isnan (t)) s = "–"; else s = sprintf ("%.2f", t * 1e3); endif
endfunction

function s = ratio (x)
  if (isnan (x)) s = "–"; else s = sprintf ("%.2f", x); endif
endfunction

function s = agreement (d)
  if (d == 0) s = "same bits"; else s = sprintf ("rel. diff. %.0e", d); endif
endfunction

args = argv ();
if (numel (args) < 2) error ("usage: octave-cli report.m DIR LABEL..."); endif
dir = args{1};
labels = args(2:end)(:).';
runs = cell (size (labels));
for k = 1:numel (labels)
  runs{k} = read_run (fullfile (dir, sprintf ("octave-%s.csv", labels{k})));
endfor
main = runs{1};

md = sprintf ("Memory settings of the main table (`%s`): %s.\n\n", labels{1}, main(1).settings);
md = [md "*Speed-up*: the vectorized Octave expression's median time over the module's. " ...
      "*Floor*: a trivial MEX module that creates the same zero-filled result, stores each of " ...
      "its elements once and reads every input element once (shown for the modules that stream " ...
      "their inputs into a result of their size or larger). *Agreement*: the module's result " ...
      "against the expression's (the expressions sum in other orders, so most differ in the " ...
      "last bits).\n\n"];
md = [md "| Module | Size | Module ms | Octave ms | Speed-up | Floor ms | Module / floor | " ...
      "Agreement | Octave expression |\n|---|---|---:|---:|---:|---:|---:|---|---|\n"];
for row = main
  md = [md sprintf("| %s | %s | %s | %s | %s | %s | %s | %s | `%s` |\n", name_of (row), row.size,
                   ms (row.module_s), ms (row.octave_s), ratio (row.speedup), ms (row.floor_s),
                   ratio (row.over_floor), agreement (row.difference), row.expression)];
endfor

if (numel (runs) > 1)
  md = [md "\nThe same run under other memory settings (module time / floor time, and speed-up):\n\n"];
  header = "| Module | Size |";
  rule = "|---|---|";
  for k = 1:numel (labels)
    header = [header sprintf(" %s: module ms | floor ms | speed-up |", labels{k})];
    rule = [rule "---:|---:|---:|"];
  endfor
  md = [md header "\n" rule "\n"];
  for i = 1:numel (main)
    line = sprintf ("| %s | %s |", name_of (main(i)), main(i).size);
    for k = 1:numel (runs)
      row = runs{k}(i);
      line = [line sprintf(" %s | %s | %s |", ms (row.module_s), ms (row.floor_s), ratio (row.speedup))];
    endfor
    md = [md line "\n"];
  endfor
  md = [md "\nSettings: "];
  for k = 1:numel (runs)
    md = [md sprintf("`%s`: %s", labels{k}, runs{k}(1).settings)];
    if (k < numel (runs)) md = [md "; "]; endif
  endfor
  md = [md ".\n"];
endif
fid = fopen (fullfile (dir, "octave.md"), "w");
fputs (fid, md);
fclose (fid);

## Chart: one group of bars per module, one bar per memory setting: the speed-up on a log scale,
## each bar drawn from 1x (left of it: slower than the Octave expression). Underscores are escaped
## for gnuplot's enhanced text.
warning ("off", "all");
graphics_toolkit ("gnuplot");
escape = @(s) strrep (s, "_", "\\\\_");
names = arrayfun (@name_of, main, "UniformOutput", false);
speedups = zeros (numel (main), numel (runs));
for k = 1:numel (runs)
  speedups(:, k) = [runs{k}.speedup]';
endfor
ticks = [0.01 0.03 0.1 0.3 1 3 10 30 100];
f = figure ("visible", "off", "position", [0 0 900 700]);
h = barh (log10 (speedups), "grouped");
limits = [0.5, numel(names) + 0.5];
set (gca, "ytick", 1:numel (names), "yticklabel", escape (names), "ydir", "reverse",
     "ylim", limits, "xtick", log10 (ticks), "xlim", log10 (ticks([1 end])),
     "xticklabel", arrayfun (@(x) sprintf ("%gx", x), ticks, "UniformOutput", false),
     "fontsize", 9);
hold on;
plot (log10 ([3 3]), limits, "k--");
xlabel ("speed-up over the vectorized Octave expression (log scale; dashed line: 3x)");
title ("pairkernels modules in GNU Octave, by memory setting");
legend (h, escape (labels), "location", "southeast");
print (f, fullfile (dir, "octave.png"), "-dpngcairo", "-r100");
printf ("Written: %s, %s\n", fullfile (dir, "octave.md"), fullfile (dir, "octave.png"));
