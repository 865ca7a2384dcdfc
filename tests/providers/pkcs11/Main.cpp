// The providers find libTvrKSP.so and vendor module names through the normal
// library search, which reads LD_LIBRARY_PATH only at process start: put the
// folder of test libraries on it and start again. The event store of the
// whole run lives in a temporary folder.

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include <gtest/gtest.h>

#include "eventlog/EventLog.h"
#include "eventlog/EventLogReporter.h"
#include "tests/providers/pkcs11/Pkcs11Fixture.h"

int main(int argc, char** argv)
{
    const std::string libpath = NEROLIN_TEST_LIBPATH;
    const char* current = std::getenv("LD_LIBRARY_PATH");
    if (!current || std::string(current).rfind(libpath, 0) != 0) {
        const std::string value = current && *current ? libpath + ":" + current : libpath;
        setenv("LD_LIBRARY_PATH", value.c_str(), 1);
        execv("/proc/self/exe", argv);
        return 127;
    }

    // Nothing of the user's: settings, the event store and NSS's default
    // database all live in a temporary folder.
    nerolin::test::TempDir events;
    for (const char* name : {"HOME", "XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_STATE_HOME", "XDG_RUNTIME_DIR"})
        setenv(name, events.path().c_str(), 1);
    setenv("XDG_CONFIG_DIRS", (events.path() + "/machine").c_str(), 1);
    nerolin::test::SetEventStorePath(events.path() + "/eventlog.sqlite");
    nerolin::SetSyslogCopies(false);
    nerolin::RegisterEventSource(nerolin::test::EventStorePath());
    // No PC/SC service in tests unless one asks for it.
    setenv("PCSCLITE_CSOCK_NAME", (events.path() + "/no-pcscd.comm").c_str(), 1);

    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
