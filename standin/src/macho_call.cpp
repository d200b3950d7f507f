// The calls into Mach-O bundles: each under a guard that a host error leaves by longjmp, after
// which the host's error is thrown from the host's own frame (see macho.h).
#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "macho.h"
#include "macho_call.h"
#include "pkhost.h"

namespace pkhost {
namespace macho {

namespace {

struct Guard {
    std::jmp_buf where;
    std::string id, message;
    std::vector<void *> blocks;  // what the bundle holds of the loader's malloc
};

// The guard of the call this thread is in; every thread has its own.
thread_local Guard *guard = nullptr;

}  // namespace

[[noreturn]] void leave(const char *id, const char *message) {
    if (guard == nullptr) {
        std::fprintf(stderr, "pkhost: a Mach-O bundle raised %s outside a call\n", id);
        std::abort();
    }
    guard->id = id;
    guard->message = message;
    std::longjmp(guard->where, 1);
}

void hold(void *block) {
    if (guard != nullptr && block != nullptr) guard->blocks.push_back(block);
}

void release(void *block) {
    if (guard == nullptr || block == nullptr) return;
    std::vector<void *> &b = guard->blocks;
    for (std::size_t k = b.size(); k-- > 0;)
        if (b[k] == block) {
            b.erase(b.begin() + static_cast<std::ptrdiff_t>(k));
            return;
        }
}

void call(Entry entry, int nlhs, mxArray **plhs, int nrhs, const mxArray **prhs) {
    // Only `g`, whose address the guard pointer holds, and `outer`, set before setjmp, are read
    // after a longjmp: both are what they were.
    Guard g;
    Guard *const outer = guard;
    guard = &g;
    if (setjmp(g.where) == 0) {
        entry(nlhs, plhs, nrhs, prhs);
        guard = outer;
        return;
    }
    guard = outer;
    for (void *p : g.blocks) std::free(p);
    throw HostError(g.id, g.message);
}

}  // namespace macho
}  // namespace pkhost
