#pragma once

// The one way every subsystem writes a diagnostic. Entries go to the user's
// event store (SQLite, shared by all Nerolin processes of the user) and to
// syslog with ident "Nerolin".

#include <chrono>
#include <cstdint>
#include <string>

namespace nerolin {

enum class EntryType : int {
    Error = 1,        // EVENTLOG_ERROR_TYPE
    Warning = 2,      // EVENTLOG_WARNING_TYPE
    Information = 4,  // EVENTLOG_INFORMATION_TYPE
};

// Chooses the store of this process's entries, at start-up: the default one,
// or, for tests and tools, another. Without a call, the first entry chooses
// the default store. The store is opened by the process's writer thread;
// when it cannot be opened, the run's entries reach syslog only, and nobody
// is told.
void RegisterEventSource();
void RegisterEventSource(const std::string& databasePath);

// One entry with the whole text (UTF-8). Never waits for the store: the
// entry is queued for the process's writer, which stores the queue at the
// process's end too (for at most two seconds).
void WriteEventEntry(EntryType type, const std::string& text);

// Waits until the entries written so far are in the store, at most bound;
// true when they are. For readers of the store in the same process.
bool FlushEventLog(std::chrono::milliseconds bound = std::chrono::seconds(2));

// "<name> error: %d (0x%08X)" (code as signed 32-bit decimal, then eight
// upper-case hex digits) as an error entry; unless quiet, a message box
// with the error icon showing only libraryText, the library's own text for
// the code (errno's strerror, NSS's PR_ErrorToString, ...).
void ReportSystemError(const std::string& name, std::uint32_t code, bool quiet, const std::string& libraryText);

}  // namespace nerolin
