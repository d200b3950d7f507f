// libmx of the stand-in host: matrices, the host calls modules make, and the loader that calls a
// module's mexFunction on behalf of a test (ELF and PE files through the platform's own loader,
// Mach-O bundles, on Linux, through the loader of macho.h).
//
// All state of a call (the call log, the arrays it created) is thread-local, so any number of
// threads may call modules at once.
#include <atomic>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <type_traits>
#include <stdexcept>
#include <string>
#include <vector>

#include "macho.h"
#include "pkhost.h"
#include "pkhost_bench.h"
#include "platform.h"

struct mxArray_tag {
    mxClassID cls = mxDOUBLE_CLASS;
    int64_t rows = 0;
    int64_t cols = 0;
    mwSize dims[2] = {0, 0};  // rows and cols, as mxGetDimensions hands them out
    bool complex = false;
    bool sparse = false;
    std::size_t elem_size = 8;
    int64_t stored = 0;  // elements held in re (and im): rows*cols, or the nonzeros of a sparse
    pkhost::platform::Guarded re;
    pkhost::platform::Guarded im;
    std::vector<std::string> field_names;  // a struct's fields, by number
    std::vector<mxArray_tag *> fields;     // element k's value of field f at k * nfields + f
};

namespace pkhost {

HostError::HostError(std::string id, const std::string &message)
    : std::runtime_error(message), id_(std::move(id)) {}
HostError::~HostError() = default;

namespace {

struct CallContext {
    const mxArray *const *prhs = nullptr;
    int nrhs = 0;
    mxArray **plhs = nullptr;
    std::vector<mxArray *> created;
    std::vector<std::string> log;
    bool logging = true;
    int simd_detected = -1;
    int simd_used = -1;
};

thread_local CallContext *current = nullptr;
thread_local int simd_cap = -1;
std::atomic<std::size_t> result_limit{SIZE_MAX};
std::atomic<bool> call_log{true};
std::atomic<bool> huge_pages{false};

// Recycled memory (set_recycled_memory): freed real parts of double arrays wait here, per thread,
// and a later array of the same byte count takes one back, zero-filled with memset, instead of
// fresh pages. What a host's heap allocator does with blocks it keeps mapped.
struct Spare {
    std::size_t bytes;
    platform::Guarded memory;
};
constexpr std::size_t kMaxSpares = 8;
thread_local bool recycled_memory = false;
thread_local std::vector<Spare> spares;

void drop_spares() {
    for (Spare &s : spares) platform::guarded_free(s.memory);
    spares.clear();
}

bool take_spare(std::size_t bytes, platform::Guarded &out) {
    for (std::size_t k = 0; k < spares.size(); ++k)
        if (spares[k].bytes == bytes) {
            out = spares[k].memory;
            spares.erase(spares.begin() + static_cast<std::ptrdiff_t>(k));
            std::memset(out.data, 0, bytes);
            return true;
        }
    return false;
}

std::string describe(const mxArray *a) {
    CallContext *c = current;
    for (int k = 0; k < c->nrhs; ++k)
        if (c->prhs[k] == a) return "prhs[" + std::to_string(k) + "]";
    for (std::size_t k = 0; k < c->created.size(); ++k)
        if (c->created[k] == a)
            return "new#" + std::to_string(k) + (c->plhs[0] == a ? " in plhs[0]" : "");
    return "unknown";
}

void record(const char *call, const mxArray *a) {
    if (current != nullptr && current->logging) current->log.push_back(std::string(call) + "(" + describe(a) + ")");
}

std::size_t element_size(mxClassID cls) {
    switch (cls) {
        case mxLOGICAL_CLASS:
        case mxINT8_CLASS:
        case mxUINT8_CLASS: return 1;
        case mxCHAR_CLASS:
        case mxINT16_CLASS:
        case mxUINT16_CLASS: return 2;
        case mxSINGLE_CLASS:
        case mxINT32_CLASS:
        case mxUINT32_CLASS: return 4;
        case mxCELL_CLASS:
        case mxSTRUCT_CLASS: return sizeof(void *);
        default: return 8;
    }
}

mxArray *make(mxClassID cls, int64_t rows, int64_t cols, int64_t stored, bool complex,
              bool sparse, bool huge = false) {
    mxArray *a = new mxArray_tag;
    a->cls = cls;
    a->rows = rows;
    a->cols = cols;
    a->dims[0] = static_cast<mwSize>(rows);
    a->dims[1] = static_cast<mwSize>(cols);
    a->complex = complex;
    a->sparse = sparse;
    a->elem_size = element_size(cls);
    a->stored = stored;
    try {
        huge = huge || huge_pages;
        const std::size_t bytes = static_cast<std::size_t>(stored) * a->elem_size;
        if (!(recycled_memory && cls == mxDOUBLE_CLASS && !sparse && bytes > 0 &&
              take_spare(bytes, a->re)))
            a->re = platform::guarded_alloc(bytes, huge);
        if (complex)
            a->im = platform::guarded_alloc(static_cast<std::size_t>(stored) * a->elem_size, huge);
    } catch (...) {
        platform::guarded_free(a->re);
        delete a;
        throw;
    }
    return a;
}

double element(const mxArray *a, int64_t k) {
    const void *p = static_cast<const char *>(a->re.data) + k * static_cast<int64_t>(a->elem_size);
    switch (a->cls) {
        case mxDOUBLE_CLASS: return *static_cast<const double *>(p);
        case mxSINGLE_CLASS: return *static_cast<const float *>(p);
        case mxLOGICAL_CLASS: return *static_cast<const bool *>(p) ? 1.0 : 0.0;
        case mxCHAR_CLASS: return *static_cast<const uint16_t *>(p);
        case mxINT8_CLASS: return *static_cast<const int8_t *>(p);
        case mxUINT8_CLASS: return *static_cast<const uint8_t *>(p);
        case mxINT16_CLASS: return *static_cast<const int16_t *>(p);
        case mxUINT16_CLASS: return *static_cast<const uint16_t *>(p);
        case mxINT32_CLASS: return *static_cast<const int32_t *>(p);
        case mxUINT32_CLASS: return *static_cast<const uint32_t *>(p);
        case mxINT64_CLASS: return static_cast<double>(*static_cast<const int64_t *>(p));
        case mxUINT64_CLASS: return static_cast<double>(*static_cast<const uint64_t *>(p));
        default: return 0.0;
    }
}

// Conversion as MATLAB's class constructors do it: integers round and saturate, NaN becomes 0;
// singles overflow to infinity.
template <typename T>
void store_as(void *p, double v) {
    T out;
    if (std::is_integral<T>::value) {
        const double lo = static_cast<double>(std::numeric_limits<T>::min());
        const double hi = static_cast<double>(std::numeric_limits<T>::max());
        if (std::isnan(v)) out = 0;
        else if (v <= lo) out = std::numeric_limits<T>::min();
        else if (v >= hi) out = std::numeric_limits<T>::max();
        else out = static_cast<T>(std::round(v));
    } else if (std::fabs(v) > static_cast<double>(std::numeric_limits<T>::max()) && std::isfinite(v)) {
        out = static_cast<T>(v > 0 ? HUGE_VAL : -HUGE_VAL);
    } else {
        out = static_cast<T>(v);
    }
    *static_cast<T *>(p) = out;
}

}  // namespace

Array doubles(const std::vector<double> &v) {
    return doubles(static_cast<int64_t>(v.size()), 1, v);
}

Array doubles(int64_t rows, int64_t cols, const std::vector<double> &v) {
    if (rows * cols != static_cast<int64_t>(v.size()))
        throw std::invalid_argument("doubles: shape does not match the data");
    Array a(make(mxDOUBLE_CLASS, rows, cols, rows * cols, false, false));
    if (!v.empty()) std::memcpy(a->re.data, v.data(), v.size() * sizeof(double));
    return a;
}

Array scalar(double v) { return doubles(1, 1, {v}); }

Array zeros(int64_t rows, int64_t cols) {
    // Huge pages where the system offers them: reading untouched memory then maps the shared
    // huge zero page, one fault per 2 MB instead of one per 4 KB.
    return Array(make(mxDOUBLE_CLASS, rows, cols, rows * cols, false, false, true));
}

void set_result_limit(std::size_t bytes) { result_limit = bytes; }

void set_call_log(bool on) { call_log = on; }

void set_huge_pages(bool on) { huge_pages = on; }

void set_simd_cap(int level) { simd_cap = level; }

void set_recycled_memory(bool on) {
    recycled_memory = on;
    if (!on) drop_spares();
}

Array complex_doubles(const std::vector<double> &re, const std::vector<double> &im) {
    if (re.size() != im.size()) throw std::invalid_argument("complex_doubles: lengths differ");
    const int64_t n = static_cast<int64_t>(re.size());
    Array a(make(mxDOUBLE_CLASS, n, 1, n, true, false));
    if (n != 0) {
        std::memcpy(a->re.data, re.data(), re.size() * sizeof(double));
        std::memcpy(a->im.data, im.data(), im.size() * sizeof(double));
    }
    return a;
}

Array sparse_doubles(int64_t rows, int64_t cols, const std::vector<double> &nonzeros) {
    const int64_t n = static_cast<int64_t>(nonzeros.size());
    Array a(make(mxDOUBLE_CLASS, rows, cols, n, false, true));
    if (n != 0) std::memcpy(a->re.data, nonzeros.data(), nonzeros.size() * sizeof(double));
    return a;
}

Array numeric(mxClassID cls, const std::vector<double> &v) {
    const int64_t n = static_cast<int64_t>(v.size());
    Array a(make(cls, n, 1, n, false, false));
    for (int64_t k = 0; k < n; ++k) {
        void *p = static_cast<char *>(a->re.data) + k * static_cast<int64_t>(a->elem_size);
        switch (cls) {
            case mxSINGLE_CLASS: store_as<float>(p, v[k]); break;
            case mxLOGICAL_CLASS: store_as<bool>(p, v[k] != 0.0); break;
            case mxINT8_CLASS: store_as<int8_t>(p, v[k]); break;
            case mxUINT8_CLASS: store_as<uint8_t>(p, v[k]); break;
            case mxINT16_CLASS: store_as<int16_t>(p, v[k]); break;
            case mxUINT16_CLASS:
            case mxCHAR_CLASS: store_as<uint16_t>(p, v[k]); break;
            case mxINT32_CLASS: store_as<int32_t>(p, v[k]); break;
            case mxUINT32_CLASS: store_as<uint32_t>(p, v[k]); break;
            case mxINT64_CLASS: store_as<int64_t>(p, v[k]); break;
            case mxUINT64_CLASS: store_as<uint64_t>(p, v[k]); break;
            default: store_as<double>(p, v[k]); break;
        }
    }
    return a;
}

Array chars(const std::string &text) {
    std::vector<double> codes(text.begin(), text.end());
    Array a = numeric(mxCHAR_CLASS, codes);
    a->rows = 1;
    a->cols = static_cast<int64_t>(codes.size());
    a->dims[0] = 1;
    a->dims[1] = static_cast<mwSize>(a->cols);
    return a;
}

Array cell(int64_t rows, int64_t cols) {
    return Array(make(mxCELL_CLASS, rows, cols, rows * cols, false, false));
}

Array structure(int64_t rows, int64_t cols) {
    return Array(make(mxSTRUCT_CLASS, rows, cols, rows * cols, false, false));
}

std::vector<double> values(const mxArray *a) {
    std::vector<double> out(static_cast<std::size_t>(a->stored));
    for (int64_t k = 0; k < a->stored; ++k) out[static_cast<std::size_t>(k)] = element(a, k);
    return out;
}

std::vector<std::string> data_calls(const std::vector<std::string> &log) {
    std::vector<std::string> out;
    for (const std::string &s : log)
        if (s.rfind("mxGetScalar(", 0) == 0 || s.rfind("mxGetPr(", 0) == 0 ||
            s.rfind("mxCreateDoubleMatrix_700(", 0) == 0)
            out.push_back(s);
    return out;
}

Module::Module(const std::string &path) : path_(path) {
    std::string error;
    if (macho::is_macho(path)) {
        image_ = macho::open(path, error);
        if (image_ == nullptr) throw std::runtime_error("cannot load " + path + ": " + error);
        entry_ = macho::entry(image_);
        return;
    }
    handle_ = platform::module_open(path, error);
    if (handle_ == nullptr) throw std::runtime_error("cannot load " + path + ": " + error);
    entry_ = reinterpret_cast<void (*)(int, mxArray **, int, const mxArray **)>(
        platform::module_symbol(handle_, "mexFunction"));
    if (entry_ == nullptr) {
        platform::module_close(handle_);
        throw std::runtime_error(path + " exports no mexFunction");
    }
}

Module::~Module() {
    if (image_ != nullptr)
        macho::close(image_);
    else
        platform::module_close(handle_);
}

CallResult Module::call(const std::vector<const mxArray *> &args, int nlhs) const {
    // The host always offers at least one result slot, whatever nlhs says.
    std::vector<mxArray *> plhs(static_cast<std::size_t>(nlhs > 1 ? nlhs : 1), nullptr);
    std::vector<const mxArray *> prhs(args);
    CallContext context;
    context.prhs = prhs.data();
    context.nrhs = static_cast<int>(prhs.size());
    context.plhs = plhs.data();
    context.logging = call_log;

    CallResult out;
    CallContext *saved = current;
    current = &context;
    try {
        if (image_ != nullptr)
            macho::call(entry_, nlhs, plhs.data(), static_cast<int>(prhs.size()), prhs.data());
        else
            entry_(nlhs, plhs.data(), static_cast<int>(prhs.size()), prhs.data());
    } catch (const HostError &e) {
        out.failed = true;
        out.id = e.id();
        out.message = e.what();
    }
    current = saved;

    out.log = std::move(context.log);
    out.simd_detected = context.simd_detected;
    out.simd_used = context.simd_used;
    for (std::size_t k = 1; k < plhs.size(); ++k)
        if (plhs[k] != nullptr) out.other_slots_written = true;
    // A failed call's arrays are released by the host, results included.
    for (mxArray *a : context.created)
        if (!out.failed && a == plhs[0])
            out.result.reset(a);
        else
            mxDestroyArray(a);
    return out;
}

}  // namespace pkhost

using pkhost::current;
using pkhost::record;

extern "C" {

int pkhostSimdLevel(int detected) {
    const int cap = pkhost::simd_cap;
    const int used = cap >= 0 && cap < detected ? cap : detected;
    if (current != nullptr) {
        current->simd_detected = detected;
        current->simd_used = used;
    }
    return used;
}

mxArray *mxCreateDoubleMatrix_700(int m, int n, mxComplexity flag) {
    if (current != nullptr && current->logging)
        current->log.push_back("mxCreateDoubleMatrix_700(" + std::to_string(m) + "," +
                               std::to_string(n) + "," + std::to_string(static_cast<int>(flag)) +
                               ")");
    if (m < 0 || n < 0)
        throw pkhost::HostError("standin:negativeDimension",
                                "mxCreateDoubleMatrix_700 called with a negative dimension");
    const int64_t count = static_cast<int64_t>(m) * n;
    if (static_cast<uint64_t>(count) > pkhost::result_limit / sizeof(double))
        throw pkhost::HostError("standin:outOfMemory", "result larger than the host's limit");
    mxArray *a;
    try {
        a = pkhost::make(mxDOUBLE_CLASS, m, n, count, flag == mxCOMPLEX, false);
    } catch (const std::bad_alloc &) {
        throw pkhost::HostError("standin:outOfMemory", "out of memory creating the result");
    }
    if (current != nullptr) current->created.push_back(a);
    return a;
}

double mxGetScalar(const mxArray *a) {
    record("mxGetScalar", a);
    return a->stored > 0 ? pkhost::element(a, 0) : 0.0;
}

double *mxGetPr(const mxArray *a) {
    record("mxGetPr", a);
    return static_cast<double *>(a->re.data);
}

double *mxGetPi(const mxArray *a) {
    record("mxGetPi", a);
    return a->complex ? static_cast<double *>(a->im.data) : nullptr;
}

size_t mxGetM(const mxArray *a) {
    record("mxGetM", a);
    return static_cast<size_t>(a->rows);
}

size_t mxGetN(const mxArray *a) {
    record("mxGetN", a);
    return static_cast<size_t>(a->cols);
}

mwSize mxGetNumberOfDimensions(const mxArray *a) {
    record("mxGetNumberOfDimensions", a);
    return 2;
}

const mwSize *mxGetDimensions(const mxArray *a) {
    record("mxGetDimensions", a);
    return a->dims;
}

size_t mxGetNumberOfElements(const mxArray *a) {
    record("mxGetNumberOfElements", a);
    return static_cast<size_t>(a->rows * a->cols);
}

mxClassID mxGetClassID(const mxArray *a) {
    record("mxGetClassID", a);
    return a->cls;
}

const char *mxGetClassName(const mxArray *a) {
    record("mxGetClassName", a);
    switch (a->cls) {
        case mxCELL_CLASS: return "cell";
        case mxSTRUCT_CLASS: return "struct";
        case mxLOGICAL_CLASS: return "logical";
        case mxCHAR_CLASS: return "char";
        case mxDOUBLE_CLASS: return "double";
        case mxSINGLE_CLASS: return "single";
        case mxINT8_CLASS: return "int8";
        case mxUINT8_CLASS: return "uint8";
        case mxINT16_CLASS: return "int16";
        case mxUINT16_CLASS: return "uint16";
        case mxINT32_CLASS: return "int32";
        case mxUINT32_CLASS: return "uint32";
        case mxINT64_CLASS: return "int64";
        case mxUINT64_CLASS: return "uint64";
        case mxFUNCTION_CLASS: return "function_handle";
        default: return "unknown";
    }
}

bool mxIsDouble(const mxArray *a) {
    record("mxIsDouble", a);
    return a->cls == mxDOUBLE_CLASS;
}

bool mxIsNumeric(const mxArray *a) {
    record("mxIsNumeric", a);
    return a->cls >= mxDOUBLE_CLASS && a->cls <= mxUINT64_CLASS;
}

bool mxIsLogical(const mxArray *a) {
    record("mxIsLogical", a);
    return a->cls == mxLOGICAL_CLASS;
}

bool mxIsComplex(const mxArray *a) {
    record("mxIsComplex", a);
    return a->complex;
}

bool mxIsSparse(const mxArray *a) {
    record("mxIsSparse", a);
    return a->sparse;
}

void mxDestroyArray(mxArray *a) {
    if (a == nullptr) return;
    for (mxArray *value : a->fields) mxDestroyArray(value);
    const std::size_t bytes = static_cast<std::size_t>(a->stored) * a->elem_size;
    if (pkhost::recycled_memory && a->cls == mxDOUBLE_CLASS && !a->sparse && bytes > 0) {
        if (pkhost::spares.size() == pkhost::kMaxSpares) {
            pkhost::platform::guarded_free(pkhost::spares.front().memory);
            pkhost::spares.erase(pkhost::spares.begin());
        }
        pkhost::spares.push_back({bytes, a->re});
        a->re = pkhost::platform::Guarded();
    }
    pkhost::platform::guarded_free(a->re);
    pkhost::platform::guarded_free(a->im);
    delete a;
}

mxArray *mxCreateString(const char *text) {
    if (current != nullptr && current->logging) current->log.push_back("mxCreateString");
    const int64_t n = static_cast<int64_t>(std::strlen(text));
    mxArray *a = pkhost::make(mxCHAR_CLASS, 1, n, n, false, false);
    for (int64_t k = 0; k < n; ++k)
        static_cast<uint16_t *>(a->re.data)[k] = static_cast<unsigned char>(text[k]);
    if (current != nullptr) current->created.push_back(a);
    return a;
}

mxArray *mxCreateStructMatrix(mwSize m, mwSize n, int nfields, const char **names) {
    if (current != nullptr && current->logging)
        current->log.push_back("mxCreateStructMatrix(" + std::to_string(m) + "," +
                               std::to_string(n) + "," + std::to_string(nfields) + ")");
    const int64_t count = static_cast<int64_t>(m * n);
    mxArray *a = pkhost::make(mxSTRUCT_CLASS, static_cast<int64_t>(m), static_cast<int64_t>(n),
                              count, false, false);
    for (int f = 0; f < nfields; ++f) a->field_names.push_back(names[f]);
    a->fields.assign(static_cast<std::size_t>(count) * a->field_names.size(), nullptr);
    if (current != nullptr) current->created.push_back(a);
    return a;
}

// The value goes to the struct, which frees it with itself: it is no longer the call's to free.
// A value the field held before is freed here.
void mxSetFieldByNumber(mxArray *s, mwIndex index, int field, mxArray *value) {
    if (current != nullptr && current->logging)
        current->log.push_back("mxSetFieldByNumber(" + pkhost::describe(s) + "," +
                               std::to_string(index) + "," + std::to_string(field) + "," +
                               pkhost::describe(value) + ")");
    if (s->cls != mxSTRUCT_CLASS || field < 0 ||
        static_cast<std::size_t>(field) >= s->field_names.size() ||
        static_cast<int64_t>(index) >= s->stored)
        throw pkhost::HostError("standin:badField",
                                "mxSetFieldByNumber: no element " + std::to_string(index) +
                                    ", field " + std::to_string(field) + " in this array");
    if (current != nullptr)
        for (std::size_t k = 0; k < current->created.size(); ++k)
            if (current->created[k] == value) {
                current->created.erase(current->created.begin() +
                                       static_cast<std::ptrdiff_t>(k));
                break;
            }
    mxArray *&slot = s->fields[index * s->field_names.size() + static_cast<std::size_t>(field)];
    if (slot != value) mxDestroyArray(slot);
    slot = value;
}

bool mxIsChar(const mxArray *a) {
    record("mxIsChar", a);
    return a->cls == mxCHAR_CLASS;
}

bool mxIsStruct(const mxArray *a) {
    record("mxIsStruct", a);
    return a->cls == mxSTRUCT_CLASS;
}

int mxGetNumberOfFields(const mxArray *s) {
    record("mxGetNumberOfFields", s);
    return static_cast<int>(s->field_names.size());
}

const char *mxGetFieldNameByNumber(const mxArray *s, int field) {
    record("mxGetFieldNameByNumber", s);
    if (field < 0 || static_cast<std::size_t>(field) >= s->field_names.size()) return nullptr;
    return s->field_names[static_cast<std::size_t>(field)].c_str();
}

mxArray *mxGetFieldByNumber(const mxArray *s, mwIndex index, int field) {
    record("mxGetFieldByNumber", s);
    if (field < 0 || static_cast<std::size_t>(field) >= s->field_names.size() ||
        static_cast<int64_t>(index) >= s->stored)
        return nullptr;
    return s->fields[index * s->field_names.size() + static_cast<std::size_t>(field)];
}

}  // extern "C"
