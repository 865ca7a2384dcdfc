#include "platform/Syslog.h"

#include <windows.h>

#include <mutex>
#include <stdexcept>

#include "platform/windows/WideText.h"

namespace nerolin {
namespace {

WORD EventType(SyslogPriority priority)
{
    switch (priority) {
    case SyslogPriority::Error: return EVENTLOG_ERROR_TYPE;
    case SyslogPriority::Warning: return EVENTLOG_WARNING_TYPE;
    case SyslogPriority::Information: return EVENTLOG_INFORMATION_TYPE;
    case SyslogPriority::Notice: return EVENTLOG_SUCCESS;
    }
    return EVENTLOG_SUCCESS;
}

// The event source of the process, registered at the first entry and kept
// to the process's end, as the system deregisters it then.
HANDLE EventSource(const char* ident)
{
    static HANDLE source = nullptr;
    static std::once_flag registered;
    std::call_once(registered, [ident] {
        try {
            source = RegisterEventSourceW(nullptr, WideText(ident).c_str());
        } catch (const std::range_error&) {
        }
    });
    return source;
}

}  // namespace

// The Windows event log in place of syslog: category 0, event identifier 0,
// no user, the whole text as the one insertion string. Its result is not
// looked at: the entry is in the event store as well.
void WriteSyslog(const char* ident, SyslogPriority priority, const std::string& text)
{
    const HANDLE source = EventSource(ident);
    if (source == nullptr) return;
    std::wstring wide;
    try {
        wide = WideText(text);
    } catch (const std::range_error&) {
        return;
    }
    const wchar_t* strings[] = {wide.c_str()};
    ReportEventW(source, EventType(priority), 0, 0, nullptr, 1, 0, strings, nullptr);
}

}  // namespace nerolin
