// libmex of the stand-in host: the error call.
#include <cstdarg>
#include <cstdio>
#include <string>

#include "pkhost.h"
#include "mex.h"

extern "C" void mexErrMsgIdAndTxt(const char *id, const char *fmt, ...) {
    char buffer[2048];
    va_list ap;
    va_start(ap, fmt);
    std::vsnprintf(buffer, sizeof buffer, fmt, ap);
    va_end(ap);
    throw pkhost::HostError(id != nullptr ? id : "", buffer);
}
