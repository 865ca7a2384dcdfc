#pragma once

// Saving the entries of the source "Nerolin" into a text file: one line per
// entry, newest first, "YYYY/MM/DD hh:mm:ss" in local time, a 14-character
// label for the type, then the entry's text; UTF-8, CR LF after every line.

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "eventlog/EventStore.h"

namespace nerolin {

// Reads the store of one export.
class CEventLogReader {
public:
    // A store that does not exist yet holds no entries; one that exists but
    // cannot be read (a folder in its way, no permission, damage) is a
    // failure that ReadLines reports.
    explicit CEventLogReader(const std::string& storePath);
    virtual ~CEventLogReader();

    // Every entry of the source "Nerolin" (compared case-sensitively) in the
    // export line form, newest first; nothing when the store could not be
    // read whole.
    std::vector<std::string> ReadLines();
    // The same lines, each followed by CR LF, as the export file holds them,
    // in blocks of about a megabyte (a growing single text would be copied
    // again and again). Nothing when the store could not be read whole.
    std::vector<std::string> ReadBlocks();

    // After ReadLines or ReadBlocks: Ok, or why the store could not be read.
    StoreStatus Status() const { return status_; }
    // The cause of a failure in words ("Permission denied"), for the tool.
    const std::string& Problem() const { return problem_; }

private:
    std::unique_ptr<EventStore> store_;
    StoreStatus status_ = StoreStatus::Ok;
    std::string problem_;
};

// One export line. utcOffset: seconds east of UTC, the offset that holds at
// the moment of the export, applied to every entry alike. An entry with
// other than exactly one string gets no text after its label.
std::string FormatExportLine(std::int64_t time, int type, const std::vector<std::string>& strings, long utcOffset);
// The same line appended to text, without its CR LF.
void AppendExportLine(std::string& text, std::int64_t time, int type, const std::vector<std::string_view>& strings,
                      long utcOffset);

// Creates or truncates path and writes each line followed by CR LF. False
// when the file cannot be opened or a write fails (what was written stays).
bool WriteExportFile(const std::string& path, const std::vector<std::string>& lines);
// The same for blocks that hold their line ends already.
bool WriteExportBlocks(const std::string& path, const std::vector<std::string>& blocks);

struct ExportOutcome {
    enum class Result {
        Written,
        StoreUnreadable,  // the file was not touched
        StoreDamaged,     // likewise; the store was set aside and a new one started
        FileNotWritten,
    };
    Result result = Result::Written;
    std::string problem;  // the cause in words, for StoreUnreadable and FileNotWritten
};

// The export of this process's event store to path, without any dialog.
// The store is read whole before the file is touched.
ExportOutcome ExportEventLog(const std::string& path);

// Asks for the file through the user prompts (initial name "Nerolin",
// suffix "log", "Log files (*.log)" and "All files (*.*) ") and exports to
// it. A cancel reads and writes nothing; a store that cannot be read is told
// in a message box and leaves the file alone; a file that cannot be written
// ends the export without a message.
void SaveEventLog();

}  // namespace nerolin
