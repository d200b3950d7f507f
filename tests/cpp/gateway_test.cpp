// The shared gateway: size conversion, argument checks, the fixed order of host calls, and the
// result slot. Exercised through item_net_balance (N, A -> N-by-1), the simplest module.
#include <cmath>
#include <cstdint>
#include <limits>

#include "host.h"
#include "support.h"

using pkhost::CallResult;
using pktest::FailsWith;
using pktest::HasShape;
using pktest::SameBits;

namespace {

const double kInf = std::numeric_limits<double>::infinity();
const double kNaN = std::numeric_limits<double>::quiet_NaN();
const char *const kId = "pairkernels:item_net_balance:";

CallResult net_balance(const std::vector<const mxArray *> &args, int nlhs = 1) {
    return pktest::module("item_net_balance").call(args, nlhs);
}

TEST(SizeConversion, TruncatesTowardZeroAndMapsTheRestToIntMin) {
    EXPECT_EQ(pk::to_size(3.9), 3);
    EXPECT_EQ(pk::to_size(-3.9), -3);
    EXPECT_EQ(pk::to_size(-0.5), 0);
    EXPECT_EQ(pk::to_size(-0.0), 0);
    EXPECT_EQ(pk::to_size(2147483647.9), 2147483647);
    EXPECT_EQ(pk::to_size(-2147483648.9), INT32_MIN);
    EXPECT_EQ(pk::to_size(-2147483647.5), -2147483647);
    for (double v : {2147483648.0, 1e10, 1e300, -1e300, -2147483649.0, kInf, -kInf, kNaN})
        EXPECT_EQ(pk::to_size(v), INT32_MIN) << v;
}

TEST(SizeArithmetic, ReadsAreZeroForEmptyLoopsAndNeverWrap) {
    EXPECT_EQ(pk::reads(3, 3), 9);
    EXPECT_EQ(pk::reads(0, 5), 0);
    EXPECT_EQ(pk::reads(-2, -2), 0);
    EXPECT_EQ(pk::reads(5, 5, -1), 0);
    EXPECT_EQ(pk::reads(INT32_MAX, INT32_MAX, INT32_MAX), INT64_MAX);
    EXPECT_EQ(pk::dim(-2, -2), 4);
    EXPECT_EQ(pk::dim(-2, 3, 2), -12);
    EXPECT_EQ(pk::dim(INT32_MIN, INT32_MIN), INT64_C(4611686018427387904));
    EXPECT_EQ(pk::dim(INT32_MIN, INT32_MIN, INT32_MIN), INT64_MIN);
}

TEST(GatewayOrder, ReadsInPositionOrderThenCreatesStoresAndFetchesTheResult) {
    auto N = pkhost::scalar(3);
    auto A = pkhost::doubles(std::vector<double>(9, 1.0));
    CallResult r = net_balance({N.get(), A.get()});
    ASSERT_TRUE(HasShape(r, 3, 1));
    EXPECT_EQ(pkhost::data_calls(r.log),
              (std::vector<std::string>{"mxGetScalar(prhs[0])", "mxGetPr(prhs[1])",
                                        "mxCreateDoubleMatrix_700(3,1,0)",
                                        "mxGetPr(new#0 in plhs[0])"}));
    // Nothing of the host is called once the result's data is fetched: the kernel runs last.
    EXPECT_EQ(r.log.back(), "mxGetPr(new#0 in plhs[0])");
    EXPECT_FALSE(r.other_slots_written);
}

TEST(GatewayOrder, ResultGoesToTheFirstSlotEvenWithNoOutputRequested) {
    auto N = pkhost::scalar(2);
    auto A = pkhost::doubles({1, 2, 3, 4});
    CallResult r = net_balance({N.get(), A.get()}, 0);
    ASSERT_TRUE(HasShape(r, 2, 1));
    EXPECT_TRUE(SameBits(pktest::result_values(r), {-1, 1}));
}

TEST(GatewayKeeps, FractionalSizesTruncate) {
    auto A = pkhost::doubles({1, 2, 3, 4, 5, 6, 7, 8, 9});
    auto N29 = pkhost::scalar(2.9);
    CallResult r = net_balance({N29.get(), A.get()});
    ASSERT_TRUE(HasShape(r, 2, 1));
    EXPECT_TRUE(SameBits(pktest::result_values(r), {-1, 1}));
    auto Nsmall = pkhost::scalar(0.7);
    EXPECT_TRUE(HasShape(net_balance({Nsmall.get(), A.get()}), 0, 1));
}

TEST(GatewayKeeps, SizesOfOtherNumericClassesAndLogical) {
    auto A = pkhost::doubles({1, 2, 3, 4});
    auto N = pkhost::numeric(mxINT32_CLASS, {2});
    EXPECT_TRUE(SameBits(pktest::result_values(net_balance({N.get(), A.get()})), {-1, 1}));
    auto one = pkhost::numeric(mxLOGICAL_CLASS, {1});
    EXPECT_TRUE(HasShape(net_balance({one.get(), A.get()}), 1, 1));
}

TEST(GatewayKeeps, ExtraArgumentsAreIgnored) {
    auto N = pkhost::scalar(2);
    auto A = pkhost::doubles({1, 2, 3, 4});
    auto junk = pkhost::cell(1, 1);
    CallResult r = net_balance({N.get(), A.get(), junk.get(), junk.get()});
    EXPECT_TRUE(SameBits(pktest::result_values(r), {-1, 1}));
    EXPECT_EQ(pkhost::data_calls(r.log).size(), 4u);
}

TEST(GatewayKeeps, ComplexArraysAreReadThroughTheirRealPart) {
    auto N = pkhost::scalar(2);
    auto A = pkhost::complex_doubles({1, 2, 3, 4}, {kNaN, 100, -7, kInf});
    EXPECT_TRUE(SameBits(pktest::result_values(net_balance({N.get(), A.get()})), {-1, 1}));
}

TEST(GatewayKeeps, ZeroItemsAcceptAnEmptyArrayAndReadNothing) {
    auto N = pkhost::scalar(0);
    auto A = pkhost::doubles({});  // its data pointer is an inaccessible page
    CallResult r = net_balance({N.get(), A.get()});
    EXPECT_TRUE(HasShape(r, 0, 1));
}

TEST(GatewayRefuses, TooFewArguments) {
    auto N = pkhost::scalar(1);
    EXPECT_TRUE(FailsWith(net_balance({}), std::string(kId) + "nargin"));
    CallResult r = net_balance({N.get()});
    EXPECT_TRUE(FailsWith(r, std::string(kId) + "nargin"));
    EXPECT_TRUE(r.log.empty()) << "no argument may be touched before the count is checked";
}

// The host names the module ("Error using item_net_balance", "item_net_balance: ..."), so the
// messages do not.
TEST(GatewayMessages, LeaveTheModuleNameToTheHost) {
    auto N = pkhost::scalar(1);
    auto A = pkhost::doubles({1});
    CallResult few = net_balance({N.get()});
    EXPECT_EQ(few.message, "Not enough input arguments: 2 expected, got 1.");
    CallResult many = net_balance({N.get(), A.get()}, 3);
    EXPECT_EQ(many.message, "Too many output arguments: one is returned, 3 were requested.");
}

// A size the conversion changed is named with its value and what it became, in every message
// whose formula uses it; sizes the conversion kept are not mentioned.
TEST(GatewayMessages, SayHowASizeWasConverted) {
    auto A = pkhost::doubles({});
    const std::string saturated =
        " converts to -2147483648 (as do NaN, Inf, -Inf and every size outside -2147483648 ... "
        "2147483647).";
    const std::pair<double, std::string> cases[] = {
        {kNaN, "N = NaN"}, {kInf, "N = Inf"}, {-kInf, "N = -Inf"}, {1e10, "N = 10000000000"}};
    for (const auto &c : cases) {
        auto N = pkhost::scalar(c.first);
        CallResult r = net_balance({N.get(), A.get()});
        EXPECT_EQ(r.message,
                  "The result would have N = -2147483648 rows; a dimension cannot be negative. " +
                      c.second + saturated);
    }
    auto N = pkhost::scalar(2.5);
    auto B = pkhost::doubles({1, 2, 3});
    EXPECT_EQ(net_balance({N.get(), B.get()}).message,
              "Argument 2 (A) must hold at least N*N = 4 elements, it holds 3. N = 2.5 is "
              "truncated toward zero to 2.");
    auto M = pkhost::scalar(-2147483648.5);  // a truncation that lands on -2147483648
    EXPECT_EQ(net_balance({M.get(), A.get()}).message,
              "The result would have N = -2147483648 rows; a dimension cannot be negative. N = "
              "-2147483648.5 is truncated toward zero to -2147483648.");
    auto two = pkhost::scalar(2);
    EXPECT_EQ(net_balance({two.get(), B.get()}).message,
              "Argument 2 (A) must hold at least N*N = 4 elements, it holds 3.");
}

TEST(GatewayRefuses, MoreThanOneOutput) {
    auto N = pkhost::scalar(1);
    auto A = pkhost::doubles({1});
    EXPECT_TRUE(FailsWith(net_balance({N.get(), A.get()}, 2), std::string(kId) + "nargout"));
}

TEST(GatewayRefuses, ArraysThatAreNotFullDouble) {
    auto N = pkhost::scalar(1);
    std::vector<pkhost::Array> bad;
    bad.push_back(pkhost::numeric(mxINT32_CLASS, {1}));
    bad.push_back(pkhost::numeric(mxSINGLE_CLASS, {1}));
    bad.push_back(pkhost::numeric(mxLOGICAL_CLASS, {1}));
    bad.push_back(pkhost::numeric(mxUINT8_CLASS, {1}));
    bad.push_back(pkhost::chars("a"));
    bad.push_back(pkhost::cell(1, 1));
    bad.push_back(pkhost::structure(1, 1));
    for (const pkhost::Array &A : bad) {
        CallResult r = net_balance({N.get(), A.get()});
        EXPECT_TRUE(FailsWith(r, std::string(kId) + "notDouble")) << mxGetClassName(A.get());
        EXPECT_NE(r.message.find("Argument 2 (A)"), std::string::npos) << r.message;
    }
    // A sparse double holds only its nonzeros: reading it as N*N doubles would overrun.
    auto S = pkhost::sparse_doubles(2, 2, {5});
    auto N2 = pkhost::scalar(2);
    EXPECT_TRUE(FailsWith(net_balance({N2.get(), S.get()}), std::string(kId) + "sparse"));
}

TEST(GatewayRefuses, SizesThatAreNotNumericScalars) {
    auto A = pkhost::doubles({1});
    std::vector<pkhost::Array> bad;
    bad.push_back(pkhost::chars("3"));
    bad.push_back(pkhost::cell(1, 1));
    bad.push_back(pkhost::structure(1, 1));
    bad.push_back(pkhost::doubles({}));
    bad.push_back(pkhost::doubles({1, 1}));
    bad.push_back(pkhost::sparse_doubles(1, 1, {1}));
    for (const pkhost::Array &N : bad) {
        CallResult r = net_balance({N.get(), A.get()});
        EXPECT_TRUE(FailsWith(r, std::string(kId) + "notScalar")) << r.message;
        EXPECT_NE(r.message.find("Argument 1 (N)"), std::string::npos) << r.message;
    }
}

TEST(GatewayRefuses, ShortArraysBeforeReadingAnyElement) {
    // A of N*N - 1 doubles ends at an inaccessible page: a kernel that ran would fault.
    for (int n : {1, 2, 3, 17}) {
        auto N = pkhost::scalar(n);
        auto A = pkhost::doubles(std::vector<double>(static_cast<std::size_t>(n * n - 1), 1.0));
        CallResult r = net_balance({N.get(), A.get()});
        EXPECT_TRUE(FailsWith(r, std::string(kId) + "tooShort")) << n;
        for (const std::string &call : r.log)
            EXPECT_EQ(call.find("mxCreateDoubleMatrix"), std::string::npos) << call;
    }
    // A size so large that N*N overflows 64 bits must not wrap into a small requirement.
    auto N = pkhost::scalar(2147483647);
    auto A = pkhost::doubles({1, 2, 3, 4});
    EXPECT_TRUE(FailsWith(net_balance({N.get(), A.get()}), std::string(kId) + "tooShort"));
}

TEST(GatewayRefuses, NegativeResultDimensions) {
    auto A = pkhost::doubles({});
    for (double n : {-3.0, -3.9, kNaN, kInf, -kInf, 1e10}) {
        auto N = pkhost::scalar(n);
        CallResult r = net_balance({N.get(), A.get()});
        EXPECT_TRUE(FailsWith(r, std::string(kId) + "negativeSize")) << n;
    }
}

// Result dimensions are checked in the gateway itself; N*N rows exist in other modules, so the
// check is driven here directly.
TEST(GatewayRefuses, ResultDimensionsBeyondInt32) {
    const char *names[] = {"N"};
    auto N = pkhost::scalar(1);
    const mxArray *prhs[] = {N.get()};
    mxArray *plhs[1] = {nullptr};
    pk::Call call{1, plhs, 1, prhs};
    pk::Gateway gw("probe", names, 1, call);
    try {
        gw.result(pk::dim(46341, 46341), "N*N", 1, "1");
        FAIL() << "no error raised";
    } catch (const pkhost::HostError &e) {
        EXPECT_EQ(e.id(), "pairkernels:probe:tooLarge");
        EXPECT_NE(std::string(e.what()).find("2147488281"), std::string::npos) << e.what();
    }
    EXPECT_EQ(plhs[0], nullptr);
    EXPECT_NE(gw.result(pk::dim(-2, -2), "N*N", 1, "1"), nullptr);  // N*N zeros for N = -2
    ASSERT_NE(plhs[0], nullptr);
    EXPECT_EQ(mxGetM(plhs[0]), 4u);
    mxDestroyArray(plhs[0]);
}

// Two dimensions that each fit 32 bits but whose product times 8 bytes no host can address (a
// host's byte count in size_t would wrap, and a short buffer come back): refused before the host
// is asked. 2^45 elements is the most; one more is refused.
TEST(GatewayRefuses, ResultsOfMoreThanTwoToTheFortyFiveElements) {
    const char *names[] = {"N"};
    auto N = pkhost::scalar(1);
    const mxArray *prhs[] = {N.get()};
    mxArray *plhs[1] = {nullptr};
    pk::Call call{1, plhs, 1, prhs};
    pk::Gateway gw("probe", names, 1, call);
    const int64_t limit = int64_t{1} << 45;
    const int64_t cases[][2] = {{1527949921, 1509109023}, {1518500250, 1518500250},
                                {(int64_t{1} << 30) + 1, int64_t{1} << 15}, {2147395600, 46340}};
    for (const auto &c : cases) {
        try {
            gw.result(c[0], "R", c[1], "C");
            FAIL() << "no error raised for " << c[0] << "x" << c[1];
        } catch (const pkhost::HostError &e) {
            EXPECT_EQ(e.id(), "pairkernels:probe:tooLarge");
            EXPECT_NE(std::string(e.what()).find(std::to_string(c[0] * c[1]) + " elements"),
                      std::string::npos)
                << e.what();
            EXPECT_NE(std::string(e.what()).find("2^48 bytes"), std::string::npos) << e.what();
        }
        EXPECT_EQ(plhs[0], nullptr);
    }
    // At the bound the host is asked: the stand-in host's own limit refuses it, as a real host
    // refuses memory it cannot give.
    pkhost::set_result_limit(std::size_t(64) << 20);
    try {
        gw.result(int64_t{1} << 30, "R", limit >> 30, "C");
        FAIL() << "the host created a 256 TiB result";
    } catch (const pkhost::HostError &e) {
        EXPECT_EQ(e.id(), "standin:outOfMemory");
    }
    pkhost::set_result_limit(SIZE_MAX);
}

}  // namespace
