// The stand-in host's guard pages: an array's data ends where an inaccessible page begins, and an
// empty array's data pointer is such a page, so a module that reads one element too many dies
// at once. Checked here on the host's own arrays, in a child process (a death test).
#include "support.h"

#if defined(_WIN32)
#include <windows.h>
#endif

namespace {

#if defined(_WIN32)
// Ends the process with the exception's code, before Windows reports the crash (under Wine, before
// it starts a debugger, which takes seconds).
LONG WINAPI exit_at_once(EXCEPTION_POINTERS *e) {
    TerminateProcess(GetCurrentProcess(), e->ExceptionRecord->ExceptionCode);
    return EXCEPTION_EXECUTE_HANDLER;
}
#endif

double read(const double *p, std::ptrdiff_t k) {
#if defined(_WIN32)
    SetUnhandledExceptionFilter(exit_at_once);
#endif
    return static_cast<const volatile double *>(p)[k];
}

TEST(StandinGuardPagesDeathTest, ReadingPastAnArrayFaults) {
#if defined(GTEST_FLAG_SET)
    GTEST_FLAG_SET(death_test_style, "threadsafe");
#else
    ::testing::FLAGS_gtest_death_test_style = "threadsafe";  // GoogleTest before 1.11
#endif
    // 1 and 513 doubles leave most of their last page unused; 512 fill it.
    for (std::ptrdiff_t n : {1, 512, 513}) {
        auto A = pkhost::doubles(std::vector<double>(static_cast<std::size_t>(n), 2.5));
        const double *p = mxGetPr(A.get());
        EXPECT_EQ(read(p, 0), 2.5);
        EXPECT_EQ(read(p, n - 1), 2.5);
        EXPECT_DEATH(read(p, n), "") << n;
    }
    // The page before the data is inaccessible too.
    auto A = pkhost::doubles({1, 2, 3});
    EXPECT_DEATH(read(mxGetPr(A.get()), -515), "");
    auto empty = pkhost::doubles({});
    EXPECT_DEATH(read(mxGetPr(empty.get()), 0), "");
}

TEST(StandinGuardPages, NewArraysAreZeroFilled) {
    mxArray *r = mxCreateDoubleMatrix(70, 9, mxREAL);
    for (double v : pkhost::values(r)) EXPECT_EQ(pktest::bits(v), pktest::bits(0.0));
    mxDestroyArray(r);
}

}  // namespace
