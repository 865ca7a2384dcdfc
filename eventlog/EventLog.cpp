#include "eventlog/EventLog.h"

#include <atomic>
#include <cstdio>
#include <ctime>

#include "common/UserPrompts.h"
#include "eventlog/EventCapture.h"
#include "eventlog/EventLogReporter.h"
#include "platform/Syslog.h"

namespace nerolin {

namespace {

std::atomic<bool> syslogCopies{true};

SyslogPriority PriorityOf(EntryType type)
{
    switch (type) {
    case EntryType::Error: return SyslogPriority::Error;
    case EntryType::Warning: return SyslogPriority::Warning;
    case EntryType::Information: return SyslogPriority::Information;
    }
    return SyslogPriority::Notice;
}

}  // namespace

void SetSyslogCopies(bool enabled) { syslogCopies.store(enabled, std::memory_order_relaxed); }

CEventLogReporter& CEventLogReporter::Instance()
{
    static CEventLogReporter reporter;
    return reporter;
}

CEventLogReporter::~CEventLogReporter() = default;

std::shared_ptr<EventWriter> CEventLogReporter::Writer()
{
    std::lock_guard lock(mutex_);
    if (!writer_) writer_ = std::make_shared<EventWriter>(DefaultEventStorePath());
    return writer_;
}

void CEventLogReporter::Register(const std::string& path)
{
    std::shared_ptr<EventWriter> previous;
    {
        std::lock_guard lock(mutex_);
        if (writer_ && writer_->StorePath() == path) return;
        previous = std::move(writer_);
        writer_ = std::make_shared<EventWriter>(path);
    }
    // The previous writer stores its queue outside the lock, so entries for
    // the new store need not wait.
}

void CEventLogReporter::Write(EntryType type, const std::string& text)
{
    Writer()->Add({kEventSourceName, static_cast<std::int64_t>(std::time(nullptr)), static_cast<int>(type), {text}});
}

bool CEventLogReporter::Flush(std::chrono::milliseconds bound) { return Writer()->Flush(bound); }

std::string CEventLogReporter::StorePath() { return Writer()->StorePath(); }

void RegisterEventSource() { CEventLogReporter::Instance().Register(DefaultEventStorePath()); }

void RegisterEventSource(const std::string& databasePath) { CEventLogReporter::Instance().Register(databasePath); }

void WriteEventEntry(EntryType type, const std::string& text)
{
    if (CaptureEventEntry(type, text)) return;
    CEventLogReporter::Instance().Write(type, text);
    // The journal gets every entry, also when the store could not be opened.
    if (syslogCopies.load(std::memory_order_relaxed)) WriteSyslog(kEventSourceName, PriorityOf(type), text);
}

bool FlushEventLog(std::chrono::milliseconds bound) { return CEventLogReporter::Instance().Flush(bound); }

void ReportSystemError(const std::string& name, std::uint32_t code, bool quiet, const std::string& libraryText)
{
    char number[48];
    std::snprintf(number, sizeof number, " error: %d (0x%08X)", static_cast<std::int32_t>(code), code);
    WriteEventEntry(EntryType::Error, name + number);
    if (!quiet) Prompts().ShowMessage(libraryText, MessageIcon::Error);
}

}  // namespace nerolin
