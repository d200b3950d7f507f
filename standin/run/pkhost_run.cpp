// pkhost-run: calls one module file once through the stand-in host, from the command line.
//
//   pkhost-run MODULE_FILE OUT_FILE ARG...
//
// Each ARG is one argument of the call, in order: s:<number>, a 1-by-1 double (anything strtod
// reads: 3, -0, 2.5e-3, nan, inf, -inf, hexadecimal floats such as 0x1.8p+1), or f:<path>, a
// double column holding the file's little-endian float64 values (an empty file: 0-by-1). The
// module file is loaded as the host loads any: an ELF or PE module, or a Mach-O bundle of this
// processor; it may sit in any folder and be named by a relative path. The stand-in host's
// libraries are this program's own (found beside it, or through its run path), so a module finds
// its host calls in them.
//
// On success the result's elements, column-major, are written to OUT_FILE as little-endian
// float64, "<rows> <cols>" is printed and the exit status is 0. A 1-by-1 struct result (what
// pairkernels_version returns) is printed instead, one "<field>=<value>" line per field in the
// struct's order (a char value as its text, numbers as %.17g separated by blanks), and OUT_FILE
// is not written; a struct of another size cannot be shown (status 2). When the module raises
// an error, "<identifier> <message>" is printed and the status is 3 (OUT_FILE is not written). A
// call that cannot be made (bad arguments, unreadable files, a module that does not load) is
// reported on standard error with status 2.
#include <cerrno>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <string>
#include <vector>

#include "pkhost.h"

#if defined(_WIN32)
#include <fcntl.h>
#include <io.h>
#endif

namespace {

const int kCannotCall = 2, kModuleError = 3;

struct Usage : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// strtod's reading, the whole text or nothing. The special values are read here, the same on
// every C library.
double number(const std::string &text) {
    std::string t = text;
    for (char &c : t) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    const bool minus = !t.empty() && t[0] == '-';
    const std::string body = !t.empty() && (t[0] == '-' || t[0] == '+') ? t.substr(1) : t;
    if (body == "nan") return minus ? -std::nan("") : std::nan("");
    if (body == "inf" || body == "infinity") return minus ? -HUGE_VAL : HUGE_VAL;
    char *end = nullptr;
    errno = 0;
    const double v = std::strtod(text.c_str(), &end);
    if (text.empty() || end != text.c_str() + text.size())
        throw Usage("s:" + text + " is not a number");
    return v;
}

std::vector<double> file_values(const std::string &path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) throw Usage("cannot read " + path);
    const std::vector<char> bytes((std::istreambuf_iterator<char>(in)),
                                  std::istreambuf_iterator<char>());
    if (bytes.size() % 8 != 0)
        throw Usage(path + " holds " + std::to_string(bytes.size()) +
                    " bytes, not a whole number of float64 values");
    std::vector<double> v(bytes.size() / 8);
    for (std::size_t k = 0; k < v.size(); ++k) {
        uint64_t b = 0;
        for (int i = 7; i >= 0; --i) b = (b << 8) | static_cast<unsigned char>(bytes[8 * k + i]);
        std::memcpy(&v[k], &b, 8);
    }
    return v;
}

pkhost::Array argument(const std::string &arg) {
    if (arg.rfind("s:", 0) == 0) return pkhost::scalar(number(arg.substr(2)));
    if (arg.rfind("f:", 0) == 0) return pkhost::doubles(file_values(arg.substr(2)));
    throw Usage("argument " + arg + " is neither s:<number> nor f:<path>");
}

void write_values(const std::string &path, const std::vector<double> &v) {
    std::string bytes(v.size() * 8, '\0');
    for (std::size_t k = 0; k < v.size(); ++k) {
        uint64_t b;
        std::memcpy(&b, &v[k], 8);
        for (int i = 0; i < 8; ++i) bytes[8 * k + i] = static_cast<char>((b >> (8 * i)) & 0xff);
    }
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    if (!(out << bytes) || !out.flush()) throw Usage("cannot write " + path);
}

// A field's value as one line of text: a char array's characters, or the numbers of any other.
std::string shown(const mxArray *value) {
    if (value == nullptr) return "";
    const std::vector<double> v = pkhost::values(value);
    std::string out;
    for (double x : v) {
        if (mxIsChar(value)) {
            out += static_cast<char>(x);
            continue;
        }
        char number[32];
        std::snprintf(number, sizeof number, "%.17g", x);
        out += (out.empty() ? "" : " ") + std::string(number);
    }
    return out;
}

void print_fields(const mxArray *s) {
    if (mxGetM(s) != 1 || mxGetN(s) != 1)
        throw Usage("the result is a " + std::to_string(mxGetM(s)) + "-by-" +
                    std::to_string(mxGetN(s)) + " struct; only a 1-by-1 struct can be printed");
    for (int f = 0; f < mxGetNumberOfFields(s); ++f)
        std::printf("%s=%s\n", mxGetFieldNameByNumber(s, f),
                    shown(mxGetFieldByNumber(s, 0, f)).c_str());
}

int run(int argc, char **argv) {
    if (argc < 3) throw Usage("usage: pkhost-run MODULE_FILE OUT_FILE [s:<number> | f:<path>]...");
    std::vector<pkhost::Array> args;
    for (int k = 3; k < argc; ++k) args.push_back(argument(argv[k]));
    std::vector<const mxArray *> prhs;
    for (const pkhost::Array &a : args) prhs.push_back(a.get());

    // An absolute path: a bare file name would send the platform's loader searching its own
    // folders instead of the working directory.
    const std::string file = std::filesystem::absolute(argv[1]).string();
    std::unique_ptr<pkhost::Module> module;
    try {
        module.reset(new pkhost::Module(file));
    } catch (const std::exception &e) {
        throw Usage(e.what());
    }
    pkhost::CallResult r = module->call(prhs);
    if (r.failed) {
        std::printf("%s %s\n", r.id.c_str(), r.message.c_str());
        return kModuleError;
    }
    if (r.result && mxIsStruct(r.result.get())) {
        print_fields(r.result.get());
        return 0;
    }
    long long rows = 0, cols = 0;
    std::vector<double> values;
    if (r.result) {
        rows = static_cast<long long>(mxGetM(r.result.get()));
        cols = static_cast<long long>(mxGetN(r.result.get()));
        values = pkhost::values(r.result.get());
    }
    write_values(argv[2], values);
    std::printf("%lld %lld\n", rows, cols);
    return 0;
}

}  // namespace

int main(int argc, char **argv) {
#if defined(_WIN32)
    _setmode(_fileno(stdout), _O_BINARY);  // "\n", not "\r\n", for whoever reads the output
#endif
    try {
        const int status = run(argc, argv);
        std::fflush(stdout);
        return status;
    } catch (const std::exception &e) {
        std::fprintf(stderr, "pkhost-run: %s\n", e.what());
        return kCannotCall;
    }
}
