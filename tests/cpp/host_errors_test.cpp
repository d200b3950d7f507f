// Host errors leave a module cleanly, whatever kind of file it is: an ELF or PE module unwinds its
// frames, a Mach-O bundle is left by the loader's longjmp (standin/src/macho.h). Either way the
// error reaches the caller with its identifier, nothing the call allocated stays allocated, and
// the host goes on serving calls, from one thread or many. With PKTEST_MODULE_SUFFIX naming
// Mach-O bundles, the loader's own refusals are checked too.
#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <thread>

#if defined(__GLIBC__)
#include <malloc.h>
#endif
#if defined(_WIN32)
#include <process.h>
#else
#include <unistd.h>
#endif

#include "support.h"

namespace {

bool macho_modules() {
    const std::string s = pktest::module_suffix();
    return s == ".mexmaci64" || s == ".mexmaca64";
}

struct ClosedFormCall {
    pkhost::Array N = pkhost::scalar(1000), K = pkhost::scalar(0), t = pkhost::scalar(0.5);
    pkhost::Array U = pkhost::zeros(1000, 1000), V = pkhost::zeros(1000, 1000);
    pkhost::Array W = pkhost::doubles({}), x = pkhost::zeros(1000, 1), d = pkhost::zeros(1000, 1);
    pkhost::Array Z = pkhost::doubles({});
    std::vector<const mxArray *> args() const {
        return {N.get(), K.get(), t.get(), U.get(), V.get(), W.get(), x.get(), d.get(), Z.get()};
    }
};

#if defined(__GLIBC__)
#if __GLIBC_PREREQ(2, 33)
std::size_t heap_in_use() { return mallinfo2().uordblks; }
#else
// Older glibc (Debian 11) has only mallinfo, whose int fields suffice for the few MB here.
std::size_t heap_in_use() { return static_cast<unsigned>(mallinfo().uordblks); }
#endif
#endif

// item_closed_form_update takes 6*N doubles of scratch before it asks for its result; a host that
// refuses the result ends the call with the scratch held. 48 KB a call, 400 calls: 19 MB if it
// were kept.
TEST(HostErrors, ScratchHeldAtAHostErrorIsGivenBack) {
#if !defined(__GLIBC__)
    GTEST_SKIP() << "heap use is read with glibc's mallinfo2";
#else
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "AddressSanitizer keeps freed blocks out of the heap for a while";
#endif
    const pktest::Build &m = pktest::module("item_closed_form_update");
    ClosedFormCall c;
    ASSERT_TRUE(pktest::HasShape(m.call(c.args()), 1000, 1));
    pkhost::set_result_limit(1000);  // bytes: the 8000-byte result is refused
    ASSERT_TRUE(pktest::FailsWith(m.call(c.args()), "standin:outOfMemory"));
    const std::size_t before = heap_in_use();
    for (int k = 0; k < 400; ++k) {
        pkhost::CallResult r = m.call(c.args());
        ASSERT_TRUE(pktest::FailsWith(r, "standin:outOfMemory")) << k;
    }
    const std::size_t after = heap_in_use();
    pkhost::set_result_limit(SIZE_MAX);
    EXPECT_LT(after, before + (std::size_t(1) << 20)) << "heap grew by " << after - before;
    ASSERT_TRUE(pktest::HasShape(m.call(c.args()), 1000, 1));
#endif
}

// Errors of every kind the gateway raises, in a row and interleaved with good calls, from
// several threads at once: each call gets its own identifier and the good ones their bits.
TEST(HostErrors, ManyErrorsFromManyThreadsLeaveTheHostUsable) {
    const pktest::Build &m = pktest::module("pair_residual");
    auto N = pkhost::scalar(3), bad_N = pkhost::chars("x"), huge_N = pkhost::scalar(1e10);
    auto P = pkhost::doubles(pktest::awkward_values(9, 1, 0.0));
    auto q = pkhost::doubles(pktest::awkward_values(3, 2, 0.0));
    auto W = pkhost::doubles(pktest::awkward_values(18, 3, 0.0));
    auto X = pkhost::doubles(pktest::awkward_values(6, 4, 0.0));
    auto K = pkhost::scalar(2), short_X = pkhost::doubles({1});
    const std::vector<const mxArray *> good{N.get(), P.get(), q.get(), W.get(), X.get(), K.get()};
    const std::vector<std::pair<std::vector<const mxArray *>, std::string>> bad = {
        {{bad_N.get(), P.get(), q.get(), W.get(), X.get(), K.get()}, "notScalar"},
        {{huge_N.get(), P.get(), q.get(), W.get(), X.get(), K.get()}, "tooLarge"},
        {{N.get(), P.get(), q.get(), W.get(), short_X.get(), K.get()}, "tooShort"},
        {{N.get(), P.get(), q.get()}, "nargin"}};
    const std::vector<double> expected = pktest::result_values(m.call(good));
    ASSERT_EQ(expected.size(), 9u);

    std::atomic<int> wrong{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([&, t] {
            for (int k = 0; k < 300; ++k) {
                const auto &b = bad[static_cast<std::size_t>(k + t) % bad.size()];
                pkhost::CallResult r = m.call(b.first);
                if (!r.failed || r.id != "pairkernels:pair_residual:" + b.second || r.result)
                    ++wrong;
                pkhost::CallResult g = m.call(good);
                if (g.failed || !pktest::SameBits(pktest::result_values(g), expected)) ++wrong;
            }
        });
    for (std::thread &th : threads) th.join();
    EXPECT_EQ(wrong.load(), 0);
    // The message survives the way out, formatted with its arguments (argument 5, X, needs 6).
    pkhost::CallResult r = m.call(bad[2].first);
    for (const char *part : {"5", "X", "6"})
        EXPECT_NE(r.message.find(part), std::string::npos) << r.message;
}

std::vector<char> file_bytes(const std::string &path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<char>((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

// Loads `bytes` as a module file; returns the loader's message, or "" when it loaded. The file is
// named for this process too: suites that run at once share the temporary folder.
std::string load_error(const std::vector<char> &bytes, const std::string &name) {
#if defined(_WIN32)
    const int pid = _getpid();
#else
    const int pid = static_cast<int>(getpid());
#endif
    const std::string path = ::testing::TempDir() + std::to_string(pid) + "-" + name;
    {
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    }
    std::string error;
    try {
        pkhost::Module m(path);
    } catch (const std::runtime_error &e) {
        error = e.what();
    }
    std::remove(path.c_str());
    return error;
}

void replace(std::vector<char> &bytes, const std::string &from, const std::string &to) {
    ASSERT_EQ(from.size(), to.size());
    auto at = std::search(bytes.begin(), bytes.end(), from.begin(), from.end());
    ASSERT_NE(at, bytes.end()) << from;
    std::copy(to.begin(), to.end(), at);
}

TEST(MachOLoader, RefusesWhatItCannotBindOrRun) {
    if (!macho_modules()) GTEST_SKIP() << "the module files are not Mach-O bundles";
    const std::vector<char> good = file_bytes(pktest::module_path("pair_residual", "macos"));
    ASSERT_GT(good.size(), 4096u);
    EXPECT_EQ(load_error(good, "good.bundle"), "");

    // An import the host does not provide, named in the bind opcodes' symbol strings.
    std::vector<char> unknown = good;
    replace(unknown, std::string("_strlen\0", 8), std::string("_strlem\0", 8));
    std::string e = load_error(unknown, "unknown-import.bundle");
    EXPECT_NE(e.find("imports _strlem from /usr/lib/libSystem.B.dylib"), std::string::npos) << e;

    // A library the host does not provide.
    std::vector<char> lib = good;
    replace(lib, "@rpath/libmat.dylib", "@rpath/libmak.dylib");
    e = load_error(lib, "unknown-dylib.bundle");
    EXPECT_NE(e.find("links @rpath/libmak.dylib"), std::string::npos) << e;

    // Another processor's bundle, and a file that is not a bundle.
    const bool x86 = pktest::module_suffix() == ".mexmaci64";
    std::vector<char> other = good;
    const uint32_t cpu = x86 ? 0x0100000c : 0x01000007;
    std::memcpy(other.data() + 4, &cpu, 4);
    e = load_error(other, "other-cpu.bundle");
    EXPECT_NE(e.find(x86 ? "built for arm64" : "built for x86_64"), std::string::npos) << e;
    std::vector<char> dylib = good;
    const uint32_t type = 6;  // MH_DYLIB
    std::memcpy(dylib.data() + 12, &type, 4);
    e = load_error(dylib, "dylib.bundle");
    EXPECT_NE(e.find("not a bundle"), std::string::npos) << e;
    // Cut short: the tables end beyond the file.
    e = load_error(std::vector<char>(good.begin(), good.begin() + 2000), "short.bundle");
    EXPECT_NE(e.find("truncated"), std::string::npos) << e;
}

// A macOS bundle is run only by the Linux builds of its processor. Any other host refuses it,
// as it refuses any file not of its own kind, naming the file, and goes on serving calls: the
// Windows build hands it to LoadLibrary, the arm64 build's loader names the bundle's processor.
TEST(MachOLoader, HostsThatCannotRunABundleRefuseIt) {
    // The header of an x86_64 bundle with no load commands.
    const uint32_t header[8] = {0xfeedfacf, 0x01000007, 3, 8, 0, 0, 0, 0};
    std::vector<char> bytes(4096, 0);
    std::memcpy(bytes.data(), header, sizeof header);
    const std::string e = load_error(bytes, "header-only.mexmaci64");
    EXPECT_NE(e.find("header-only.mexmaci64"), std::string::npos) << e;
#if defined(_WIN32)
    EXPECT_EQ(e.find("Mach-O bundle"), std::string::npos) << e;
#elif defined(__aarch64__)
    EXPECT_NE(e.find("Mach-O bundle is built for x86_64; this host runs arm64"), std::string::npos)
        << e;
#else
    EXPECT_NE(e.find("Mach-O bundle has no segments"), std::string::npos) << e;
#endif
    auto N = pkhost::scalar(2);
    EXPECT_TRUE(pktest::HasShape(pktest::module("pair_difference_operator").call({N.get()}), 4, 2));
}

}  // namespace
