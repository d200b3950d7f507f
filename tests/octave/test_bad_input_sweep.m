## Every module called with every kind of bad argument: each call must raise an error with a
## pairkernels:<module>: identifier, and Octave must still be running afterwards (a crash would
## end the suite here).

%!function check (name, want, args)
%!  id = pk_error_id (str2func (name), args{:});
%!  if (! strcmp (id, ["pairkernels:" name ":" want]))
%!    error ("%s: expected pairkernels:%s:%s, got '%s'", name, name, want, id);
%!  endif
%!endfunction

%!test
%! global PAIRKERNELS_PROFILE
%! bad_arrays = {int32([1 2 3]), single([1 2 3]), "abc", true(1, 3), {1, 2, 3}, ...
%!               struct("a", {1, 2, 3}), uint8([1 2 3]), @sin};
%! calls = 0;
%! for e = pk_under_test ()
%!   P = numel (e.args);
%!   good = pk_valid_args (e, 3, 2, 2);  # r = N-1: the scatter form reads all N*N*K
%!   ## too few arguments, every count below P
%!   for n = 0:P-1
%!     check (e.name, "nargin", good(1:n));  calls++;
%!   endfor
%!   for p = 1:P
%!     args = good;
%!     if (e.kinds(p) == "a")
%!       ## wrong classes and sparse
%!       for b = bad_arrays
%!         args{p} = b{1};
%!         check (e.name, "notDouble", args);  calls++;
%!       endfor
%!       args{p} = sparse (reshape (good{p}, [], 1) + 1);
%!       check (e.name, "sparse", args);  calls++;
%!       ## one element short
%!       args{p} = good{p}(1:end-1);
%!       check (e.name, "tooShort", args);  calls++;
%!     else
%!       for b = {"3", {3}, [], [3 3], sparse(3), struct("a", 3)}
%!         args{p} = b{1};
%!         check (e.name, "notScalar", args);  calls++;
%!       endfor
%!     endif
%!   endfor
%!   ## result dimensions beyond int32 (positive sizes, with arrays small enough to pass)
%!   for NK = [46341 1; 65536 1; 1 46341]'
%!     args = pk_valid_args (e, 0, 0, 0);
%!     lengths = cellfun (@(f) f (NK(1), NK(2)), e.len);
%!     dims = e.shape (NK(1), NK(2));
%!     if (all (lengths <= 1e5) && any (dims > 2147483647))
%!       args = pk_valid_args (e, NK(1), NK(2), 0);
%!       check (e.name, "tooLarge", args);  calls++;
%!     endif
%!   endfor
%!   ## negative, NaN and infinite sizes: arrays need nothing, the result's shape decides
%!   for N = {-3, -46341, NaN, Inf, -1e300}
%!     for K = [1 3]
%!       args = pk_valid_args (e, 0, K, 0);
%!       args{1} = N{1};
%!       n = fix (N{1});
%!       if (! isfinite (n) || abs (n) > 2147483647)
%!         n = -2147483648;
%!       endif
%!       dims = e.shape (n, K);
%!       want = "";
%!       for d = dims
%!         if (isempty (want) && d < 0)
%!           want = "negativeSize";
%!         elseif (isempty (want) && d > 2147483647)
%!           want = "tooLarge";
%!         endif
%!       endfor
%!       if (isempty (want))
%!         assert (pk_same_bits (feval (e.name, args{:}), zeros (dims)));
%!       else
%!         check (e.name, want, args);
%!       endif
%!       calls++;
%!     endfor
%!   endfor
%! endfor
%! assert (calls > numel (pk_under_test ()) * 20);
%! ## still alive, and the modules still work after all those errors
%! assert (pk_same_bits (item_net_balance (2, [1 3; 2 4]), [-1; 1]));
