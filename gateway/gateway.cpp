#include "host.h"

#include <cinttypes>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>
#include <string>

#if defined(PK_HOST_OCTAVE)
#include <octave/version.h>

#include "huge_pages.h"
#endif

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

// What the checks need to know of an argument, from the host's own queries.
#if defined(PK_HOST_OCTAVE)
typedef const octave_value &Arg;
Arg argument(const Call &c, int pos) { return c.args(pos); }
int nargs_given(const Call &c) { return c.args.length(); }
int nouts_asked(const Call &c) { return c.nargout; }
bool numeric_or_logical(Arg a) { return a.isnumeric() || a.islogical(); }
bool is_sparse(Arg a) { return a.issparse(); }
bool is_double(Arg a) { return a.is_double_type(); }
int64_t numel(Arg a) { return static_cast<int64_t>(a.numel()); }
std::string class_name(Arg a) { return a.class_name(); }
std::string shape(Arg a) { return a.dims().str('x'); }
// The first element's real part, as mxGetScalar gives it.
double first_value(Arg a) { return a.iscomplex() ? a.complex_value().real() : a.double_value(); }
#else
typedef const mxArray *Arg;
Arg argument(const Call &c, int pos) { return c.prhs[pos]; }
int nargs_given(const Call &c) { return c.nrhs; }
int nouts_asked(const Call &c) { return c.nlhs; }
bool numeric_or_logical(Arg a) { return mxIsNumeric(a) || mxIsLogical(a); }
bool is_sparse(Arg a) { return mxIsSparse(a); }
bool is_double(Arg a) { return mxIsDouble(a); }
int64_t numel(Arg a) { return static_cast<int64_t>(mxGetNumberOfElements(a)); }
std::string class_name(Arg a) { return mxGetClassName(a); }
std::string shape(Arg a) {
    const mwSize n = mxGetNumberOfDimensions(a);
    const mwSize *d = mxGetDimensions(a);
    std::string s;
    char extent[24];  // formatted here: std::to_string would be the one libc++ call of a bundle
    for (mwSize k = 0; k < n; ++k) {
        std::snprintf(extent, sizeof extent, "%s%llu", k ? "x" : "",
                      static_cast<unsigned long long>(d[k]));
        s += extent;
    }
    return s;
}
double first_value(Arg a) { return mxGetScalar(a); }
#endif

// Sizes and scalars are the value of an argument's first element; only a full numeric or logical
// array of exactly one element is taken as a scalar.
bool is_scalar_argument(Arg a) { return numeric_or_logical(a) && !is_sparse(a) && numel(a) == 1; }

// A double as a message shows it: NaN, Inf, -Inf, or the shorter of %.15g and %.17g that reads
// back as the same value.
std::string number(double v) {
    if (std::isnan(v)) return "NaN";
    if (std::isinf(v)) return v > 0 ? "Inf" : "-Inf";
    char s[32];
    std::snprintf(s, sizeof s, "%.15g", v);
    if (std::strtod(s, nullptr) != v) std::snprintf(s, sizeof s, "%.17g", v);
    return s;
}

// ASCII only, whatever the locale: <cctype> would pull the C library's locale tables into
// every module (on macOS, imports the stand-in host does not offer).
bool word_char(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9');
}

// Whether `formula` ("N*N*K") names the size `name` ("N"), as a whole word.
bool mentions(const char *formula, const char *name) {
    const std::size_t n = std::strlen(name);
    for (const char *p = std::strstr(formula, name); p; p = std::strstr(p + 1, name)) {
        const bool starts = p == formula || !word_char(p[-1]);
        if (starts && !word_char(p[n])) return true;
    }
    return false;
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

Gateway::Gateway(const char *module, const char *const *names, int nargs, Call &call)
    : module_(module), names_(names), call_(call) {
    const int given = nargs_given(call), asked = nouts_asked(call);
    if (given < nargs)
        fail("nargin", "Not enough input arguments: %d expected, got %d.", nargs, given);
    if (asked > 1)
        fail("nargout", "Too many output arguments: one is returned, %d were requested.", asked);
#if defined(PK_HOST_OCTAVE)
    call_.held.reserve(static_cast<std::size_t>(nargs));
#endif
}

void Gateway::check_scalar(int pos, const char *expected) const {
    Arg a = argument(call_, pos);
    if (is_scalar_argument(a)) return;
    const std::string cls = class_name(a);
    char got[96];
    if (is_sparse(a))
        std::snprintf(got, sizeof got, "a sparse %s array", cls.c_str());
    else if (!numeric_or_logical(a))
        std::snprintf(got, sizeof got, "a %s array", cls.c_str());
    else
        std::snprintf(got, sizeof got, "a %s %s array", shape(a).c_str(), cls.c_str());
    fail("notScalar", "Argument %d (%s) must be %s, got %s.", pos + 1, names_[pos], expected, got);
}

int32_t Gateway::size(int pos) {
    check_scalar(pos, "a numeric scalar size");
    const double v = first_value(argument(call_, pos));
    const int32_t n = to_size(v);
    if (!(v == n)) converted_.push_back(Converted{pos, v, n});  // NaN is never equal
    return n;
}

std::string Gateway::conversions(const char *formula) const {
    std::string text;
    for (const Converted &c : converted_) {
        if (!mentions(formula, names_[c.pos])) continue;
        const std::string value = number(c.value);
        char s[200];
        if (c.size == INT32_MIN && !(c.value > -2147483649.0 && c.value < -2147483647.0))
            std::snprintf(s, sizeof s,
                          " %s = %s converts to -2147483648 (as do NaN, Inf, -Inf and every size"
                          " outside -2147483648 ... 2147483647).",
                          names_[c.pos], value.c_str());
        else
            std::snprintf(s, sizeof s, " %s = %s is truncated toward zero to %d.", names_[c.pos],
                          value.c_str(), c.size);
        text += s;
    }
    return text;
}

double Gateway::scalar(int pos) {
    check_scalar(pos, "a numeric scalar");
    return first_value(argument(call_, pos));
}

Array Gateway::array(int pos) {
    Arg a = argument(call_, pos);
    if (!is_double(a))
        fail("notDouble", "Argument %d (%s) must be a full double array, got %s.", pos + 1,
             names_[pos], class_name(a).c_str());
    if (is_sparse(a))
        fail("sparse", "Argument %d (%s) must be a full double array, got a sparse array.",
             pos + 1, names_[pos]);
#if defined(PK_HOST_OCTAVE)
    // The argument's own data where it holds a full real matrix (array_value shares it); a copy
    // of a complex argument's real part, or of a range's elements, is kept alive here.
    call_.held.push_back(a.iscomplex() ? NDArray(real(a.complex_array_value()))
                                       : a.array_value());
    return Array{call_.held.back().data(), numel(a), pos};
#else
    return Array{mxGetPr(a), numel(a), pos};
#endif
}

void Gateway::need(const Array &a, int64_t count, const char *what) {
    if (a.numel < count)
        fail("tooShort",
             "Argument %d (%s) must hold at least %s = %" PRId64 " elements, it holds %" PRId64
             ".%s",
             a.pos + 1, names_[a.pos], what, count, a.numel, conversions(what).c_str());
}

void Gateway::need_index(int pos, int32_t value, int32_t count) {
    if (value < 0 || value >= count)
        fail("outOfRange", "Argument %d (%s) must be an index in 0 ... %d, got %d.%s", pos + 1,
             names_[pos], count - 1, value, conversions(names_[pos]).c_str());
}

double *Gateway::scratch(int64_t count) {
    if (count <= 0) return nullptr;
    const uint64_t limit = static_cast<uint64_t>(SIZE_MAX / sizeof(double));
    if (static_cast<uint64_t>(count) <= limit)
        scratch_.reset(static_cast<double *>(
            std::malloc(static_cast<std::size_t>(count) * sizeof(double))));
    if (!scratch_)
        fail("outOfMemory", "Could not allocate %" PRId64 " doubles of working storage.", count);
    return scratch_.get();
}

void Gateway::check_dim(int64_t value, const char *text, const char *which) const {
    if (value < 0)
        fail("negativeSize",
             "The result would have %s = %" PRId64 " %s; a dimension cannot be negative.%s", text,
             value, which, conversions(text).c_str());
    if (value > kMaxDim)
        fail("tooLarge",
             "The result would have %s = %" PRId64 " %s; at most 2147483647 are supported.%s",
             text, value, which, conversions(text).c_str());
}

double *Gateway::result(int64_t rows, const char *rows_text, int64_t cols, const char *cols_text,
                        Writes writes) {
    check_dim(rows, rows_text, "rows");
    check_dim(cols, cols_text, "columns");
    if (rows * cols > kMaxElements)  // exact: each factor is below 2^31
        fail("tooLarge",
             "The result would be %s-by-%s = %" PRId64 "-by-%" PRId64 ", %" PRId64
             " elements; at most 2^45 = %" PRId64 " elements (2^48 bytes) are supported.%s",
             rows_text, cols_text, rows, cols, rows * cols, kMaxElements,
             conversions((std::string(rows_text) + "*" + cols_text).c_str()).c_str());
#if defined(PK_HOST_OCTAVE)
    const dim_vector dims(static_cast<octave_idx_type>(rows), static_cast<octave_idx_type>(cols));
    // The result's memory is taken as it comes, untouched, and cleared only for a kernel that
    // leaves elements to the zero fill. From Octave 7 on, an NDArray's own constructors clear
    // every element (NDArray(dims, 0.0) twice), so the memory is allocated here and handed to
    // the NDArray, which owns it from then on; Octave 6's NDArray(dims) leaves it as new[] gave it
    // and has no constructor that adopts memory.
    const std::size_t count = static_cast<std::size_t>(rows * cols);
    // A result within the bounds above may still be more than the machine gives (2^45 elements
    // are 256 TiB): that is this module's error too, not Octave's bad-alloc.
    double *data = nullptr;
    try {
#if OCTAVE_MAJOR_VERSION >= 7
        data = std::allocator<double>().allocate(count);
        try {
            call_.result = NDArray(::Array<double>(data, dims));
        } catch (const std::bad_alloc &) {
            std::allocator<double>().deallocate(data, count);
            throw;
        }
#else
        call_.result = NDArray(dims);
        data = call_.result.fortran_vec();
#endif
    } catch (const std::bad_alloc &) {
        fail("outOfMemory",
             "The result, %s-by-%s = %" PRId64 "-by-%" PRId64 " doubles, needs %" PRId64
             " bytes, which could not be allocated.",
             rows_text, cols_text, rows, cols, rows * cols * 8);
    }
    prefer_huge_pages(data, count * sizeof(double));
    if (writes == Writes::some) std::memset(data, 0, count * sizeof(double));
    call_.has_result = true;
    return call_.result.fortran_vec();
#else
    static_cast<void>(writes);  // MEX hosts always clear the result
    mxArray *r = mxCreateDoubleMatrix(static_cast<int32_t>(rows), static_cast<int32_t>(cols), mxREAL);
    call_.plhs[0] = r;
    return mxGetPr(r);
#endif
}

#if defined(PK_HOST_OCTAVE)
void poll() { octave_quit(); }
#else
void poll() {}
#endif

void Gateway::fail(const char *mnemonic, const char *fmt, ...) const {
    char id[160];
    std::snprintf(id, sizeof id, "pairkernels:%s:%s", module_, mnemonic);
    char message[512];
    va_list ap;
    va_start(ap, fmt);
    std::vsnprintf(message, sizeof message, fmt, ap);
    va_end(ap);
#if defined(PK_HOST_OCTAVE)
    // Octave's MEX interface puts the function's name before a MEX module's message; the native
    // module says the same.
    error_with_id(id, "%s: %s", module_, message);
#else
    mexErrMsgIdAndTxt(id, "%s", message);
    std::abort();  // hosts do not return from mexErrMsgIdAndTxt
#endif
}

}  // namespace pk
