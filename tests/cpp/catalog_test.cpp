// The module table against the modules themselves: every distinct module build takes the
// arguments the table lists, by position, name and kind (each source names its arguments once, in
// its own list, and the table again for everything else), and the table's formulas read as
// written.
#include <algorithm>
#include <set>
#include <sstream>

#include "support.h"

namespace {

// Each profile's table lists every module source of kernels/<folder>/ once, and nothing else.
TEST(ModuleTable, EveryProfileListsEachModuleSourceOnce) {
    std::set<std::string> sources;
    std::istringstream list(PKTEST_KERNEL_SOURCES);
    for (std::string name; list >> name;) sources.insert(name);
    ASSERT_FALSE(sources.empty());
    for (const char *profile : {"linux", "windows", "macos"}) {
        std::set<std::string> names;
        for (const pktest::ModuleInfo &m : pktest::catalog(profile)) names.insert(m.name);
        EXPECT_EQ(names, sources) << profile;
        EXPECT_EQ(pktest::catalog(profile).size(), sources.size()) << profile;
    }
}

// A wrong argument at each position in turn: a cell where an array goes, a 1-by-2 where a size or
// real goes. The call must fail on that argument, naming it by its position and the table's name.
TEST(ModuleTable, ModulesNameAndCheckTheirArgumentsAsTheTableSays) {
    const pktest::Sizes sizes{3, 2, 1};
    for (const pktest::ModuleBuild &b : pktest::module_builds()) {
        const pktest::ModuleInfo &m = *b.module;
        for (std::size_t p = 0; p < m.args.size(); ++p) {
            std::vector<pkhost::Array> args = pktest::valid_call(m, sizes, 0.5, 1);
            const bool array = m.args[p].kind == pktest::Kind::Array;
            args[p] = array ? pkhost::cell(1, 1) : pkhost::doubles(1, 2, {1, 2});
            const pkhost::CallResult r =
                pktest::module(m.name, b.profile).call(pktest::pointers(args));
            const std::string id = "pairkernels:" + m.name + (array ? ":notDouble" : ":notScalar");
            const std::string label =
                "Argument " + std::to_string(p + 1) + " (" + m.args[p].name + ")";
            EXPECT_TRUE(pktest::FailsWith(r, id)) << b.profile << "/" << m.name << " " << label;
            EXPECT_NE(r.message.find(label), std::string::npos)
                << b.profile << "/" << m.name << ": " << r.message;
        }
    }
}

// And a valid call of every form returns the table's shape; one argument fewer is refused.
TEST(ModuleTable, ResultsHaveTheTableShapeAndTheArgumentCountIsTheTables) {
    const pktest::Sizes sizes{5, 3, 2};
    for (const pktest::ModuleBuild &b : pktest::module_builds()) {
        const pktest::ModuleInfo &m = *b.module;
        std::vector<pkhost::Array> args = pktest::valid_call(m, sizes, 0.5, 1);
        const pktest::Build &module = pktest::module(m.name, b.profile);
        const pktest::Shape shape = m.shape(sizes);
        EXPECT_TRUE(pktest::HasShape(module.call(pktest::pointers(args)), shape.rows, shape.cols))
            << b.profile << "/" << m.name;
        args.pop_back();
        EXPECT_TRUE(pktest::FailsWith(module.call(pktest::pointers(args)),
                                      "pairkernels:" + m.name + ":nargin"))
            << b.profile << "/" << m.name;
    }
}

// Each module once in its first profile, and the two compiled per profile in every profile.
TEST(ModuleTable, DistinctBuildsAreEachModuleOnceAndTheProfiledOnesPerProfile) {
    std::vector<std::string> builds;
    for (const pktest::ModuleBuild &b : pktest::module_builds())
        builds.push_back(b.profile + "/" + b.module->name + ":" + b.module->form);
    // one per module whose one line covers every profile, one per profile for the others
    std::size_t expected = 0;
    for (const pktest::ModuleInfo &m : pktest::catalog("linux"))
        expected += m.profiles.size() == pktest::profiles().size() ? 1 : pktest::profiles().size();
    EXPECT_EQ(builds.size(), expected);
    EXPECT_EQ(expected, pktest::catalog("linux").size() + 4);  // two modules differ in two profiles
    for (const char *b : {"linux/pair_residual:", "linux/item_pair_scatter:tensor",
                          "windows/item_pair_scatter:scatter", "macos/item_pair_scatter:scatter",
                          "linux/clamped_pair_model_gap:", "windows/clamped_pair_model_gap:bound",
                          "macos/clamped_pair_model_gap:"})
        EXPECT_EQ(std::count(builds.begin(), builds.end(), b), 1) << b;
    EXPECT_EQ(std::count(builds.begin(), builds.end(), "windows/pair_residual:"), 0);
    EXPECT_EQ(pktest::module_build("macos", "pair_residual").profile, "linux");
    EXPECT_EQ(pktest::module_build("macos", "item_pair_scatter").profile, "macos");
}

// The tests call a module compiled once in its first profile's file only; every other profile's
// file of it must hold the same build: one call there gives the same bits.
TEST(ModuleTable, EveryProfilesFileOfAModuleCompiledOnceGivesItsBits) {
    const pktest::Sizes sizes{9, 4, 8};
    for (const std::string &profile : pktest::profiles())
        for (const pktest::ModuleInfo &m : pktest::catalog(profile)) {
            const pktest::ModuleBuild &b = pktest::module_build(profile, m.name);
            if (b.profile == profile) continue;
            std::vector<pkhost::Array> args = pktest::valid_call(m, sizes, 0.5, 3);
            const pkhost::CallResult r =
                pktest::module(m.name, profile).call(pktest::pointers(args));
            const pkhost::CallResult tested =
                pktest::module(m.name, b.profile).call(pktest::pointers(args));
            ASSERT_FALSE(r.failed) << profile << "/" << m.name << ": " << r.message;
            EXPECT_TRUE(pktest::SameBits(pktest::result_values(r), pktest::result_values(tested)))
                << profile << "/" << m.name;
        }
}

TEST(ModuleTable, FormulasAreSumsOfProducts) {
    const pktest::Sizes s{7, 3, 0};
    EXPECT_EQ(pktest::Expr("N*N*K")(s), 147);
    EXPECT_EQ(pktest::Expr("1")(s), 1);
    EXPECT_EQ(pktest::Expr("2*N*N-2*N")(s), 84);
    EXPECT_EQ(pktest::Expr("K*K*N+N")(s), 70);
    EXPECT_TRUE(pktest::Expr("N*K").uses('K'));
    EXPECT_FALSE(pktest::Expr("N*N").uses('K'));
    for (const char *bad : {"", "N*", "N-", "N/2", "n", "N**K", "+N"})
        EXPECT_THROW(pktest::Expr{bad}, std::invalid_argument) << bad;
}

TEST(ModuleTable, LinesAreReadFieldByField) {
    const std::string text =
        "# comment\n"
        "alpha pairwise linux,macos N*N 1 N:size t:real P:N*N form=f bench=10,2;20,0 stores=N\n"
        "alpha pairwise windows N 1 N:size\n";
    const std::vector<pktest::ModuleInfo> macos = pktest::parse_table(text, "macos");
    ASSERT_EQ(macos.size(), 1u);
    const pktest::ModuleInfo &m = macos[0];
    EXPECT_EQ(m.folder, "pairwise");
    EXPECT_EQ(m.form, "f");
    ASSERT_EQ(m.args.size(), 3u);
    EXPECT_TRUE(m.args[1].kind == pktest::Kind::Real);
    EXPECT_EQ(m.args[2].length(pktest::Sizes{4, 0, 0}), 16);
    ASSERT_EQ(m.bench.size(), 2u);
    EXPECT_EQ(m.bench[1].N, 20);
    EXPECT_EQ(m.stores(pktest::Sizes{4, 0, 0}), 4);
    EXPECT_EQ(pktest::parse_table(text, "windows")[0].args.size(), 1u);
    EXPECT_THROW(pktest::parse_table("beta pairwise all N 1 N:size bench=1 K:size\n", "linux"),
                 std::invalid_argument);
}

}  // namespace
