// The stand-in host's strings and structs, what pairkernels_version returns: a struct owns the
// values set into its fields and frees them with itself (the sanitizer build finds a double free
// or a leak), a field set again frees its old value, and a wrong element or field is refused.
#include "support.h"

namespace {

TEST(StandinStructs, FieldsHoldTheirValuesAndGoWithTheStruct) {
    const char *names[] = {"version", "count"};
    pkhost::Array s(mxCreateStructMatrix(1, 1, 2, names));
    ASSERT_TRUE(mxIsStruct(s.get()));
    EXPECT_FALSE(mxIsChar(s.get()));
    EXPECT_EQ(mxGetNumberOfFields(s.get()), 2);
    EXPECT_STREQ(mxGetFieldNameByNumber(s.get(), 1), "count");
    EXPECT_EQ(mxGetFieldByNumber(s.get(), 0, 0), nullptr);

    mxSetFieldByNumber(s.get(), 0, 0, mxCreateString("0.1.0"));
    mxSetFieldByNumber(s.get(), 0, 1, mxCreateString("first"));
    mxSetFieldByNumber(s.get(), 0, 1, pkhost::scalar(3).release());
    const mxArray *v = mxGetFieldByNumber(s.get(), 0, 0);
    ASSERT_NE(v, nullptr);
    ASSERT_TRUE(mxIsChar(v));
    EXPECT_EQ(mxGetM(v), 1u);
    EXPECT_EQ(mxGetN(v), 5u);
    EXPECT_EQ(pkhost::values(v), std::vector<double>({'0', '.', '1', '.', '0'}));
    EXPECT_EQ(pkhost::values(mxGetFieldByNumber(s.get(), 0, 1)), std::vector<double>{3});

    EXPECT_EQ(mxGetFieldNameByNumber(s.get(), 2), nullptr);
    EXPECT_EQ(mxGetFieldByNumber(s.get(), 1, 0), nullptr);
    EXPECT_THROW(mxSetFieldByNumber(s.get(), 0, 2, nullptr), pkhost::HostError);
    EXPECT_THROW(mxSetFieldByNumber(s.get(), 1, 0, nullptr), pkhost::HostError);
    pkhost::Array text(mxCreateString(""));
    EXPECT_THROW(mxSetFieldByNumber(text.get(), 0, 0, nullptr), pkhost::HostError);
    EXPECT_EQ(mxGetN(text.get()), 0u);
}

}  // namespace
