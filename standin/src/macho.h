// The stand-in host's loader of macOS modules: Mach-O bundles (MH_BUNDLE) for the processor the
// host runs on (x86_64 bundles on x86-64 Linux, arm64 bundles on 64-bit Arm Linux), loaded and
// called without macOS. It does what dyld does for exactly what the project's bundles contain:
//
//   - maps every segment at one slide, applies the rebase opcodes, and the bind and lazy-bind
//     opcodes (all bound at once), from LC_DYLD_INFO(_ONLY); a bundle with chained fixups, thread
//     locals, a fat header or relocations of another kind is refused with a message saying so;
//   - binds the host calls (@rpath/libmx.dylib, @rpath/libmex.dylib; @rpath/libmat.dylib is
//     linked and gives nothing) to the stand-in host, and the libSystem calls to the host's C
//     library, adapted where Apple's convention differs from Linux's (below). An import of any
//     other symbol or library makes the load fail with a message naming it: no bundle runs with a
//     hole in it;
//   - sets each segment's protection, runs the initializers (__mod_init_func, __init_offsets), and
//     finds _mexFunction in the export trie.
//
// The pieces: macho_image.cpp reads the file, maps it (through platform.h) and applies its
// fixups; macho_imports.cpp holds what a bundle may import, by library; macho_x86_64.cpp and
// macho_arm64.cpp the variadic imports in Apple's convention of each processor; macho_call.cpp
// the calls into a bundle and their way out at a host error.
//
// Host errors. mexErrMsgIdAndTxt of the stand-in host throws a C++ exception, which the host's
// unwinder could not carry through a bundle's frames (it knows nothing of their unwind
// information, and the bundles are built without exceptions). A bundle's mexErrMsgIdAndTxt is
// instead bound to the loader's own, which formats the message and ends the call with longjmp
// back to call() below, which then throws the host's error from the host's own frame; a host call
// that fails inside the stand-in host (mxCreateDoubleMatrix_700 refusing a size) ends the same
// way. Nothing the bundle allocated is lost: its malloc, calloc, realloc and free are bound to the
// loader's, which keeps a list of the blocks each call holds and frees those still held when the
// call is ended this way (the gateway's scratch, taken before the result, and any message
// string). Arrays the call created are released by the host as for any failed call. The bundles
// keep no state of their own, so nothing else can be left behind.
//
// Calling conventions. macOS on x86_64 follows the same System V convention as Linux, variadic
// calls and va_list included, so the host calls and libSystem's printf family bind directly. On
// arm64 Apple passes every variadic argument on the stack, in 8-byte slots, and its va_list is a
// plain pointer to them; Linux (AAPCS64) passes them in registers and its va_list is a structure.
// The variadic imports (mexErrMsgIdAndTxt, snprintf, vsnprintf) therefore go to shims that take
// the slots' address and hand it to the C library as an AAPCS64 va_list whose register save areas
// are used up, which reads every argument from those slots in turn. Apple reserves x18 and never
// uses it, so the host's code may use it freely; every non-variadic call the bundles make has at
// most four arguments in registers and follows the same rules on both systems.
//
// The loader is built where PK_STANDIN_MACHO is set (the Linux builds on x86-64 and 64-bit Arm).
// Elsewhere (the Windows build) no file is taken for a bundle: a Mach-O file goes to the
// platform's loader, which refuses it as it refuses any file not of its own kind.
#ifndef PAIRKERNELS_STANDIN_MACHO_H
#define PAIRKERNELS_STANDIN_MACHO_H

#include <string>

#include "matrix.h"

namespace pkhost {
namespace macho {

typedef void (*Entry)(int, mxArray **, int, const mxArray **);

#if PK_STANDIN_MACHO
// Whether the file starts like a Mach-O file (thin or fat, either byte order).
bool is_macho(const std::string &path);

// Loads a bundle; nullptr with `error` set when it cannot.
void *open(const std::string &path, std::string &error);
Entry entry(void *image);  // its _mexFunction
void close(void *image);

// Calls a bundle's entry point. A host error raised during the call is thrown here as
// pkhost::HostError, after the call's blocks are freed.
void call(Entry entry, int nlhs, mxArray **plhs, int nrhs, const mxArray **prhs);
#else
inline bool is_macho(const std::string &) { return false; }
inline void *open(const std::string &, std::string &error) {
    error = "this host loads no Mach-O bundles";
    return nullptr;
}
inline Entry entry(void *) { return nullptr; }
inline void close(void *) {}
inline void call(Entry, int, mxArray **, int, const mxArray **) {}
#endif

}  // namespace macho
}  // namespace pkhost

#endif
