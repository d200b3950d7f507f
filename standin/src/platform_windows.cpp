#include "platform.h"

#include <windows.h>

#include <new>

namespace pkhost {
namespace platform {

// Huge pages are only advice; Windows large pages need a privilege, so they are not asked for.
Guarded guarded_alloc(std::size_t bytes, bool /*huge_pages*/) {
    SYSTEM_INFO info;
    GetSystemInfo(&info);
    const std::size_t page = info.dwPageSize;
    const std::size_t body = (bytes + page - 1) / page * page;
    const std::size_t mapped = body + 2 * page;
    // Committed pages are zero-filled; all start inaccessible and only the body is opened.
    void *base = VirtualAlloc(nullptr, mapped, MEM_RESERVE | MEM_COMMIT, PAGE_NOACCESS);
    if (base == nullptr) throw std::bad_alloc();
    char *first = static_cast<char *>(base) + page;
    DWORD previous;
    if (body != 0 && !VirtualProtect(first, body, PAGE_READWRITE, &previous)) {
        VirtualFree(base, 0, MEM_RELEASE);
        throw std::bad_alloc();
    }
    Guarded g;
    g.base = base;
    g.mapped = mapped;
    g.data = first + body - bytes;
    return g;
}

void guarded_free(Guarded &g) {
    if (g.base != nullptr) VirtualFree(g.base, 0, MEM_RELEASE);
    g = Guarded();
}

void *module_open(const std::string &path, std::string &error) {
    // LoadLibrary wants backslashes; the tests build paths with '/'.
    std::string native = path;
    for (char &c : native)
        if (c == '/') c = '\\';
    HMODULE h = LoadLibraryA(native.c_str());
    if (h == nullptr) {
        const DWORD code = GetLastError();
        char text[512] = "";
        FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code, 0,
                       text, sizeof text, nullptr);
        error = "LoadLibrary error " + std::to_string(code) + ": " + text;
        while (!error.empty() && (error.back() == '\n' || error.back() == '\r')) error.pop_back();
    }
    return reinterpret_cast<void *>(h);
}

void *module_symbol(void *handle, const char *name) {
    return reinterpret_cast<void *>(GetProcAddress(static_cast<HMODULE>(handle), name));
}

void module_close(void *handle) {
    if (handle != nullptr) FreeLibrary(static_cast<HMODULE>(handle));
}

}  // namespace platform
}  // namespace pkhost
