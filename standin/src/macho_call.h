// The calls into Mach-O bundles (macho_call.cpp), as the bundles' imports see them: a call runs
// under a guard that a host error ends by longjmp, and that lists the blocks the bundle holds of
// the loader's malloc, so that those still held then are freed.
#ifndef PAIRKERNELS_STANDIN_MACHO_CALL_H
#define PAIRKERNELS_STANDIN_MACHO_CALL_H

namespace pkhost {
namespace macho {

// Ends the bundle call in progress with a host error (macho::call then throws it). Outside a call
// it aborts the process: no bundle code runs outside one.
[[noreturn]] void leave(const char *id, const char *message);

// The call in progress holds `block` of the loader's malloc, or no longer does (nullptr and
// calls outside a call change nothing).
void hold(void *block);
void release(void *block);

}  // namespace macho
}  // namespace pkhost

#endif
