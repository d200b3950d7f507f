%clamped_pair_model_gap  Linear pair model minus the pair values over t, clamped from above.
%
%   R = clamped_pair_model_gap(N, t, P, q, W, X, K)       linux and macos builds
%   R = clamped_pair_model_gap(N, t, P, q, W, X, K, m)    windows build
%
%   For the pair (i, j), items i and j in 1 ... N, the gap is
%     g = ((W(:, (i-1)*N + j)' * X(:, j) + q(j)) - q(i)) - P(j, i) / t
%   and element (i-1)*N + j of R is the bound where g > bound, g otherwise (a NaN g stays
%   NaN). The bound is +0 in the linux and macos builds; the windows build takes an eighth
%   argument m and clamps at -m. The inner product is summed over the K components in
%   ascending order from +0, each product rounded before it is added; P is divided by t.
%
%   Arguments:
%     N  item count, numeric scalar
%     t  divisor of the pair values, numeric scalar
%     P  N-by-N pair values (at least N*N doubles); pair (i, j) in row j, column i
%     q  item offsets (at least N doubles)
%     W  pair vectors, K-by-N*N (at least N*N*K doubles); column (i-1)*N + j is pair (i, j)
%     X  item vectors, K-by-N (at least N*K doubles); column j is item j
%     K  width of the pair and item vectors, numeric scalar
%     m  windows build only: the bound is -m, numeric scalar
%
%   Result:
%     R  N*N-by-1 double column (N*N zeros for a negative N)
%
%   Errors:
%     pairkernels:clamped_pair_model_gap:nargin     fewer than 7 arguments (8 in the windows
%                                                   build)
%     pairkernels:clamped_pair_model_gap:nargout    more than one output requested
%     pairkernels:clamped_pair_model_gap:notScalar  N, t, K or m is not a numeric scalar
%     pairkernels:clamped_pair_model_gap:notDouble  P, q, W or X is not a double array
%     pairkernels:clamped_pair_model_gap:sparse     P, q, W or X is sparse
%     pairkernels:clamped_pair_model_gap:tooShort   an array holds fewer elements than
%                                                   listed above
%     pairkernels:clamped_pair_model_gap:tooLarge   N*N exceeds 2147483647
%
%   N and K are truncated toward zero; complex arrays are read through their real parts;
%   further arguments are ignored.
%
%   Results are the same bits on every platform and in every build, with one exception: where
%   a result is NaN, it is NaN at the same position, but its sign and payload may differ.
%
%   Example (linux and macos builds):
%     R = clamped_pair_model_gap(2, 1, [1 3; 2 40], [1 2], [1 1 1 1], [3 5], 1)
%     % R = [0; 0; -1; -35]
%
%   Example (windows build):
%     R = clamped_pair_model_gap(2, 1, [1 3; 2 40], [1 2], [1 1 1 1], [3 5], 1, 0.5)
%     % R = [-0.5; -0.5; -1; -35]
%
%   See also pair_residual, pair_inner_product_residual.

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

%!function [R, E] = gap (m, varargin)
%!  ## this build's form (the windows build clamps at -m, the others at +0), and its reference
%!  if (strcmp (pairkernels_version ().profile, "windows"))
%!    varargin{end+1} = m;
%!  endif
%!  R = clamped_pair_model_gap (varargin{:});
%!  E = pairkernels_reference ("clamped_pair_model_gap", varargin{:});
%!endfunction

%!testif ; ! strcmp (pairkernels_version ().profile, "windows")
%! R = clamped_pair_model_gap (2, 1, [1 3; 2 40], [1 2], [1 1 1 1], [3 5], 1);
%! same (R, [0; 0; -1; -35]);
%! ## an eighth argument is ignored here
%! same (clamped_pair_model_gap (2, 1, [1 3; 2 40], [1 2], [1 1 1 1], [3 5], 1, 0.5), R);

%!testif ; strcmp (pairkernels_version ().profile, "windows")
%! R = clamped_pair_model_gap (2, 1, [1 3; 2 40], [1 2], [1 1 1 1], [3 5], 1, 0.5);
%! same (R, [-0.5; -0.5; -1; -35]);
%! try
%!   clamped_pair_model_gap (2, 1, [1 3; 2 40], [1 2], [1 1 1 1], [3 5], 1);
%!   error ("no error raised");
%! catch err
%!   assert (err.identifier, "pairkernels:clamped_pair_model_gap:nargin");
%! end_try_catch

%!test
%! ## a NaN gap stays NaN (NaN > bound is false); then the plain loops, in this build's form
%! assert (isnan (gap (0.5, 1, 1, NaN, 0, 0, 0, 1)));
%! for n = [1 2 3 7 16]
%!   for K = [0 1 2 3 5 8]
%!     for t = [2 -0.5]
%!       s = 10*n + K;
%!       P = awkward (n*n, s); q = awkward (n, s+1); W = awkward (n*n*K, s+2);
%!       X = awkward (n*K, s+3);
%!       [R, E] = gap (1.5, n, t, reshape (P, n, n), q, W, X, K);
%!       same (R, E);
%!     endfor
%!   endfor
%! endfor

%!error id=pairkernels:clamped_pair_model_gap:nargin
%! clamped_pair_model_gap (1, 1, 1, 1, 1, 1)
%!error id=pairkernels:clamped_pair_model_gap:nargout
%! [a, b] = clamped_pair_model_gap (1, 1, 1, 1, 1, 1, 1, 1)
%!error id=pairkernels:clamped_pair_model_gap:notScalar
%! clamped_pair_model_gap (1, [1 2], 1, 1, 1, 1, 1, 1)
%!error id=pairkernels:clamped_pair_model_gap:notDouble
%! clamped_pair_model_gap (1, 1, 1, int16 (1), 1, 1, 1, 1)
%!error id=pairkernels:clamped_pair_model_gap:sparse
%! clamped_pair_model_gap (1, 1, 1, 1, 1, sparse (1), 1, 1)
%!error id=pairkernels:clamped_pair_model_gap:tooShort
%! clamped_pair_model_gap (2, 1, ones (2), [1 2], ones (1, 4), 1, 1, 1)
%!error id=pairkernels:clamped_pair_model_gap:tooLarge
%! clamped_pair_model_gap (-46341, 1, [], [], [], [], 1, 1)

%!demo
%! X = [1 2 3];                     # one feature per item, K = 1
%! W = pair_difference_vectors (3, 1, X);
%! P = [0 1 2; 3 0 1; 1 1 0];
%! if (strcmp (pairkernels_version ().profile, "windows"))
%!   R = clamped_pair_model_gap (3, 2, P, zeros (1, 3), W, X, 1, 0.5);   # clamped at -0.5
%! else
%!   R = clamped_pair_model_gap (3, 2, P, zeros (1, 3), W, X, 1);        # clamped at 0
%! endif
%! reshape (R, 3, 3)
