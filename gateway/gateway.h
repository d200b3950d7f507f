// The host-binding layer every pairkernels module shares.
//
// A module's entry reads like a script: the Gateway it is handed reads each argument in
// ascending position order by its kind (integer size, real scalar, array), states how many
// doubles each array must hold, creates the result, and the entry calls the kernel. The entry is
// written once, with PK_ENTRY, and nothing in a module's source knows its host: this header
// includes no host's API, so a module's source is compiled once per platform and the same object
// is linked into the module file of every host. Each host's binding (gateway.cpp, entry.cpp)
// supplies the entry point that calls it: mexFunction for MEX hosts (MATLAB, GNU Octave's MEX
// interface, the stand-in host), or, built with PK_HOST_OCTAVE, a function over Octave's own
// API, which hands its result back without the copy Octave makes of every MEX result.
//
// The Gateway is the only code that checks anything; a broken contract ends the call with the
// host's error call (mexErrMsgIdAndTxt, error_with_id) and an identifier
// "pairkernels:<module>:<mnemonic>" before the result exists and before any array element is read:
//
//   nargin       fewer arguments than the module reads
//   nargout      more than one output requested
//   notScalar    a size or scalar argument that is not a full numeric or logical scalar
//   notDouble    an array argument that is not a double array (int32, single, char, cell, ...)
//   sparse       an array argument that is sparse
//   tooShort     an array holding fewer doubles than the kernel reads for the given sizes
//   tooLarge     a result dimension beyond 2147483647, or a result of more than 2^45 elements
//                (2^48 bytes), which no host could address
//   negativeSize a result dimension below zero
//   outOfRange   an index argument outside its range (module-specific checks)
//   outOfMemory  kernel scratch, or a native Octave result, that could not be allocated (a MEX
//                host raises its own error when it cannot create the result)
//
// What callers may rely on is kept: fractional sizes truncate toward zero, negative sizes pass
// unchanged (their loops stay empty), a complex array is read through its real part, arguments
// beyond those the module reads are ignored, and the result is returned even when no output is
// requested.
#ifndef PAIRKERNELS_GATEWAY_H
#define PAIRKERNELS_GATEWAY_H

#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

namespace pk {

// Integer size of a double: truncated toward zero; NaN, ±Inf and values whose truncation lies
// outside -2147483648 ... 2147483647 give -2147483648.
int32_t to_size(double v);

// How many doubles a kernel reads from an array of extent a·b·c: zero when any factor is zero or
// negative (the kernel's loops are then empty), otherwise the product, saturated at INT64_MAX
// instead of wrapping.
int64_t reads(int64_t a, int64_t b = 1, int64_t c = 1);

// A result dimension formed from sizes: the exact product, saturated at the int64 limits.
int64_t dim(int64_t a, int64_t b = 1, int64_t c = 1);

// An array argument as read: its data and how many elements the host says it holds.
struct Array {
    const double *data;
    int64_t numel;
    int pos;
};

// Whether the kernel stores every element of its result, or leaves some to be +0.0. MEX hosts
// always hand out zero-filled results; a native Octave result is cleared only when the kernel
// needs it.
enum class Writes { some, all };

// One call as the host made it: its arguments, the outputs asked for and where the result goes.
// Each host binding defines it (host.h); modules only pass it on.
struct Call;
// Scratch is taken with malloc and given back with free, so that a module needs nothing of the
// C++ runtime library for it (the macOS bundles link no libc++).
struct FreeScratch {
    void operator()(double *p) const { std::free(p); }
};

class Gateway {
public:
    // `names` lists the module's arguments by position; `nargs` is how many the module reads.
    // Checks the argument and output counts at once.
    Gateway(const char *module, const char *const *names, int nargs, Call &call);
    Gateway(const Gateway &) = delete;
    Gateway &operator=(const Gateway &) = delete;

    int32_t size(int pos);    // integer size, by the conversion rule
    double scalar(int pos);   // real scalar, unchanged (NaN and infinities included)
    Array array(int pos);     // full double array; of a complex one, its real part

    // The kernel reads `count` doubles of `a`; `what` names the count for the message ("N*N").
    void need(const Array &a, int64_t count, const char *what);

    // An index argument (already read with size()) must lie in 0 ... count-1.
    void need_index(int pos, int32_t value, int32_t count);

    // Heap scratch of `count` doubles for the kernel, alive as long as the Gateway. Taken before
    // the result is created, so a failed allocation is reported like any other error.
    double *scratch(int64_t count);

    // Creates the rows-by-cols result, hands it to the host and returns its data, +0.0 in every
    // element unless `writes` says the kernel stores them all. `rows_text` and `cols_text` name
    // the formulas for messages ("N*N*K").
    double *result(int64_t rows, const char *rows_text, int64_t cols, const char *cols_text,
                   Writes writes = Writes::some);

    // Raises the host error pairkernels:<module>:<mnemonic>; printf-style message.
    [[noreturn]] void fail(const char *mnemonic, const char *fmt, ...) const
        __attribute__((format(printf, 3, 4)));

private:
    void check_scalar(int pos, const char *expected) const;
    void check_dim(int64_t value, const char *text, const char *which) const;
    // How the sizes named in `formula` were converted, where the conversion changed them, as
    // sentences for the end of a message ("" when none was).
    std::string conversions(const char *formula) const;

    // A size argument whose value the conversion changed (NaN, 2.5, 1e10).
    struct Converted {
        int pos;
        double value;
        int32_t size;
    };

    const char *module_;
    const char *const *names_;
    Call &call_;
    std::vector<Converted> converted_;
    std::unique_ptr<double[], FreeScratch> scratch_;
};

// Lets the user stop a long call (Ctrl-C) where the host offers that to compiled code: in the
// native Octave build it ends the call with Octave's interrupt when one is pending (the Gateway
// and the result are released as the interrupt unwinds); MEX hosts offer no such check, and
// there it does nothing. A kernel calls it between chunks of work, never inside a sum.
void poll();

// What a host's entry point needs of the module it is linked into: its name, its arguments'
// names by position, how many it reads, and its entry. PK_ENTRY defines it; each module file
// holds exactly one.
struct Module {
    const char *name;
    const char *const *arg_names;
    int nargs;
    void (*entry)(Gateway &gw);
};
extern const Module kModule;

}  // namespace pk

// The module's entry, written once after its kernel:
//
//   PK_ENTRY(pair_residual, gw) {
//       const int32_t N = gw.size(IN_N);
//       ...
//   }
//
// The module's kArgNames and NARGS name and count its arguments.
#define PK_ENTRY(module, gw)                                                            \
    static void module##_entry(pk::Gateway &gw);                                        \
    const pk::Module pk::kModule = {#module, kArgNames, NARGS, &module##_entry};        \
    static void module##_entry(pk::Gateway &gw)

#endif
