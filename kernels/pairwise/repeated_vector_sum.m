%repeated_vector_sum  Elementwise sum of two vectors, formed K times over (calibration work).
%
%   c = repeated_vector_sum(N, K, A, B)
%
%   c(i) = A(i) + B(i) for i = 1 ... N. Each element is cleared and then loaded, added and
%   stored K times, so K sets the amount of work (N*K additions) while the values depend on K
%   only through its sign: K <= 0 leaves every element +0.
%
%   The work can be large: N = 1e6 with K = 2147483647 takes days. The native Octave build
%   (the package's, build/oct) stops such a call at Ctrl-C, between elements; a MEX file
%   (MATLAB, or a MEX build in Octave) cannot be interrupted and runs to the end.
%
%   Arguments:
%     N  length of the vectors, numeric scalar
%     K  repeat count, numeric scalar
%     A  first vector (at least N doubles, any shape)
%     B  second vector (at least N doubles, any shape)
%
%   Result:
%     c  N-by-1 double column
%
%   Errors:
%     pairkernels:repeated_vector_sum:nargin        fewer than 4 arguments
%     pairkernels:repeated_vector_sum:nargout       more than one output requested
%     pairkernels:repeated_vector_sum:notScalar     N or K is not a numeric scalar
%     pairkernels:repeated_vector_sum:notDouble     A or B is not a double array
%     pairkernels:repeated_vector_sum:sparse        A or B is sparse
%     pairkernels:repeated_vector_sum:tooShort      A or B holds fewer than N elements
%     pairkernels:repeated_vector_sum:negativeSize  N is negative
%
%   N and K are truncated toward zero; complex A or B are read through their real parts;
%   further arguments are ignored.
%
%   Results are the same bits on every platform and in every build, with one exception: where
%   a result is NaN, it is NaN at the same position, but its sign and payload may differ.
%
%   Example:
%     c = repeated_vector_sum(3, 1000, [1 2 3], [10 20 30])
%     % c = [11; 22; 33]
%     z = repeated_vector_sum(3, 0, [1 2 3], [10 20 30])
%     % z = [0; 0; 0]

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

%!test
%! same (repeated_vector_sum (3, 1000, [1 2 3], [10 20 30]), [11; 22; 33]);
%! same (repeated_vector_sum (3, 0, [1 2 3], [10 20 30]), [0; 0; 0]);
%! ## one real addition for K >= 1 (Inf - Inf is NaN, -0 + -0 is -0), nothing for K <= 0
%! same (repeated_vector_sum (2, 3, [Inf -0], [-Inf -0]), [NaN; -0]);
%! same (repeated_vector_sum (2, -5, [Inf -0], [-Inf -0]), [0; 0]);
%! same (repeated_vector_sum (0, 10, [], []), zeros (0, 1));

%!test
%! ## K sets the work, not the values
%! for n = [1 2 3 5 8 13 100]
%!   A = awkward (n, n);
%!   B = awkward (n, 3*n);
%!   for k = [1 2 7]
%!     same (repeated_vector_sum (n, k, A, B), A + B);
%!   endfor
%! endfor

%!error id=pairkernels:repeated_vector_sum:nargin repeated_vector_sum (1, 1, 1)
%!error id=pairkernels:repeated_vector_sum:nargout [a, b] = repeated_vector_sum (1, 1, 1, 1)
%!error id=pairkernels:repeated_vector_sum:notScalar repeated_vector_sum (1, [], 1, 1)
%!error id=pairkernels:repeated_vector_sum:notDouble repeated_vector_sum (1, 1, 1, "b")
%!error id=pairkernels:repeated_vector_sum:sparse repeated_vector_sum (1, 1, sparse (1), 1)
%!error id=pairkernels:repeated_vector_sum:tooShort repeated_vector_sum (3, 1, [1 2 3], [1 2])
%!error id=pairkernels:repeated_vector_sum:negativeSize repeated_vector_sum (-2, 1, [], [])

%!demo
%! ## the same values for any K >= 1; the time grows with K
%! tic; c = repeated_vector_sum (1e5, 10, ones (1e5, 1), ones (1e5, 1)); t10 = toc
%! tic; c = repeated_vector_sum (1e5, 1000, ones (1e5, 1), ones (1e5, 1)); t1000 = toc
%! c(1:3)
