## C = PK_CATALOG (PROFILE)
## Every module's calling convention as data, as built in PROFILE ("linux", "windows", "macos"),
## read from the module table kernels/modules.txt: C(k).name, C(k).args (names by position),
## C(k).kinds ("s" size, "r" real scalar, "a" array), C(k).len (function of N, K giving each
## argument's required length; 0 for scalars) and C(k).shape (function of N, K giving
## [rows, cols]); C(k).profiled is true for a module whose form differs between profiles (its
## table lines name profiles, not "all").
function c = pk_catalog (profile)
  root = fileparts (fileparts (fileparts (mfilename ("fullpath"))));
  addpath (fullfile (root, "tools"));
  c = struct ("name", {}, "args", {}, "kinds", {}, "len", {}, "shape", {}, "profiled", {});
  for m = module_table (root, profile)
    kinds = "";  len = {};
    for a = m.kinds
      switch (a{1})
        case "size", kinds(end+1) = "s"; len{end+1} = @(N, K) 0;
        case "real", kinds(end+1) = "r"; len{end+1} = @(N, K) 0;
        otherwise,   kinds(end+1) = "a"; len{end+1} = str2func (["@(N, K) " a{1}]);
      endswitch
    endfor
    shape = str2func (sprintf ("@(N, K) [%s, %s]", m.rows, m.cols));
    c(end+1) = struct ("name", m.name, "args", {m.args}, "kinds", kinds, "len", {len},
                       "shape", shape, "profiled", m.profiled);
  endfor
endfunction
