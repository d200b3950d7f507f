#include "platform.h"

#include <dlfcn.h>
#include <sys/mman.h>
#include <unistd.h>

#include <new>

namespace pkhost {
namespace platform {

std::size_t page_size() { return static_cast<std::size_t>(sysconf(_SC_PAGESIZE)); }

Guarded guarded_alloc(std::size_t bytes, bool huge_pages) {
    const std::size_t page = page_size();
    const std::size_t body = (bytes + page - 1) / page * page;
    const std::size_t mapped = body + 2 * page;
    void *base = mmap(nullptr, mapped, PROT_NONE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (base == MAP_FAILED) throw std::bad_alloc();
    char *first = static_cast<char *>(base) + page;
    if (body != 0 && mprotect(first, body, PROT_READ | PROT_WRITE) != 0) {
        munmap(base, mapped);
        throw std::bad_alloc();
    }
#ifdef MADV_HUGEPAGE
    // Advice only: where transparent huge pages are off or unavailable nothing changes.
    if (huge_pages && body != 0) madvise(first, body, MADV_HUGEPAGE);
#endif
    Guarded g;
    g.base = base;
    g.mapped = mapped;
    g.data = first + body - bytes;
    return g;
}

void guarded_free(Guarded &g) {
    if (g.base != nullptr) munmap(g.base, g.mapped);
    g = Guarded();
}

void *module_open(const std::string &path, std::string &error) {
    void *h = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (h == nullptr) {
        const char *e = dlerror();
        error = e != nullptr ? e : "dlopen failed";
    }
    return h;
}

void *module_symbol(void *handle, const char *name) { return dlsym(handle, name); }

void module_close(void *handle) {
    if (handle != nullptr) dlclose(handle);
}

void *pages_map(std::size_t bytes) {
    void *p = mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    return p == MAP_FAILED ? nullptr : p;
}

void pages_unmap(void *pages, std::size_t bytes) { munmap(pages, bytes); }

bool pages_protect(void *pages, std::size_t bytes, unsigned access) {
    const int mode = ((access & kRead) ? PROT_READ : 0) | ((access & kWrite) ? PROT_WRITE : 0) |
                     ((access & kExecute) ? PROT_EXEC : 0);
    if (mprotect(pages, bytes, mode) != 0) return false;
    if (access & kExecute)
        __builtin___clear_cache(static_cast<char *>(pages), static_cast<char *>(pages) + bytes);
    return true;
}

}  // namespace platform
}  // namespace pkhost
