function lines = module_table(root, profile)
%module_table  The module table (kernels/modules.txt) as data, for the Octave tools and tests.
%
%   T = module_table(ROOT)            every line of ROOT/kernels/modules.txt, in the table's order
%   T = module_table(ROOT, PROFILE)   the lines of the forms built in PROFILE (linux, windows or
%                                     macos): one per module
%
%   Each T(k) has: name, folder, profiles (a cell array: linux, windows, macos), profiled (true
%   where the module's form differs between profiles), rows and cols (formulas in N and K), args
%   (names by position), kinds ('size', 'real' or, for an array, the formula of its length) and
%   keys (a struct of the line's key=value fields: form, bench, octave, reads, stores).
text = fileread(fullfile(root, 'kernels', 'modules.txt'));
rows = regexp(text, '\r?\n', 'split');
lines = struct('name', {}, 'folder', {}, 'profiles', {}, 'profiled', {}, 'rows', {}, ...
               'cols', {}, 'args', {}, 'kinds', {}, 'keys', {});
for k = 1:numel(rows)
    if isempty(regexp(rows{k}, '^[a-z]', 'once'))
        continue
    end
    f = regexp(strtrim(rows{k}), '\s+', 'split');
    profiled = ~strcmp(f{3}, 'all');
    profiles = {'linux', 'windows', 'macos'};
    if profiled
        profiles = regexp(f{3}, ',', 'split');
    end
    if nargin >= 2 && ~any(strcmp(profiles, profile))
        continue
    end
    args = {};
    kinds = {};
    keys = struct();
    for a = f(6:end)
        eq = find(a{1} == '=', 1);
        if ~isempty(eq)
            keys.(a{1}(1:eq - 1)) = a{1}(eq + 1:end);
            continue
        end
        colon = find(a{1} == ':', 1);
        args{end + 1} = a{1}(1:colon - 1); %#ok<AGROW>
        kinds{end + 1} = a{1}(colon + 1:end); %#ok<AGROW>
    end
    lines(end + 1) = struct('name', f{1}, 'folder', f{2}, 'profiles', {profiles}, ...
                            'profiled', profiled, 'rows', f{4}, 'cols', f{5}, ...
                            'args', {args}, 'kinds', {kinds}, 'keys', keys); %#ok<AGROW>
end
end
