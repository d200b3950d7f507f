// Hosts may run MEX code on threads with small stacks: every module, at the largest sizes the
// tests use, runs on a 64 KiB stack and gives the same bits as on the main thread.
#include <pthread.h>

#include "catalog.h"
#include "support.h"

namespace {

struct Job {
    const pktest::Build *module;
    std::vector<const mxArray *> args;
    pkhost::CallResult result;
};

void *run_job(void *p) {
    Job *job = static_cast<Job *>(p);
    job->result = job->module->call(job->args);
    return nullptr;
}

pkhost::CallResult on_small_stack(const pktest::Build &m,
                                  const std::vector<const mxArray *> &args) {
    Job job{&m, args, {}};
    pthread_attr_t attr;
    pthread_attr_init(&attr);
    pthread_attr_setstacksize(&attr, 64 * 1024);
    pthread_t thread;
    EXPECT_EQ(pthread_create(&thread, &attr, run_job, &job), 0);
    pthread_join(thread, nullptr);
    pthread_attr_destroy(&attr);
    return std::move(job.result);
}

void expect_same_on_small_stack(const std::string &profile, const std::string &name,
                                const std::vector<const mxArray *> &args) {
    const pktest::Build &m = pktest::module(name, profile);
    pkhost::CallResult big = m.call(args);
    ASSERT_FALSE(big.failed) << name << ": " << big.message;
    pkhost::CallResult small = on_small_stack(m, args);
    ASSERT_FALSE(small.failed) << name << ": " << small.message;
    EXPECT_TRUE(pktest::SameBits(pktest::result_values(small), pktest::result_values(big)))
        << profile << "/" << name;
}

TEST(SmallStack, EveryModuleAtModerateSizes) {
    for (const pktest::ModuleBuild &b : pktest::module_builds()) {
        auto args = pktest::valid_call(*b.module, pktest::Sizes{9, 4, 8}, -1.5, 42);
        expect_same_on_small_stack(b.profile, b.module->name, pktest::pointers(args));
    }
}

TEST(SmallStack, ScatterModulesWithWideVectors) {
    const pktest::Sizes s{3, 600, 1};
    for (const char *name : {"pair_scatter_reciprocal", "transformed_pair_vector_sum"}) {
        auto args = pktest::valid_call(pktest::find_module("linux", name), s, 0.5, 7);
        expect_same_on_small_stack("linux", name, pktest::pointers(args));
    }
    auto args = pktest::valid_call(pktest::find_module("windows", "item_pair_scatter"), s, 0.5, 9);
    expect_same_on_small_stack("windows", "item_pair_scatter", pktest::pointers(args));
}

TEST(SmallStack, ClosedFormUpdateWithTwentyThousandItems) {
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "6.4 GB of inputs are too slow to scan under AddressSanitizer";
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
    GTEST_SKIP() << "6.4 GB of inputs are too slow to scan under AddressSanitizer";
#endif
#endif
    // U and V are N*N zeros that the host never touches, so 2 x 3.2 GB cost no memory; with
    // K = 0 W and Z are not read. The per-item totals are 7*N doubles, far beyond 64 KiB.
    const int64_t n = 20000;
    auto N = pkhost::scalar(static_cast<double>(n));
    auto K = pkhost::scalar(0);
    auto t = pkhost::scalar(0.25);
    auto U = pkhost::zeros(n, n);
    auto V = pkhost::zeros(n, n);
    auto W = pkhost::doubles({});
    auto x = pkhost::doubles(pktest::awkward_values(static_cast<std::size_t>(n), 5, 0.0));
    auto d = pkhost::doubles(pktest::awkward_values(static_cast<std::size_t>(n), 6, 0.0));
    auto Z = pkhost::doubles({});
    expect_same_on_small_stack("linux", "item_closed_form_update",
                               {N.get(), K.get(), t.get(), U.get(), V.get(), W.get(), x.get(),
                                d.get(), Z.get()});
}

}  // namespace
