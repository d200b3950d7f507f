// codesign-check: checks the code signature of Mach-O files against their bytes, as Apple silicon
// does before it runs a page of code.
//
//   codesign-check FILE...      each FILE's signature; "ok" or "FAILED" per file, then a summary
//   codesign-check --sha256 FILE   the SHA-256 of FILE (to check this program's hash itself)
//
// For each thin 64-bit Mach-O FILE: its LC_CODE_SIGNATURE load command gives the signature's
// place in the file (__LINKEDIT); there a SuperBlob (magic 0xfade0cc0, big-endian like all of
// the signature) indexes its blobs, and its CodeDirectory (slot 0, magic 0xfade0c02) holds one
// hash per page of the file up to codeLimit (pageSize a power of two, 4096 for the linker's
// ad-hoc signature) and one per special slot (the hash of the SuperBlob's blob of that type, or
// zeros where there is none). Every hash is recomputed, by the CodeDirectory's hashType (SHA-256,
// or SHA-256 truncated to 20 bytes), and compared. The signature must also cover the whole file
// before itself (codeLimit equal to its offset) and lie inside the file. Exit status 0 when every
// file passed, 1 otherwise, 2 for a usage error.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<unsigned char>;

// ---- SHA-256 (FIPS 180-4). ----

const uint32_t kRound[64] = {
    0x428a2f98, 0x71374491, 0xb5c0fbcf, 0xe9b5dba5, 0x3956c25b, 0x59f111f1, 0x923f82a4,
    0xab1c5ed5, 0xd807aa98, 0x12835b01, 0x243185be, 0x550c7dc3, 0x72be5d74, 0x80deb1fe,
    0x9bdc06a7, 0xc19bf174, 0xe49b69c1, 0xefbe4786, 0x0fc19dc6, 0x240ca1cc, 0x2de92c6f,
    0x4a7484aa, 0x5cb0a9dc, 0x76f988da, 0x983e5152, 0xa831c66d, 0xb00327c8, 0xbf597fc7,
    0xc6e00bf3, 0xd5a79147, 0x06ca6351, 0x14292967, 0x27b70a85, 0x2e1b2138, 0x4d2c6dfc,
    0x53380d13, 0x650a7354, 0x766a0abb, 0x81c2c92e, 0x92722c85, 0xa2bfe8a1, 0xa81a664b,
    0xc24b8b70, 0xc76c51a3, 0xd192e819, 0xd6990624, 0xf40e3585, 0x106aa070, 0x19a4c116,
    0x1e376c08, 0x2748774c, 0x34b0bcb5, 0x391c0cb3, 0x4ed8aa4a, 0x5b9cca4f, 0x682e6ff3,
    0x748f82ee, 0x78a5636f, 0x84c87814, 0x8cc70208, 0x90befffa, 0xa4506ceb, 0xbef9a3f7,
    0xc67178f2};

uint32_t rotr(uint32_t x, int n) { return (x >> n) | (x << (32 - n)); }

void compress(uint32_t h[8], const unsigned char *block) {
    uint32_t w[64];
    for (int t = 0; t < 16; ++t)
        w[t] = uint32_t(block[4 * t]) << 24 | uint32_t(block[4 * t + 1]) << 16 |
               uint32_t(block[4 * t + 2]) << 8 | uint32_t(block[4 * t + 3]);
    for (int t = 16; t < 64; ++t) {
        const uint32_t s0 = rotr(w[t - 15], 7) ^ rotr(w[t - 15], 18) ^ (w[t - 15] >> 3);
        const uint32_t s1 = rotr(w[t - 2], 17) ^ rotr(w[t - 2], 19) ^ (w[t - 2] >> 10);
        w[t] = w[t - 16] + s0 + w[t - 7] + s1;
    }
    uint32_t a = h[0], b = h[1], c = h[2], d = h[3], e = h[4], f = h[5], g = h[6], k = h[7];
    for (int t = 0; t < 64; ++t) {
        const uint32_t t1 = k + (rotr(e, 6) ^ rotr(e, 11) ^ rotr(e, 25)) + ((e & f) ^ (~e & g)) +
                            kRound[t] + w[t];
        const uint32_t t2 =
            (rotr(a, 2) ^ rotr(a, 13) ^ rotr(a, 22)) + ((a & b) ^ (a & c) ^ (b & c));
        k = g, g = f, f = e, e = d + t1, d = c, c = b, b = a, a = t1 + t2;
    }
    h[0] += a, h[1] += b, h[2] += c, h[3] += d, h[4] += e, h[5] += f, h[6] += g, h[7] += k;
}

Bytes sha256(const unsigned char *data, std::size_t n) {
    uint32_t h[8] = {0x6a09e667, 0xbb67ae85, 0x3c6ef372, 0xa54ff53a,
                     0x510e527f, 0x9b05688c, 0x1f83d9ab, 0x5be0cd19};
    std::size_t done = 0;
    for (; n - done >= 64; done += 64) compress(h, data + done);
    unsigned char tail[128] = {0};
    const std::size_t rest = n - done;
    std::memcpy(tail, data + done, rest);
    tail[rest] = 0x80;
    const std::size_t blocks = rest + 9 > 64 ? 2 : 1;
    const uint64_t bits = uint64_t(n) * 8;
    for (int k = 0; k < 8; ++k)
        tail[64 * blocks - 1 - k] = static_cast<unsigned char>(bits >> 8 * k);
    for (std::size_t b = 0; b < blocks; ++b) compress(h, tail + 64 * b);
    Bytes out(32);
    for (int k = 0; k < 32; ++k)
        out[k] = static_cast<unsigned char>(h[k / 4] >> (24 - 8 * (k % 4)));
    return out;
}

std::string hex(const unsigned char *p, std::size_t n) {
    std::string s;
    char two[3];
    for (std::size_t k = 0; k < n; ++k) {
        std::snprintf(two, sizeof two, "%02x", p[k]);
        s += two;
    }
    return s;
}

// ---- The file. ----

struct Refused : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// Reads of a range of the file, refused past its end.
struct File {
    Bytes bytes;

    const unsigned char *at(uint64_t offset, uint64_t n, const char *what) const {
        if (offset > bytes.size() || n > bytes.size() - offset)
            throw Refused(std::string(what) + " lies beyond the end of the file");
        return bytes.data() + offset;
    }
    uint32_t le32(uint64_t offset) const {
        const unsigned char *p = at(offset, 4, "a load command");
        return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
    }
    uint32_t be32(uint64_t offset, const char *what) const {
        const unsigned char *p = at(offset, 4, what);
        return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | uint32_t(p[3]);
    }
    unsigned char byte(uint64_t offset, const char *what) const { return *at(offset, 1, what); }
};

const uint32_t kMachO64 = 0xfeedfacf, kCodeSignature = 0x1d;
const uint32_t kSuperBlob = 0xfade0cc0, kCodeDirectory = 0xfade0c02;

// The signature's page hashes and special slots against the file; returns what was checked.
std::string check(const File &f) {
    if (f.bytes.size() < 32 || f.le32(0) != kMachO64)
        throw Refused("not a thin 64-bit little-endian Mach-O file");
    const uint32_t ncmds = f.le32(16);
    uint64_t cmd = 32, dataoff = 0, datasize = 0;
    bool found = false;
    for (uint32_t k = 0; k < ncmds; ++k) {
        const uint32_t type = f.le32(cmd), size = f.le32(cmd + 4);
        if (size < 8) throw Refused("a load command of " + std::to_string(size) + " bytes");
        if (type == kCodeSignature) {
            dataoff = f.le32(cmd + 8);
            datasize = f.le32(cmd + 12);
            found = true;
        }
        cmd += size;
    }
    if (!found) throw Refused("no LC_CODE_SIGNATURE: the file is not signed");
    f.at(dataoff, datasize, "the signature");
    if (f.be32(dataoff, "the SuperBlob") != kSuperBlob) throw Refused("no SuperBlob at dataoff");
    const uint32_t count = f.be32(dataoff + 8, "the SuperBlob");
    struct Blob {
        uint32_t type;
        uint64_t offset;
    };
    std::vector<Blob> blobs;
    uint64_t cd = 0;
    for (uint32_t k = 0; k < count; ++k) {
        const Blob b{f.be32(dataoff + 12 + 8 * k, "the blob index"),
                     dataoff + f.be32(dataoff + 16 + 8 * k, "the blob index")};
        if (b.offset + 8 > dataoff + datasize) throw Refused("a blob outside the signature");
        blobs.push_back(b);
        if (b.type == 0) cd = b.offset;
    }
    if (cd == 0) throw Refused("the SuperBlob has no CodeDirectory (slot 0)");
    if (f.be32(cd, "the CodeDirectory") != kCodeDirectory)
        throw Refused("slot 0 is no CodeDirectory");
    const uint32_t length = f.be32(cd + 4, "the CodeDirectory");
    const uint32_t version = f.be32(cd + 8, "the CodeDirectory");
    const uint32_t flags = f.be32(cd + 12, "the CodeDirectory");
    const uint32_t hash_offset = f.be32(cd + 16, "the CodeDirectory");
    const uint32_t ident_offset = f.be32(cd + 20, "the CodeDirectory");
    const uint32_t special = f.be32(cd + 24, "the CodeDirectory");
    const uint32_t slots = f.be32(cd + 28, "the CodeDirectory");
    const uint32_t code_limit = f.be32(cd + 32, "the CodeDirectory");
    const unsigned hash_size = f.byte(cd + 36, "the CodeDirectory");
    const unsigned hash_type = f.byte(cd + 37, "the CodeDirectory");
    const unsigned page_log2 = f.byte(cd + 39, "the CodeDirectory");
    f.at(cd, length, "the CodeDirectory");
    if (hash_type != 2 && hash_type != 3)
        throw Refused("hashType " + std::to_string(hash_type) + " (only SHA-256, 2 and 3)");
    if (hash_size != (hash_type == 2 ? 32u : 20u))
        throw Refused("hashSize " + std::to_string(hash_size) + " for hashType " +
                      std::to_string(hash_type));
    if (page_log2 == 0 || page_log2 > 30) throw Refused("pageSize 2^" + std::to_string(page_log2));
    const uint64_t page = uint64_t(1) << page_log2;
    if (code_limit != dataoff)
        throw Refused("codeLimit " + std::to_string(code_limit) +
                      " is not the signature's offset " + std::to_string(dataoff) +
                      ": the signature does not cover the file before it");
    if (slots != (code_limit + page - 1) / page)
        throw Refused(std::to_string(slots) + " code slots for " + std::to_string(code_limit) +
                      " bytes in pages of " + std::to_string(page));
    if (hash_offset < uint64_t(special) * hash_size ||
        hash_offset + uint64_t(slots) * hash_size > length)
        throw Refused("the hash slots lie outside the CodeDirectory");

    auto expect = [&](int64_t slot, const unsigned char *data, uint64_t n,
                      const std::string &what) {
        const unsigned char *stored =
            f.at(cd + hash_offset + slot * int64_t(hash_size), hash_size, "a hash slot");
        const Bytes actual = sha256(data, n);
        if (std::memcmp(stored, actual.data(), hash_size) != 0)
            throw Refused(what + ": the signature holds " + hex(stored, hash_size) +
                          ", the file hashes to " + hex(actual.data(), hash_size));
    };
    for (uint32_t k = 0; k < slots; ++k) {
        const uint64_t start = k * page, n = std::min<uint64_t>(page, code_limit - start);
        expect(k, f.at(start, n, "a page"), n, "page " + std::to_string(k) + " (bytes " +
               std::to_string(start) + "..." + std::to_string(start + n - 1) + ")");
    }
    for (uint32_t s = 1; s <= special; ++s) {
        const Blob *blob = nullptr;
        for (const Blob &b : blobs)
            if (b.type == s) blob = &b;
        if (blob != nullptr) {
            const uint32_t n = f.be32(blob->offset + 4, "a blob");
            expect(-int64_t(s), f.at(blob->offset, n, "a blob"), n,
                   "special slot " + std::to_string(s));
        } else {
            const unsigned char *stored =
                f.at(cd + hash_offset - s * hash_size, hash_size, "a hash slot");
            for (unsigned k = 0; k < hash_size; ++k)
                if (stored[k] != 0)
                    throw Refused("special slot " + std::to_string(s) + " names a blob the "
                                  "signature does not hold");
        }
    }
    std::string ident;
    for (uint64_t p = cd + ident_offset; p < cd + length && f.byte(p, "the identifier"); ++p)
        ident += static_cast<char>(f.byte(p, "the identifier"));
    char summary[256];
    std::snprintf(summary, sizeof summary,
                  "%u pages of %llu bytes up to %u, %u special slots, %s, CodeDirectory version "
                  "0x%x, flags 0x%x%s%s, identifier %s",
                  slots, static_cast<unsigned long long>(page), code_limit, special,
                  hash_type == 2 ? "SHA-256" : "SHA-256 truncated", version, flags,
                  flags & 0x2 ? " adhoc" : "", flags & 0x20000 ? " linker-signed" : "",
                  ident.c_str());
    return summary;
}

File read(const std::string &path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) throw Refused("cannot read the file");
    File f;
    f.bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return f;
}

}  // namespace

int main(int argc, char **argv) {
    if (argc == 3 && std::string(argv[1]) == "--sha256") {
        try {
            const File f = read(argv[2]);
            std::printf("%s\n", hex(sha256(f.bytes.data(), f.bytes.size()).data(), 32).c_str());
            return 0;
        } catch (const std::exception &e) {
            std::fprintf(stderr, "codesign-check: %s: %s\n", argv[2], e.what());
            return 2;
        }
    }
    if (argc < 2) {
        std::fprintf(stderr, "usage: codesign-check FILE... | --sha256 FILE\n");
        return 2;
    }
    int passed = 0, failed = 0;
    for (int k = 1; k < argc; ++k) {
        try {
            const std::string what = check(read(argv[k]));
            std::printf("ok      %s: %s\n", argv[k], what.c_str());
            ++passed;
        } catch (const std::exception &e) {
            std::printf("FAILED  %s: %s\n", argv[k], e.what());
            ++failed;
        }
    }
    std::printf("%d passed, %d failed\n", passed, failed);
    return failed == 0 ? 0 : 1;
}
