// The variadic imports of arm64 bundles. Apple's arm64 convention passes every variadic argument
// on the stack, in 8-byte slots, and its va_list points at them. An AAPCS64 va_list (GCC's
// __va_list) whose general and vector register areas are used up (offsets 0) makes va_arg take
// every argument from `stack` in turn, as Apple lays them out; vsnprintf then reads the bundle's
// arguments. The variadic functions themselves are two instructions of assembly each: at entry
// the variadic arguments start at sp, and that address is passed on as the last argument.
#include <cstdio>
#include <cstring>

#include "macho_call.h"
#include "macho_variadic.h"

namespace {

struct Aapcs64VaList {
    void *stack;
    void *gr_top;
    void *vr_top;
    int gr_offs;
    int vr_offs;
};
static_assert(sizeof(Aapcs64VaList) == sizeof(va_list), "AAPCS64 va_list layout");

// Formats Apple's variadic arguments, whose first slot is at `slots`.
int format(char *buffer, std::size_t size, const char *fmt, void *slots) {
    const Aapcs64VaList l{slots, nullptr, nullptr, 0, 0};
    va_list ap;
    std::memcpy(&ap, &l, sizeof ap);
    return std::vsnprintf(buffer, size, fmt, ap);
}

}  // namespace

extern "C" int pk_macho_vsnprintf(char *buffer, std::size_t size, const char *fmt,
                                  PkMachoVaList slots) {
    return format(buffer, size, fmt, slots);
}

// pk_macho_mexErrMsgIdAndTxt's second half: its arguments' slots start at `slots`.
extern "C" [[noreturn]] void pk_macho_error_slots(const char *id, const char *fmt, void *slots) {
    char message[2048];
    format(message, sizeof message, fmt != nullptr ? fmt : "", slots);
    pkhost::macho::leave(id != nullptr ? id : "", message);
}

asm(R"(
    .text
    .p2align 2
    .globl pk_macho_snprintf
    .hidden pk_macho_snprintf
    .type pk_macho_snprintf, %function
pk_macho_snprintf:
    mov x3, sp
    b pk_macho_vsnprintf
    .size pk_macho_snprintf, .-pk_macho_snprintf
    .globl pk_macho_mexErrMsgIdAndTxt
    .hidden pk_macho_mexErrMsgIdAndTxt
    .type pk_macho_mexErrMsgIdAndTxt, %function
pk_macho_mexErrMsgIdAndTxt:
    mov x2, sp
    b pk_macho_error_slots
    .size pk_macho_mexErrMsgIdAndTxt, .-pk_macho_mexErrMsgIdAndTxt
)");
