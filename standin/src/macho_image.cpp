// The Mach-O bundle loader's reading of a bundle (see macho.h): the file's load commands, its
// segments mapped at one slide (through platform.h), the rebase and bind opcodes applied, the
// export trie searched for _mexFunction, the initializers run; and the image closed again.
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "macho.h"
#include "macho_imports.h"
#include "platform.h"

#if !defined(__x86_64__) && !defined(__aarch64__)
#error "the Mach-O loader runs bundles of the host's processor: x86-64 or 64-bit Arm"
#endif

namespace pkhost {
namespace macho {

namespace {

const uint32_t kMagic64 = 0xfeedfacf, kCigam64 = 0xcffaedfe, kMagic32 = 0xfeedface,
               kCigam32 = 0xcefaedfe, kFatMagic = 0xcafebabe, kFatCigam = 0xbebafeca;
const uint32_t kCpuX86_64 = 0x01000007, kCpuArm64 = 0x0100000c;
const uint32_t kBundle = 8;
const uint32_t kSegment64 = 0x19, kDyldInfo = 0x22, kDyldInfoOnly = 0x80000022,
               kLoadDylib = 0xc, kLoadWeakDylib = 0x80000018, kReexportDylib = 0x8000001f,
               kLoadUpwardDylib = 0x80000023, kLazyLoadDylib = 0x20, kChainedFixups = 0x80000034,
               kExportsTrie = 0x80000033;
const uint32_t kModInitPointers = 0x9, kModTermPointers = 0xa, kInitOffsets = 0x16;

#if defined(__x86_64__)
const uint32_t kHostCpu = kCpuX86_64;
const char *const kHostCpuName = "x86_64";
#else
const uint32_t kHostCpu = kCpuArm64;
const char *const kHostCpuName = "arm64";
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

typedef void (*Initializer)();

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

// A segment's protection (VM_PROT_READ 1, WRITE 2, EXECUTE 4) as the pages' access.
unsigned access(uint32_t vmprot) {
    return ((vmprot & 1) ? platform::kRead : 0) | ((vmprot & 2) ? platform::kWrite : 0) |
           ((vmprot & 4) ? platform::kExecute : 0);
}

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
            const Library *found = find_library(lib);
            if (found == nullptr)
                refuse("links " + lib + ", which the stand-in host does not provide");
            im.dylibs.push_back(found);
        }
        at += size;
    }
    if (im.segments.empty()) refuse("has no segments");
    if (info == nullptr) refuse("has no dyld information (LC_DYLD_INFO_ONLY)");

    uint64_t low = UINT64_MAX, high = 0;
    for (const Segment &s : im.segments) {
        if (s.vmsize == 0) continue;
        low = s.vmaddr < low ? s.vmaddr : low;
        high = s.vmaddr + s.vmsize > high ? s.vmaddr + s.vmsize : high;
    }
    const uint64_t page = platform::page_size();
    if (low % page != 0) refuse("its segments are not page-aligned");
    im.low = low;
    im.mapped = static_cast<std::size_t>((high - low + page - 1) / page * page);
    void *base = platform::pages_map(im.mapped);
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
        if (!platform::pages_protect(p, static_cast<std::size_t>(s.vmsize), access(s.initprot)))
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
        if (im->base != nullptr) platform::pages_unmap(im->base, im->mapped);
        return nullptr;
    }
    return im.release();
}

Entry entry(void *image) { return static_cast<Image *>(image)->entry; }

void close(void *image) {
    Image *im = static_cast<Image *>(image);
    if (im == nullptr) return;
    for (std::size_t k = im->terminators.size(); k-- > 0;) im->terminators[k]();
    if (im->base != nullptr) platform::pages_unmap(im->base, im->mapped);
    delete im;
}

}  // namespace macho
}  // namespace pkhost
