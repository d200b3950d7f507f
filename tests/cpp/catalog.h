// Every module's calling convention as data: its arguments by position and kind, the length
// each array needs and the result's shape. Drives the tests that treat all modules alike
// (concurrency, small stacks, fuzzing): they build valid calls from it and check results' shapes.
#ifndef PAIRKERNELS_TESTS_CATALOG_H
#define PAIRKERNELS_TESTS_CATALOG_H

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

struct Arg {
    const char *name;  // "N", "K", "r", "t", "m" or an array's name
    Kind kind;
    int64_t (*length)(const Sizes &);  // arrays: doubles a valid call passes
};

struct Shape {
    int64_t rows;
    int64_t cols;
};

struct ModuleInfo {
    std::string name;
    std::vector<Arg> args;
    Shape (*shape)(const Sizes &);  // from the converted sizes, exact (64-bit)
};

// The fourteen modules as built in `profile` (linux, windows or macos).
const std::vector<ModuleInfo> &catalog(const std::string &profile);
const ModuleInfo &find_module(const std::string &profile, const std::string &name);

// Arguments of a valid call: sizes as given, t = `t`, m = -`t`, arrays of exactly the required
// length filled with pktest::awkward_values(seed, special), each array from its own seed.
std::vector<pkhost::Array> valid_call(const ModuleInfo &m, const Sizes &s, double t, uint64_t seed,
                                      double special = 0.1);

std::vector<const mxArray *> pointers(const std::vector<pkhost::Array> &args);

}  // namespace pktest

#endif
