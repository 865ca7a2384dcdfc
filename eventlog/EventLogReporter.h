#pragma once

// The process's event source: the store every entry of this process goes
// to, and the one writer that takes the entries there (EventWriter.h).

#include <chrono>
#include <memory>
#include <mutex>
#include <string>

#include "eventlog/EventLog.h"
#include "eventlog/EventWriter.h"

namespace nerolin {

// The source name of every entry Nerolin writes, and the only one exported.
inline constexpr const char* kEventSourceName = "Nerolin";

// $XDG_STATE_HOME/Tavorel/Nerolin/eventlog.sqlite, with ~/.local/state when
// XDG_STATE_HOME is unset, empty or not an absolute path (the home folder
// as platform/XdgDirectories.h finds it).
std::string DefaultEventStorePath();

// Whether entries can be stored at path: its folder (made here when
// missing) takes new files, and the store, when there is one, opens for
// writing. When not, the process's entries reach syslog only.
bool EventStoreCanBeKept(const std::string& path);

// Whether entries also go to syslog (they do unless switched off). Load
// generators such as benchmarks switch it off so they do not flood the
// user's journal.
void SetSyslogCopies(bool enabled);

class CEventLogReporter {
public:
    static CEventLogReporter& Instance();

    // Makes path the store of later entries. The entries written before go
    // to the store they were written for: its writer stores them first (at
    // most EventWriter::kExitBound). The store in use already: nothing changes.
    void Register(const std::string& path);
    // Queues one entry of the source "Nerolin", with the time of the call.
    void Write(EntryType type, const std::string& text);
    // Waits until the entries written so far are stored, at most bound.
    bool Flush(std::chrono::milliseconds bound);
    // The path of the store this process writes to (registered or default).
    std::string StorePath();

    // At the process's end (return from main, exit()): the queue is stored,
    // at most EventWriter::kExitBound.
    virtual ~CEventLogReporter();

private:
    CEventLogReporter() = default;
    // The writer, made for the default store when none was registered.
    std::shared_ptr<EventWriter> Writer();

    std::mutex mutex_;
    std::shared_ptr<EventWriter> writer_;
};

}  // namespace nerolin
