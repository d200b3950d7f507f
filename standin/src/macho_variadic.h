// The bundles' variadic imports (snprintf, vsnprintf, mexErrMsgIdAndTxt), in Apple's convention
// of the host's processor: macho_x86_64.cpp, where that convention is the host's own (System V),
// and macho_arm64.cpp, where it is not (see macho.h).
#ifndef PAIRKERNELS_STANDIN_MACHO_VARIADIC_H
#define PAIRKERNELS_STANDIN_MACHO_VARIADIC_H

#include <cstdarg>
#include <cstddef>

#if defined(__aarch64__)
// Apple's arm64 va_list: the address of the stack slot of the next variadic argument.
typedef void *PkMachoVaList;
#else
typedef va_list PkMachoVaList;
#endif

extern "C" {
int pk_macho_snprintf(char *buffer, std::size_t size, const char *fmt, ...);
int pk_macho_vsnprintf(char *buffer, std::size_t size, const char *fmt, PkMachoVaList ap);
// Formats the message and ends the call in progress with it (macho_call.h).
[[noreturn]] void pk_macho_mexErrMsgIdAndTxt(const char *id, const char *fmt, ...);
}

#endif
