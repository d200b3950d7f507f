// The stand-in host's benchmark settings: the call log can be switched off, and destroyed arrays'
// memory recycled, without changing what a call does.
#include "pkhost_bench.h"
#include "support.h"

namespace {

TEST(StandinHostCallLog, OffRecordsNothingAndChangesNeitherResultsNorErrors) {
    auto N = pkhost::scalar(2);
    auto A = pkhost::doubles({1, 2, 3, 4});
    auto bad = pkhost::chars("x");
    const pktest::Build &m = pktest::module("item_net_balance");

    pkhost::CallResult logged = m.call({N.get(), A.get()});
    ASSERT_TRUE(pktest::HasShape(logged, 2, 1));
    EXPECT_FALSE(logged.log.empty());

    pkhost::set_call_log(false);
    pkhost::CallResult quiet = m.call({N.get(), A.get()});
    pkhost::CallResult refused = m.call({N.get(), bad.get()});
    pkhost::set_call_log(true);

    ASSERT_TRUE(pktest::HasShape(quiet, 2, 1));
    EXPECT_TRUE(quiet.log.empty());
    EXPECT_TRUE(pktest::SameBits(pktest::result_values(quiet), pktest::result_values(logged)));
    EXPECT_TRUE(pktest::FailsWith(refused, "pairkernels:item_net_balance:notDouble"));
    EXPECT_TRUE(refused.log.empty());

    // Back on, calls record again.
    EXPECT_EQ(m.call({N.get(), A.get()}).log, logged.log);
}

TEST(StandinHostRecycledMemory, ReusedMemoryArrivesZeroFilledAndOnlyForTheSameSize) {
    auto N = pkhost::scalar(3);
    auto A = pkhost::doubles({1, 2, 3, 4, 5, 6, 7, 8, 9});
    const pktest::Build &m = pktest::module("item_net_balance");
    const std::vector<double> expected = pktest::result_values(m.call({N.get(), A.get()}));

    pkhost::set_recycled_memory(true);
    const double *first;
    {
        pkhost::Array dirty = pkhost::zeros(3, 1);
        first = mxGetPr(dirty.get());
        for (int k = 0; k < 3; ++k) mxGetPr(dirty.get())[k] = -1.0;
    }
    // The module's result takes the dirty array's memory back, cleared first.
    pkhost::CallResult r = m.call({N.get(), A.get()});
    ASSERT_TRUE(pktest::HasShape(r, 3, 1));
    EXPECT_EQ(mxGetPr(r.result.get()), first);
    EXPECT_TRUE(pktest::SameBits(pktest::result_values(r), expected));
    r.result.reset();
    {
        pkhost::Array other = pkhost::zeros(4, 1);  // another size: fresh memory
        EXPECT_NE(mxGetPr(other.get()), first);
        pkhost::Array same = pkhost::zeros(3, 1);
        EXPECT_EQ(mxGetPr(same.get()), first);
        EXPECT_TRUE(pktest::SameBits({mxGetPr(same.get()), mxGetPr(same.get()) + 3}, {0, 0, 0}));
        for (int k = 0; k < 3; ++k) mxGetPr(same.get())[k] = 5.0;
    }
    pkhost::set_recycled_memory(false);
    pkhost::Array fresh = pkhost::zeros(3, 1);
    EXPECT_TRUE(pktest::SameBits({mxGetPr(fresh.get()), mxGetPr(fresh.get()) + 3}, {0, 0, 0}));
}

}  // namespace
