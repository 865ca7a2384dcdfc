// Writes COUNT entries "writer <ID> entry <n>" (n from 0) through the event
// log of this process into the store at PATH, once a line arrives on
// standard input (so that several writers start at the same moment). With
// "hold" as a fourth argument it then prints "written" and waits for a
// second line (or the end of its input) before it ends, so a test can choose
// what the store is like at that moment.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "eventlog/EventLog.h"
#include "eventlog/EventLogReporter.h"

int main(int argc, char** argv)
{
    if (argc != 4 && argc != 5) return 2;
    const bool hold = argc == 5 && std::strcmp(argv[4], "hold") == 0;
    nerolin::SetSyslogCopies(false);  // thousands of test entries do not belong in the journal
    nerolin::RegisterEventSource(argv[1]);
    const std::string id = argv[2];
    const int count = std::atoi(argv[3]);
    char line[8];
    if (std::fgets(line, sizeof line, stdin) == nullptr) return 3;
    for (int i = 0; i < count; ++i) {
        nerolin::WriteEventEntry(nerolin::EntryType::Information, "writer " + id + " entry " + std::to_string(i));
    }
    if (hold) {
        std::puts("written");
        std::fflush(stdout);
        std::fgets(line, sizeof line, stdin);
    }
    return 0;  // the entries still queued are stored on the way out
}
