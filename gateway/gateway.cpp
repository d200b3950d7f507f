#include "gateway.h"

#include <cinttypes>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <new>

namespace pk {

namespace {

const int64_t kMaxDim = 2147483647;
// The most elements a result may have: 2^45 doubles, 2^48 bytes (256 TiB), far beyond any
// machine's memory and far below where a host's byte count (elements times 8, in 64 bits) could
// wrap. Two dimensions of up to 2^31 - 1 each can ask for almost 2^62 elements.
const int64_t kMaxElements = int64_t{1} << 45;

int64_t saturating_mul(int64_t a, int64_t b) {
    int64_t r;
    if (!__builtin_mul_overflow(a, b, &r)) return r;
    return ((a < 0) != (b < 0)) ? INT64_MIN : INT64_MAX;
}

// Sizes and scalars come through mxGetScalar, which reads the first element of anything; only a
// full numeric or logical array of exactly one element is taken as a scalar.
bool is_scalar_argument(const mxArray *a) {
    return (mxIsNumeric(a) || mxIsLogical(a)) && !mxIsSparse(a) && mxGetNumberOfElements(a) == 1;
}

}  // namespace

int32_t to_size(double v) {
    // NaN fails both comparisons.
    if (!(v > -2147483649.0 && v < 2147483648.0)) return INT32_MIN;
    return static_cast<int32_t>(v);
}

int64_t reads(int64_t a, int64_t b, int64_t c) {
    if (a <= 0 || b <= 0 || c <= 0) return 0;
    return saturating_mul(saturating_mul(a, b), c);
}

int64_t dim(int64_t a, int64_t b, int64_t c) { return saturating_mul(saturating_mul(a, b), c); }

Gateway::Gateway(const char *module, const char *const *names, int nargs, int nlhs, int nrhs,
                 const mxArray *const *prhs)
    : module_(module), names_(names), prhs_(prhs) {
    if (nrhs < nargs) {
        fail("nargin", "%s expects %d input argument%s, got %d.", module, nargs,
             nargs == 1 ? "" : "s", nrhs);
    }
    if (nlhs > 1) fail("nargout", "%s returns one output, %d were requested.", module, nlhs);
}

const mxArray *Gateway::argument(int pos) const { return prhs_[pos]; }

void Gateway::check_scalar(int pos, const char *expected) const {
    const mxArray *a = argument(pos);
    if (is_scalar_argument(a)) return;
    char got[96];
    if (mxIsSparse(a))
        std::snprintf(got, sizeof got, "a sparse %s array", mxGetClassName(a));
    else if (!mxIsNumeric(a) && !mxIsLogical(a))
        std::snprintf(got, sizeof got, "a %s array", mxGetClassName(a));
    else
        std::snprintf(got, sizeof got, "a %zux%zu %s array", mxGetM(a), mxGetN(a),
                      mxGetClassName(a));
    fail("notScalar", "Argument %d (%s) must be %s, got %s.", pos + 1, names_[pos], expected, got);
}

int32_t Gateway::size(int pos) {
    check_scalar(pos, "a numeric scalar size");
    return to_size(mxGetScalar(argument(pos)));
}

double Gateway::scalar(int pos) {
    check_scalar(pos, "a numeric scalar");
    return mxGetScalar(argument(pos));
}

Array Gateway::array(int pos) {
    const mxArray *a = argument(pos);
    if (!mxIsDouble(a))
        fail("notDouble", "Argument %d (%s) must be a full double array, got %s.", pos + 1,
             names_[pos], mxGetClassName(a));
    if (mxIsSparse(a))
        fail("sparse", "Argument %d (%s) must be a full double array, got a sparse array.",
             pos + 1, names_[pos]);
    const int64_t numel = static_cast<int64_t>(mxGetNumberOfElements(a));
    return Array{mxGetPr(a), numel, pos};
}

void Gateway::need(const Array &a, int64_t count, const char *what) {
    if (a.numel < count)
        fail("tooShort",
             "Argument %d (%s) must hold at least %s = %" PRId64 " elements, it holds %" PRId64
             ".",
             a.pos + 1, names_[a.pos], what, count, a.numel);
}

void Gateway::need_index(int pos, int32_t value, int32_t count) {
    if (value < 0 || value >= count)
        fail("outOfRange", "Argument %d (%s) must be an index in 0 ... %d, got %d.", pos + 1,
             names_[pos], count - 1, value);
}

double *Gateway::scratch(int64_t count) {
    if (count <= 0) return nullptr;
    const uint64_t limit = static_cast<uint64_t>(SIZE_MAX / sizeof(double));
    if (static_cast<uint64_t>(count) <= limit)
        scratch_.reset(new (std::nothrow) double[static_cast<std::size_t>(count)]);
    if (!scratch_)
        fail("outOfMemory", "%s could not allocate %" PRId64 " doubles of working storage.",
             module_, count);
    return scratch_.get();
}

void Gateway::check_dim(int64_t value, const char *text, const char *which) const {
    if (value < 0)
        fail("negativeSize",
             "The result would have %s = %" PRId64 " %s; a dimension cannot be negative.", text,
             value, which);
    if (value > kMaxDim)
        fail("tooLarge",
             "The result would have %s = %" PRId64 " %s; at most 2147483647 are supported.",
             text, value, which);
}

double *Gateway::result(mxArray **plhs, int64_t rows, const char *rows_text, int64_t cols,
                        const char *cols_text) {
    check_dim(rows, rows_text, "rows");
    check_dim(cols, cols_text, "columns");
    if (rows * cols > kMaxElements)  // exact: each factor is below 2^31
        fail("tooLarge",
             "The result would be %s-by-%s = %" PRId64 "-by-%" PRId64 ", %" PRId64
             " elements; at most 2^45 = %" PRId64 " elements (2^48 bytes) are supported.",
             rows_text, cols_text, rows, cols, rows * cols, kMaxElements);
    mxArray *r = mxCreateDoubleMatrix(static_cast<int32_t>(rows), static_cast<int32_t>(cols), mxREAL);
    plhs[0] = r;
    return mxGetPr(r);
}

void Gateway::fail(const char *mnemonic, const char *fmt, ...) const {
    char id[160];
    std::snprintf(id, sizeof id, "pairkernels:%s:%s", module_, mnemonic);
    char message[512];
    va_list ap;
    va_start(ap, fmt);
    std::vsnprintf(message, sizeof message, fmt, ap);
    va_end(ap);
    mexErrMsgIdAndTxt(id, "%s", message);
    std::abort();  // hosts do not return from mexErrMsgIdAndTxt
}

}  // namespace pk
