#include "eventlog/EventLog.h"

#include <atomic>
#include <cstdio>
#include <ctime>

#include "common/UserPrompts.h"
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

void CEventLogReporter::Register(const std::string& path)
{
    std::shared_ptr<EventStore> store = EventStore::OpenForWriting(path);
    std::lock_guard lock(mutex_);
    registered_ = true;
    path_ = path;
    store_ = std::move(store);
}

void CEventLogReporter::RegisterDefaultOnce()
{
    {
        std::lock_guard lock(mutex_);
        if (registered_) return;
    }
    const std::string path = DefaultEventStorePath();
    std::shared_ptr<EventStore> store = EventStore::OpenForWriting(path);
    std::lock_guard lock(mutex_);
    if (registered_) return;  // another thread was quicker
    registered_ = true;
    path_ = path;
    store_ = std::move(store);
}

void CEventLogReporter::Write(EntryType type, const std::string& text)
{
    RegisterDefaultOnce();
    std::shared_ptr<EventStore> store;
    {
        std::lock_guard lock(mutex_);
        store = store_;
    }
    if (store)
        store->Append(kEventSourceName, static_cast<std::int64_t>(std::time(nullptr)), static_cast<int>(type), {text});
}

std::string CEventLogReporter::StorePath()
{
    RegisterDefaultOnce();
    std::lock_guard lock(mutex_);
    return path_;
}

void RegisterEventSource() { CEventLogReporter::Instance().Register(DefaultEventStorePath()); }

void RegisterEventSource(const std::string& databasePath) { CEventLogReporter::Instance().Register(databasePath); }

void WriteEventEntry(EntryType type, const std::string& text)
{
    CEventLogReporter::Instance().Write(type, text);
    // The journal gets every entry, also when the store could not be opened.
    if (syslogCopies.load(std::memory_order_relaxed)) WriteSyslog(kEventSourceName, PriorityOf(type), text);
}

void ReportSystemError(const std::string& name, std::uint32_t code, bool quiet, const std::string& libraryText)
{
    char number[48];
    std::snprintf(number, sizeof number, " error: %d (0x%08X)", static_cast<std::int32_t>(code), code);
    WriteEventEntry(EntryType::Error, name + number);
    if (!quiet) Prompts().ShowMessage(libraryText, MessageIcon::Error);
}

}  // namespace nerolin
