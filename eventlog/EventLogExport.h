#pragma once

// Saving the entries of the source "Nerolin" into a text file: one line per
// entry, newest first, "YYYY/MM/DD hh:mm:ss" in local time, a 14-character
// label for the type, then the entry's text; UTF-8, CR LF after every line.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace nerolin {

class EventStore;

// Reads the store of one export.
class CEventLogReader {
public:
    // A store that cannot be opened reads as empty.
    explicit CEventLogReader(const std::string& storePath);
    virtual ~CEventLogReader();

    // Every entry of the source "Nerolin" (compared case-sensitively) in the
    // export line form, newest first.
    std::vector<std::string> ReadLines();

private:
    std::unique_ptr<EventStore> store_;
};

// One export line. utcOffset: seconds east of UTC, the offset that holds at
// the moment of the export, applied to every entry alike. An entry with
// other than exactly one string gets no text after its label.
std::string FormatExportLine(std::int64_t time, int type, const std::vector<std::string>& strings, long utcOffset);

// Creates or truncates path and writes each line followed by CR LF. False
// when the file cannot be opened or a write fails (what was written stays).
bool WriteExportFile(const std::string& path, const std::vector<std::string>& lines);

// The export of this process's event store to path, without any dialog.
bool ExportEventLog(const std::string& path);

// Asks for the file through the user prompts (initial name "Nerolin",
// suffix "log", "Log files (*.log)" and "All files (*.*) ") and exports to
// it. A cancel reads and writes nothing; a file that cannot be written ends
// the export without a message.
void SaveEventLog();

}  // namespace nerolin
