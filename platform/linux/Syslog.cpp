#include "platform/Syslog.h"

#include <syslog.h>

#include <mutex>

namespace nerolin {
namespace {

int Level(SyslogPriority priority)
{
    switch (priority) {
    case SyslogPriority::Error: return LOG_ERR;
    case SyslogPriority::Warning: return LOG_WARNING;
    case SyslogPriority::Information: return LOG_INFO;
    case SyslogPriority::Notice: return LOG_NOTICE;
    }
    return LOG_NOTICE;
}

}  // namespace

void WriteSyslog(const char* ident, SyslogPriority priority, const std::string& text)
{
    static std::once_flag opened;
    std::call_once(opened, [ident] { openlog(ident, LOG_PID, LOG_USER); });
    // Never the text as the format: it may hold a '%'.
    syslog(Level(priority), "%s", text.c_str());
}

}  // namespace nerolin
