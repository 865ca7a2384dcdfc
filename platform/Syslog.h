#pragma once

// Messages to the system's log: syslog(3) on Linux, so that
// `journalctl -t <ident>` shows them; the event log on Windows, under the
// event source <ident>.

#include <string>

namespace nerolin {

enum class SyslogPriority { Error, Warning, Information, Notice };

// One message; on Linux facility LOG_USER, with the process id. openlog(3) keeps
// the ident pointer and is process-wide: the first call's ident holds for
// the whole process, and it must be a text that lives as long (a literal).
void WriteSyslog(const char* ident, SyslogPriority priority, const std::string& text);

}  // namespace nerolin
