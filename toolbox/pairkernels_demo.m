function ok = pairkernels_demo(moddir)
%pairkernels_demo  One pass of a pair-model fit through the modules, each stage checked and timed.
%
%   pairkernels_demo
%   pairkernels_demo(MODDIR)
%   ok = pairkernels_demo(...)
%
%   Runs one pass of a pair-model fit over N = 200 items with K = 3 features through six
%   modules (pair_difference_vectors, pair_scatter_reciprocal, transformed_pair_vector_sum,
%   pair_residual, item_closed_form_update, pair_matrix_step), times each stage against a plain
%   MATLAB/Octave computation of the same quantity, which adds its terms in the modules' order,
%   and says whether the two agree bit for bit (NaN at the same positions; the sign and payload
%   of a NaN are not reproducible). Then it calls every module once on a small example, in the
%   form of this build's profile (pairkernels_version), and shows one error.
%
%   MODDIR, if given, is added to the path first (a folder of built modules); without it the
%   modules are those on the path, or else those beside the demo itself. OK is true when every
%   stage agreed.
%
%   Example:
%     pairkernels_demo
%
%   See also pairkernels_version, pair_difference_vectors, pair_residual.

if nargin >= 1
    addpath(moddir);
elseif isempty(which('pair_residual'))
    % Not on the path yet: the modules of a build folder lie beside the demo.
    addpath(fileparts(mfilename('fullpath')));
end
info = pairkernels_version();

N = 200;      % items
K = 3;        % features per item
t = 0.5;      % step and penalty parameter
if exist('OCTAVE_VERSION', 'builtin') ~= 0
    randn('twister', 7); %#ok<RAND>
else
    rng(7, 'twister');
end
% Item features, one column per item: a common score per item plus feature noise.
X = repmat(randn(1, N), K, 1) + 0.3 * randn(K, N);
truth = randn(K, N);
Dtrue = plain_differences(X);
P = squeeze(sum(Dtrue .* reshape(truth, K, N, 1), 1)) + 0.01 * randn(N, N);  % pair values
Q = zeros(N, N);                                  % dual pair values
q = zeros(N, 1);                                  % item offsets
d = randn(N, 1) * 0.1;                            % per-item data of the update

fprintf('pairkernels %s demo (modules from %s: %s profile, %s, %s kernels)\n\n', ...
        info.version, fileparts(which('pair_residual')), info.profile, info.host, info.simd);
fprintf(['One pass of a pair-model fit over N = %d items with K = %d features ' ...
         '(%d ordered pairs).\n'], N, K, N * N);
fprintf('Times in ms: the module (best of 3) and the plain computation beside it.\n\n');
fprintf('%-26s %-30s %-11s %9s %9s  %s\n', 'stage', 'module', 'result', 'module', 'plain', ...
        'agreement');
fprintf('%s\n', repmat('-', 1, 108));
agreed = true(1, 6);

[W, tm] = timed(@() pair_difference_vectors(N, K, X));
t0 = tic; Wref = plain_differences(X); to = toc(t0);
agreed(1) = row('pair difference vectors', 'pair_difference_vectors', W, Wref(:), tm, to);

[M, tm] = timed(@() pair_scatter_reciprocal(N, K, W));
t0 = tic; Mref = plain_scatter_reciprocal(Wref); to = toc(t0);
agreed(2) = row('scatter reciprocals', 'pair_scatter_reciprocal', M, Mref(:), tm, to);

[C, tm] = timed(@() transformed_pair_vector_sum(N, K, t, P, Q, q, W, M));
t0 = tic; Cref = plain_transformed_sum(t, P, Q, q, Wref, reshape(Mref, K, K, N)); to = toc(t0);
agreed(3) = row('transformed pair sums', 'transformed_pair_vector_sum', C, Cref(:), tm, to);
C = reshape(C, K, N);                             % per-item coefficients

[R, tm] = timed(@() pair_residual(N, P, q, W, C, K));
t0 = tic; Rref = plain_residual(P, q, Wref, Cref); to = toc(t0);
agreed(4) = row('pair residuals', 'pair_residual', R, Rref(:), tm, to);
R = reshape(R, N, N);

[qn, tm] = timed(@() item_closed_form_update(N, K, t, R, Q, W, q, d, C));
t0 = tic; qref = plain_update(t, Rref, Q, Wref, q, d, Cref); to = toc(t0);
agreed(5) = row('closed-form update', 'item_closed_form_update', qn, qref, tm, to);

[Pn, tm] = timed(@() pair_matrix_step(N, t, P, R));
t0 = tic; Pref = t * Rref + P; to = toc(t0);
agreed(6) = row('pair-matrix step', 'pair_matrix_step', Pn, Pref(:), tm, to);

fprintf(['\nsame bits: every element of the module''s result has the bit pattern of the plain ' ...
         'computation,\nwhich adds its terms in the modules'' order (a NaN matches any NaN).\n']);

every_module_once(info.profile);
if nargout > 0
    ok = all(agreed);
end
end

% ---- helpers -----------------------------------------------------------------------------------

% Prints one stage; true when the module's result agrees with the plain computation: the same
% bit pattern in every element, any NaN matching any NaN.
function same = row(stage, call, value, expected, t_module, t_plain)
a = value(:);
e = expected(:);
same = isequal(size(value), size(expected)) && ...
       all(typecast(a, 'uint64') == typecast(e, 'uint64') | (isnan(a) & isnan(e)));
if same
    text = 'same bits';
elseif ~isequal(size(value), size(expected))
    text = sprintf('shape %s vs %s', mat2str(size(value)), mat2str(size(expected)));
else
    text = sprintf('max abs diff %.3g', max(abs(a - e)));
end
fprintf('%-26s %-30s %-11s %9.3f %9.3f  %s\n', stage, call, ...
        sprintf('%dx%d', size(value, 1), size(value, 2)), 1e3 * t_module, 1e3 * t_plain, text);
end

% Module call timed: the best of a few runs, so that first-call loading does not count.
function [value, t] = timed(f)
t = Inf;
for rep = 1:3
    t0 = tic;
    value = f();
    t = min(t, toc(t0));
end
end

% ---- plain versions of the stages, in the modules' order of operations ----------------------
% Pair vectors as a K-by-N-by-N array: (:, b, a) is the vector of the pair (a, b).

function D = plain_differences(X)
[K, N] = size(X);
D = reshape(X, K, 1, N) - reshape(X, K, N, 1);
end

% Block i: 1 ./ (sum over partners j of p*p'), p the vector of the pair (j, i), j ascending.
function M = plain_scatter_reciprocal(D)
K = size(D, 1);
N = size(D, 2);
S = zeros(K, K, N);
for j = 1:N
    Pj = D(:, :, j);                                   % column i: the vector of the pair (j, i)
    S = S + reshape(Pj, K, 1, N) .* reshape(Pj, 1, K, N);
end
M = 1 ./ S;
end

% Item i: M_i * sum over j of h(i, j) * (vector of the pair (j, i)), every sum in ascending order.
function C = plain_transformed_sum(t, A, B, v, D, M)
K = size(D, 1);
N = size(D, 2);
H = ((1 / t) * A + B) - (v(:) - v(:).');
s = zeros(K, N);
for j = 1:N
    s = H(:, j).' .* D(:, :, j) + s;
end
C = zeros(K, N);
for l = 1:K
    C = C + s(l, :) .* squeeze(M(:, l, :));
end
end

% Pair (i, j) in row j, column i: P - ((W(i, j) . X(j) + q(j)) - q(i)).
function R = plain_residual(P, q, D, X)
K = size(D, 1);
N = size(D, 2);
s = zeros(N, N);
for k = 1:K
    s = s + squeeze(D(k, :, :)) .* X(k, :).';
end
R = P - ((s + q(:)) - q(:).');
end

function y = plain_update(t, U, V, D, x, d, Z)
K = size(D, 1);
N = size(D, 2);
[cu, ru, cv, rv, p, q, e] = deal(zeros(N, 1));
for j = 1:N
    cu = cu + U(j, :).';  ru = ru + U(:, j);
    cv = cv + V(j, :).';  rv = rv + V(:, j);
    for k = 1:K
        p = p + squeeze(D(k, j, :)) * Z(k, j);         % pairs (i, j) with item j
        q = q + squeeze(D(k, :, j)).' .* Z(k, :).';    % pairs (j, i) with item i
    end
    others = repmat(x(j), N, 1);
    others(j) = 0;
    e = e + others;
end
g = 1 / ((2 * N * t + 1) - t * 2);
y = ((d(:) + ru - cu) + t * ((((2 * e + rv) - cv) - q) + p)) * g;
end

% ---- every module once ----------------------------------------------------------------------

function show(label, value)
fprintf('%-44s %s\n', label, strtrim(sprintf('%.6g ', value)));
end

function every_module_once(profile)
fprintf('\nEvery module once (results as rows; `help <module>` explains each):\n\n');
A = [0 1e16 0; 1e16 0 0; 1 0 0];
show('item_net_balance(2, [1 3; 2 4])', item_net_balance(2, [1 3; 2 4]));
show('item_net_balance(3, A) alternating', item_net_balance(3, A));
try
    item_net_balance(3, [1 2 3]);
catch err
    fprintf('%-44s %s\n', 'item_net_balance(3, [1 2 3])', [err.identifier ': ' err.message]);
end

X2 = [1 4; 2 8];                                   % two items with two features
show('pair_difference_blocks(2, 2, X2)', pair_difference_blocks(2, 2, X2));
show('item_squared_norms(2, 3, X)', item_squared_norms(2, 3, [1 2 2 3 4 0]));
show('repeated_vector_sum(2, 1000, A, B)', repeated_vector_sum(2, 1000, [1 2], [10 20]));
D2 = pair_difference_vectors(2, 2, X2);
show('D2 = pair_difference_vectors(2, 2, X2)', D2);
show('pair_scatter_reciprocal(2, 2, D2)', pair_scatter_reciprocal(2, 2, D2));
% The linux build takes N alone and returns the difference tensor; the windows and macos builds
% take N, K, r, W for the scatter of item r's pairs.
if strcmp(profile, 'linux')
    show('item_pair_scatter(2) tensor', item_pair_scatter(2));
else
    show('item_pair_scatter(2, 2, 1, D2) scatter', item_pair_scatter(2, 2, 1, D2));
end
show('item_closed_form_update(2, 1, 0.5, ...)', ...
     item_closed_form_update(2, 1, 0.5, [0 1; 2 0], zeros(2), [1 2 3 4], [1 2], [0 0], [1 1]));
show('pair_difference_operator(2)', pair_difference_operator(2));
show('transformed_pair_vector_sum(2, 2, 2, ...)', ...
     transformed_pair_vector_sum(2, 2, 2, [2 4; 6 8], [0 1; 1 0], [1 3], D2, [1 0 0 1 2 0 0 2]));
show('pair_inner_product_residual(2, ...)', ...
     pair_inner_product_residual(2, [10 30; 20 40], [1 1 1 1], [3 5], 1));
% The windows build clamps at -m, its eighth argument; the others clamp at 0 and take seven.
gap = {2, 1, [1 3; 2 40], [1 2], [1 1 1 1], [3 5], 1};
if strcmp(profile, 'windows')
    show('clamped_pair_model_gap(2, 1, ..., m = 0.5)', clamped_pair_model_gap(gap{:}, 0.5));
else
    show('clamped_pair_model_gap(2, 1, ...)', clamped_pair_model_gap(gap{:}));
end
show('pair_residual(2, ...)', pair_residual(2, [10 30; 20 40], [1 2], [1 1 1 1], [3 5], 1));
show('pair_matrix_step(2, 0.5, P, Q)', pair_matrix_step(2, 0.5, [1 2; 3 4], [2 2; 2 2]));
end

%!test
%! ## every stage of the pipeline agrees with its plain computation, bit for bit
%! shown = evalc ("ok = pairkernels_demo ();");
%! assert (ok);
%! assert (numel (strfind (shown, "same bits")), 7);
%! assert (isempty (strfind (shown, "max abs diff")));
%! ## and every module was called once
%! assert (! isempty (strfind (shown, "pair_matrix_step(2, 0.5, P, Q)")));
