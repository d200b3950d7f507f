#include <cmath>
#include <limits>

#include "support.h"

using pktest::HasShape;
using pktest::SameBits;

namespace {

const char *const kName = "item_net_balance";

std::vector<pkhost::Array> args(double n, const std::vector<double> &A) {
    return pktest::arguments(pkhost::scalar(n), pkhost::doubles(A));
}

std::vector<double> run(double n, const std::vector<double> &A) {
    pkhost::CallResult r = pktest::module(kName).call(pktest::pointers(args(n, A)));
    EXPECT_FALSE(r.failed) << r.id << ": " << r.message;
    return pktest::result_values(r);
}

TEST(ItemNetBalance, WorkedExamples) {
    EXPECT_TRUE(SameBits(run(2, {1, 2, 3, 4}), {-1, 1}));
    // The column add and row subtract alternate: forming the two totals apart gives y(0) = 0.
    EXPECT_TRUE(SameBits(run(3, {0, 1e16, 1, 1e16, 0, 0, 0, 0, 0}), {1, 0, -1}));
}

TEST(ItemNetBalance, SingleItemCancelsToPositiveZeroOrNaN) {
    EXPECT_TRUE(SameBits(run(1, {-5.5}), {0.0}));
    EXPECT_EQ(pktest::bits(run(1, {-0.0})[0]), pktest::bits(0.0));
    EXPECT_TRUE(std::isnan(run(1, {std::numeric_limits<double>::infinity()})[0]));
}

TEST(ItemNetBalance, SymmetricFiniteMatrixGivesPositiveZeros) {
    const int n = 9;
    std::vector<double> A = pktest::awkward_values(n * n, 7, 0.0);
    for (int i = 0; i < n; ++i)
        for (int j = 0; j < i; ++j) A[i * n + j] = A[j * n + i];
    for (double y : run(n, A)) EXPECT_EQ(pktest::bits(y), pktest::bits(0.0));
}

TEST(ItemNetBalance, NaNReachesExactlyItsRowAndColumnItems) {
    const int n = 5;
    std::vector<double> A(n * n, 1.25);
    A[1 + 3 * n] = std::numeric_limits<double>::quiet_NaN();  // element (1, 3)
    std::vector<double> y = run(n, A);
    for (int i = 0; i < n; ++i) EXPECT_EQ(std::isnan(y[i]), i == 1 || i == 3) << i;
}

TEST(ItemNetBalance, EveryInstructionSetMatchesPlainLoops) {
    // Every kernel variant this machine runs. From 16 items on, items go
    // in blocks of 8 after a leading block that reaches A's first 64-byte boundary; the array's
    // end sits at a page end, so `extra` unread doubles move its start through all 8 offsets.
    // From 67 items on, a block row runs long enough to prefetch tiles ahead of the pair it is
    // at. Few special values, so that most totals stay finite and are compared bit for bit.
    for (const std::string &build : pktest::variants("linux"))
        for (int n : {16, 17, 18, 31, 40, 67, 130})
            for (int extra = 0; extra < 8; ++extra) {
                std::vector<double> A =
                    pktest::awkward_values(n * n + extra, 31 * n + extra, 0.01);
                EXPECT_TRUE(pktest::MatchesLiteral(kName, build, args(n, A)))
                    << build << " N = " << n << " extra = " << extra;
            }
}

TEST(ItemNetBalance, ReadsOnlyTheFirstNTimesNElements) {
    // Exactly N*N doubles end at an inaccessible page; longer arrays are fine and their tail
    // unused.
    std::vector<double> A = pktest::awkward_values(49, 3);
    std::vector<double> longer = A;
    longer.resize(60, std::numeric_limits<double>::quiet_NaN());
    EXPECT_TRUE(pktest::MatchesLiteral(kName, "linux", args(7, A)));
    EXPECT_TRUE(SameBits(run(7, longer), run(7, A)));
}

TEST(ItemNetBalance, ZeroItemsGiveAnEmptyColumn) {
    auto N = pkhost::scalar(0);
    auto A = pkhost::doubles({});
    EXPECT_TRUE(HasShape(pktest::module(kName).call({N.get(), A.get()}), 0, 1));
}

}  // namespace
