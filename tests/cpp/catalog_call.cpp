// Valid calls built from the catalogue, apart from the catalogue itself so that the benchmarks can
// use the catalogue without the test framework.
#include "catalog.h"
#include "support.h"

namespace pktest {

std::vector<pkhost::Array> valid_call(const ModuleInfo &m, const Sizes &s, double t, uint64_t seed,
                                      double special) {
    std::vector<pkhost::Array> args;
    for (const Arg &a : m.args) {
        const std::string name = a.name;
        if (a.kind == Kind::Array) {
            const int64_t len = a.length(s) > 0 ? a.length(s) : 0;
            args.push_back(pkhost::doubles(awkward_values(static_cast<std::size_t>(len), seed++, special)));
        } else if (name == "N") {
            args.push_back(pkhost::scalar(static_cast<double>(s.N)));
        } else if (name == "K") {
            args.push_back(pkhost::scalar(static_cast<double>(s.K)));
        } else if (name == "r") {
            args.push_back(pkhost::scalar(static_cast<double>(s.r)));
        } else if (name == "m") {
            args.push_back(pkhost::scalar(-t));
        } else {
            args.push_back(pkhost::scalar(t));
        }
    }
    return args;
}

}  // namespace pktest
