// Every module's calling convention as data, read from the module table (kernels/modules.txt):
// its arguments by position and kind, the length each array needs, the result's shape, and the
// benchmark's sizes. Drives everything that treats modules alike (the differential, concurrency
// and small-stack tests, the benchmark, the fuzz target): they build valid calls from it and
// check results' shapes.
#ifndef PAIRKERNELS_REFERENCE_CATALOG_H
#define PAIRKERNELS_REFERENCE_CATALOG_H

#include <cstdint>
#include <string>
#include <vector>

#include "pkhost.h"

namespace pktest {

enum class Kind { Size, Real, Array };

// The sizes a call is made of. Results and array lengths depend on nothing else.
struct Sizes {
    int64_t N = 0;
    int64_t K = 0;
    int64_t r = 0;  // item index of item_pair_scatter's scatter form
};

// A table formula: products of N, K and integers, added or subtracted ("2*N*N-2*N"), evaluated
// exactly in 64 bits.
class Expr {
public:
    Expr() = default;
    explicit Expr(const std::string &text);  // throws std::invalid_argument
    int64_t operator()(const Sizes &s) const;
    bool uses(char size) const;  // whether N or K appears
    const std::string &text() const { return text_; }

private:
    struct Term {
        int64_t factor;
        int n, k;  // powers of N and K
    };
    std::vector<Term> terms_;
    std::string text_;
};

struct Arg {
    std::string name;  // "N", "K", "r", "t", "m" or an array's name
    Kind kind;
    Expr length;  // arrays: the doubles a valid call passes
};

struct Shape {
    int64_t rows;
    int64_t cols;
};

struct BenchSize {
    int64_t N, K;
};

struct ModuleInfo {
    std::string name;
    std::string folder;
    std::vector<std::string> profiles;  // the builds that have this form
    std::string form;                   // its name, where the module has several forms
    std::vector<Arg> args;
    Expr rows, cols;
    std::vector<BenchSize> bench;
    Expr reads, stores;  // empty text: all the arrays' lengths, all the result

    Shape shape(const Sizes &s) const { return {rows(s), cols(s)}; }  // exact (64-bit)
    bool has(const std::string &arg) const;
    const Arg *find(const std::string &arg) const;
};

// The fourteen modules as built in `profile` (linux, windows or macos), in the table's order.
const std::vector<ModuleInfo> &catalog(const std::string &profile);
const ModuleInfo &find_module(const std::string &profile, const std::string &name);

// The platform profiles, in the table's order of precedence: a module's first profile is the
// first of these its lines name.
const std::vector<std::string> &profiles();

// A distinct build of a module: the profile whose module file is called, and the module's form
// there.
struct ModuleBuild {
    std::string profile;
    const ModuleInfo *module;
};

// Every distinct build once, in the table's order: each module in its first profile, and a module
// whose form differs between profiles (more than one table line; it is compiled once per profile)
// in each other profile too. Every other module is compiled once and the same object linked into
// every profile's module file, so its first profile's file tests all of them.
const std::vector<ModuleBuild> &module_builds();

// The distinct build that a call of `name` in `profile` runs: that profile's, or the module's
// first profile's where the module is compiled once.
const ModuleBuild &module_build(const std::string &profile, const std::string &name);

// Arguments of a valid call: sizes as given, t = `t`, m = -`t`, arrays of exactly the required
// length filled with pktest::awkward_values(seed, special), each array from its own seed.
std::vector<pkhost::Array> valid_call(const ModuleInfo &m, const Sizes &s, double t, uint64_t seed,
                                      double special = 0.1);

std::vector<const mxArray *> pointers(const std::vector<pkhost::Array> &args);

// The table as it is read, for tests of the reader.
std::vector<ModuleInfo> parse_table(const std::string &text, const std::string &profile);

}  // namespace pktest

#endif
