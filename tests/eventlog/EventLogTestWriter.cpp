// Writes COUNT entries "writer <ID> entry <n>" (n from 0) through the event
// log of this process into the store at PATH, once a line arrives on
// standard input (so that several writers start at the same moment).
#include <cstdio>
#include <cstdlib>
#include <string>

#include "eventlog/EventLog.h"
#include "eventlog/EventLogReporter.h"

int main(int argc, char** argv)
{
    if (argc != 4) return 2;
    nerolin::SetSyslogCopies(false);  // thousands of test entries do not belong in the journal
    nerolin::RegisterEventSource(argv[1]);
    const std::string id = argv[2];
    const int count = std::atoi(argv[3]);
    char go[8];
    if (std::fgets(go, sizeof go, stdin) == nullptr) return 3;
    for (int i = 0; i < count; ++i) {
        nerolin::WriteEventEntry(nerolin::EntryType::Information, "writer " + id + " entry " + std::to_string(i));
    }
    return 0;
}
