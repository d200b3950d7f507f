// The stand-in host's loader of macOS modules: Mach-O bundles (MH_BUNDLE) for the processor the
// host runs on (x86_64 bundles on x86-64 Linux and Windows, arm64 bundles on 64-bit Arm Linux),
// loaded and called without macOS. It does what dyld does for exactly what the project's bundles
// contain:
//
//   - maps every segment at one slide, applies the rebase opcodes, and the bind and lazy-bind
//     opcodes (all bound at once), from LC_DYLD_INFO(_ONLY); a bundle with chained fixups, thread
//     locals, a fat header or relocations of another kind is refused with a message saying so;
//   - binds the host calls (@rpath/libmx.dylib, @rpath/libmex.dylib; @rpath/libmat.dylib is
//     linked and gives nothing) to the stand-in host, and the libSystem calls to the host's C
//     library, adapted where Apple's convention differs from the host's (below). An import of any
//     other symbol or library makes the load fail with a message naming it: no bundle runs with a
//     hole in it;
//   - sets each segment's protection, runs the initializers (__mod_init_func, __init_offsets), and
//     finds _mexFunction in the export trie.
//
// Host errors. mexErrMsgIdAndTxt of the stand-in host throws a C++ exception, which the host's
// unwinder could not carry through a bundle's frames (it knows nothing of their unwind
// information, and the bundles are built without exceptions). A bundle's mexErrMsgIdAndTxt is
// instead bound to the loader's own, which formats the message and ends the call with longjmp (on
// Windows from a jump buffer recorded without a frame, so that it unwinds nothing) back to call()
// below, which then throws the host's error from the host's own frame; a host call that fails
// inside the stand-in host (mxCreateDoubleMatrix_700 refusing a size) ends the same way. Nothing
// the bundle allocated is lost: its malloc, calloc, realloc and free are bound to the loader's,
// which keeps a list of the blocks each call holds and frees those still held when the call is
// ended this way (the gateway's scratch, taken before the result, and any message string). Arrays
// the call created are released by the host as for any failed call. The bundles keep no state of
// their own, so nothing else can be left behind.
//
// Calling conventions. macOS on x86_64 follows the same System V convention as Linux, variadic
// calls and va_list included, so on Linux the host calls and libSystem's printf family bind
// directly (through wrappers that only name the convention). On Windows the host's own convention
// is Microsoft's: the bundle's entry is called, and every import is compiled, in the System V
// convention (GCC's sysv_abi); the C library there cannot read a System V va_list, so the loader
// takes the printf family's formats apart itself and formats each argument on its own. Windows
// also grows a stack one guard page at a time, which code built for macOS does not expect (it does
// not touch the pages of a large frame in order): the pages below the call are committed, up to
// 256 KiB, before a bundle runs. On arm64 Apple passes every variadic argument on the stack, in
// 8-byte slots, and its va_list is a plain pointer to them; Linux (AAPCS64) passes them in
// registers and its va_list is a structure. The variadic imports (mexErrMsgIdAndTxt, snprintf,
// vsnprintf) therefore go to shims that take the slots' address and hand it to the C library as an
// AAPCS64 va_list whose register save areas are used up, which reads every argument from those
// slots in turn. Apple reserves x18 and never uses it, so the host's code may use it freely; every
// non-variadic call the bundles make has at most four arguments in registers and follows the same
// rules on both systems.
#ifndef PAIRKERNELS_STANDIN_MACHO_H
#define PAIRKERNELS_STANDIN_MACHO_H

#include <string>

#include "matrix.h"

namespace pkhost {
namespace macho {

typedef void (*Entry)(int, mxArray **, int, const mxArray **);

// Whether the file starts like a Mach-O file (thin or fat, either byte order).
bool is_macho(const std::string &path);

// Loads a bundle; nullptr with `error` set when it cannot.
void *open(const std::string &path, std::string &error);
Entry entry(void *image);  // its _mexFunction
void close(void *image);

// Calls a bundle's entry point. A host error raised during the call is thrown here as
// pkhost::HostError, after the call's blocks are freed.
void call(Entry entry, int nlhs, mxArray **plhs, int nrhs, const mxArray **prhs);

}  // namespace macho
}  // namespace pkhost

#endif
