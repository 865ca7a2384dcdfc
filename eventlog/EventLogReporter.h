#pragma once

// The process's event source: the store every entry of this process goes
// to, opened once at start-up. When it could not be opened, entries of the
// run are dropped silently.

#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "eventlog/EventLog.h"
#include "eventlog/EventStore.h"

namespace nerolin {

// The source name of every entry Nerolin writes, and the only one exported.
inline constexpr const char* kEventSourceName = "Nerolin";

// $XDG_STATE_HOME/Tavorel/Nerolin/eventlog.sqlite, with ~/.local/state when
// XDG_STATE_HOME is unset, empty or not an absolute path (the home folder
// as platform/XdgDirectories.h finds it).
std::string DefaultEventStorePath();

// Whether entries also go to syslog (they do unless switched off). Load
// generators such as benchmarks switch it off so they do not flood the
// user's journal.
void SetSyslogCopies(bool enabled);

class CEventLogReporter {
public:
    static CEventLogReporter& Instance();

    // Opens the store at path (closing one opened before); a failure leaves
    // no store. Later writes do not retry.
    void Register(const std::string& path);
    void Write(EntryType type, const std::string& text);
    // The path of the store this process writes to (registered or default).
    std::string StorePath();

    virtual ~CEventLogReporter() = default;

private:
    CEventLogReporter() = default;
    void RegisterDefaultOnce();

    std::mutex mutex_;
    bool registered_ = false;
    std::string path_;
    std::shared_ptr<EventStore> store_;
};

}  // namespace nerolin
