// Many threads calling every module build at once through the stand-in host get the bits one
// thread gets: the modules keep no state and the host keeps each call's state to its own thread.
#include <atomic>
#include <thread>

#include "catalog.h"
#include "support.h"

namespace {

struct Case {
    const pktest::Build *module;
    std::string label;
    std::vector<pkhost::Array> args;
    std::vector<double> expected;
};

TEST(Concurrency, EveryModuleFromEightThreadsGivesTheSingleThreadBits) {
    std::vector<Case> cases;
    uint64_t seed = 1;
    for (const pktest::ModuleBuild &b : pktest::module_builds()) {
        for (pktest::Sizes s : {pktest::Sizes{7, 3, 2}, pktest::Sizes{13, 5, 12}}) {
            Case c;
            c.module = &pktest::module(b.module->name, b.profile);
            c.label = b.profile + "/" + b.module->name;
            c.args = pktest::valid_call(*b.module, s, 0.75, seed++);
            pkhost::CallResult r = c.module->call(pktest::pointers(c.args));
            ASSERT_FALSE(r.failed) << c.label << ": " << r.message;
            c.expected = pktest::result_values(r);
            cases.push_back(std::move(c));
        }
    }

    std::atomic<int> mismatches{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < 8; ++t) {
        threads.emplace_back([&, t] {
            for (int round = 0; round < 12; ++round) {
                // Each thread walks the cases from a different start, so different modules overlap.
                for (std::size_t k = 0; k < cases.size(); ++k) {
                    const Case &c = cases[(k + static_cast<std::size_t>(t) * 5) % cases.size()];
                    pkhost::CallResult r = c.module->call(pktest::pointers(c.args));
                    if (r.failed || !pktest::SameBits(pktest::result_values(r), c.expected))
                        ++mismatches;
                }
            }
        });
    }
    for (std::thread &th : threads) th.join();
    EXPECT_EQ(mismatches.load(), 0);
}

}  // namespace
