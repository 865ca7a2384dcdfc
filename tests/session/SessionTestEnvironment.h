#pragma once

// The surroundings every session test runs in: HOME and the XDG folders in a
// fresh temporary directory, the event store there, settings in memory,
// scripted prompts, the development service CA as the system's trust
// (SSL_CERT_FILE), short waits.

#include <string>
#include <vector>

#include "../support/MemorySettingsStore.h"
#include "../support/ScriptedPrompts.h"
#include "eventlog/EventLog.h"

namespace nerolin::test {

// The temporary home of this test process.
const std::string& TestHome();
ScriptedPrompts& TestPrompts();
MemorySettingsStore& TestSettings();

struct LoggedEntry {
    EntryType type;
    std::string text;
};

// Event entries written since it was made, oldest first.
class EntryWatch {
public:
    EntryWatch();
    std::vector<LoggedEntry> Entries() const;
    std::vector<std::string> Texts() const;

private:
    std::size_t seen_;
};

}  // namespace nerolin::test
