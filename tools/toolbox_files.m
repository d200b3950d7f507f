function toolbox_files(root, outdir, profile, files, names)
%toolbox_files  Write the toolbox files of a build from the module table and the help texts.
%
%   toolbox_files(ROOT, OUTDIR, PROFILE)
%   toolbox_files(ROOT, OUTDIR, PROFILE, FILES)
%   toolbox_files(ROOT, OUTDIR, PROFILE, FILES, NAMES)
%
%   ROOT is the source tree, OUTDIR the folder that receives the files, PROFILE the build's
%   platform behaviour ('linux', 'windows' or 'macos'). FILES lists what to write (default
%   {'Contents.m', 'functionSignatures.json'}):
%     Contents.m               what `help <folder>` lists: the release and its date (MATLAB's
%                              "% Version 0.1.0 09-Dec-2026" line, the date from the release's
%                              heading in NEWS), every module with the first line of its
%                              help, by subsystem, then pairkernels_version,
%                              pairkernels_demo and pairkernels_reference
%     functionSignatures.json  MATLAB's argument hints and tab completion: for every module the
%                              form PROFILE builds, its arguments by position with their kinds
%                              and the descriptions of its help text
%     INDEX                    the Octave package's function index
%   NAMES, a cell array of module names, limits the modules listed (default: all of the table).
%
%   The module table is kernels/modules.txt, the help texts kernels/<folder>/<module>.m and
%   toolbox/<function>.m. Used by CMake, tools/make-dist.sh and build_pairkernels, in GNU Octave
%   and MATLAB alike.

if nargin < 4
    files = {'Contents.m', 'functionSignatures.json'};
end
modules = read_table(root, profile);
if nargin >= 5
    modules = modules(ismember({modules.name}, names));
end
extras = {'pairkernels_version', 'pairkernels_demo', 'pairkernels_reference'};
for k = 1:numel(files)
    switch files{k}
        case 'Contents.m'
            write_contents(root, fullfile(outdir, files{k}), modules, extras);
        case 'functionSignatures.json'
            write_signatures(root, fullfile(outdir, files{k}), modules);
        case 'INDEX'
            write_index(fullfile(outdir, files{k}), modules, extras);
        otherwise
            error('pairkernels:toolbox:unknownFile', 'Unknown toolbox file %s.', files{k});
    end
end
end

% The table's lines of PROFILE, one struct each: name, folder, args (names), kinds ('size',
% 'real' or an array's length), help (the module's help block), in the table's order.
function modules = read_table(root, profile)
modules = struct('name', {}, 'folder', {}, 'args', {}, 'kinds', {}, 'help', {});
for m = module_table(root, profile)
    help = help_block(fullfile(root, 'kernels', m.folder, [m.name '.m']));
    modules(end + 1) = struct('name', m.name, 'folder', m.folder, 'args', {m.args}, ...
                              'kinds', {m.kinds}, 'help', {help}); %#ok<AGROW>
end
end

% The help block of a help file, as cell array of lines: its leading % lines, without the %
% (after the function line of a function file).
function text = help_block(file)
lines = regexp(fileread(file), '\r?\n', 'split');
text = {};
first = 1 + strncmp(lines{1}, 'function', 8);
for k = first:numel(lines)
    if ~strncmp(lines{k}, '%', 1)
        break
    end
    text{end + 1} = lines{k}(2:end); %#ok<AGROW>
end
end

% The summary of a help block: its first line without the function's name.
function s = summary(help, name)
s = strtrim(help{1}(numel(name) + 1:end));
end

% The description a help block gives NAME ("  N  item count, numeric scalar"), up to its first
% parenthesis or semicolon.
function s = described(help, name)
s = '';
for k = 1:numel(help)
    t = regexp(help{k}, ['^\s+' name '  (\S.*)$'], 'tokens', 'once');
    if ~isempty(t)
        s = regexprep(t{1}, '( \(|;|, numeric scalar).*$', '');
        return
    end
end
end

% The result's name in the usage line of a form ("R = pair_residual(N, P, q, W, X, K)").
function out = result_name(help, name, args)
out = '';
for k = 1:numel(help)
    t = regexp(help{k}, ['^\s+(\w+) = ' name '\(([^)]*)\)'], 'tokens', 'once');
    if ~isempty(t) && strcmp(t{2}, strjoin(args, ', '))
        out = t{1};
        return
    end
end
error('pairkernels:toolbox:noUsage', '%s: no usage line for (%s)', name, strjoin(args, ', '));
end

function folder_title = subsystem(folder)
switch folder
    case 'pairwise'
        folder_title = 'Pairwise construction';
    case 'aggregate'
        folder_title = 'Aggregate update';
    case 'pair_matrix'
        folder_title = 'Pair-matrix update';
    otherwise
        folder_title = folder;
end
end

function v = version_of(root)
t = regexp(fileread(fullfile(root, 'CMakeLists.txt')), ...
           'project\(pairkernels VERSION ([0-9.]+)', 'tokens', 'once');
v = t{1};
end

% The release's date from its heading in NEWS ("pairkernels 0.1.0 (2026-12-09)"), as MATLAB's
% Contents.m writes it: 09-Dec-2026. A release without a dated heading there is refused.
function d = release_date(root, version)
t = regexp(fileread(fullfile(root, 'NEWS')), ['(?m)^pairkernels ' ...
           regexprep(version, '\.', '\\.') ' \((\d{4})-(\d{2})-(\d{2})\)'], 'tokens', 'once');
if isempty(t)
    error('pairkernels:toolbox:noDate', ...
          'NEWS has no heading "pairkernels %s (YYYY-MM-DD)" for this release.', version);
end
months = {'Jan', 'Feb', 'Mar', 'Apr', 'May', 'Jun', 'Jul', 'Aug', 'Sep', 'Oct', 'Nov', 'Dec'};
d = sprintf('%s-%s-%s', t{3}, months{str2double(t{2})}, t{1});
end

function write_contents(root, file, modules, extras)
version = version_of(root);
out = {'% pairkernels  Bit-exact kernels over items and their ordered pairs.', ...
       ['% Version ' version ' ' release_date(root, version)], '%'};
folder = '';
for k = 1:numel(modules)
    m = modules(k);
    if any(strcmp(m.name, {modules(1:k - 1).name}))
        continue
    end
    if ~strcmp(m.folder, folder)
        folder = m.folder;
        out{end + 1} = ['% ' subsystem(folder)]; %#ok<AGROW>
    end
    out{end + 1} = sprintf('%%   %-28s - %s', m.name, summary(m.help, m.name)); %#ok<AGROW>
end
out{end + 1} = '% Version, demo and reference';
for k = 1:numel(extras)
    help = help_block(fullfile(root, 'toolbox', [extras{k} '.m']));
    out{end + 1} = sprintf('%%   %-28s - %s', extras{k}, summary(help, extras{k})); %#ok<AGROW>
end
out = [out, {'%', ...
    '%   help <module> describes a module: its arguments, result, errors and an example.', ...
    '%   In GNU Octave, test <module> runs its tests and demo <module> its demonstration.'}];
write_lines(file, out);
end

function write_index(file, modules, extras)
out = {'pairkernels >> Bit-exact kernels over items and their ordered pairs'};
folder = '';
for k = 1:numel(modules)
    m = modules(k);
    if any(strcmp(m.name, {modules(1:k - 1).name}))
        continue
    end
    if ~strcmp(m.folder, folder)
        folder = m.folder;
        out{end + 1} = subsystem(folder); %#ok<AGROW>
    end
    out{end + 1} = [' ' m.name]; %#ok<AGROW>
end
out{end + 1} = 'Version, demo and reference';
out{end + 1} = [' ' strjoin(extras, ' ')];
write_lines(file, out);
end

% MATLAB's function signatures: sizes and reals are numeric scalars, arrays doubles; every
% argument is required. The version function takes nothing; the demo an optional folder; the
% reference a module's name, then that module's arguments.
function write_signatures(root, file, modules)
out = {'{', '  "_schemaVersion": "1.0.0",'};
for k = 1:numel(modules)
    m = modules(k);
    inputs = cell(1, numel(m.args));
    for a = 1:numel(m.args)
        switch m.kinds{a}
            case {'size', 'real'}
                type = '["numeric", "scalar"]';
            otherwise
                type = '"double"';
        end
        inputs{a} = sprintf(['      {"name": "%s", "kind": "required", "type": %s, ' ...
                             '"purpose": "%s"}'], m.args{a}, type, ...
                            json_text(described(m.help, m.args{a})));
    end
    result = result_name(m.help, m.name, m.args);
    outputs = {sprintf('      {"name": "%s", "type": "double", "purpose": "%s"}', result, ...
                       json_text(described(m.help, result)))};
    out = [out, signature(m.name, inputs, outputs)]; %#ok<AGROW>
end
version_help = help_block(fullfile(root, 'toolbox', 'pairkernels_version.m'));
out = [out, signature('pairkernels_version', {}, ...
    {sprintf('      {"name": "v", "type": "struct", "purpose": "%s"}', ...
             json_text(summary(version_help, 'pairkernels_version')))})];
out = [out, signature('pairkernels_demo', ...
    {['      {"name": "moddir", "kind": "ordered", "type": "folder", ' ...
      '"purpose": "folder of the modules, added to the path"}']}, ...
    {'      {"name": "ok", "type": "logical", "purpose": "every stage agreed bit for bit"}'})];
names = unique_names(modules);
reference_help = help_block(fullfile(root, 'toolbox', 'pairkernels_reference.m'));
out = [out, signature('pairkernels_reference', ...
    {sprintf(['      {"name": "module", "kind": "required", "type": ["char", "choices={%s}"], ' ...
              '"repeating": false, "purpose": "the name of a module"}'], ...
             strjoin(strcat('''', names, ''''), ',')), ...
     ['      {"name": "args", "kind": "ordered", "type": "numeric", "repeating": true, ' ...
      '"purpose": "the module''s own arguments"}']}, ...
    {sprintf('      {"name": "R", "type": "double", "purpose": "%s"}', ...
             json_text(summary(reference_help, 'pairkernels_reference')))})];
out{end} = out{end}(1:end - 1);  % no comma after the last function
out{end + 1} = '}';
write_lines(file, out);
end

% The modules' names, each once, in the table's order.
function names = unique_names(modules)
names = {};
for k = 1:numel(modules)
    if ~any(strcmp(modules(k).name, names))
        names{end + 1} = modules(k).name; %#ok<AGROW>
    end
end
end

function lines = signature(name, inputs, outputs)
lines = {sprintf('  "%s": {', name), '    "inputs": ['};
lines = [lines, join_items(inputs), {'    ],', '    "outputs": ['}, join_items(outputs), ...
         {'    ]', '  },'}];
end

function items = join_items(items)
for k = 1:numel(items) - 1
    items{k} = [items{k} ','];
end
end

function s = json_text(s)
s = strrep(strrep(s, '\', '\\'), '"', '\"');
end

function write_lines(file, lines)
fid = fopen(file, 'w');
if fid < 0
    error('pairkernels:toolbox:write', 'Cannot write %s.', file);
end
fprintf(fid, '%s\n', lines{:});
fclose(fid);
end
