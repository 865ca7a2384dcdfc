// nerolin-tool export-log FILE: the event-log export without a window, for
// support people and scripts.
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "eventlog/EventLogExport.h"
#include "tools/nerolin-tool/Subcommand.h"

namespace nerolin::tool {
namespace {

int RunExportLog(const Arguments& arguments)
{
    if (arguments.size() != 1 || arguments[0].empty()) {
        std::fprintf(stderr, "usage: nerolin-tool export-log FILE\n");
        return 2;
    }
    if (!ExportEventLog(arguments[0])) {
        std::fprintf(stderr, "nerolin-tool: cannot write \"%s\": %s\n", arguments[0].c_str(), std::strerror(errno));
        return 1;
    }
    return 0;
}

const Registration kExportLog{"export-log", "export-log FILE", RunExportLog};

}  // namespace
}  // namespace nerolin::tool
