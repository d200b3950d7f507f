// The functions a Mach-O bundle's imports are bound to (see macho.h): the host calls, and the
// libSystem calls served by the host's C library, with the bundle's blocks of malloc listed in
// the call's guard and the variadic ones in Apple's convention (macho_variadic.h).
#include "macho_imports.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>

#include "macho_call.h"
#include "macho_variadic.h"
#include "mex.h"
#include "pkhost.h"

namespace pkhost {
namespace macho {

namespace {

void *bundle_malloc(std::size_t n) {
    void *p = std::malloc(n);
    hold(p);
    return p;
}

void *bundle_calloc(std::size_t n, std::size_t size) {
    void *p = std::calloc(n, size);
    hold(p);
    return p;
}

void *bundle_realloc(void *old, std::size_t n) {
    release(old);
    void *p = std::realloc(old, n);
    hold(p == nullptr && n != 0 ? old : p);  // a failed realloc leaves the old block held
    return p;
}

void bundle_free(void *p) {
    release(p);
    std::free(p);
}

void *bundle_memcpy(void *d, const void *s, std::size_t n) { return std::memcpy(d, s, n); }
void *bundle_memmove(void *d, const void *s, std::size_t n) { return std::memmove(d, s, n); }
void *bundle_memset(void *d, int c, std::size_t n) { return std::memset(d, c, n); }
void bundle_bzero(void *d, std::size_t n) { std::memset(d, 0, n); }
std::size_t bundle_strlen(const char *s) { return std::strlen(s); }
const char *bundle_strstr(const char *s, const char *t) { return std::strstr(s, t); }
double bundle_strtod(const char *s, char **end) { return std::strtod(s, end); }
[[noreturn]] void bundle_abort() { std::abort(); }

[[noreturn]] void unbound_lazy_pointer() {
    std::fprintf(stderr, "pkhost: a Mach-O bundle called dyld_stub_binder (a lazy pointer left "
                         "unbound)\n");
    std::abort();
}

[[noreturn]] void stack_check_failed() {
    std::fprintf(stderr, "pkhost: a Mach-O bundle's stack protector fired\n");
    std::abort();
}

uintptr_t stack_check_guard = 0x2f8a5b7c3e1d9604u;

// The host call that can fail inside the stand-in host: its error ends the call like the
// module's own. The call is left only once the handler is done, so that no exception is left
// half handled.
mxArray *bundle_create(int m, int n, mxComplexity flag) {
    char id[128], message[512];
    try {
        return mxCreateDoubleMatrix_700(m, n, flag);
    } catch (const HostError &e) {
        std::snprintf(id, sizeof id, "%s", e.id().c_str());
        std::snprintf(message, sizeof message, "%s", e.what());
    } catch (const std::exception &e) {
        std::snprintf(id, sizeof id, "standin:outOfMemory");
        std::snprintf(message, sizeof message, "%s", e.what());
    }
    leave(id, message);
}

#define PK_FN(f) reinterpret_cast<void *>(&(f))

// The other host calls are the host's own functions: the conventions agree.
const Import kLibmx[] = {
    {"_mxCreateDoubleMatrix_700", PK_FN(bundle_create)},
    {"_mxGetScalar", PK_FN(mxGetScalar)},
    {"_mxGetPr", PK_FN(mxGetPr)},
    {"_mxGetPi", PK_FN(mxGetPi)},
    {"_mxGetM", PK_FN(mxGetM)},
    {"_mxGetN", PK_FN(mxGetN)},
    {"_mxGetNumberOfElements", PK_FN(mxGetNumberOfElements)},
    {"_mxGetNumberOfDimensions", PK_FN(mxGetNumberOfDimensions)},
    {"_mxGetDimensions", PK_FN(mxGetDimensions)},
    {"_mxGetClassID", PK_FN(mxGetClassID)},
    {"_mxGetClassName", PK_FN(mxGetClassName)},
    {"_mxIsDouble", PK_FN(mxIsDouble)},
    {"_mxIsNumeric", PK_FN(mxIsNumeric)},
    {"_mxIsLogical", PK_FN(mxIsLogical)},
    {"_mxIsComplex", PK_FN(mxIsComplex)},
    {"_mxIsSparse", PK_FN(mxIsSparse)},
    {"_pkhostSimdLevel", PK_FN(pkhostSimdLevel)},
    // pairkernels_version's struct of strings
    {"_mxCreateString", PK_FN(mxCreateString)},
    {"_mxCreateStructMatrix", PK_FN(mxCreateStructMatrix)},
    {"_mxSetFieldByNumber", PK_FN(mxSetFieldByNumber)},
    {nullptr, nullptr}};
const Import kLibmex[] = {{"_mexErrMsgIdAndTxt", PK_FN(pk_macho_mexErrMsgIdAndTxt)},
                          {nullptr, nullptr}};
const Import kLibmat[] = {{nullptr, nullptr}};
const Import kLibSystem[] = {
    {"_malloc", PK_FN(bundle_malloc)},
    {"_calloc", PK_FN(bundle_calloc)},
    {"_realloc", PK_FN(bundle_realloc)},
    {"_free", PK_FN(bundle_free)},
    {"_memcpy", PK_FN(bundle_memcpy)},
    {"_memmove", PK_FN(bundle_memmove)},
    {"_memset", PK_FN(bundle_memset)},
    {"_bzero", PK_FN(bundle_bzero)},
    {"___bzero", PK_FN(bundle_bzero)},
    {"_strlen", PK_FN(bundle_strlen)},
    {"_strstr", PK_FN(bundle_strstr)},
    {"_strtod", PK_FN(bundle_strtod)},
    {"_abort", PK_FN(bundle_abort)},
    {"_snprintf", PK_FN(pk_macho_snprintf)},
    {"_vsnprintf", PK_FN(pk_macho_vsnprintf)},
    {"___stack_chk_fail", PK_FN(stack_check_failed)},
    {"___stack_chk_guard", &stack_check_guard},
    {"dyld_stub_binder", PK_FN(unbound_lazy_pointer)},
    {nullptr, nullptr}};

#undef PK_FN

const Library kLibraries[] = {{"@rpath/libmx.dylib", kLibmx},
                              {"@rpath/libmex.dylib", kLibmex},
                              {"@rpath/libmat.dylib", kLibmat},
                              {"/usr/lib/libSystem.B.dylib", kLibSystem}};

}  // namespace

const Library *find_library(const std::string &install_name) {
    for (const Library &l : kLibraries)
        if (install_name == l.install_name) return &l;
    return nullptr;
}

}  // namespace macho
}  // namespace pkhost
