## Turns the Octave benchmark's CSV files (octave-<label>.csv from run_bench.m, one per memory
## setting) in DIR into DIR/octave.md (markdown tables) and DIR/octave.png (bar chart of the
## speed-ups over the vectorized Octave expressions).
##
## Each run times every module twice, as a MEX module and as a native Octave module.
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
    v = @(k) str2double (f{k});
    rows{end+1} = struct ("module", f{2}, "form", f{3}, "size", f{4}, "mex_s", v (5),
                          "native_s", v (6), "octave_s", v (7), "speedup_mex", v (8),
                          "speedup", v (9), "floor_mex_s", v (10), "floor_s", v (11),
                          "mex_over_floor", v (12), "over_floor", v (13), "difference", v (14),
                          "same_as_mex", v (15), "expression", line(q+1:end-1));
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
md = [md "*MEX*, *native*: the module built as a MEX file (`build/octave`) and as a native " ...
      "Octave function (`build/oct`, what the Octave package installs); both give the same bits " ...
      "(checked on every case). *Speed-up*: the vectorized Octave expression's median time " ...
      "over the module's. *Floor*: a trivial module that creates a result of the same shape, " ...
      "stores each of its elements once and reads every input element once, as a native " ...
      "function (`floor_native`; the MEX `floor_module` in the last column, whose result the " ...
      "host clears first and copies afterwards); shown for the modules that stream their inputs " ...
      "into a result of their size or larger. *Agreement*: the module's result against the " ...
      "expression's (the expressions sum in other orders, so most differ in the last bits).\n\n"];
md = [md "| Module | Size | MEX ms | Native ms | Octave ms | Floor ms | Speed-up, native | " ...
      "Speed-up, MEX | Native / floor | MEX / MEX floor | Agreement | Octave expression |\n" ...
      "|---|---|---:|---:|---:|---:|---:|---:|---:|---:|---|---|\n"];
for row = main
  agree = agreement (row.difference);
  if (! row.same_as_mex) agree = [agree "; native differs from MEX"]; endif
  md = [md sprintf("| %s | %s | %s | %s | %s | %s | %s | %s | %s | %s | %s | `%s` |\n",
                   name_of (row), row.size, ms (row.mex_s), ms (row.native_s), ms (row.octave_s),
                   ms (row.floor_s), ratio (row.speedup), ratio (row.speedup_mex),
                   ratio (row.over_floor), ratio (row.mex_over_floor), agree, row.expression)];
endfor

if (numel (runs) > 1)
  md = [md "\nThe same run under other memory settings (native module time / native floor time, " ...
        "and the native module's speed-up):\n\n"];
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
      line = [line sprintf(" %s | %s | %s |", ms (row.native_s), ms (row.floor_s), ratio (row.speedup))];
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

## Chart: one group of bars per module: the MEX module's speed-up in the main run, then the native
## module's in every memory setting, on a log scale, each bar drawn from 1x (left of it: slower
## than the Octave expression). Underscores are escaped for gnuplot's enhanced text.
warning ("off", "all");
graphics_toolkit ("gnuplot");
escape = @(s) strrep (s, "_", "\\\\_");
names = arrayfun (@name_of, main, "UniformOutput", false);
## A module timed at several sizes is told apart by its size.
for k = 1:numel (names)
  if (sum (strcmp (arrayfun (@name_of, main, "UniformOutput", false), name_of (main(k)))) > 1)
    names{k} = sprintf ("%s, %s", name_of (main(k)), main(k).size);
  endif
endfor
speedups = zeros (numel (main), numel (runs) + 1);
speedups(:, 1) = [main.speedup_mex]';
for k = 1:numel (runs)
  speedups(:, k + 1) = [runs{k}.speedup]';
endfor
series = cellfun (@(l) ["native, " l], labels, "UniformOutput", false);
series = [{["MEX, " labels{1}]}, series];
ticks = [0.01 0.03 0.1 0.3 1 3 10 30 100];
f = figure ("visible", "off", "position", [0 0 1100 780]);
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
legend (h, escape (series), "location", "northoutside", "orientation", "horizontal");
print (f, fullfile (dir, "octave.png"), "-dpngcairo", "-r100");
printf ("Written: %s, %s\n", fullfile (dir, "octave.md"), fullfile (dir, "octave.png"));
