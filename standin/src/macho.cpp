// The Mach-O bundle loader (see macho.h): file layout, fixups, imports, calls.
#include "macho.h"

#include <csetjmp>
#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "mex.h"
#include "pkhost.h"

// Bundles run where their machine code is the host's: x86_64 bundles on x86-64 Linux and Windows,
// arm64 bundles on 64-bit Arm Linux. Elsewhere a bundle is refused.
#if defined(__x86_64__) || (defined(__aarch64__) && !defined(_WIN32))
#define PK_MACHO_LOADER 1
#else
#define PK_MACHO_LOADER 0
#endif

#if PK_MACHO_LOADER && defined(_WIN32)
#include <windows.h>
#elif PK_MACHO_LOADER
#include <sys/mman.h>
#include <unistd.h>
#endif

// Every function a bundle calls follows the bundle's convention: on x86-64 the System V one,
// which is the Linux host's own and which GCC also compiles for a Windows host (where the
// platform's convention is Microsoft's).
#if defined(__x86_64__)
#define PK_BUNDLE_ABI __attribute__((sysv_abi))
#else
#define PK_BUNDLE_ABI
#endif

namespace pkhost {
namespace macho {

namespace {

// ---- The calls of one bundle: errors end them by longjmp, and their blocks are listed. ----

// On Windows setjmp records its frame, and longjmp then unwinds the frames it leaves by their
// unwind tables, which a bundle's frames have none of; a jump buffer recorded without a frame is
// left by restoring the registers alone, as longjmp does elsewhere.
#if defined(_WIN32)
typedef std::jmp_buf JumpBuffer;
#define PK_SETJMP(b) _setjmp(b, nullptr)
#define PK_LONGJMP(b) std::longjmp(b, 1)
#else
typedef std::jmp_buf JumpBuffer;
#define PK_SETJMP(b) setjmp(b)
#define PK_LONGJMP(b) std::longjmp(b, 1)
#endif

struct Guard {
    JumpBuffer where;
    std::string id, message;
    std::vector<void *> blocks;  // what the bundle holds of the loader's malloc
};

thread_local Guard *guard = nullptr;

#if PK_MACHO_LOADER
[[noreturn]] __attribute__((noinline)) void leave(const char *id, const char *message) {
    if (guard == nullptr) {
        std::fprintf(stderr, "pkhost: a Mach-O bundle raised %s outside a call\n", id);
        std::abort();
    }
    guard->id = id;
    guard->message = message;
    PK_LONGJMP(guard->where);
}

void hold(void *p) {
    if (guard != nullptr && p != nullptr) guard->blocks.push_back(p);
}

void release(void *p) {
    if (guard == nullptr || p == nullptr) return;
    std::vector<void *> &b = guard->blocks;
    for (std::size_t k = b.size(); k-- > 0;)
        if (b[k] == p) {
            b.erase(b.begin() + static_cast<std::ptrdiff_t>(k));
            return;
        }
}

// ---- The imports: host calls and libSystem's, in the bundle's convention. ----

PK_BUNDLE_ABI void *bundle_malloc(std::size_t n) {
    void *p = std::malloc(n);
    hold(p);
    return p;
}

PK_BUNDLE_ABI void *bundle_calloc(std::size_t n, std::size_t size) {
    void *p = std::calloc(n, size);
    hold(p);
    return p;
}

PK_BUNDLE_ABI void *bundle_realloc(void *old, std::size_t n) {
    release(old);
    void *p = std::realloc(old, n);
    hold(p == nullptr && n != 0 ? old : p);  // a failed realloc leaves the old block held
    return p;
}

PK_BUNDLE_ABI void bundle_free(void *p) {
    release(p);
    std::free(p);
}

PK_BUNDLE_ABI void *bundle_memcpy(void *d, const void *s, std::size_t n) {
    return std::memcpy(d, s, n);
}
PK_BUNDLE_ABI void *bundle_memmove(void *d, const void *s, std::size_t n) {
    return std::memmove(d, s, n);
}
PK_BUNDLE_ABI void *bundle_memset(void *d, int c, std::size_t n) { return std::memset(d, c, n); }
PK_BUNDLE_ABI void bundle_bzero(void *d, std::size_t n) { std::memset(d, 0, n); }
PK_BUNDLE_ABI std::size_t bundle_strlen(const char *s) { return std::strlen(s); }
PK_BUNDLE_ABI const char *bundle_strstr(const char *s, const char *t) { return std::strstr(s, t); }
PK_BUNDLE_ABI double bundle_strtod(const char *s, char **end) { return std::strtod(s, end); }
[[noreturn]] PK_BUNDLE_ABI void bundle_abort() { std::abort(); }

[[noreturn]] PK_BUNDLE_ABI void unbound_lazy_pointer() {
    std::fprintf(stderr, "pkhost: a Mach-O bundle called dyld_stub_binder (a lazy pointer left "
                         "unbound)\n");
    std::abort();
}

[[noreturn]] PK_BUNDLE_ABI void stack_check_failed() {
    std::fprintf(stderr, "pkhost: a Mach-O bundle's stack protector fired\n");
    std::abort();
}

uintptr_t stack_check_guard = 0x2f8a5b7c3e1d9604u;

// The host call that can fail inside the stand-in host: its error ends the call like the module's
// own (the exception is caught here, in host code, and the call left after the handler is done).
// (The handler sits in a function of the host's convention: GCC for Windows emits no unwind
// table for a function of another convention, and so no handler in one.)
__attribute__((noinline)) mxArray *create(int m, int n, mxComplexity flag, char (&id)[128],
                                          char (&message)[512]) {
    try {
        return mxCreateDoubleMatrix_700(m, n, flag);
    } catch (const HostError &e) {
        std::snprintf(id, sizeof id, "%s", e.id().c_str());
        std::snprintf(message, sizeof message, "%s", e.what());
    } catch (const std::exception &e) {
        std::snprintf(id, sizeof id, "standin:outOfMemory");
        std::snprintf(message, sizeof message, "%s", e.what());
    }
    return nullptr;
}

PK_BUNDLE_ABI mxArray *bundle_create(int m, int n, mxComplexity flag) {
    char id[128], message[512];
    mxArray *a = create(m, n, flag, id, message);
    if (a == nullptr) leave(id, message);
    return a;
}

#define PK_HOST_CALL(ret, name, type)                                       \
    PK_BUNDLE_ABI ret bundle_##name(type a) { return name(a); }
PK_HOST_CALL(double, mxGetScalar, const mxArray *)
PK_HOST_CALL(double *, mxGetPr, const mxArray *)
PK_HOST_CALL(double *, mxGetPi, const mxArray *)
PK_HOST_CALL(size_t, mxGetM, const mxArray *)
PK_HOST_CALL(size_t, mxGetN, const mxArray *)
PK_HOST_CALL(size_t, mxGetNumberOfElements, const mxArray *)
PK_HOST_CALL(mwSize, mxGetNumberOfDimensions, const mxArray *)
PK_HOST_CALL(const mwSize *, mxGetDimensions, const mxArray *)
PK_HOST_CALL(mxClassID, mxGetClassID, const mxArray *)
PK_HOST_CALL(const char *, mxGetClassName, const mxArray *)
PK_HOST_CALL(bool, mxIsDouble, const mxArray *)
PK_HOST_CALL(bool, mxIsNumeric, const mxArray *)
PK_HOST_CALL(bool, mxIsLogical, const mxArray *)
PK_HOST_CALL(bool, mxIsComplex, const mxArray *)
PK_HOST_CALL(bool, mxIsSparse, const mxArray *)
PK_HOST_CALL(int, pkhostSimdLevel, int)
#undef PK_HOST_CALL

// The variadic imports: snprintf, vsnprintf and mexErrMsgIdAndTxt.
#if defined(__x86_64__) && !defined(_WIN32)
// The Linux C library's own convention and va_list are the bundle's.
typedef va_list BundleVaList;
#define PK_BUNDLE_VA_START va_start
#define PK_BUNDLE_VA_END va_end
int format(char *buffer, std::size_t size, const char *fmt, BundleVaList ap) {
    return std::vsnprintf(buffer, size, fmt, ap);
}
#elif defined(__x86_64__)
// On Windows the bundle's va_list is System V's, which the C library cannot read: the format is
// taken apart here, each argument fetched by its conversion's type and formatted by itself.
typedef __builtin_sysv_va_list BundleVaList;
#define PK_BUNDLE_VA_START __builtin_sysv_va_start
#define PK_BUNDLE_VA_END __builtin_sysv_va_end

// What has been formatted: `length` characters, of which the first `size` - 1 at most are kept.
struct Formatted {
    char *buffer;
    std::size_t size, length;
};

void put(Formatted &f, const char *s, std::size_t n) {
    for (std::size_t k = 0; k < n; ++k, ++f.length)
        if (f.length + 1 < f.size) f.buffer[f.length] = s[k];
}

template <class T>
void put_one(Formatted &f, const char *conversion, T value) {
    char piece[256];
    const int n = std::snprintf(piece, sizeof piece, conversion, value);
    if (n < 0) return;
    if (static_cast<std::size_t>(n) < sizeof piece) return put(f, piece, static_cast<std::size_t>(n));
    char *whole = static_cast<char *>(std::malloc(static_cast<std::size_t>(n) + 1));
    if (whole == nullptr) return;
    std::snprintf(whole, static_cast<std::size_t>(n) + 1, conversion, value);
    put(f, whole, static_cast<std::size_t>(n));
    std::free(whole);
}

// Holds no object with a destructor: GCC for Windows gives a function of another convention than
// the platform's no unwind table.
PK_BUNDLE_ABI int format(char *buffer, std::size_t size, const char *fmt, BundleVaList ap) {
    Formatted f{buffer, size, 0};
    for (const char *p = fmt; *p != '\0'; ++p) {
        if (*p != '%') {
            put(f, p, 1);
            continue;
        }
        // The conversion as the host's snprintf takes it: flags, width and precision as given
        // (a '*' replaced by its argument), then "ll" for every integer.
        char conversion[64] = "%";
        std::size_t n = 1;
        auto add = [&](char c) {
            if (n + 1 < sizeof conversion) conversion[n++] = c, conversion[n] = '\0';
        };
        ++p;
        while (*p != '\0' && std::strchr("-+ #0", *p) != nullptr) add(*p++);
        for (int field = 0; field < 2; ++field) {  // width, then precision
            if (field == 1) {
                if (*p != '.') break;
                add(*p++);
            }
            if (*p == '*') {
                char digits[16];
                std::snprintf(digits, sizeof digits, "%d", __builtin_va_arg(ap, int));
                for (const char *d = digits; *d != '\0'; ++d) add(*d);
                ++p;
            }
            while (*p >= '0' && *p <= '9') add(*p++);
        }
        // The bundle's widths: long is 64 bits there, 32 on Windows.
        int bits = 32;
        if (*p == 'h') {
            bits = 16;
            if (*++p == 'h') bits = 8, ++p;
        } else if (*p == 'l') {
            bits = 64;
            if (*++p == 'l') ++p;
        } else if (*p == 'z' || *p == 'j' || *p == 't') {
            bits = 64, ++p;
        } else if (*p == 'L') {
            return -1;  // long double: not a type the bundles pass
        }
        const char c = *p;
        if (c == '\0') break;
        if (c == 'd' || c == 'i' || c == 'u' || c == 'o' || c == 'x' || c == 'X') {
            add('l'), add('l'), add(c);
            long long v = bits == 64 ? __builtin_va_arg(ap, long long) : __builtin_va_arg(ap, int);
            const bool is_signed = c == 'd' || c == 'i';
            // One cast per branch: in `s ? int(v) : unsigned(v)` the int would turn unsigned.
            if (bits == 32) {
                if (is_signed) v = static_cast<int>(v);
                else v = static_cast<unsigned>(v);
            } else if (bits == 16) {
                if (is_signed) v = static_cast<short>(v);
                else v = static_cast<unsigned short>(v);
            } else if (bits == 8) {
                if (is_signed) v = static_cast<signed char>(v);
                else v = static_cast<unsigned char>(v);
            }
            put_one(f, conversion, v);
        } else if (std::strchr("fFeEgGaA", c) != nullptr) {
            add(c);
            put_one(f, conversion, __builtin_va_arg(ap, double));
        } else if (c == 'c') {
            add(c);
            put_one(f, conversion, __builtin_va_arg(ap, int));
        } else if (c == 's' || c == 'p') {
            add(c);
            put_one(f, conversion, __builtin_va_arg(ap, const char *));
        } else if (c == '%') {
            put(f, "%", 1);
        } else {
            return -1;  // %n and unknown conversions
        }
    }
    if (size > 0) buffer[f.length < size ? f.length : size - 1] = '\0';
    return static_cast<int>(f.length);
}
#endif

#if defined(__x86_64__)
PK_BUNDLE_ABI int bundle_snprintf(char *buffer, std::size_t size, const char *fmt, ...) {
    BundleVaList ap;
    PK_BUNDLE_VA_START(ap, fmt);
    const int n = format(buffer, size, fmt, ap);
    PK_BUNDLE_VA_END(ap);
    return n;
}

PK_BUNDLE_ABI int bundle_vsnprintf(char *buffer, std::size_t size, const char *fmt,
                                   BundleVaList ap) {
    return format(buffer, size, fmt, ap);
}

PK_BUNDLE_ABI void bundle_mexErrMsgIdAndTxt(const char *id, const char *fmt, ...) {
    char message[2048];
    BundleVaList ap;
    PK_BUNDLE_VA_START(ap, fmt);
    format(message, sizeof message, fmt != nullptr ? fmt : "", ap);
    PK_BUNDLE_VA_END(ap);
    leave(id != nullptr ? id : "", message);
}
#endif
#endif  // PK_MACHO_LOADER

}  // namespace

}  // namespace macho
}  // namespace pkhost

#if PK_MACHO_LOADER && defined(__aarch64__)
// Apple's arm64 convention passes every variadic argument on the stack, in 8-byte slots, and its
// va_list points at them. An AAPCS64 va_list (GCC's __va_list) whose general and vector register
// areas are used up (offsets 0) makes va_arg take every argument from `stack` in turn, as Apple
// lays them out; vsnprintf then reads the bundle's arguments.
namespace {
struct Aapcs64VaList {
    void *stack;
    void *gr_top;
    void *vr_top;
    int gr_offs;
    int vr_offs;
};
static_assert(sizeof(Aapcs64VaList) == sizeof(va_list), "AAPCS64 va_list layout");
}  // namespace

#define PK_WITH_APPLE_VA_LIST(ap, slots)                 \
    va_list ap;                                         \
    {                                                   \
        Aapcs64VaList l{slots, nullptr, nullptr, 0, 0}; \
        std::memcpy(&ap, &l, sizeof ap);                \
    }

extern "C" int pk_macho_vsnprintf(char *buffer, std::size_t size, const char *fmt, void *slots) {
    PK_WITH_APPLE_VA_LIST(ap, slots);
    return std::vsnprintf(buffer, size, fmt, ap);
}

extern "C" void pk_macho_error_slots(const char *id, const char *fmt, void *slots) {
    char message[2048];
    {
        PK_WITH_APPLE_VA_LIST(ap, slots);
        std::vsnprintf(message, sizeof message, fmt != nullptr ? fmt : "", ap);
    }
    pkhost::macho::leave(id != nullptr ? id : "", message);
}

extern "C" int pk_macho_snprintf(char *, std::size_t, const char *, ...);
extern "C" void pk_macho_mexErrMsgIdAndTxt(const char *, const char *, ...);

// At entry the variadic arguments start at sp: pass that address on as the last argument.
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
#define PK_BUNDLE_SNPRINTF pk_macho_snprintf
#define PK_BUNDLE_VSNPRINTF pk_macho_vsnprintf
#define PK_BUNDLE_ERROR pk_macho_mexErrMsgIdAndTxt
#else
#define PK_BUNDLE_SNPRINTF bundle_snprintf
#define PK_BUNDLE_VSNPRINTF bundle_vsnprintf
#define PK_BUNDLE_ERROR bundle_mexErrMsgIdAndTxt
#endif

namespace pkhost {
namespace macho {

namespace {

const uint32_t kMagic64 = 0xfeedfacf, kCigam64 = 0xcffaedfe, kMagic32 = 0xfeedface,
               kCigam32 = 0xcefaedfe, kFatMagic = 0xcafebabe, kFatCigam = 0xbebafeca;

// ---- What the bundles may import, by library. ----

#if PK_MACHO_LOADER
struct Import {
    const char *name;
    void *address;
};

#define PK_FN(f) reinterpret_cast<void *>(&(f))

const Import kLibmx[] = {
    {"_mxCreateDoubleMatrix_700", PK_FN(bundle_create)},
    {"_mxGetScalar", PK_FN(bundle_mxGetScalar)},
    {"_mxGetPr", PK_FN(bundle_mxGetPr)},
    {"_mxGetPi", PK_FN(bundle_mxGetPi)},
    {"_mxGetM", PK_FN(bundle_mxGetM)},
    {"_mxGetN", PK_FN(bundle_mxGetN)},
    {"_mxGetNumberOfElements", PK_FN(bundle_mxGetNumberOfElements)},
    {"_mxGetNumberOfDimensions", PK_FN(bundle_mxGetNumberOfDimensions)},
    {"_mxGetDimensions", PK_FN(bundle_mxGetDimensions)},
    {"_mxGetClassID", PK_FN(bundle_mxGetClassID)},
    {"_mxGetClassName", PK_FN(bundle_mxGetClassName)},
    {"_mxIsDouble", PK_FN(bundle_mxIsDouble)},
    {"_mxIsNumeric", PK_FN(bundle_mxIsNumeric)},
    {"_mxIsLogical", PK_FN(bundle_mxIsLogical)},
    {"_mxIsComplex", PK_FN(bundle_mxIsComplex)},
    {"_mxIsSparse", PK_FN(bundle_mxIsSparse)},
    {"_pkhostSimdLevel", PK_FN(bundle_pkhostSimdLevel)},
    {nullptr, nullptr}};
const Import kLibmex[] = {{"_mexErrMsgIdAndTxt", PK_FN(PK_BUNDLE_ERROR)}, {nullptr, nullptr}};
const Import kLibmat[] = {{nullptr, nullptr}};
const Import kLibSystem[] = {
    {"_malloc", PK_FN(bundle_malloc)},
    {"_calloc", PK_FN(bundle_calloc)},
    {"_realloc", PK_FN(bundle_realloc)},
    {"_free", PK_FN(bundle_free)},
    {"_memcpy", PK_FN(bundle_memcpy)},
    {"_memmove", PK_FN(bundle_memmove)},
    {"_memset", PK_FN(bundle_memset)},
    {"_bzero", PK_FN(bundle_bzero)},
    {"___bzero", PK_FN(bundle_bzero)},
    {"_strlen", PK_FN(bundle_strlen)},
    {"_strstr", PK_FN(bundle_strstr)},
    {"_strtod", PK_FN(bundle_strtod)},
    {"_abort", PK_FN(bundle_abort)},
    {"_snprintf", PK_FN(PK_BUNDLE_SNPRINTF)},
    {"_vsnprintf", PK_FN(PK_BUNDLE_VSNPRINTF)},
    {"___stack_chk_fail", PK_FN(stack_check_failed)},
    {"___stack_chk_guard", &stack_check_guard},
    {"dyld_stub_binder", PK_FN(unbound_lazy_pointer)},
    {nullptr, nullptr}};

struct Library {
    const char *install_name;
    const Import *imports;
};

const Library kLibraries[] = {{"@rpath/libmx.dylib", kLibmx},
                              {"@rpath/libmex.dylib", kLibmex},
                              {"@rpath/libmat.dylib", kLibmat},
                              {"/usr/lib/libSystem.B.dylib", kLibSystem}};

// ---- The file. ----

const uint32_t kCpuX86_64 = 0x01000007, kCpuArm64 = 0x0100000c;
const uint32_t kBundle = 8;
const uint32_t kSegment64 = 0x19, kDyldInfo = 0x22, kDyldInfoOnly = 0x80000022,
               kLoadDylib = 0xc, kLoadWeakDylib = 0x80000018, kReexportDylib = 0x8000001f,
               kLoadUpwardDylib = 0x80000023, kLazyLoadDylib = 0x20, kChainedFixups = 0x80000034,
               kExportsTrie = 0x80000033, kDysymtab = 0xb;
const uint32_t kModInitPointers = 0x9, kModTermPointers = 0xa, kInitOffsets = 0x16;

#if defined(__x86_64__)
const uint32_t kHostCpu = kCpuX86_64;
const char *const kHostCpuName = "x86_64";
#elif defined(__aarch64__)
const uint32_t kHostCpu = kCpuArm64;
const char *const kHostCpuName = "arm64";
#else
const uint32_t kHostCpu = 0;
const char *const kHostCpuName = "this processor";
#endif

struct Segment {
    std::string name;
    uint64_t vmaddr, vmsize, fileoff, filesize;
    uint32_t initprot;
};

struct Section {
    std::string name;
    uint64_t addr, size;
    uint32_t type;
};

typedef void (PK_BUNDLE_ABI *Initializer)();

struct Image {
    std::string path;
    unsigned char *base = nullptr;  // where vmaddr `low` is mapped
    std::size_t mapped = 0;
    uint64_t low = 0;
    std::vector<Segment> segments;
    std::vector<Section> sections;
    std::vector<const Library *> dylibs;  // by ordinal - 1
    std::vector<Initializer> terminators;
    Entry entry = nullptr;
};

// A load failure: what was wrong, for the message of Module's constructor.
struct Refused {
    std::string why;
};

[[noreturn]] void refuse(const std::string &why) { throw Refused{why}; }

std::string cpu_name(uint32_t cpu) {
    if (cpu == kCpuX86_64) return "x86_64";
    if (cpu == kCpuArm64) return "arm64";
    char s[32];
    std::snprintf(s, sizeof s, "CPU type 0x%x", cpu);
    return s;
}

// Reads values at offsets of the file, every read checked against its end.
class Bytes {
public:
    explicit Bytes(std::vector<unsigned char> data) : data_(std::move(data)) {}
    std::size_t size() const { return data_.size(); }
    const unsigned char *at(uint64_t offset, uint64_t length) const {
        if (offset > data_.size() || length > data_.size() - offset)
            refuse("truncated file (a table ends beyond the file's end)");
        return data_.data() + offset;
    }
    uint32_t u32(uint64_t offset) const {
        uint32_t v;
        std::memcpy(&v, at(offset, 4), 4);
        return v;
    }
    uint64_t u64(uint64_t offset) const {
        uint64_t v;
        std::memcpy(&v, at(offset, 8), 8);
        return v;
    }
    std::string name16(uint64_t offset) const {
        const char *p = reinterpret_cast<const char *>(at(offset, 16));
        return std::string(p, strnlen(p, 16));
    }

private:
    std::vector<unsigned char> data_;
};

// A stream of dyld opcodes and their operands (ULEB128, SLEB128, C strings).
class Opcodes {
public:
    Opcodes(const unsigned char *p, std::size_t n) : p_(p), end_(p + n) {}
    bool done() const { return p_ >= end_; }
    uint8_t byte() {
        if (p_ >= end_) refuse("dyld opcodes end inside an opcode");
        return *p_++;
    }
    uint64_t uleb() {
        uint64_t v = 0;
        for (int shift = 0;; shift += 7) {
            const uint8_t b = byte();
            if (shift < 64) v |= static_cast<uint64_t>(b & 0x7f) << shift;
            if (!(b & 0x80)) return v;
        }
    }
    int64_t sleb() {
        int64_t v = 0;
        int shift = 0;
        uint8_t b;
        do {
            b = byte();
            if (shift < 64) v |= static_cast<int64_t>(static_cast<uint64_t>(b & 0x7f) << shift);
            shift += 7;
        } while (b & 0x80);
        if (shift < 64 && (b & 0x40)) v |= -(static_cast<int64_t>(1) << shift);
        return v;
    }
    const char *cstring() {
        const unsigned char *s = p_;
        while (p_ < end_ && *p_ != 0) ++p_;
        if (p_ >= end_) refuse("dyld opcodes end inside a symbol name");
        ++p_;
        return reinterpret_cast<const char *>(s);
    }

private:
    const unsigned char *p_, *end_;
};

// The address of a pointer slot at `offset` in segment `index`, checked to lie inside it.
uint64_t *slot(Image &im, uint64_t index, uint64_t offset) {
    if (index >= im.segments.size()) refuse("a fixup names a segment the bundle does not have");
    const Segment &s = im.segments[index];
    if (offset > s.vmsize || s.vmsize - offset < 8)
        refuse("a fixup lies outside its segment " + s.name);
    return reinterpret_cast<uint64_t *>(im.base + (s.vmaddr - im.low) + offset);
}

void rebase(Image &im, const unsigned char *p, std::size_t n) {
    const uint64_t slide = reinterpret_cast<uintptr_t>(im.base) - im.low;
    Opcodes op(p, n);
    uint64_t seg = 0, offset = 0;
    auto one = [&](uint64_t skip) {
        *slot(im, seg, offset) += slide;
        offset += 8 + skip;
    };
    while (!op.done()) {
        const uint8_t b = op.byte(), imm = b & 0x0f;
        switch (b & 0xf0) {
            case 0x00: return;  // DONE
            case 0x10:          // SET_TYPE_IMM
                if (imm != 1) refuse("a rebase of a kind other than a pointer");
                break;
            case 0x20: seg = imm; offset = op.uleb(); break;  // SET_SEGMENT_AND_OFFSET_ULEB
            case 0x30: offset += op.uleb(); break;            // ADD_ADDR_ULEB
            case 0x40: offset += imm * 8u; break;             // ADD_ADDR_IMM_SCALED
            case 0x50:                                        // DO_REBASE_IMM_TIMES
                for (int k = 0; k < imm; ++k) one(0);
                break;
            case 0x60: {  // DO_REBASE_ULEB_TIMES
                const uint64_t count = op.uleb();
                for (uint64_t k = 0; k < count; ++k) one(0);
                break;
            }
            case 0x70: one(op.uleb()); break;  // DO_REBASE_ADD_ADDR_ULEB
            case 0x80: {                       // DO_REBASE_ULEB_TIMES_SKIPPING_ULEB
                const uint64_t count = op.uleb(), skip = op.uleb();
                for (uint64_t k = 0; k < count; ++k) one(skip);
                break;
            }
            default: refuse("an unknown rebase opcode");
        }
    }
}

void *resolve(const Image &im, int64_t ordinal, const char *name, bool weak) {
    if (ordinal <= 0 || static_cast<uint64_t>(ordinal) > im.dylibs.size())
        refuse(std::string("symbol ") + name +
               " is bound by flat or self lookup; the bundles bind every import to its library");
    const Library *lib = im.dylibs[static_cast<std::size_t>(ordinal - 1)];
    for (const Import *i = lib->imports; i->name != nullptr; ++i)
        if (std::strcmp(i->name, name) == 0) return i->address;
    if (weak) return nullptr;
    refuse(std::string("imports ") + name + " from " + lib->install_name +
           ", which the stand-in host does not provide to Mach-O bundles");
}

// Bind and lazy-bind opcodes. Lazy entries end with DONE each, so DONE ends only the bind table.
void bind(Image &im, const unsigned char *p, std::size_t n, bool lazy) {
    Opcodes op(p, n);
    uint64_t seg = 0, offset = 0;
    int64_t ordinal = 0, addend = 0;
    const char *name = nullptr;
    bool weak = false;
    auto one = [&](uint64_t skip) {
        if (name == nullptr) refuse("a bind without a symbol");
        void *target = resolve(im, ordinal, name, weak);
        *slot(im, seg, offset) =
            target != nullptr ? reinterpret_cast<uintptr_t>(target) + static_cast<uint64_t>(addend)
                              : 0;
        offset += 8 + skip;
    };
    while (!op.done()) {
        const uint8_t b = op.byte(), imm = b & 0x0f;
        switch (b & 0xf0) {
            case 0x00:  // DONE
                if (!lazy) return;
                break;
            case 0x10: ordinal = imm; break;                       // SET_DYLIB_ORDINAL_IMM
            case 0x20: ordinal = static_cast<int64_t>(op.uleb()); break;  // ..._ULEB
            case 0x30: ordinal = imm ? static_cast<int8_t>(0xf0 | imm) : 0; break;  // SPECIAL
            case 0x40:  // SET_SYMBOL_TRAILING_FLAGS_IMM
                weak = (imm & 0x1) != 0;
                name = op.cstring();
                break;
            case 0x50:  // SET_TYPE_IMM
                if (imm != 1) refuse("a bind of a kind other than a pointer");
                break;
            case 0x60: addend = op.sleb(); break;                     // SET_ADDEND_SLEB
            case 0x70: seg = imm; offset = op.uleb(); break;          // SET_SEGMENT_AND_OFFSET
            case 0x80: offset += op.uleb(); break;                    // ADD_ADDR_ULEB
            case 0x90: one(0); break;                                 // DO_BIND
            case 0xa0: one(op.uleb()); break;                         // DO_BIND_ADD_ADDR_ULEB
            case 0xb0: one(imm * 8u); break;                          // ..._IMM_SCALED
            case 0xc0: {  // DO_BIND_ULEB_TIMES_SKIPPING_ULEB
                const uint64_t count = op.uleb(), skip = op.uleb();
                for (uint64_t k = 0; k < count; ++k) one(skip);
                break;
            }
            default: refuse("an unknown or threaded bind opcode");
        }
    }
}

// The export trie's node for `name`: its terminal's address, relative to the Mach-O header.
bool find_export(const unsigned char *trie, std::size_t n, const char *name, uint64_t &address) {
    uint64_t node = 0;
    const char *rest = name;
    for (int depth = 0; depth < 256; ++depth) {
        if (node >= n) return false;
        Opcodes op(trie + node, n - node);
        const uint64_t terminal = op.uleb();
        if (*rest == '\0') {
            if (terminal == 0) return false;
            const uint64_t flags = op.uleb();
            if ((flags & 0x18) != 0) return false;  // re-export or stub-and-resolver
            address = op.uleb();
            return true;
        }
        for (uint64_t k = 0; k < terminal; ++k) op.byte();
        const uint8_t children = op.byte();
        bool found = false;
        for (uint8_t c = 0; c < children && !found; ++c) {
            const char *edge = op.cstring();
            const uint64_t child = op.uleb();
            const std::size_t len = std::strlen(edge);
            if (std::strncmp(rest, edge, len) == 0) {
                rest += len;
                node = child;
                found = true;
            }
        }
        if (!found) return false;
    }
    return false;
}

// Memory for the segments, and their protection (VM_PROT_READ 1, WRITE 2, EXECUTE 4).
#if defined(_WIN32)
std::size_t page_size() {
    SYSTEM_INFO info;
    GetSystemInfo(&info);
    return info.dwPageSize;
}
void *map_writable(std::size_t bytes) {
    return VirtualAlloc(nullptr, bytes, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE);
}
void unmap(void *p, std::size_t) { VirtualFree(p, 0, MEM_RELEASE); }
bool protect(void *p, std::size_t bytes, uint32_t vmprot) {
    const bool r = vmprot & 1, w = vmprot & 2, x = vmprot & 4;
    const DWORD mode = x ? (w ? PAGE_EXECUTE_READWRITE : PAGE_EXECUTE_READ)
                         : (w ? PAGE_READWRITE : (r ? PAGE_READONLY : PAGE_NOACCESS));
    DWORD old;
    if (!VirtualProtect(p, bytes, mode, &old)) return false;
    if (x) FlushInstructionCache(GetCurrentProcess(), p, bytes);
    return true;
}
#else
std::size_t page_size() { return static_cast<std::size_t>(sysconf(_SC_PAGESIZE)); }
void *map_writable(std::size_t bytes) {
    void *p = mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    return p == MAP_FAILED ? nullptr : p;
}
void unmap(void *p, std::size_t bytes) { munmap(p, bytes); }
bool protect(void *p, std::size_t bytes, uint32_t vmprot) {
    const int mode = ((vmprot & 1) ? PROT_READ : 0) | ((vmprot & 2) ? PROT_WRITE : 0) |
                     ((vmprot & 4) ? PROT_EXEC : 0);
    if (mprotect(p, bytes, mode) != 0) return false;
    if (vmprot & 4)
        __builtin___clear_cache(static_cast<char *>(p), static_cast<char *>(p) + bytes);
    return true;
}
#endif

void load(Image &im, const Bytes &file) {
    const uint32_t magic = file.u32(0);
    if (magic == kFatMagic || magic == kFatCigam)
        refuse("is a universal (fat) file; load the thin bundle of one architecture");
    if (magic == kMagic32 || magic == kCigam32) refuse("is a 32-bit Mach-O file");
    if (magic != kMagic64) refuse("is not a little-endian 64-bit Mach-O file");
    const uint32_t cpu = file.u32(4), type = file.u32(12), ncmds = file.u32(16);
    if (cpu != kHostCpu)
        refuse("is built for " + cpu_name(cpu) + "; this host runs " + kHostCpuName +
               " code");
    if (type != kBundle) refuse("is a Mach-O file but not a bundle (MH_BUNDLE)");

    const unsigned char *info = nullptr;
    uint32_t rebase_off = 0, rebase_size = 0, bind_off = 0, bind_size = 0, lazy_off = 0,
             lazy_size = 0, export_off = 0, export_size = 0;
    uint64_t at = 32;
    for (uint32_t c = 0; c < ncmds; ++c) {
        const uint32_t cmd = file.u32(at), size = file.u32(at + 4);
        if (size < 8) refuse("a load command is shorter than its header");
        file.at(at, size);
        if (cmd == kSegment64) {
            Segment s{file.name16(at + 8), file.u64(at + 24), file.u64(at + 32),
                      file.u64(at + 40), file.u64(at + 48), file.u32(at + 60)};
            if (s.filesize > s.vmsize) refuse("segment " + s.name + " holds more than it maps");
            file.at(s.fileoff, s.filesize);
            const uint32_t nsects = file.u32(at + 64);
            for (uint32_t k = 0; k < nsects; ++k) {
                const uint64_t sect = at + 72 + 80 * static_cast<uint64_t>(k);
                const Section x{file.name16(sect), file.u64(sect + 32), file.u64(sect + 40),
                                file.u32(sect + 64) & 0xff};
                if (file.u32(sect + 60) != 0) refuse("section " + x.name + " has relocations");
                if (x.type >= 0x11 && x.type <= 0x15) refuse("has thread-local variables");
                im.sections.push_back(x);
            }
            im.segments.push_back(s);
        } else if (cmd == kDyldInfo || cmd == kDyldInfoOnly) {
            info = file.at(at, 48);
            rebase_off = file.u32(at + 8), rebase_size = file.u32(at + 12);
            bind_off = file.u32(at + 16), bind_size = file.u32(at + 20);
            lazy_off = file.u32(at + 32), lazy_size = file.u32(at + 36);
            export_off = file.u32(at + 40), export_size = file.u32(at + 44);
        } else if (cmd == kExportsTrie) {
            export_off = file.u32(at + 8), export_size = file.u32(at + 12);
        } else if (cmd == kChainedFixups) {
            refuse("uses chained fixups (LC_DYLD_CHAINED_FIXUPS), which this loader does not "
                   "apply; link with classic dyld opcodes");
        } else if (cmd == kLoadDylib || cmd == kLoadWeakDylib || cmd == kReexportDylib ||
                   cmd == kLoadUpwardDylib || cmd == kLazyLoadDylib) {
            const uint32_t name_at = file.u32(at + 8);
            if (name_at >= size) refuse("a dylib command's name lies outside it");
            const char *p = reinterpret_cast<const char *>(file.at(at + name_at, size - name_at));
            const std::string lib(p, strnlen(p, size - name_at));
            const Library *found = nullptr;
            for (const Library &l : kLibraries)
                if (lib == l.install_name) found = &l;
            if (found == nullptr)
                refuse("links " + lib + ", which the stand-in host does not provide");
            im.dylibs.push_back(found);
        }
        at += size;
    }
    static_cast<void>(kDysymtab);
    if (im.segments.empty()) refuse("has no segments");
    if (info == nullptr) refuse("has no dyld information (LC_DYLD_INFO_ONLY)");

    uint64_t low = UINT64_MAX, high = 0;
    for (const Segment &s : im.segments) {
        if (s.vmsize == 0) continue;
        low = s.vmaddr < low ? s.vmaddr : low;
        high = s.vmaddr + s.vmsize > high ? s.vmaddr + s.vmsize : high;
    }
    const uint64_t page = page_size();
    if (low % page != 0) refuse("its segments are not page-aligned");
    im.low = low;
    im.mapped = static_cast<std::size_t>((high - low + page - 1) / page * page);
    void *base = map_writable(im.mapped);
    if (base == nullptr) refuse("cannot map its segments");
    im.base = static_cast<unsigned char *>(base);
    for (const Segment &s : im.segments)
        if (s.filesize != 0)
            std::memcpy(im.base + (s.vmaddr - low), file.at(s.fileoff, s.filesize), s.filesize);

    rebase(im, file.at(rebase_off, rebase_size), rebase_size);
    bind(im, file.at(bind_off, bind_size), bind_size, false);
    bind(im, file.at(lazy_off, lazy_size), lazy_size, true);

    uint64_t address = 0;
    if (!find_export(file.at(export_off, export_size), export_size, "_mexFunction", address))
        refuse("exports no _mexFunction");
    if (address >= high - low) refuse("its _mexFunction lies outside the bundle");
    im.entry = reinterpret_cast<Entry>(im.base + address);

    for (const Segment &s : im.segments) {
        if (s.vmsize == 0) continue;
        unsigned char *p = im.base + (s.vmaddr - low);
        if (!protect(p, static_cast<std::size_t>(s.vmsize), s.initprot))
            refuse("cannot set the protection of segment " + s.name);
    }

    for (const Section &x : im.sections) {
        const unsigned char *p = im.base + (x.addr - low);
        if (x.addr < low || x.addr + x.size > high) refuse("section " + x.name + " lies outside");
        if (x.type == kModInitPointers || x.type == kModTermPointers) {
            for (uint64_t k = 0; k + 8 <= x.size; k += 8) {
                uint64_t f;
                std::memcpy(&f, p + k, 8);
                const Initializer fn = reinterpret_cast<Initializer>(static_cast<uintptr_t>(f));
                if (x.type == kModInitPointers)
                    fn();
                else
                    im.terminators.push_back(fn);
            }
        } else if (x.type == kInitOffsets) {
            for (uint64_t k = 0; k + 4 <= x.size; k += 4) {
                uint32_t f;
                std::memcpy(&f, p + k, 4);
                reinterpret_cast<Initializer>(im.base + f)();
            }
        }
    }
}
#endif

}  // namespace

bool is_macho(const std::string &path) {
    std::ifstream in(path, std::ios::binary);
    unsigned char b[4] = {0, 0, 0, 0};
    if (!in.read(reinterpret_cast<char *>(b), 4)) return false;
    uint32_t magic;
    std::memcpy(&magic, b, 4);
    for (uint32_t m : {kMagic64, kCigam64, kMagic32, kCigam32, kFatMagic, kFatCigam})
        if (magic == m) return true;
    return false;
}

void *open(const std::string &path, std::string &error) {
#if !PK_MACHO_LOADER
    error = "Mach-O bundles are loaded by the stand-in host on x86-64 (Linux, Windows) and on "
            "64-bit Arm Linux only";
    static_cast<void>(path);
    return nullptr;
#else
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        error = "cannot read the file";
        return nullptr;
    }
    std::vector<unsigned char> data((std::istreambuf_iterator<char>(in)),
                                    std::istreambuf_iterator<char>());
    std::unique_ptr<Image> im(new Image);
    im->path = path;
    try {
        load(*im, Bytes(std::move(data)));
    } catch (const Refused &r) {
        error = "Mach-O bundle " + r.why;
        if (im->base != nullptr) unmap(im->base, im->mapped);
        return nullptr;
    }
    return im.release();
#endif
}

#if PK_MACHO_LOADER
Entry entry(void *image) { return static_cast<Image *>(image)->entry; }

namespace {

// Apart from close(): GCC 12 for Windows fails on the loop inlined there.
__attribute__((noinline)) void run_terminators(const std::vector<Initializer> &terminators) {
    for (std::size_t k = terminators.size(); k-- > 0;) terminators[k]();
}

}  // namespace

void close(void *image) {
    Image *im = static_cast<Image *>(image);
    if (im == nullptr) return;
    run_terminators(im->terminators);
    if (im->base != nullptr) unmap(im->base, im->mapped);
    delete im;
}
#else
Entry entry(void *) { return nullptr; }
void close(void *) {}
#endif

namespace {

#if defined(_WIN32)
// Windows grows a thread's stack a guard page at a time, and code built for another system does
// not touch the pages of a large frame in order as Windows code does (__chkstk): the pages a
// bundle may use are committed before it runs, 256 KiB below here or as far as the stack goes.
__attribute__((noinline)) void commit_stack() {
    char here = 0;
    MEMORY_BASIC_INFORMATION region;
    if (VirtualQuery(&here, &region, sizeof region) == 0) return;
    const uintptr_t sp = reinterpret_cast<uintptr_t>(&here);
    const uintptr_t bottom = reinterpret_cast<uintptr_t>(region.AllocationBase);
    const uintptr_t margin = 32 * 1024, most = 256 * 1024;
    if (sp - bottom <= 2 * margin) return;
    const std::size_t depth = static_cast<std::size_t>(
        sp - bottom - margin < most ? sp - bottom - 2 * margin : most);
    volatile char *p = static_cast<volatile char *>(__builtin_alloca(depth));
    for (std::size_t k = 0; k < depth; k += 4096) p[k] = here;
}
#else
void commit_stack() {}
#endif

// The call into the bundle, in a function of its own: GCC 12 for Windows can fail on a call in
// the bundle's convention in a function that holds a setjmp.
__attribute__((noinline)) void invoke(Entry entry, int nlhs, mxArray **plhs, int nrhs,
                                      const mxArray **prhs) {
    typedef void(PK_BUNDLE_ABI * BundleEntry)(int, mxArray **, int, const mxArray **);
    reinterpret_cast<BundleEntry>(entry)(nlhs, plhs, nrhs, prhs);
}

}  // namespace

void call(Entry entry, int nlhs, mxArray **plhs, int nrhs, const mxArray **prhs) {
    commit_stack();
    Guard g;
    Guard *const outer = guard;
    guard = &g;
    if (PK_SETJMP(g.where) == 0) {
        invoke(entry, nlhs, plhs, nrhs, prhs);
        guard = outer;
        return;
    }
    guard = outer;
    for (void *p : g.blocks) std::free(p);
    throw HostError(g.id, g.message);
}

}  // namespace macho
}  // namespace pkhost
