function built = build_pairkernels(varargin)
%build_pairkernels  Compile the pairkernels modules with this host's compiler command.
%
%   build_pairkernels
%   build_pairkernels('outdir', DIR, 'profile', P, 'modules', NAMES, 'mex', TF, 'verbose', TF)
%   built = build_pairkernels(...)
%
%   Compiles every module (or the ones named) from the sources beside this file, in MATLAB or
%   GNU Octave, and puts each module file and its help text into one folder, with the toolbox
%   files: pairkernels_version (compiled the same way), pairkernels_demo, pairkernels_reference,
%   Contents.m (help <folder name> lists the modules built) and functionSignatures.json
%   (MATLAB's argument hints for this profile's forms). Add that folder to the path to call the
%   modules: addpath(DIR).
%   In MATLAB the modules are MEX files; in GNU
%   Octave they are native Octave functions (.oct, built with mkoctfile), which return their
%   results without the copy Octave makes of every MEX result, unless 'mex' asks for MEX files.
%   Both compute the same bits and raise the same errors.
%
%   Options, as name-value pairs:
%     'outdir'   folder for the modules and their help files (default: the folder
%                'pairkernels' beside this file, so that help pairkernels shows its
%                Contents.m); created when missing
%     'profile'  platform behaviour: 'linux', 'windows' or 'macos' (default: this platform's,
%                from ispc, ismac and isunix). item_pair_scatter and clamped_pair_model_gap
%                take different arguments in different profiles (see their help).
%     'modules'  cell array of module names (default: all fourteen)
%     'mex'      in Octave, true builds MEX files (.mex) instead of native modules (default:
%                false); MATLAB always builds MEX files
%     'verbose'  true prints the compiler commands (default: false)
%
%   What is compiled and with which flags is kernels/build.mk, which every build of the modules
%   reads: each module's source is linked with the host binding (the shared gateway and the
%   kernels' choice of instruction set, compiled once per call of this function in Octave) and
%   its entry point, by GCC 9 or later or Clang 13 or later, with the numerics flags that file
%   names (-ffp-contract=off -fno-fast-math; MATLAB: CXXFLAGS; Octave: the CXXFLAGS environment
%   variable that mkoctfile reads, restored afterwards), so that every product is rounded before
%   it is added and results are the same bits on every platform (a NaN result at the same
%   position, its sign and payload not guaranteed). A compiler configured with a flag that
%   changes results (-ffast-math, -Ofast, -ffp-contract=fast, ...) is refused
%   (pairkernels:build:fastMath). The sources use GCC and Clang
%   extensions: Microsoft Visual C++ is refused (pairkernels:build:compiler); on Windows use
%   MinGW-w64 (MATLAB's "MATLAB Support for MinGW-w64 C/C++ Compiler"). MATLAB also gets
%   -R2017b, so that a complex argument is read through its real part.
%
%   Each build is checked: the compiler's status, and that the module file exists and was
%   written by this build. The modules that failed are listed and the function stops with the
%   error pairkernels:build:failed once all were tried. BUILT is a cell array of the module
%   files built.
%
%   Example:
%     build_pairkernels('outdir', fullfile(tempdir, 'pk'), 'modules', {'pair_residual'});
%     addpath(fullfile(tempdir, 'pk'));
%     help pair_residual

root = fileparts(mfilename('fullpath'));
opts = parse_options(root, varargin);
in_octave = exist('OCTAVE_VERSION', 'builtin') ~= 0;

[entries, names] = module_entries(root);
if ~isempty(opts.modules)
    unknown = setdiff(opts.modules, names);
    if ~isempty(unknown)
        error('pairkernels:build:unknownModule', 'Unknown module(s): %s. Modules: %s.', ...
              strjoin(unknown, ', '), strjoin(names, ', '));
    end
    keep = ismember(names, opts.modules);
    entries = entries(keep);
    names = names(keep);
end

if ~exist(opts.outdir, 'dir')
    [ok, msg] = mkdir(opts.outdir);
    if ~ok
        error('pairkernels:build:outdir', 'Cannot create %s: %s', opts.outdir, msg);
    end
end

% The version function is built like the modules, after them, but is not one of them.
sources = cellfun(@(e) fullfile(root, 'kernels', [e '.cpp']), entries, 'UniformOutput', false);
helps = cellfun(@(e) fullfile(root, 'kernels', [e '.m']), entries, 'UniformOutput', false);
targets = [names, {'pairkernels_version'}];
sources{end + 1} = fullfile(root, 'toolbox', 'pairkernels_version.cpp');
helps{end + 1} = fullfile(root, 'toolbox', 'pairkernels_version.m');

desc = build_description(root);
binding_src = cellfun(@(f) fullfile(root, f), [desc.PK_GATEWAY_SOURCES, desc.PK_ENTRY_SOURCE], ...
                      'UniformOutput', false);
common = [cellfun(@(d) ['-I' fullfile(root, d)], desc.PK_INCLUDE_DIRS, 'UniformOutput', false), ...
          {['-DPK_PROFILE_' upper(opts.profile)]}];
native = in_octave && ~opts.mex;
if in_octave
    ext = '.mex';
    other_ext = '.oct';
    host_flags = {'--mex'};
    if native
        ext = '.oct';
        other_ext = '.mex';
        host_flags = {'-DPK_HOST_OCTAVE'};
    end
    stage = tempname();
    mkdir(stage);
    cleanup_stage = onCleanup(@() remove_stage(stage)); %#ok<NASGU>
    [flags, restore] = octave_flags(desc);
    cleanup = onCleanup(restore); %#ok<NASGU>  also when a build stops with an error
else
    ext = ['.' mexext];
    flags = matlab_flags(desc);
end
if in_octave
    host = ['GNU Octave ' OCTAVE_VERSION];
else
    host = ['MATLAB ' version];
end
fprintf('pairkernels: building %d module(s) for the %s profile with %s into %s\n', ...
        numel(names), opts.profile, host, opts.outdir);

built = {};
failed = {};
binding_ok = true;
if in_octave
    % The host binding, once for every module of this call; without it no module can be built.
    [binding, binding_ok] = compile_binding(stage, binding_src, [host_flags, common], ...
                                            opts.verbose);
    if ~binding_ok
        fprintf('  FAILED  the host binding (%s)\n', ...
                strjoin([desc.PK_GATEWAY_SOURCES, desc.PK_ENTRY_SOURCE], ', '));
        failed = names;
        for k = 1:numel(targets)  % no stale module file is left to be taken for this build's
            remove_previous(targets{k}, fullfile(opts.outdir, [targets{k} ext]));
        end
    end
end
for k = 1:numel(targets) * binding_ok
    name = targets{k};
    src = sources{k};
    out = fullfile(opts.outdir, [name ext]);
    is_version = k > numel(names);
    defines = common;
    if is_version
        defines{end + 1} = ['-DPK_VERSION=' project_version(root)]; %#ok<AGROW>
    end
    [fresh, started] = remove_previous(name, out);
    if in_octave
        % Octave takes a folder's .oct before its .mex: a module of the other binding left here
        % would shadow the one built now.
        remove_previous(name, fullfile(opts.outdir, [name other_ext]));
    end
    try
        if in_octave
            % A module is its source, the binding and its entry point; a native one also its
            % installer, which carries the help text as the docstring (pairkernels_version has
            % an entry of its own, given the docstring the same way).
            inputs = {src};
            if native
                inputs = {stage_native(stage, root, desc, src, name, help_text(helps{k}), ...
                                       is_version)};
                if ~is_version
                    inputs = [{src}, inputs]; %#ok<AGROW>
                end
            end
            objects = binding;
            if is_version
                objects = binding(1:end-1);  % no module entry point
            end
            args = [host_flags, defines, {['-I' stage], '-o', out}, inputs, objects];
            if opts.verbose
                args{end+1} = '--verbose'; %#ok<AGROW>
            end
            [text, status] = mkoctfile(args{:});
            if ~isempty(text)
                fprintf('%s\n', text);
            end
        else
            shared = binding_src;
            if is_version
                shared = binding_src(1:end-1);
            end
            args = [flags, defines, {'-outdir', opts.outdir, '-output', name, src}, shared];
            if opts.verbose
                args{end+1} = '-v'; %#ok<AGROW>
            end
            mex(args{:});
            status = 0;
        end
    catch err
        fprintf('%s\n', err.message);
        status = 1;
    end
    if status == 0 && was_written(out, fresh, started)
        copy_help(helps{k}, opts.outdir, name);
        if ~is_version
            built{end+1} = out; %#ok<AGROW>
        end
        fprintf('  built   %s\n', [name ext]);
    else
        failed{end+1} = name; %#ok<AGROW>
        fprintf('  FAILED  %s\n', name);
    end
end
write_toolbox(root, opts.outdir, opts.profile, names);

fprintf('pairkernels: %d of %d module(s) built', numel(built), numel(names));
if isempty(failed)
    fprintf('; call them after addpath(''%s'')\n', opts.outdir);
else
    fprintf('\n');
    error('pairkernels:build:failed', 'These modules failed to build: %s', ...
          strjoin(failed, ', '));
end
if nargout == 0
    clear built
end
end

function opts = parse_options(root, args)
opts = struct('outdir', fullfile(root, 'pairkernels'), 'profile', default_profile(), ...
              'modules', {{}}, 'mex', false, 'verbose', false);
if mod(numel(args), 2) ~= 0
    error('pairkernels:build:options', 'Options come as name-value pairs.');
end
for k = 1:2:numel(args)
    key = lower(args{k});
    value = args{k + 1};
    switch key
        case 'outdir'
            opts.outdir = absolute(value);
        case 'profile'
            if ~any(strcmp(value, {'linux', 'windows', 'macos'}))
                error('pairkernels:build:options', ...
                      'The profile is ''linux'', ''windows'' or ''macos'', not ''%s''.', value);
            end
            opts.profile = value;
        case 'modules'
            if ischar(value)
                value = {value};
            end
            opts.modules = value;
        case 'mex'
            opts.mex = logical(value);
        case 'verbose'
            opts.verbose = logical(value);
        otherwise
            error('pairkernels:build:options', 'Unknown option ''%s''.', args{k});
    end
end
end

function profile = default_profile()
if ispc
    profile = 'windows';
elseif ismac
    profile = 'macos';
else
    profile = 'linux';
end
end

function path = absolute(path)
if ~(strncmp(path, '/', 1) || strncmp(path, '\', 1) || ...
     (numel(path) >= 2 && path(2) == ':'))
    path = fullfile(pwd, path);
end
end

% The modules as '<subsystem folder>/<module name>' entries, from the module table
% (kernels/modules.txt: module name and folder open each of its lines), or from the sources when
% the table is absent.
function [entries, names] = module_entries(root)
table = fullfile(root, 'kernels', 'modules.txt');
entries = {};
if exist(table, 'file')
    found = regexp(fileread(table), '(?m)^([a-z_]+)[ \t]+([a-z_]+)', 'tokens');
    for k = 1:numel(found)
        entry = [found{k}{2} '/' found{k}{1}];
        if ~any(strcmp(entries, entry))
            entries{end+1} = entry; %#ok<AGROW>
        end
    end
end
if isempty(entries)
    files = dir(fullfile(root, 'kernels', '*', '*.cpp'));
    for k = 1:numel(files)
        [~, sub] = fileparts(files(k).folder);
        entries{end+1} = [sub '/' files(k).name(1:end-4)]; %#ok<AGROW>
    end
end
names = cell(size(entries));
for k = 1:numel(entries)
    [~, names{k}] = fileparts(entries{k});
end
end

% GCC or Clang through mkoctfile: its compiler flags come from CXXFLAGS, which it takes from
% the environment when set there. RESTORE puts the environment back as it was.
function desc = build_description(root)
% kernels/build.mk, NAME = value lines: each value a cell array of its words.
text = fileread(fullfile(root, 'kernels', 'build.mk'));
found = regexp(text, '(?m)^(PK_[A-Z_]+) *= *([^\r\n]*)', 'tokens');
desc = struct();
for k = 1:numel(found)
    desc.(found{k}{1}) = strsplit(strtrim(found{k}{2}), ' ');
end
end

function [objects, ok] = compile_binding(stage, sources, flags, verbose)
objects = cell(size(sources));
ok = true;
for k = 1:numel(sources)
    [~, base] = fileparts(sources{k});
    objects{k} = fullfile(stage, [base '.o']);
    args = [flags, {'-c', '-o', objects{k}, sources{k}}];
    if verbose
        args{end+1} = '--verbose'; %#ok<AGROW>
    end
    [text, status] = mkoctfile(args{:});
    if ~isempty(text)
        fprintf('%s\n', text);
    end
    ok = ok && status == 0 && exist(objects{k}, 'file') == 2;
end
end

function [flags, restore] = octave_flags(desc)
before = getenv('CXXFLAGS');
base = strtrim(mkoctfile('-p', 'CXXFLAGS'));
refuse_fast_math(base, desc);
setenv('CXXFLAGS', strjoin([{base, ['-std=' desc.PK_STD{1}]}, desc.PK_NUMERIC_FLAGS], ' '));
flags = {};
if isempty(before)
    restore = @() unsetenv('CXXFLAGS');
else
    restore = @() setenv('CXXFLAGS', before);
end
end

function flags = matlab_flags(desc)
cc = mex.getCompilerConfigurations('C++', 'Selected');
if isempty(cc)
    error('pairkernels:build:noCompiler', ...
          'No C++ compiler is selected for mex: run "mex -setup C++" first.');
end
if strncmpi(cc.Manufacturer, 'Microsoft', 9)
    error('pairkernels:build:compiler', ...
          ['mex is set up with %s, but the sources need GCC or Clang (vector types, ' ...
           '__builtin_mul_overflow, cpuid.h, inline asm). On Windows install MinGW-w64 ' ...
           '(the add-on "MATLAB Support for MinGW-w64 C/C++ Compiler") and select it with ' ...
           '"mex -setup C++".'], cc.Name);
end
refuse_fast_math(cc.Details.CompilerFlags, desc);
flags = {strjoin([{'CXXFLAGS=$CXXFLAGS', ['-std=' desc.PK_STD{1}]}, desc.PK_NUMERIC_FLAGS], ' ')};
if ~verLessThan('matlab', '9.4')   % R2018a introduced the API choice; R2017b is its old API
    flags = [{'-R2017b'}, flags];
end
end

function refuse_fast_math(configured, desc)
words = strsplit(configured, ' ');
bad = words(ismember(words, desc.PK_REFUSED_FLAGS) | strncmp(words, '-funsafe-math', 13));
if ~isempty(bad)
    error('pairkernels:build:fastMath', ...
          ['The compiler is configured with %s, which changes results; remove it from the ' ...
           'compiler flags first.'], bad{1});
end
end

function [removed, started] = remove_previous(name, out)
started = now;
if exist(name) == 3 %#ok<EXIST>
    clear(name);
end
removed = true;
if exist(out, 'file')
    delete(out);
    removed = ~exist(out, 'file');
end
end

function ok = was_written(out, removed, started)
info = dir(out);
ok = numel(info) == 1 && (removed || info.datenum >= started - 2 / 86400);
end

% The help block of a help file: its leading % lines, without the %. A blank line ends it, before
% the file's %! tests.
function text = help_text(file)
lines = regexp(fileread(file), '\r?\n', 'split');
text = '';
for k = 1:numel(lines)
    if ~strncmp(lines{k}, '%', 1)
        break
    end
    text = [text lines{k}(2:end) sprintf('\n')]; %#ok<AGROW>
end
end

% Writes <name>.help.inc (the help text as a C++ string literal) and <name>-oct.cpp (which names
% it and includes the module's source) into STAGE; returns the latter.
function wrapper = stage_native(stage, root, desc, src, name, text, is_version)
% A staged source that names the module and the file of its docstring, and includes the
% installer (or, for pairkernels_version, its own source): a quoted define would not survive
% mkoctfile's shell.
fid = fopen(fullfile(stage, [name '.help.inc']), 'w');
fprintf(fid, 'R"pkhelp(%s)pkhelp"\n', text);
fclose(fid);
wrapper = fullfile(stage, [name '-oct.cpp']);
fid = fopen(wrapper, 'w');
if is_version
    fprintf(fid, '#define PK_HELP_TEXT "%s.help.inc"\n#include "%s"\n', name, ...
            strrep(src, '\', '/'));
else
    installer = fullfile(root, desc.PK_OCTAVE_INSTALLER_SOURCE{1});
    fprintf(fid, '#define PK_MODULE %s\n#define PK_HELP_TEXT "%s.help.inc"\n#include "%s"\n', ...
            name, name, strrep(installer, '\', '/'));
end
fclose(fid);
end

function remove_stage(stage)
if exist(stage, 'dir')
    confirm_recursive_rmdir(false, 'local');
    rmdir(stage, 's');
end
end

function copy_help(help_src, outdir, name)
help_dst = fullfile(outdir, [name '.m']);
if exist(help_src, 'file') && ~strcmp(help_src, help_dst)
    copyfile(help_src, help_dst);
end
end

% The release, from the project's CMakeLists.txt.
function v = project_version(root)
t = regexp(fileread(fullfile(root, 'CMakeLists.txt')), ...
           'project\(pairkernels VERSION ([0-9.]+)', 'tokens', 'once');
v = t{1};
end

% pairkernels_demo, pairkernels_reference, Contents.m and functionSignatures.json of the
% modules built (NAMES), for PROFILE, from tools/toolbox_files.m.
function write_toolbox(root, outdir, profile, names)
for file = {'pairkernels_demo.m', 'pairkernels_reference.m'}
    source = fullfile(root, 'toolbox', file{1});
    if ~strcmp(source, fullfile(outdir, file{1}))
        copyfile(source, outdir);
    end
end
tools = fullfile(root, 'tools');
addpath(tools);
restore = onCleanup(@() rmpath(tools)); %#ok<NASGU>
toolbox_files(root, outdir, profile, {'Contents.m', 'functionSignatures.json'}, names);
end
