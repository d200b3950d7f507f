// The stand-in host's call log can be switched off (for benchmarks) without changing what a call
// does: same result, same errors, only no record of the host calls.
#include "support.h"

namespace {

TEST(StandinHostCallLog, OffRecordsNothingAndChangesNeitherResultsNorErrors) {
    auto N = pkhost::scalar(2);
    auto A = pkhost::doubles({1, 2, 3, 4});
    auto bad = pkhost::chars("x");
    const pkhost::Module &m = pktest::module("item_net_balance");

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

}  // namespace
