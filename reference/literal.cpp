#include "literal.h"

#include <cmath>
#include <stdexcept>
#include <string>

namespace pkliteral {

void pair_difference_blocks(int32_t N, int32_t K, const double *X, double *R) {
    if (N <= 0) return;
    const int64_t n = N, kw = K;
    for (int64_t i = 0; i < n; ++i)
        for (int64_t j = 0; j < n; ++j)
            for (int64_t k = 0; k < kw; ++k)
                R[(j * kw + k) * n * n + i * n + j] = X[j * kw + k] - X[i * kw + k];
}

void item_squared_norms(int32_t N, int32_t K, const double *X, double *Q) {
    if (N <= 0) return;
    const int64_t n = N, kw = K;
    for (int64_t i = 0; i < n; ++i) {
        Q[i] = 0.0;
        for (int64_t k = 0; k < kw; ++k) {
            const double square = X[i * kw + k] * X[i * kw + k];
            Q[i] = Q[i] + square;
        }
    }
}

void repeated_vector_sum(int32_t N, int32_t K, const double *A, const double *B, double *C) {
    if (N <= 0) return;
    const int64_t n = N;
    for (int64_t i = 0; i < n; ++i) {
        C[i] = 0.0;
        for (int32_t rep = 0; rep < K; ++rep) {
            // Each repetition is a real load, add and store; the compiler may not merge them.
            __asm__ __volatile__("" ::: "memory");
            C[i] = A[i] + B[i];
        }
    }
}

void pair_difference_vectors(int32_t N, int32_t K, const double *X, double *D) {
    if (N <= 0) return;
    const int64_t n = N, kw = K;
    for (int64_t i = 0; i < n; ++i)
        for (int64_t j = 0; j < n; ++j)
            for (int64_t k = 0; k < kw; ++k) D[(i * n + j) * kw + k] = X[i * kw + k] - X[j * kw + k];
}

void pair_scatter_reciprocal(int32_t N, int32_t K, const double *P, double *R) {
    if (N <= 0 || K <= 0) return;
    const int64_t n = N, kw = K;
    std::vector<double> S(static_cast<std::size_t>(kw * kw));
    for (int64_t i = 0; i < n; ++i) {
        for (int64_t a = 0; a < kw; ++a)
            for (int64_t b = 0; b < kw; ++b) S[a * kw + b] = 0.0;
        for (int64_t j = 0; j < n; ++j)
            for (int64_t a = 0; a < kw; ++a)
                for (int64_t b = 0; b < kw; ++b) {
                    const double product = P[(j * n + i) * kw + a] * P[(j * n + i) * kw + b];
                    S[a * kw + b] = S[a * kw + b] + product;
                }
        for (int64_t a = 0; a < kw; ++a)
            for (int64_t b = 0; b < kw; ++b) R[i * kw * kw + a * kw + b] = 1.0 / S[a * kw + b];
    }
}

// The scatter form (windows and macos profiles).
void item_pair_scatter(int32_t N, int32_t K, int32_t r, const double *W, double *S) {
    const int64_t n = N, kw = K;
    if (K > 0)
        for (int64_t p = 0; p < kw * kw; ++p) S[p] = 0.0;
    if (N <= 0 || K <= 0) return;
    for (int64_t i = 0; i < n; ++i) {
        const int64_t base = (r + i * n) * kw;
        for (int64_t a = 0; a < kw; ++a)
            for (int64_t b = 0; b < kw; ++b) {
                const double product = W[base + a] * W[base + b];
                S[a * kw + b] = S[a * kw + b] + product;
            }
    }
}

// The difference-tensor form (linux profile).
void item_pair_scatter(int32_t N, double *E) {
    if (N <= 0) return;
    const int64_t n = N;
    for (int64_t p = 0; p < n * n * n; ++p) E[p] = 0.0;
    for (int64_t i = 0; i < n; ++i)
        for (int64_t j = 0; j < n; ++j) {
            E[i * n * n + j * n + i] = 1.0;
            E[i * n * n + j * n + j] = E[i * n * n + j * n + j] - 1.0;
        }
}

void item_net_balance(int32_t N, const double *A, double *y) {
    if (N <= 0) return;
    const int64_t n = N;
    for (int64_t i = 0; i < n; ++i) {
        double s = 0.0;
        for (int64_t j = 0; j < n; ++j) {
            s = s + A[i * n + j];
            s = s - A[j * n + i];
        }
        y[i] = s;
    }
}

void item_closed_form_update(int32_t N, int32_t K, double t, const double *U, const double *V,
                             const double *W, const double *x, const double *d, const double *Z,
                             double *y) {
    if (N <= 0) return;
    const int64_t n = N, kw = K;
    std::vector<double> cu(n), ru(n), cv(n), rv(n), p(n), q(n), e(n);
    for (int64_t i = 0; i < n; ++i) {
        cu[i] = ru[i] = cv[i] = rv[i] = p[i] = q[i] = 0.0;
        for (int64_t j = 0; j < n; ++j) {
            cu[i] = cu[i] + U[i * n + j];
            ru[i] = ru[i] + U[j * n + i];
            cv[i] = cv[i] + V[i * n + j];
            rv[i] = rv[i] + V[j * n + i];
            for (int64_t k = 0; k < kw; ++k) {
                const double pk = W[(i * n + j) * kw + k] * Z[j * kw + k];
                p[i] = p[i] + pk;
                const double qk = W[(j * n + i) * kw + k] * Z[i * kw + k];
                q[i] = q[i] + qk;
            }
        }
    }
    const double two_n = static_cast<double>(2 * N);
    const double g = 1.0 / ((two_n * t + 1.0) - t * 2.0);
    for (int64_t i = 0; i < n; ++i) {
        e[i] = 0.0;
        for (int64_t j = 0; j < n; ++j)
            if (j != i) e[i] = e[i] + x[j];
        const double a = (d[i] + ru[i]) - cu[i];
        const double b = ((((2.0 * e[i]) + rv[i]) - cv[i]) - q[i]) + p[i];
        y[i] = (a + t * b) * g;
    }
}

void pair_difference_operator(int32_t N, double *D) {
    if (N <= 0) return;
    const int64_t n = N;
    for (int64_t i = 0; i < n; ++i)
        for (int64_t j = 0; j < n; ++j) {
            D[i * n * (n + 1) + j] = 1.0;
            D[i * n * n + j * n + i] = D[i * n * n + j * n + i] - 1.0;
        }
}

void transformed_pair_vector_sum(int32_t N, int32_t K, double t, const double *A, const double *B,
                                 const double *v, const double *W, const double *M, double *R) {
    if (N <= 0 || K <= 0) return;
    const int64_t n = N, kw = K;
    std::vector<double> s(static_cast<std::size_t>(kw));
    const double r = 1.0 / t;
    for (int64_t i = 0; i < n; ++i) {
        for (int64_t k = 0; k < kw; ++k) s[k] = 0.0;
        for (int64_t j = 0; j < n; ++j) {
            const double h = (r * A[j * n + i] + B[j * n + i]) - (v[i] - v[j]);
            for (int64_t k = 0; k < kw; ++k) s[k] = h * W[(j * n + i) * kw + k] + s[k];
        }
        for (int64_t k = 0; k < kw; ++k) {
            double sum = 0.0;
            for (int64_t l = 0; l < kw; ++l) sum = sum + s[l] * M[i * kw * kw + l * kw + k];
            R[i * kw + k] = sum;
        }
    }
}

void pair_inner_product_residual(int32_t N, const double *P, const double *W, const double *X,
                                 int32_t K, double *R) {
    if (N <= 0) return;
    const int64_t n = N, kw = K;
    for (int64_t i = 0; i < n; ++i)
        for (int64_t j = 0; j < n; ++j) {
            double s = 0.0;
            for (int64_t k = 0; k < kw; ++k) s = s + W[(i * n + j) * kw + k] * X[j * kw + k];
            R[i * n + j] = P[i * n + j] - s;
        }
}

namespace {

// Both forms of clamped_pair_model_gap, clamping at `bound`.
void clamped_gap(int32_t N, double t, const double *P, const double *q, const double *W,
                 const double *X, int32_t K, double bound, double *R) {
    if (N <= 0) return;
    const int64_t n = N, kw = K;
    for (int64_t i = 0; i < n; ++i)
        for (int64_t j = 0; j < n; ++j) {
            double s = 0.0;
            for (int64_t k = 0; k < kw; ++k) s = s + W[(i * n + j) * kw + k] * X[j * kw + k];
            s = s + q[j];
            s = s - q[i];
            const double g = s - P[i * n + j] / t;
            R[i * n + j] = g > bound ? bound : g;
        }
}

}  // namespace

// The linux and macos form clamps at +0.0.
void clamped_pair_model_gap(int32_t N, double t, const double *P, const double *q, const double *W,
                            const double *X, int32_t K, double *R) {
    clamped_gap(N, t, P, q, W, X, K, 0.0, R);
}

// The windows form clamps at -m.
void clamped_pair_model_gap(int32_t N, double t, const double *P, const double *q, const double *W,
                            const double *X, int32_t K, double m, double *R) {
    clamped_gap(N, t, P, q, W, X, K, -m, R);
}

void pair_residual(int32_t N, const double *P, const double *q, const double *W, const double *X,
                   int32_t K, double *R) {
    if (N <= 0) return;
    const int64_t n = N, kw = K;
    for (int64_t i = 0; i < n; ++i)
        for (int64_t j = 0; j < n; ++j) {
            double s = 0.0;
            for (int64_t k = 0; k < kw; ++k) s = s + W[(i * n + j) * kw + k] * X[j * kw + k];
            s = s + q[j];
            s = s - q[i];
            R[i * n + j] = P[i * n + j] - s;
        }
}

void pair_matrix_step(int32_t N, double t, const double *P, const double *Q, double *R) {
    if (N <= 0) return;
    const int64_t n = N;
    for (int64_t i = 0; i < n; ++i)
        for (int64_t j = 0; j < n; ++j) R[i * n + j] = t * Q[i * n + j] + P[i * n + j];
}

namespace {

// A size argument as the modules convert it: truncated toward zero; NaN, infinities and values
// outside the int32 range give INT32_MIN.
int32_t size_of(const mxArray *a) {
    const double v = std::trunc(mxGetScalar(a));
    if (!(v >= -2147483648.0 && v <= 2147483647.0)) return INT32_MIN;
    return static_cast<int32_t>(v);
}

// One call's arguments, read by their positions in the module's table line.
class Call {
public:
    explicit Call(const std::vector<const mxArray *> &args) : args_(args) {}
    int32_t size(std::size_t p) const { return size_of(args_[p]); }
    double real(std::size_t p) const { return mxGetScalar(args_[p]); }
    const double *array(std::size_t p) const { return mxGetPr(args_[p]); }

private:
    const std::vector<const mxArray *> &args_;
};

// A table line's literal: the module, its form's name, its argument count and its binder.
struct Literal {
    const char *module;
    const char *form;
    std::size_t arguments;
    Bound (*bind)(const Call &);
};

const Literal kLiterals[] = {
#include "pk_literal_binders.inc"
};

}  // namespace

Bound bind(const pktest::ModuleInfo &m, const std::vector<const mxArray *> &args) {
    if (args.size() < m.args.size())
        throw std::invalid_argument(m.name + ": " + std::to_string(m.args.size()) +
                                    " arguments needed");
    for (const Literal &l : kLiterals)
        if (m.name == l.module && m.form == l.form) {
            if (l.arguments != m.args.size())
                throw std::invalid_argument(m.name + ": the entry is not the table's line");
            return l.bind(Call(args));
        }
    throw std::invalid_argument("no literal reference of " + m.name);
}

std::vector<double> result(const pktest::ModuleInfo &m, const std::vector<const mxArray *> &args) {
    const Bound literal = bind(m, args);
    pktest::Sizes s;
    for (std::size_t p = 0; p < m.args.size(); ++p) {
        const std::string &name = m.args[p].name;
        if (m.args[p].kind != pktest::Kind::Size) continue;
        (name == "N" ? s.N : name == "K" ? s.K : s.r) = size_of(args[p]);
    }
    const pktest::Shape shape = m.shape(s);
    if (shape.rows < 0 || shape.cols < 0)
        throw std::invalid_argument(m.name + ": a negative result dimension");
    std::vector<double> out(static_cast<std::size_t>(shape.rows * shape.cols), 0.0);
    literal(out.data());
    return out;
}

}  // namespace pkliteral
