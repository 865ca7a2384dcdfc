// nerolin-tool export-log FILE: the event-log export without a window, for
// support people and scripts.
#include <cstdio>

#include "eventlog/EventLogExport.h"
#include "eventlog/EventLogReporter.h"
#include "tools/nerolin-tool/Subcommand.h"

namespace nerolin::tool {
namespace {

int RunExportLog(const Arguments& arguments)
{
    if (arguments.size() != 1 || arguments[0].empty()) {
        std::fprintf(stderr, "usage: nerolin-tool export-log FILE\n");
        return 2;
    }
    const std::string store = CEventLogReporter::Instance().StorePath();
    const ExportOutcome outcome = ExportEventLog(arguments[0]);
    switch (outcome.result) {
    case ExportOutcome::Result::Written: return 0;
    case ExportOutcome::Result::StoreUnreadable:
        std::fprintf(stderr, "nerolin-tool: cannot read the event log \"%s\": %s; nothing was written\n", store.c_str(),
                     outcome.problem.c_str());
        return 1;
    case ExportOutcome::Result::StoreDamaged:
        std::fprintf(
            stderr,
            "nerolin-tool: the event log \"%s\" is damaged; nothing was written. It was kept as \"%s.broken\", "
            "and a new event log starts in its place\n",
            store.c_str(), store.c_str());
        return 1;
    case ExportOutcome::Result::FileNotWritten:
        std::fprintf(stderr, "nerolin-tool: cannot write \"%s\": %s\n", arguments[0].c_str(), outcome.problem.c_str());
        return 1;
    }
    return 1;
}

const Registration kExportLog{"export-log", "export-log FILE", RunExportLog};

}  // namespace
}  // namespace nerolin::tool
