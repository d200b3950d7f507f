function reference_pages(root, outdir, infodir)
%reference_pages  Write the HTML reference pages of pairkernels from the help texts.
%
%   reference_pages(ROOT, OUTDIR)
%   reference_pages(ROOT, OUTDIR, INFODIR)
%
%   ROOT is the source tree. Writes into OUTDIR (created when missing) one page per module,
%   <module>.html, and one each for pairkernels_version, pairkernels_demo and
%   pairkernels_reference, all from the help texts (kernels/<folder>/<module>.m and
%   toolbox/<function>.m), the only source of their text; index.html, which links every page
%   by subsystem with the first line of its help; and helptoc.xml, the table of contents of
%   MATLAB's Help browser. With INFODIR, a folder that holds OUTDIR, also INFODIR/info.xml,
%   which names the toolbox and the pages' folder for MATLAB: that folder on MATLAB's path
%   lists the pages under the toolbox in the Help browser.
%
%   A page shows its help text by its parts: the usage lines, the description, each argument
%   and the result with its shape, the errors with their identifiers, each example with the
%   result it prints, and links to the pages its "See also" line names.
%
%   Used by CMake (build/doc), tools/make-dist.sh (the package's doc/) and
%   tools/make-release.sh (each platform folder's html/ and info.xml), in GNU Octave.

pages = page_list(root);
if ~exist(outdir, 'dir')
    mkdir(outdir);
end
names = {pages.name};
[version, date] = release_of(root);
for k = 1:numel(pages)
    write_text(fullfile(outdir, [pages(k).name '.html']), ...
               render_page(pages(k), names, version));
end
write_text(fullfile(outdir, 'index.html'), render_index(pages, version, date));
write_text(fullfile(outdir, 'helptoc.xml'), render_toc(pages));
if nargin >= 3
    write_text(fullfile(infodir, 'info.xml'), render_info(location(infodir, outdir)));
end
end

% Every page, in the order of the index: the modules by the table's order (each once), then
% the toolbox's functions. Each has name, group (its subsystem's title) and help (its help
% block, one cell per line, without the leading %).
function pages = page_list(root)
pages = struct('name', {}, 'group', {}, 'help', {});
for m = module_table(root)
    if any(strcmp(m.name, {pages.name}))
        continue
    end
    file = fullfile(root, 'kernels', m.folder, [m.name '.m']);
    pages(end + 1) = struct('name', m.name, 'group', subsystem(m.folder), ...
                            'help', {help_block(file)}); %#ok<AGROW>
end
for name = {'pairkernels_version', 'pairkernels_demo', 'pairkernels_reference'}
    file = fullfile(root, 'toolbox', [name{1} '.m']);
    pages(end + 1) = struct('name', name{1}, 'group', 'Version, demo and reference', ...
                            'help', {help_block(file)}); %#ok<AGROW>
end
end

function t = subsystem(folder)
switch folder
    case 'pairwise'
        t = 'Pairwise construction';
    case 'aggregate'
        t = 'Aggregate update';
    case 'pair_matrix'
        t = 'Pair-matrix update';
    otherwise
        t = folder;
end
end

% The leading % lines of a help file (after the function line of a function file).
function text = help_block(file)
lines = regexp(fileread(file), '\r?\n', 'split');
text = {};
for k = 1 + strncmp(lines{1}, 'function', 8):numel(lines)
    if ~strncmp(lines{k}, '%', 1)
        break
    end
    text{end + 1} = lines{k}(2:end); %#ok<AGROW>
end
end

% The release and its date, from CMakeLists.txt and the release's heading in NEWS.
function [version, date] = release_of(root)
t = regexp(fileread(fullfile(root, 'CMakeLists.txt')), ...
           'project\(pairkernels VERSION ([0-9.]+)', 'tokens', 'once');
version = t{1};
t = regexp(fileread(fullfile(root, 'NEWS')), ['(?m)^pairkernels ' ...
           regexprep(version, '\.', '\\.') ' \((\d{4}-\d{2}-\d{2})\)'], 'tokens', 'once');
if isempty(t)
    error('pairkernels:pages:noDate', ...
          'NEWS has no heading "pairkernels %s (YYYY-MM-DD)" for this release.', version);
end
date = t{1};
end

% ---- A page. ----

% A help text by its parts. The first line is the name and summary; the block after it (up to
% the first blank line) the usage lines. Then, line by line: a heading is a line at the text's
% indent (three blanks) that ends with a colon after a capitalised word ("Arguments:", "Errors,
% scatter form (windows and macos builds):"); under an "Example" heading every line is code, a
% code line that starts with % the result the code above it prints; elsewhere a deeper line
% "NAME  text" (two blanks or more between) is an entry of a list (an argument, a result, an
% error identifier), a line deeper still continues the entry above, and any other deeper line
% is kept as it is written (a formula); lines at the text's indent are prose, a blank line ends
% a paragraph and an example.
function html = render_page(page, names, version)
help = page.help;
summary = strtrim(help{1}(numel(page.name) + 1:end));
out = {page_head(page.name, summary, version), ...
       sprintf('<h1>%s</h1>', page.name), sprintf('<p class="summary">%s</p>', esc(summary))};
k = 2;
while k <= numel(help) && isempty(strtrim(help{k}))
    k = k + 1;
end
usage = {};
while k <= numel(help) && ~isempty(strtrim(help{k}))
    usage{end + 1} = strip_indent(help{k}, 3); %#ok<AGROW>
    k = k + 1;
end
out = [out, {'<h2 id="usage">Usage</h2>', ['<pre class="usage">' esc_lines(usage) '</pre>']}];
state = struct('example', false, 'shown', {{}}, 'prose', {{}}, 'pre', {{}}, 'entries', {{}}, ...
               'entry_indent', 0);
rest = help(k:end);
rest = rest(~cellfun(@(l) isempty(strtrim(l)), rest));
if ~isempty(rest) && isempty(regexp(rest{1}, '^   [A-Z][a-z]+([,( ][^:]*)?:\s*$', 'once'))
    out{end + 1} = '<h2 id="description">Description</h2>';
end
for k = k:numel(help)
    line = help{k};
    indent = numel(line) - numel(regexprep(line, '^ +', ''));
    heading = regexp(line, '^   ([A-Z][a-z]+([,( ][^:]*)?):\s*$', 'tokens', 'once');
    if isempty(strtrim(line))
        [out, state] = flush(out, state, names);
        state.example = false;  % an example is one block
    elseif ~isempty(heading) && indent == 3
        [out, state] = flush(out, state, names);
        state.example = strncmp(heading{1}, 'Example', 7);
        out{end + 1} = sprintf('<h2 id="%s">%s</h2>', anchor(heading{1}), ...
                               esc(heading{1})); %#ok<AGROW>
    elseif state.example
        text = strip_indent(line, 5);
        kind = 'code';
        if strncmp(text, '%', 1)
            kind = 'printed';
            text = strtrim(text(2:end));
        end
        if isempty(state.shown) || ~strcmp(state.shown{end}{1}, kind)
            state.shown{end + 1} = {kind, {}};
        end
        state.shown{end}{2}{end + 1} = text;
    elseif indent <= 3
        [out, state] = flush_text(out, state, names, {'pre', 'entries'});
        state.prose{end + 1} = strtrim(line);
    else
        entry = regexp(line, '^( +)(\S+) {2,}(\S.*)$', 'tokens', 'once');
        if ~isempty(state.entries) && indent > state.entry_indent
            state.entries{end}{2} = [state.entries{end}{2} ' ' strtrim(line)];
        elseif ~isempty(entry)
            [out, state] = flush_text(out, state, names, {'prose', 'pre'});
            state.entries{end + 1} = {entry{2}, entry{3}};
            state.entry_indent = numel(entry{1});
        else
            [out, state] = flush_text(out, state, names, {'prose', 'entries'});
            state.pre{end + 1} = strip_indent(line, 5);
        end
    end
end
[out, state] = flush(out, state, names); %#ok<ASGLU>
out{end + 1} = '<p class="nav"><a href="index.html">All functions</a></p>';
out{end + 1} = '</body>';
out{end + 1} = '</html>';
html = out;
end

% What a blank line or a heading ends: the paragraph, a list, a formula, an example.
function [out, state] = flush(out, state, names)
[out, state] = flush_text(out, state, names, {'prose', 'pre', 'entries'});
for k = 1:numel(state.shown)
    lines = state.shown{k}{2};
    if strcmp(state.shown{k}{1}, 'code')
        out{end + 1} = ['<pre class="example"><code>' esc_lines(lines) '</code></pre>']; %#ok<AGROW>
    else
        out{end + 1} = '<p class="prints">Result</p>'; %#ok<AGROW>
        out{end + 1} = ['<pre class="printed">' esc_lines(lines) '</pre>']; %#ok<AGROW>
    end
end
state.shown = {};
end

% The parts of WHAT that are pending, in the order they came: a paragraph, a formula, a list.
function [out, state] = flush_text(out, state, names, what)
if any(strcmp(what, 'prose')) && ~isempty(state.prose)
    text = strjoin(state.prose, ' ');
    see = regexp(text, '^See also (.*)\.$', 'tokens', 'once');
    if isempty(see)
        out{end + 1} = ['<p>' esc(text) '</p>'];
    else
        out{end + 1} = ['<p class="see">See also ' see_also(see{1}, names) '.</p>'];
    end
    state.prose = {};
end
if any(strcmp(what, 'pre')) && ~isempty(state.pre)
    out{end + 1} = ['<pre class="formula">' esc_lines(state.pre) '</pre>'];
    state.pre = {};
end
if any(strcmp(what, 'entries')) && ~isempty(state.entries)
    out{end + 1} = '<dl>';
    for k = 1:numel(state.entries)
        out{end + 1} = sprintf('<dt><code>%s</code></dt><dd>%s</dd>', ...
                               esc(state.entries{k}{1}), esc(state.entries{k}{2})); %#ok<AGROW>
    end
    out{end + 1} = '</dl>';
    state.entries = {};
end
end

% "a, b, c": each name of a page linked to it.
function s = see_also(list, names)
parts = strtrim(strsplit(list, ','));
for k = 1:numel(parts)
    if any(strcmp(parts{k}, names))
        parts{k} = sprintf('<a href="%s.html"><code>%s</code></a>', parts{k}, parts{k});
    else
        parts{k} = esc(parts{k});
    end
end
s = strjoin(parts, ', ');
end

function a = anchor(heading)
a = lower(regexprep(regexprep(heading, '[^A-Za-z0-9]+', '-'), '^-|-$', ''));
end

function s = strip_indent(line, n)
lead = numel(line) - numel(regexprep(line, '^ +', ''));
s = line(min(lead, n) + 1:end);
end

% The page's head and, on a function's page (VERSION given), the link to the index.
function head = page_head(title, summary, version)
head = sprintf(['<!DOCTYPE html>\n<html lang="en">\n<head>\n<meta charset="utf-8">\n' ...
                '<title>%s</title>\n<meta name="description" content="%s">\n' ...
                '<style>\n%s\n</style>\n</head>\n<body>'], esc(title), esc(summary), style());
if nargin >= 3
    head = sprintf('%s\n<p class="nav"><a href="index.html">pairkernels %s</a></p>', head, ...
                   version);
end
end

function s = style()
s = strjoin({
    'body { font-family: sans-serif; max-width: 52em; margin: 1.5em auto; padding: 0 1em;'
    '       line-height: 1.4; color: #1a1a1a; background: #ffffff; }'
    'h1 { font-family: monospace; font-size: 1.8em; margin-bottom: 0.2em; }'
    'h2 { font-size: 1.15em; border-bottom: 1px solid #c8c8c8; margin-top: 1.6em; }'
    'p.summary { font-size: 1.1em; margin-top: 0; }'
    'pre { background: #f3f5f8; border-left: 3px solid #5a7ca8; padding: 0.5em 0.8em;'
    '      overflow-x: auto; }'
    'pre.printed { border-left-color: #5aa86a; background: #f2f8f3; }'
    'pre.formula { background: none; border: none; }'
    'p.prints { margin: 0.2em 0; font-size: 0.9em; color: #555555; }'
    'dl { display: grid; grid-template-columns: max-content auto; gap: 0.25em 1.2em; }'
    'dt { grid-column: 1; } dd { grid-column: 2; margin: 0; }'
    'table { border-collapse: collapse; } td { padding: 0.2em 1em 0.2em 0; vertical-align: top; }'
    'p.nav { font-size: 0.9em; }'}, sprintf('\n'));
end

% ---- The index, the table of contents, info.xml. ----

function html = render_index(pages, version, date)
out = {page_head('pairkernels', 'Bit-exact kernels over items and their ordered pairs'), ...
       sprintf('<h1>pairkernels %s</h1>', version), ...
       sprintf(['<p class="summary">Bit-exact kernels over items and their ordered pairs. ' ...
                'Release %s of %s.</p>'], version, date), ...
       ['<p>Each module is a compiled function: call it with dense double arrays and get one ' ...
        'result matrix back, the same bits on every call and platform. Each page below is ' ...
        'the function''s help text (<code>help &lt;name&gt;</code>).</p>']};
group = '';
for k = 1:numel(pages)
    if ~strcmp(pages(k).group, group)
        if ~isempty(group)
            out{end + 1} = '</table>'; %#ok<AGROW>
        end
        group = pages(k).group;
        out = [out, {sprintf('<h2 id="%s">%s</h2>', anchor(group), esc(group)), ...
                     '<table>'}]; %#ok<AGROW>
    end
    summary = strtrim(pages(k).help{1}(numel(pages(k).name) + 1:end));
    out{end + 1} = sprintf('<tr><td><a href="%s.html"><code>%s</code></a></td><td>%s</td></tr>', ...
                           pages(k).name, pages(k).name, esc(summary)); %#ok<AGROW>
end
html = [out, {'</table>', '</body>', '</html>'}];
end

% MATLAB's Help browser: the toolbox's index, then each subsystem with its functions.
function xml = render_toc(pages)
xml = {'<?xml version="1.0" encoding="utf-8"?>', '<toc version="2.0">', ...
       '  <tocitem target="index.html">pairkernels'};
group = '';
for k = 1:numel(pages)
    if ~strcmp(pages(k).group, group)
        if ~isempty(group)
            xml{end + 1} = '    </tocitem>'; %#ok<AGROW>
        end
        group = pages(k).group;
        xml{end + 1} = sprintf('    <tocitem target="index.html#%s">%s', anchor(group), ...
                               esc(group)); %#ok<AGROW>
    end
    xml{end + 1} = sprintf('      <tocitem target="%s.html">%s</tocitem>', pages(k).name, ...
                           pages(k).name); %#ok<AGROW>
end
xml = [xml, {'    </tocitem>', '  </tocitem>', '</toc>'}];
end

% info.xml: the toolbox's name and where its pages are, relative to the folder on the path.
% matlabrelease is the oldest release the modules are built for (the R2017b API).
function xml = render_info(help_location)
xml = {'<?xml version="1.0" encoding="utf-8"?>', ...
       ['<productinfo xmlns:xsi="http://www.w3.org/2001/XMLSchema-instance" ' ...
        'xsi:noNamespaceSchemaLocation="optional">'], ...
       '  <matlabrelease>R2017b</matlabrelease>', ...
       '  <name>pairkernels</name>', ...
       '  <type>toolbox</type>', ...
       '  <icon></icon>', ...
       sprintf('  <help_location>%s</help_location>', help_location), ...
       '</productinfo>'};
end

% OUTDIR relative to INFODIR, which must hold it.
function rel = location(infodir, outdir)
base = [regexprep(infodir, '[/\\]+$', '') filesep];
if ~strncmp(outdir, base, numel(base))
    error('pairkernels:pages:location', '%s is not inside %s.', outdir, infodir);
end
rel = strrep(outdir(numel(base) + 1:end), '\', '/');
end

% ---- Text. ----

function s = esc(s)
s = strrep(strrep(strrep(strrep(s, '&', '&amp;'), '<', '&lt;'), '>', '&gt;'), '"', '&quot;');
end

function s = esc_lines(lines)
s = esc(strjoin(lines, sprintf('\n')));
end

function write_text(file, lines)
fid = fopen(file, 'w');
if fid < 0
    error('pairkernels:pages:write', 'Cannot write %s.', file);
end
fprintf(fid, '%s\n', lines{:});
fclose(fid);
end
