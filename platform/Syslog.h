#pragma once

// Messages to syslog(3), so that `journalctl -t <ident>` shows them.

#include <string>

namespace nerolin {

enum class SyslogPriority { Error, Warning, Information, Notice };

// One message, facility LOG_USER, with the process id. openlog(3) keeps
// the ident pointer and is process-wide: the first call's ident holds for
// the whole process, and it must be a text that lives as long (a literal).
void WriteSyslog(const char* ident, SyslogPriority priority, const std::string& text);

}  // namespace nerolin
