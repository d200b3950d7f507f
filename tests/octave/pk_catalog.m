## C = PK_CATALOG (PROFILE)
## Every module's calling convention as data, as built in PROFILE ("linux", "windows", "macos"),
## read from the module table kernels/modules.txt: C(k).name, C(k).args (names by position),
## C(k).kinds ("s" size, "r" real scalar, "a" array), C(k).len (function of N, K giving each
## argument's required length; 0 for scalars) and C(k).shape (function of N, K giving
## [rows, cols]).
function c = pk_catalog (profile)
  root = fileparts (fileparts (fileparts (mfilename ("fullpath"))));
  lines = strsplit (fileread (fullfile (root, "kernels", "modules.txt")), "\n");
  c = struct ("name", {}, "args", {}, "kinds", {}, "len", {}, "shape", {});
  for k = 1:numel (lines)
    if (isempty (regexp (lines{k}, '^[a-z]', "once")))
      continue;
    endif
    f = strsplit (strtrim (lines{k}));
    profiles = strsplit (f{3}, ",");
    if (! (strcmp (f{3}, "all") || any (strcmp (profiles, profile))))
      continue;
    endif
    args = {};  kinds = "";  len = {};
    for a = f(6:end)
      if (any (a{1} == "="))
        break;                            # the key=value fields after the arguments
      endif
      [name, what] = strtok (a{1}, ":");
      what = what(2:end);
      args{end+1} = name;
      switch (what)
        case "size", kinds(end+1) = "s"; len{end+1} = @(N, K) 0;
        case "real", kinds(end+1) = "r"; len{end+1} = @(N, K) 0;
        otherwise,   kinds(end+1) = "a"; len{end+1} = str2func (["@(N, K) " what]);
      endswitch
    endfor
    shape = str2func (sprintf ("@(N, K) [%s, %s]", f{4}, f{5}));
    c(end+1) = struct ("name", f{1}, "args", {args}, "kinds", kinds, "len", {len},
                       "shape", shape);
  endfor
endfunction
