#include "catalog.h"

#include <cctype>
#include <sstream>
#include <stdexcept>

#include "harness.h"

namespace pktest {

namespace {

const char kTable[] =
#include "pk_module_table.inc"
    ;

[[noreturn]] void bad(const std::string &what) {
    throw std::invalid_argument("module table: " + what);
}

std::vector<std::string> split(const std::string &s, char by) {
    std::vector<std::string> out;
    std::string part;
    std::istringstream in(s);
    while (std::getline(in, part, by)) out.push_back(part);
    return out;
}

Arg parse_arg(const std::string &token) {
    const std::size_t colon = token.find(':');
    if (colon == std::string::npos || colon == 0) bad("argument " + token + " is not name:kind");
    const std::string name = token.substr(0, colon), kind = token.substr(colon + 1);
    if (kind == "size") return {name, Kind::Size, Expr()};
    if (kind == "real") return {name, Kind::Real, Expr()};
    return {name, Kind::Array, Expr(kind)};
}

}  // namespace

Expr::Expr(const std::string &text) : text_(text) {
    if (text.empty()) bad("empty formula");
    std::size_t p = 0;
    int sign = 1;
    while (p < text.size()) {
        Term t{sign, 0, 0};
        bool factor_seen = false;
        for (;;) {
            if (p >= text.size()) bad("formula " + text + " ends in an operator");
            const char c = text[p];
            if (c == 'N' || c == 'K') {
                (c == 'N' ? t.n : t.k) += 1;
                ++p;
            } else if (std::isdigit(static_cast<unsigned char>(c))) {
                int64_t v = 0;
                while (p < text.size() && std::isdigit(static_cast<unsigned char>(text[p])))
                    v = v * 10 + (text[p++] - '0');
                t.factor *= v;
            } else {
                bad("formula " + text + " has '" + std::string(1, c) + "'");
            }
            factor_seen = true;
            if (p < text.size() && text[p] == '*') {
                ++p;
                continue;
            }
            break;
        }
        if (!factor_seen) bad("formula " + text + " has an empty term");
        terms_.push_back(t);
        if (p < text.size()) {
            if (text[p] != '+' && text[p] != '-') bad("formula " + text + " has '" + text[p] + "'");
            sign = text[p] == '+' ? 1 : -1;
            if (++p == text.size()) bad("formula " + text + " ends in an operator");
        }
    }
}

int64_t Expr::operator()(const Sizes &s) const {
    int64_t total = 0;
    for (const Term &t : terms_) {
        int64_t v = t.factor;
        for (int e = 0; e < t.n; ++e) v *= s.N;
        for (int e = 0; e < t.k; ++e) v *= s.K;
        total += v;
    }
    return total;
}

bool Expr::uses(char size) const {
    for (const Term &t : terms_)
        if ((size == 'N' && t.n > 0) || (size == 'K' && t.k > 0)) return true;
    return false;
}

bool ModuleInfo::has(const std::string &arg) const { return find(arg) != nullptr; }

const Arg *ModuleInfo::find(const std::string &arg) const {
    for (const Arg &a : args)
        if (a.name == arg) return &a;
    return nullptr;
}

std::vector<ModuleInfo> parse_table(const std::string &text, const std::string &profile) {
    std::vector<ModuleInfo> out;
    std::istringstream lines(text);
    std::string line;
    while (std::getline(lines, line)) {
        if (line.empty() || !std::islower(static_cast<unsigned char>(line[0]))) continue;
        std::istringstream fields(line);
        ModuleInfo m;
        std::string profiles, rows, cols, token;
        if (!(fields >> m.name >> m.folder >> profiles >> rows >> cols))
            bad("line of " + m.name + " has too few fields");
        m.profiles = profiles == "all" ? pktest::profiles() : split(profiles, ',');
        m.rows = Expr(rows);
        m.cols = Expr(cols);
        bool fields_begun = false;
        while (fields >> token) {
            const std::size_t eq = token.find('=');
            if (eq == std::string::npos) {
                if (fields_begun) bad(m.name + ": argument " + token + " after key=value fields");
                m.args.push_back(parse_arg(token));
                continue;
            }
            fields_begun = true;
            const std::string key = token.substr(0, eq), value = token.substr(eq + 1);
            if (key == "form") {
                m.form = value;
            } else if (key == "bench") {
                for (const std::string &size : split(value, ';')) {
                    const std::vector<std::string> nk = split(size, ',');
                    if (nk.size() != 2) bad(m.name + ": bench size " + size + " is not N,K");
                    m.bench.push_back({std::stoll(nk[0]), std::stoll(nk[1])});
                }
            } else if (key == "octave") {
                // the Octave benchmark's sizes (bench/octave/run_bench.m reads them)
            } else if (key == "reads") {
                m.reads = Expr(value);
            } else if (key == "stores") {
                m.stores = Expr(value);
            } else {
                bad(m.name + ": unknown field " + key);
            }
        }
        for (const std::string &p : m.profiles)
            if (p == profile) out.push_back(m);
    }
    return out;
}

const std::vector<ModuleInfo> &catalog(const std::string &profile) {
    static const std::vector<ModuleInfo> linux_ = parse_table(kTable, "linux");
    static const std::vector<ModuleInfo> windows_ = parse_table(kTable, "windows");
    static const std::vector<ModuleInfo> macos_ = parse_table(kTable, "macos");
    if (profile == "windows") return windows_;
    if (profile == "macos") return macos_;
    return linux_;
}

const ModuleInfo &find_module(const std::string &profile, const std::string &name) {
    for (const ModuleInfo &m : catalog(profile))
        if (m.name == name) return m;
    throw std::invalid_argument("no module " + name);
}

const std::vector<std::string> &profiles() {
    static const std::vector<std::string> all{"linux", "windows", "macos"};
    return all;
}

const std::vector<ModuleBuild> &module_builds() {
    static const std::vector<ModuleBuild> builds = [] {
        std::vector<ModuleBuild> out;
        for (const ModuleInfo &m : catalog(profiles().front())) {
            // A line naming every profile is the module's only one.
            if (m.profiles.size() == profiles().size()) {
                out.push_back({m.profiles.front(), &m});
                continue;
            }
            for (const std::string &p : profiles()) out.push_back({p, &find_module(p, m.name)});
        }
        return out;
    }();
    return builds;
}

const ModuleBuild &module_build(const std::string &profile, const std::string &name) {
    const ModuleBuild *first = nullptr;
    for (const ModuleBuild &b : module_builds()) {
        if (b.module->name != name) continue;
        if (b.profile == profile) return b;
        if (first == nullptr) first = &b;
    }
    if (first == nullptr) throw std::invalid_argument("no module " + name);
    return *first;
}

std::vector<const mxArray *> pointers(const std::vector<pkhost::Array> &args) {
    std::vector<const mxArray *> p;
    for (const pkhost::Array &a : args) p.push_back(a.get());
    return p;
}

std::vector<pkhost::Array> valid_call(const ModuleInfo &m, const Sizes &s, double t, uint64_t seed,
                                      double special) {
    std::vector<pkhost::Array> args;
    for (const Arg &a : m.args) {
        if (a.kind == Kind::Array) {
            const int64_t len = a.length(s) > 0 ? a.length(s) : 0;
            args.push_back(
                pkhost::doubles(awkward_values(static_cast<std::size_t>(len), seed++, special)));
        } else if (a.name == "N") {
            args.push_back(pkhost::scalar(static_cast<double>(s.N)));
        } else if (a.name == "K") {
            args.push_back(pkhost::scalar(static_cast<double>(s.K)));
        } else if (a.name == "r") {
            args.push_back(pkhost::scalar(static_cast<double>(s.r)));
        } else if (a.name == "m") {
            args.push_back(pkhost::scalar(-t));
        } else {
            args.push_back(pkhost::scalar(t));
        }
    }
    return args;
}

}  // namespace pktest
