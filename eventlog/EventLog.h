#pragma once

// The one way every subsystem writes a diagnostic. Entries go to the user's
// event store (SQLite, shared by all Nerolin processes of the user) and to
// syslog with ident "Nerolin".

#include <cstdint>
#include <string>

namespace nerolin {

enum class EntryType : int {
    Error = 1,        // EVENTLOG_ERROR_TYPE
    Warning = 2,      // EVENTLOG_WARNING_TYPE
    Information = 4,  // EVENTLOG_INFORMATION_TYPE
};

// Opens the event store once, at start-up, before any other thread runs.
// When it fails, no entry is written during the run and nobody is told.
// Without a call, the first entry opens the default store.
void RegisterEventSource();
// Tests and tools may point the store elsewhere (before the first entry).
void RegisterEventSource(const std::string& databasePath);

// One entry with the whole text (UTF-8).
void WriteEventEntry(EntryType type, const std::string& text);

// "<name> error: %d (0x%08X)" (code as signed 32-bit decimal, then eight
// upper-case hex digits) as an error entry; unless quiet, a message box
// with the error icon showing only libraryText, the library's own text for
// the code (errno's strerror, NSS's PR_ErrorToString, ...).
void ReportSystemError(const std::string& name, std::uint32_t code, bool quiet, const std::string& libraryText);

}  // namespace nerolin
