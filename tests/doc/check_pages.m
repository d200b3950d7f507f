## The reference pages as a browser showed them (tests/doc/run.sh): what Chromium rendered and
## saved of the index and of one module's page, and the pages' files.
## Usage: octave-cli check_pages.m SOURCE_DIR DOC_DIR SHOT_DIR PAGE
##   SHOT_DIR holds index.dom and index.png, PAGE.dom and PAGE.png: each page's document as the
##   browser built it (--dump-dom) and its screenshot.
## Checks that both screenshots show a rendered page (not one colour, and enough of the window
## drawn on); that the index, as rendered, links every module of the table and the toolbox's
## functions; that PAGE, as rendered, shows its usage line, every argument and the result of
## every form, every error identifier its help text names, and each example with its printed
## result; that every module's page holds the same parts; and that no link of any page is
## broken (each is a page of DOC_DIR, its #anchor an id there). Prints "N passed, N failed".
1;

function check (ok, varargin)
  global passed problems
  if (ok)
    passed += 1;
  else
    problems{end+1} = sprintf (varargin{:});
  endif
endfunction

## Rendered, not blank: some colour other than the background's (the most common colour) on at
## least 2% of the pixels, and in more than a few colours (text is anti-aliased).
function check_shot (file)
  try
    img = imread (file);
  catch err
    check (false, "%s: %s", file, err.message);
    return;
  end_try_catch
  px = reshape (double (img(:, :, 1:min (3, size (img, 3)))), [], min (3, size (img, 3)));
  [colours, ~, which] = unique (px, "rows");
  background = mode (which);
  drawn = mean (which != background);
  check (drawn >= 0.02 && rows (colours) > 16,
         "%s: %.2f%% of the pixels drawn, %d colours", file, 100 * drawn, rows (colours));
endfunction

function refs = links (html)
  refs = regexp (html, '<a\s[^>]*href="([^"]*)"', "tokens");
  refs = cellfun (@(t) t{1}, refs, "UniformOutput", false);
endfunction

## The parts of a function's page that its help text and the module table say it must have.
function check_page (html, name, help, forms)
  check (! isempty (regexp (html, '<h2 id="usage">Usage</h2>', "once")), "%s: no usage", name);
  for f = forms
    usage = regexp (html, ['\w+ = ' name '\(' strjoin(f.args, ', ') '\)'], "once");
    check (! isempty (usage), "%s: no usage line (%s)", name, strjoin (f.args, ", "));
    for a = f.args
      check (! isempty (strfind (html, ["<dt><code>" a{1} "</code></dt><dd>"])),
             "%s: argument %s is not listed", name, a{1});
    endfor
  endfor
  usage = regexp (help, '^%[^\n]*\n%\s*\n((%   \S[^\n]*\n)+)', "tokens", "once"){1};
  results = regexp (usage, ['(?m)^%\s+(\w+) = ' name '\('], "tokens");
  for r = results
    check (! isempty (regexp (html, ['<dt><code>' r{1}{1} '</code></dt><dd>[^<]*(-by-|struct)'],
                              "once")), "%s: the result %s has no shape", name, r{1}{1});
  endfor
  ids = unique (regexp (help, ['pairkernels:' name ':\w+'], "match"));
  check (! isempty (ids), "%s: its help names no error identifier", name);
  for id = ids
    check (! isempty (strfind (html, ["<dt><code>" id{1} "</code></dt>"])),
           "%s: error %s is not listed", name, id{1});
  endfor
  examples = numel (regexp (help, '(?m)^%\s+Example[^:\n]*:\s*$'));
  check (examples > 0 && numel (strfind (html, '<h2 id="example')) == examples,
         "%s: %d examples in its help, %d on its page", name, examples,
         numel (strfind (html, '<h2 id="example')));
  printed = regexp (help, '(?m)^%\s+% (\w+ = [^\n]+)$', "tokens");
  for p = printed
    check (! isempty (strfind (html, ['<pre class="printed">' strrep(p{1}{1}, '&', '&amp;')])),
           "%s: printed result %s is not shown", name, p{1}{1});
  endfor
endfunction

## The help block of a module's help file: its leading % lines, the % kept.
function text = help_of (root, table, module)
  file = fullfile (root, "kernels", table(find (strcmp ({table.name}, module), 1)).folder,
                   [module ".m"]);
  text = regexp (fileread (file), '^(%[^\n]*\n)+', "match", "once");
endfunction

args = argv ();
[root, docdir, shots, page] = deal (args{1:4});
addpath (fullfile (root, "tools"));
addpath (fullfile (root, "tests", "octave"));
global passed problems
passed = 0;
problems = {};

table = module_table (root);
names = unique ({table.name}, "stable");
extras = {"pairkernels_version", "pairkernels_demo", "pairkernels_reference"};

check_shot (fullfile (shots, "index.png"));
check_shot (fullfile (shots, [page ".png"]));

index = links (fileread (fullfile (shots, "index.dom")));
for name = [names, extras]
  check (any (strcmp (index, [name{1} ".html"])), "the index does not link %s", name{1});
endfor

## the page as rendered, then every module's page as written
check_page (fileread (fullfile (shots, [page ".dom"])), page, help_of (root, table, page),
            table(strcmp ({table.name}, page)));
for name = names
  file = fullfile (docdir, [name{1} ".html"]);
  if (exist (file, "file") != 2)
    check (false, "%s: no page", name{1});
    continue;
  endif
  check_page (fileread (file), name{1}, help_of (root, table, name{1}),
              table(strcmp ({table.name}, name{1})));
endfor

## no broken link: every href of every page is a page of the folder, its anchor an id in it
files = dir (fullfile (docdir, "*.html"));
for f = files'
  for ref = links (fileread (fullfile (docdir, f.name)))
    parts = strsplit (ref{1}, "#");
    target = fullfile (docdir, parts{1});
    ok = ! isempty (regexp (parts{1}, '^[\w.-]+\.html$', "once")) && exist (target, "file") == 2;
    if (ok && numel (parts) > 1)
      ok = ! isempty (strfind (fileread (target), ['id="' parts{2} '"']));
    endif
    check (ok, "%s links %s, which is not there", f.name, ref{1});
  endfor
endfor
check (numel (files) == numel (names) + numel (extras) + 1, "%d pages in %s", numel (files),
       docdir);

printf ("%s\n", problems{:});
printf ("%d passed, %d failed\n", passed, numel (problems));
exit (double (! isempty (problems)));
