// What the C++ library would otherwise bring to a macOS bundle, linked into each one so that it
// needs no libc++: the bundles link only the host's libraries and libSystem.
//
// The gateway's messages use std::string. libc++ declares most of basic_string<char>'s members
// as instantiated in its dylib; the few the gateway reaches are instantiated here instead. The
// global operator new and delete that they allocate with are replaced (as C++ allows a program
// to) by malloc and free. The bundles are built without exceptions, so an allocation that fails
// ends the process, as libc++'s own code does when built that way; the strings are a few dozen
// bytes of an error message.
//
// Everything here is private to the bundle: the linker exports _mexFunction alone.
#include <cstddef>
#include <cstdlib>
#include <new>
#include <string>

template std::string &std::string::append(const char *);
template std::string &std::string::append(const char *, size_type);
template void std::string::__grow_by_and_replace(size_type, size_type, size_type, size_type,
                                                 size_type, size_type, const char *);

void *operator new(std::size_t bytes) {
    void *p = std::malloc(bytes != 0 ? bytes : 1);
    if (p == nullptr) std::abort();
    return p;
}

void operator delete(void *p) noexcept { std::free(p); }
void operator delete(void *p, std::size_t) noexcept { std::free(p); }
