// The stand-in host's platform code: guarded memory, module loading and the pages of the Mach-O
// loader. One implementation per platform (platform_posix.cpp, platform_windows.cpp); nothing
// else in the host touches the operating system.
#ifndef PAIRKERNELS_STANDIN_PLATFORM_H
#define PAIRKERNELS_STANDIN_PLATFORM_H

#include <cstddef>
#include <string>

namespace pkhost {
namespace platform {

// Memory for `bytes` bytes whose end abuts an inaccessible page (and which starts after one), so
// the first access past the end faults. Zero-filled. For bytes == 0, `data` points at the
// inaccessible page itself. With `huge_pages`, the operating system is asked to back the memory
// with transparent huge pages where it can (fewer, larger page faults on first touch).
struct Guarded {
    void *data = nullptr;
    void *base = nullptr;
    std::size_t mapped = 0;
};
Guarded guarded_alloc(std::size_t bytes, bool huge_pages = false);  // throws std::bad_alloc
void guarded_free(Guarded &g);

void *module_open(const std::string &path, std::string &error);
void *module_symbol(void *handle, const char *name);
void module_close(void *handle);

#if !defined(_WIN32)
// Pages for code the host loads itself (the Mach-O loader's segments, macho.h, which only the
// Linux builds have): mapped readable, writable and zero-filled, filled, then each range given
// the access it keeps.
std::size_t page_size();
void *pages_map(std::size_t bytes);  // nullptr when the memory cannot be had
void pages_unmap(void *pages, std::size_t bytes);
const unsigned kRead = 1, kWrite = 2, kExecute = 4;  // the access bits of pages_protect
// Sets the access of whole pages; code in pages made executable is then what instructions are
// fetched from (the instruction cache is made to see what was written). False when refused.
bool pages_protect(void *pages, std::size_t bytes, unsigned access);
#endif

}  // namespace platform
}  // namespace pkhost

#endif
