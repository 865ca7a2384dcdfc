#include "platform/ProcessHardening.h"

#include <cstdlib>

#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "tests/support/TempHome.h"

namespace nerolin::test {
namespace {

// Exit codes of the child.
enum : int { kNotDumpable = 10, kStillDumpable = 11 };

// Runs DisableCoreDumps in a child with the environment given; its wait status.
int ExitAfterHardening(const char* coreDumpsVariable, const std::string& folder)
{
    const pid_t child = fork();
    if (child == 0) {
        if (coreDumpsVariable)
            ::setenv("NEROLIN_CORE_DUMPS", coreDumpsVariable, 1);
        else
            ::unsetenv("NEROLIN_CORE_DUMPS");
        rlimit limit{};
        ::getrlimit(RLIMIT_CORE, &limit);
        limit.rlim_cur = limit.rlim_max;  // as a user with dumps on would have it
        ::setrlimit(RLIMIT_CORE, &limit);
        if (::chdir(folder.c_str()) != 0) _exit(1);
        const bool off = DisableCoreDumps();
        ::getrlimit(RLIMIT_CORE, &limit);
        const bool dumpable = ::prctl(PR_GET_DUMPABLE) != 0;
        if (off != (!dumpable && limit.rlim_cur == 0 && limit.rlim_max == 0)) _exit(2);  // says what it did
        _exit(dumpable ? kStillDumpable : kNotDumpable);
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    return status;
}

TEST(ProcessHardening, DumpsAreOffUnlessAskedForWhenDebugging)
{
#if defined(NEROLIN_KEEP_CORE_DUMPS)
    GTEST_SKIP() << "built with NEROLIN_CORE_DUMPS=ON";
#endif
    TempHome home;
    struct Case {
        const char* variable;
        int expected;
    };
    const Case cases[] = {{nullptr, kNotDumpable}, {"0", kNotDumpable}, {"1", kStillDumpable}};
    for (const Case& c : cases) {
        const int status = ExitAfterHardening(c.variable, home.root().string());
        ASSERT_TRUE(WIFEXITED(status)) << status;
        EXPECT_EQ(WEXITSTATUS(status), c.expected) << (c.variable ? c.variable : "(unset)");
    }
}

TEST(ProcessHardening, ACrashAfterwardsWritesNoCore)
{
#if defined(NEROLIN_KEEP_CORE_DUMPS)
    GTEST_SKIP() << "built with NEROLIN_CORE_DUMPS=ON";
#endif
    TempHome home;
    const pid_t child = fork();
    if (child == 0) {
        ::unsetenv("NEROLIN_CORE_DUMPS");
        rlimit limit{};
        ::getrlimit(RLIMIT_CORE, &limit);
        limit.rlim_cur = limit.rlim_max;
        ::setrlimit(RLIMIT_CORE, &limit);
        if (::chdir(home.root().c_str()) != 0) _exit(1);
        DisableCoreDumps();
        std::abort();
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    ASSERT_TRUE(WIFSIGNALED(status));
    EXPECT_FALSE(WCOREDUMP(status));
}

}  // namespace
}  // namespace nerolin::test
