// The variadic imports of x86_64 bundles. macOS on x86_64 passes variadic arguments and va_list
// as System V does, as Linux does: the C library formats them as they are.
#include <cstdio>

#include "macho_call.h"
#include "macho_variadic.h"

extern "C" int pk_macho_snprintf(char *buffer, std::size_t size, const char *fmt, ...) {
    va_list ap;
    va_start(ap, fmt);
    const int n = std::vsnprintf(buffer, size, fmt, ap);
    va_end(ap);
    return n;
}

extern "C" int pk_macho_vsnprintf(char *buffer, std::size_t size, const char *fmt,
                                  PkMachoVaList ap) {
    return std::vsnprintf(buffer, size, fmt, ap);
}

extern "C" void pk_macho_mexErrMsgIdAndTxt(const char *id, const char *fmt, ...) {
    char message[2048];
    va_list ap;
    va_start(ap, fmt);
    std::vsnprintf(message, sizeof message, fmt != nullptr ? fmt : "", ap);
    va_end(ap);
    pkhost::macho::leave(id != nullptr ? id : "", message);
}
