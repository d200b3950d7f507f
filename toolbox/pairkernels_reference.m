function R = pairkernels_reference(module, varargin)
%pairkernels_reference  A module's result from plain loops in its defined order of operations.
%
%   R = pairkernels_reference(MODULE, ARG1, ARG2, ...)
%
%   Returns what the module named MODULE returns for the arguments ARG1, ARG2, ..., exactly the
%   module's own (the same count, positions and meaning), computed with plain loops that follow
%   the order of operations the module defines: every sum is one accumulator that starts at +0
%   and adds its terms in ascending index order, every product is rounded before it is added,
%   and every expression is evaluated as its help text writes it. Scalar arithmetic in MATLAB
%   and Octave does exactly that, so a module's result and this one agree bit for bit (where a
%   result is NaN, its sign and payload may differ); sum and matrix products (A * x) may add in
%   another order and differ in the last bits.
%
%   Use it to check a result of a module against its definition, or to see how an element is
%   formed: each module's computation is a short function in this file. It is slow (plain
%   loops, one operation at a time): keep N small, a few dozen items.
%
%   Sizes are converted as the modules convert them: truncated toward zero; NaN, Inf, -Inf and
%   values outside -2147483648 ... 2147483647 become -2147483648. Arrays are read by linear
%   index, in any shape, through their real parts. Both forms of the modules whose form differs
%   between platform builds are here, whichever build is on the path, chosen by the argument
%   count: item_pair_scatter(N) is the difference tensor (linux build), item_pair_scatter(N, K,
%   r, W) the scatter (windows and macos builds); clamped_pair_model_gap with seven arguments
%   clamps at +0 (linux and macos builds), with eight at -m (windows build).
%
%   The arguments are not checked as the modules check them: give it a call that the module
%   accepts. A wrong count of arguments, a result with a negative dimension or beyond the
%   modules' limits, and an item index r outside 0 ... N-1 are refused with the module's
%   mnemonic (pairkernels_reference:nargin, :negativeSize, :tooLarge, :outOfRange); an unknown
%   module with pairkernels_reference:unknownModule.
%
%   Example:
%     X = [1 2 3];
%     W = pair_difference_vectors(3, 1, X);
%     P = magic(3);
%     q = [0.5 0 -0.5];
%     R = pair_residual(3, P, q, W, X, 1);
%     E = pairkernels_reference('pair_residual', 3, P, q, W, X, 1);
%     same = all(typecast(R, 'uint64') == typecast(E, 'uint64') | (isnan(R) & isnan(E)))
%     % same = true
%
%   See also pairkernels_demo, pairkernels_version, pair_residual.

% Each module's computation is the local function plain_<module>, found by its name; adding a
% module takes its function here and nothing else.
if isa(module, 'string')
    module = char(module);
end
if ~ischar(module)
    error('pairkernels_reference:unknownModule', 'MODULE must be the name of a module.');
end
handle = str2func(['plain_' module]);
found = functions(handle);
if ~strcmp(found.type, 'scopedfunction')
    error('pairkernels_reference:unknownModule', 'No module is named %s.', module);
end
declared = nargin(handle);
if declared >= 0 && numel(varargin) ~= declared
    error('pairkernels_reference:nargin', '%s takes %d arguments, got %d.', module, ...
          declared, numel(varargin));
end
for p = 1:numel(varargin)
    if isnumeric(varargin{p}) || islogical(varargin{p})
        varargin{p} = real(double(varargin{p}));
    end
end
R = handle(varargin{:});
end

% ---- what the modules share ----------------------------------------------------------------

% A size argument as the modules convert it.
function n = to_size(v)
n = fix(v);
if ~(n >= -2147483648 && n <= 2147483647)
    n = -2147483648;
end
end

% The zero-filled result, refused where the module refuses it.
function R = result(module, rows, cols)
if rows < 0 || cols < 0
    error('pairkernels_reference:negativeSize', ...
          '%s: the result would be %.0f-by-%.0f; a dimension cannot be negative.', ...
          module, rows, cols);
end
if rows > 2147483647 || cols > 2147483647 || rows * cols > 2^45
    error('pairkernels_reference:tooLarge', ...
          '%s: the result would be %.0f-by-%.0f, beyond what the modules support.', ...
          module, rows, cols);
end
R = zeros(rows, cols);
end

% Of the modules whose form depends on the build: the arguments of the form with COUNT of them.
function form(module, args, counts)
if ~any(numel(args) == counts)
    error('pairkernels_reference:nargin', '%s takes %s arguments, got %d.', module, ...
          strjoin(arrayfun(@num2str, counts, 'UniformOutput', false), ' or '), numel(args));
end
end

% ---- one function per module ---------------------------------------------------------------
% Positions are 0-based in the loops (i, j items, k a component), as in the modules' tables:
% pair (i, j) is element i*n + j + 1 of a pair matrix, its vector elements (i*n + j)*K + 1 ...
% (i*n + j + 1)*K of the pair vectors; item i's vector elements i*K + 1 ... (i + 1)*K.

% Row i*n + j holds X(:, j) - X(:, i) in item j's column block.
function R = plain_pair_difference_blocks(N, K, X)
n = to_size(N);
k = to_size(K);
R = result('pair_difference_blocks', n * n, n * k);
for i = 0:n - 1
    for j = 0:n - 1
        for c = 0:k - 1
            R(i * n + j + 1, j * k + c + 1) = X(j * k + c + 1) - X(i * k + c + 1);
        end
    end
end
end

function q = plain_item_squared_norms(N, K, X)
n = to_size(N);
k = to_size(K);
q = result('item_squared_norms', n, 1);
for i = 0:n - 1
    s = 0;
    for c = 0:k - 1
        s = s + X(i * k + c + 1) * X(i * k + c + 1);
    end
    q(i + 1) = s;
end
end

% The module forms each sum K times over; every time gives the value of the first.
function c = plain_repeated_vector_sum(N, K, A, B)
n = to_size(N);
c = result('repeated_vector_sum', n, 1);
if to_size(K) >= 1
    for i = 1:n
        c(i) = A(i) + B(i);
    end
end
end

function D = plain_pair_difference_vectors(N, K, X)
n = to_size(N);
k = to_size(K);
D = result('pair_difference_vectors', n * n * k, 1);
for i = 0:n - 1
    for j = 0:n - 1
        for c = 0:k - 1
            D((i * n + j) * k + c + 1) = X(i * k + c + 1) - X(j * k + c + 1);
        end
    end
end
end

% Item i's block, element (a, b): 1 / (the sum over j of p(a) * p(b)), p the pair (j, i).
function R = plain_pair_scatter_reciprocal(N, K, P)
n = to_size(N);
k = to_size(K);
R = result('pair_scatter_reciprocal', k * k * n, 1);
% The K*K sums of an item side by side: element (b, a) of S is the sum for (a, b), and each
% elementwise step adds one rounded product to each sum, so every sum still adds its terms in
% ascending j from +0 (Octave's elementwise arithmetic rounds each element on its own).
for i = 0:n - 1
    S = zeros(max(k, 0), max(k, 0));
    for j = 0:n - 1
        p = P((j * n + i) * k + (1:k));
        S = S + p(:) .* p(:).';
    end
    R(i * k * k + (1:k * k)) = 1 ./ S(:);
end
end

% item_pair_scatter(N): column i, block j holds e_i - e_j (block i: +0).
% item_pair_scatter(N, K, r, W): element (a, b) is the sum over i of w(a) * w(b), w the pair
% (i, r).
function S = plain_item_pair_scatter(varargin)
form('item_pair_scatter', varargin, [1 4]);
n = to_size(varargin{1});
if numel(varargin) == 1
    S = result('item_pair_scatter', n * n, n);
    for i = 0:n - 1
        for j = [0:i - 1, i + 1:n - 1]
            S(j * n + i + 1, i + 1) = 1;
            S(j * n + j + 1, i + 1) = -1;
        end
    end
    return
end
[k, r, W] = deal(to_size(varargin{2}), to_size(varargin{3}), varargin{4});
S = result('item_pair_scatter', k, k);
if n > 0 && k > 0 && (r < 0 || r >= n)
    error('pairkernels_reference:outOfRange', 'item_pair_scatter: r = %d is not in 0 ... %d.', ...
          r, n - 1);
end
for a = 0:k - 1
    for b = 0:k - 1
        s = 0;
        for i = 0:n - 1
            s = s + W((i * n + r) * k + a + 1) * W((i * n + r) * k + b + 1);
        end
        S(b + 1, a + 1) = s;
    end
end
end

% Column total minus row total, the terms of both added and subtracted in turn.
function y = plain_item_net_balance(N, A)
n = to_size(N);
y = result('item_net_balance', n, 1);
for i = 0:n - 1
    s = 0;
    for j = 0:n - 1
        s = s + A(i * n + j + 1);
        s = s - A(j * n + i + 1);
    end
    y(i + 1) = s;
end
end

function y = plain_item_closed_form_update(N, K, t, U, V, W, x, d, Z)
n = to_size(N);
k = to_size(K);
y = result('item_closed_form_update', n, 1);
g = 1 / ((2 * n * t + 1) - t * 2);
for i = 0:n - 1
    cu = 0; ru = 0; cv = 0; rv = 0; p = 0; q = 0; e = 0;
    for j = 0:n - 1
        cu = cu + U(i * n + j + 1);
        ru = ru + U(j * n + i + 1);
        cv = cv + V(i * n + j + 1);
        rv = rv + V(j * n + i + 1);
        for c = 0:k - 1
            p = p + W((i * n + j) * k + c + 1) * Z(j * k + c + 1);
            q = q + W((j * n + i) * k + c + 1) * Z(i * k + c + 1);
        end
        if j ~= i
            e = e + x(j + 1);
        end
    end
    y(i + 1) = (((d(i + 1) + ru) - cu) + t * (((((2 * e) + rv) - cv) - q) + p)) * g;
end
end

% Row p + q*n (the pair (p, q)) holds +1 in column q and -1 in column p; row p + p*n is +0.
function D = plain_pair_difference_operator(N)
n = to_size(N);
D = result('pair_difference_operator', n * n, n);
for q = 0:n - 1
    for p = [0:q - 1, q + 1:n - 1]
        D(p + q * n + 1, q + 1) = 1;
        D(p + q * n + 1, p + 1) = -1;
    end
end
end

% Item i: M_i times s, s(c) the sum over j of h(i, j) * w(c), w the pair (j, i), each added
% as h * w + s.
function R = plain_transformed_pair_vector_sum(N, K, t, A, B, v, W, M)
n = to_size(N);
k = to_size(K);
R = result('transformed_pair_vector_sum', n * k, 1);
r = 1 / t;
for i = 0:n - 1
    % The K sums of each stage side by side, one element each: every elementwise step adds one
    % rounded product to each, in ascending j, then ascending l, from +0.
    s = zeros(max(k, 0), 1);
    for j = 0:n - 1
        h = (r * A(j * n + i + 1) + B(j * n + i + 1)) - (v(i + 1) - v(j + 1));
        s = h * reshape(W((j * n + i) * k + (1:k)), [], 1) + s;
    end
    acc = zeros(max(k, 0), 1);
    for l = 0:k - 1
        acc = acc + s(l + 1) * reshape(M(i * k * k + l * k + (1:k)), [], 1);
    end
    R(i * k + (1:k)) = acc;
end
end

function R = plain_pair_inner_product_residual(N, P, W, X, K)
n = to_size(N);
k = to_size(K);
R = result('pair_inner_product_residual', n * n, 1);
for i = 0:n - 1
    for j = 0:n - 1
        s = 0;
        for c = 0:k - 1
            s = s + W((i * n + j) * k + c + 1) * X(j * k + c + 1);
        end
        R(i * n + j + 1) = P(i * n + j + 1) - s;
    end
end
end

% clamped_pair_model_gap(N, t, P, q, W, X, K) clamps at +0, (..., K, m) at -m.
function R = plain_clamped_pair_model_gap(varargin)
form('clamped_pair_model_gap', varargin, [7 8]);
[N, t, P, q, W, X, K] = deal(varargin{1:7});
bound = 0;
if numel(varargin) == 8
    bound = -varargin{8};
end
n = to_size(N);
k = to_size(K);
R = result('clamped_pair_model_gap', n * n, 1);
for i = 0:n - 1
    for j = 0:n - 1
        s = pair_model(W, X, q, n, k, i, j);
        g = s - P(i * n + j + 1) / t;
        if g > bound
            R(i * n + j + 1) = bound;
        else
            R(i * n + j + 1) = g;
        end
    end
end
end

% The pair model of pair (i, j), items counted from 0: one accumulator from +0 adds the K products
% in ascending order, then q(j), then subtracts q(i); shared by pair_residual and
% clamped_pair_model_gap, whose results start from it.
function s = pair_model(W, X, q, n, k, i, j)
s = 0;
for c = 0:k - 1
    s = s + W((i * n + j) * k + c + 1) * X(j * k + c + 1);
end
s = s + q(j + 1);
s = s - q(i + 1);
end

function R = plain_pair_residual(N, P, q, W, X, K)
n = to_size(N);
k = to_size(K);
R = result('pair_residual', n * n, 1);
for i = 0:n - 1
    for j = 0:n - 1
        s = pair_model(W, X, q, n, k, i, j);
        R(i * n + j + 1) = P(i * n + j + 1) - s;
    end
end
end

function R = plain_pair_matrix_step(N, t, P, Q)
n = to_size(N);
R = result('pair_matrix_step', n * n, 1);
for p = 1:max(n, 0)^2
    R(p) = t * Q(p) + P(p);
end
end

%!function same (actual, expected)
%!  ## the same class, shape and bits, with NaN at the same places (of any sign and payload)
%!  assert (class (actual), "double");
%!  assert (size (actual), size (expected));
%!  holes = isnan (expected);
%!  assert (isnan (actual), holes);
%!  assert (typecast (actual(! holes), "uint64"), typecast (expected(! holes), "uint64"));
%!endfunction

%!test
%! ## both forms of the modules whose form depends on the build, whichever build is here
%! W = [0 0 -3 -6 3 6 0 0];
%! same (pairkernels_reference ("item_pair_scatter", 2, 2, 1, W), [9 18; 18 36]);
%! same (pairkernels_reference ("item_pair_scatter", 2), [0 -1; 0 1; 1 0; -1 0]);
%! gap = {2, 1, [1 3; 2 40], [1 2], [1 1 1 1], [3 5], 1};
%! same (pairkernels_reference ("clamped_pair_model_gap", gap{:}), [0; 0; -1; -35]);
%! same (pairkernels_reference ("clamped_pair_model_gap", gap{:}, 0.5), [-0.5; -0.5; -1; -35]);

%!test
%! ## sizes converted as the modules convert them: truncated toward zero, and NaN, Inf or a size
%! ## beyond int32 is -2147483648 (so K = 1e10 reads no W, as K = 0 does); complex read as real
%! P = [10 30; 20 40]; q = [1 2]; W = [1 1 1 1]; X = [3 5];
%! for K = {1.9, -0.5, NaN, Inf, 1e10, -1e10}
%!   same (pairkernels_reference ("pair_residual", 2, P, q, W, X, K{1}),
%!         pair_residual (2, P, q, W, X, K{1}));
%! endfor
%! for N = {2.9, -2.5, int32(2), true}
%!   same (pairkernels_reference ("pair_residual", N{1}, P, q, W, X, 1),
%!         pair_residual (N{1}, P, q, W, X, 1));
%! endfor
%! for K = {2.5, 0.9, NaN, 1e10}
%!   same (pairkernels_reference ("repeated_vector_sum", 2, K{1}, [1 2], [10 20]),
%!         repeated_vector_sum (2, K{1}, [1 2], [10 20]));
%! endfor
%! same (pairkernels_reference ("item_net_balance", 2, complex ([1 3; 2 4], 1)), [-1; 1]);

%!error <No module is named pair_resdual> pairkernels_reference ("pair_resdual", 1)
%!error id=pairkernels_reference:nargin pairkernels_reference ("pair_residual", 2, 1, 1, 1, 1)
%!error id=pairkernels_reference:nargin pairkernels_reference ("item_pair_scatter", 2, 2)
%!error id=pairkernels_reference:negativeSize pairkernels_reference ("item_net_balance", -1, [])
%!error id=pairkernels_reference:outOfRange
%! pairkernels_reference ("item_pair_scatter", 2, 1, 2, 1:4)
