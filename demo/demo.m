## A short tour of the pairkernels modules in GNU Octave: each call and what it returns.
## Usage: octave-cli demo/demo.m [MODULE_DIR]   (default: build/octave)
1;
args = argv ();
moddir = "build/octave";
if (numel (args) >= 1)
  moddir = args{1};
endif
addpath (moddir);

function show (label, value)
  printf ("%-34s %s\n", label, strtrim (disp (value(:).')));
endfunction

printf ("pairkernels demo (modules from %s)\n\n", moddir);

A = [0 1e16 0; 1e16 0 0; 1 0 0];
show ("item_net_balance(2, [1 3; 2 4])", item_net_balance (2, [1 3; 2 4]));
show ("item_net_balance(3, A) alternating", item_net_balance (3, A));
try
  item_net_balance (3, [1 2 3]);
catch err
  printf ("%-34s %s\n", "item_net_balance(3, [1 2 3])", [err.identifier ": " err.message]);
end_try_catch

show ("pair_difference_blocks(2, 2, X)", pair_difference_blocks (2, 2, [1 2 10 20]));
show ("item_squared_norms(2, 3, X)", item_squared_norms (2, 3, [1 2 2 3 4 0]));
show ("repeated_vector_sum(2, 1000, A, B)", repeated_vector_sum (2, 1000, [1 2], [10 20]));
## The linux build takes N alone and returns the difference tensor; the windows and macos builds
## refuse that call (too few arguments) and take N, K, r, W for the scatter of item r's pairs.
try
  show ("item_pair_scatter(2) tensor", item_pair_scatter (2));
catch
  show ("item_pair_scatter(2, 2, 1, 1:8)", item_pair_scatter (2, 2, 1, 1:8));
end_try_catch
