%item_pair_scatter  Scatter matrix of one item's pairs (windows, macos); difference tensor (linux).
%
%   S = item_pair_scatter(N, K, r, W)     windows and macos builds: scatter form
%   E = item_pair_scatter(N)              linux build: difference-tensor form
%
%   The platform builds differ in what this module computes; each build has one form only.
%   The linux build reads its first argument alone and ignores any others; the windows and
%   macos builds need all four.
%
%   Scatter form (windows and macos builds): S is the sum over items i = 1 ... N of w*w', with
%   w the vector of the pair (i, r+1), column (i-1)*N + r + 1 of W read as K-by-N*N. This is
%   the matrix that pair_scatter_reciprocal forms for item r+1 before taking reciprocals. Each
%   element is summed over i in ascending order from +0 with every product rounded before it
%   is added, so S is symmetric bit for bit.
%     N  item count, numeric scalar
%     K  width of a pair vector, numeric scalar
%     r  ZERO-BASED index of the item, numeric scalar in 0 ... N-1 (r = 0 is the first item);
%        not checked when N <= 0 or K <= 0
%     W  pair vectors, K-by-N*N, as pair_difference_vectors returns them (at least
%        ((N-1)*N + r + 1)*K doubles are read)
%     S  K-by-K double matrix (zeros when N <= 0)
%
%   Difference-tensor form (linux build): column i of E, cut into N blocks of N rows, holds in
%   block j (rows (j-1)*N+1 ... j*N) the vector e_i - e_j, the unit vector of item i minus the
%   unit vector of item j.
%     N  item count, numeric scalar
%     E  N*N-by-N double matrix
%
%   Errors, scatter form (windows and macos builds):
%     pairkernels:item_pair_scatter:nargin        fewer than 4 arguments
%     pairkernels:item_pair_scatter:nargout       more than one output requested
%     pairkernels:item_pair_scatter:notScalar     N, K or r is not a numeric scalar
%     pairkernels:item_pair_scatter:outOfRange    r is outside 0 ... N-1 (N > 0 and K > 0)
%     pairkernels:item_pair_scatter:notDouble     W is not a double array
%     pairkernels:item_pair_scatter:sparse        W is sparse
%     pairkernels:item_pair_scatter:tooShort      W holds fewer than ((N-1)*N + r + 1)*K
%                                                 elements
%     pairkernels:item_pair_scatter:negativeSize  K is negative
%   Errors, difference-tensor form (linux build):
%     pairkernels:item_pair_scatter:nargin        no argument
%     pairkernels:item_pair_scatter:nargout       more than one output requested
%     pairkernels:item_pair_scatter:notScalar     N is not a numeric scalar
%     pairkernels:item_pair_scatter:negativeSize  N is negative
%     pairkernels:item_pair_scatter:tooLarge      N*N exceeds 2147483647
%
%   Sizes and r are truncated toward zero; a complex W is read through its real part.
%
%   Results are the same bits on every platform and in every build, with one exception: where
%   a result is NaN, it is NaN at the same position, but its sign and payload may differ.
%
%   Example (windows and macos builds):
%     W = pair_difference_vectors(2, 2, [1 4; 2 8]);
%     S = item_pair_scatter(2, 2, 1, W)
%     % S = [9 18; 18 36]
%
%   Example (linux build):
%     E = item_pair_scatter(2)
%     % E = [0 -1; 0 1; 1 0; -1 0]
%
%   See also pair_scatter_reciprocal, pair_difference_operator.

%!function same (actual, expected)
%!  ## the same class, shape and bits, with NaN at the same places (of any sign and payload)
%!  assert (class (actual), "double");
%!  assert (size (actual), size (expected));
%!  holes = isnan (expected);
%!  assert (isnan (actual), holes);
%!  assert (typecast (actual(! holes), "uint64"), typecast (expected(! holes), "uint64"));
%!endfunction

%!function x = awkward (n, seed)
%!  ## n values of many magnitudes, with NaN, Inf, -Inf, -0 and a subnormal among them
%!  k = (1:n)' + seed;
%!  x = tan (k * 0.77) .* 10 .^ mod (k, 5);
%!  x(mod (k, 19) == 0) = NaN;
%!  x(mod (k, 23) == 0) = Inf;
%!  x(mod (k, 29) == 0) = -Inf;
%!  x(mod (k, 17) == 0) = -0;
%!  x(mod (k, 31) == 0) = 5e-324;
%!endfunction

%!function fails_with (mnemonic, varargin)
%!  try
%!    item_pair_scatter (varargin{:});
%!  catch err
%!    assert (err.identifier, ["pairkernels:item_pair_scatter:" mnemonic]);
%!    return;
%!  end_try_catch
%!  error ("item_pair_scatter raised no error, expected %s", mnemonic);
%!endfunction

%!testif ; strcmp (pairkernels_version ().profile, "linux")
%! ## difference-tensor form
%! same (item_pair_scatter (2), [0 -1; 0 1; 1 0; -1 0]);
%! for n = [0 1 3 4 7]
%!   same (item_pair_scatter (n), pairkernels_reference ("item_pair_scatter", n));
%! endfor
%! same (item_pair_scatter (2, "ignored", {}), [0 -1; 0 1; 1 0; -1 0]);
%! fails_with ("notScalar", [1 2]);
%! fails_with ("negativeSize", -2);
%! fails_with ("tooLarge", 46341);

%!testif ; ! strcmp (pairkernels_version ().profile, "linux")
%! ## scatter form
%! W = pair_difference_vectors (2, 2, [1 4; 2 8]);
%! same (item_pair_scatter (2, 2, 1, W), [9 18; 18 36]);
%! for n = [1 2 3 6 17]
%!   for k = [1 2 3 5]
%!     W = awkward (n*n*k, 5*n + k);
%!     for r = unique ([0, fix(n/2), n-1])
%!       same (item_pair_scatter (n, k, r, reshape (W, k, n*n)),
%!             pairkernels_reference ("item_pair_scatter", n, k, r, W));
%!     endfor
%!   endfor
%! endfor
%! ## r is not checked where nothing is read
%! same (item_pair_scatter (0, 2, 5, []), zeros (2));

%!testif ; ! strcmp (pairkernels_version ().profile, "linux")
%! W = ones (1, 4);
%! fails_with ("nargin", 2, 1, 0);
%! fails_with ("notScalar", 2, 1, [0 1], W);
%! fails_with ("outOfRange", 2, 1, 2, W);
%! fails_with ("outOfRange", 2, 1, -1, W);
%! fails_with ("notDouble", 2, 1, 0, int8 (W));
%! fails_with ("sparse", 2, 1, 0, sparse (W));
%! fails_with ("tooShort", 2, 1, 1, [1 2 3]);
%! fails_with ("negativeSize", 2, -1, 0, []);

%!error id=pairkernels:item_pair_scatter:nargin item_pair_scatter ()
%!error id=pairkernels:item_pair_scatter:nargout [a, b] = item_pair_scatter (1, 1, 0, 1)

%!demo
%! v = pairkernels_version ();
%! if (strcmp (v.profile, "linux"))
%!   E = item_pair_scatter (3)        # column i, block j: e_i - e_j
%! else
%!   W = pair_difference_vectors (3, 2, [0 1 3; 0 10 30]);
%!   S = item_pair_scatter (3, 2, 0, W)   # the scatter of the first item's pairs (r = 0)
%! endif
