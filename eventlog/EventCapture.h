#pragma once

// Entries held back from the store and from syslog while a capture lives:
// for a diagnosis that runs the program's own code (the whitelist download,
// NSS's start) and reports what that code would have logged, without adding
// its trial runs to the user's event log, which it reads back afterwards.
// Entries of every thread are taken. Captures nest: the newest takes the
// entries, and the one before it takes them again when it ends.

#include <mutex>
#include <string>
#include <vector>

#include "eventlog/EventLog.h"

namespace nerolin {

struct CapturedEntry {
    EntryType type = EntryType::Information;
    std::string text;
};

class EventCapture {
public:
    EventCapture();
    ~EventCapture();
    EventCapture(const EventCapture&) = delete;
    EventCapture& operator=(const EventCapture&) = delete;

    // The entries written since the capture began or since the last Take,
    // in the order written.
    std::vector<CapturedEntry> Take();

private:
    friend bool CaptureEventEntry(EntryType type, const std::string& text);
    EventCapture* previous_ = nullptr;  // guarded by the captures' common lock
    std::mutex mutex_;
    std::vector<CapturedEntry> entries_;
};

// WriteEventEntry's hook: true when a capture took the entry.
bool CaptureEventEntry(EntryType type, const std::string& text);

}  // namespace nerolin
