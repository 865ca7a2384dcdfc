#include "eventlog/EventLogExport.h"

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <ctime>

#include "common/StringIds.h"
#include "common/StringTable.h"
#include "common/UserPrompts.h"
#include "eventlog/DamagedStore.h"
#include "eventlog/EventLogReporter.h"
#include "eventlog/EventStore.h"
#include "eventlog/ValidUtf8.h"
#include "platform/Files.h"
#include "platform/LocalTime.h"

namespace nerolin {

namespace {

std::string_view TypeLabel(int type)
{
    switch (type) {
    case static_cast<int>(EntryType::Error): return " ERROR:       ";
    case static_cast<int>(EntryType::Warning): return " WARNING:     ";
    case static_cast<int>(EntryType::Information): return " INFORMATION: ";
    default: return "              ";
    }
}

long CurrentUtcOffset() { return UtcOffsetAt(std::time(nullptr)); }

// How long an export waits for this process's own latest entries to reach
// the store. Kept short: the export runs on the user-interface thread.
constexpr std::chrono::milliseconds kOwnEntriesWait{500};

}  // namespace

CEventLogReader::CEventLogReader(const std::string& storePath)
{
    std::string problem;
    const PathKind kind = InspectPath(storePath, problem);
    // Never written: a store without entries. Anything else (a folder that
    // may not be searched, say) hides a store that may exist.
    if (kind == PathKind::Missing) return;
    if (kind != PathKind::File) {
        status_ = StoreStatus::Failed;
        problem_ = problem;
        return;
    }
    store_ = EventStore::OpenForReading(storePath, &status_);
    if (!store_) {
        if (std::string why = ReadProblem(storePath); !why.empty()) problem_ = why;
    }
}

CEventLogReader::~CEventLogReader() = default;

std::vector<std::string> CEventLogReader::ReadLines()
{
    std::vector<std::string> lines;
    if (!store_) return lines;
    const long offset = CurrentUtcOffset();
    status_ = store_->VisitNewestFirst(kEventSourceName,
                                       [&](std::int64_t time, int type, const std::vector<std::string_view>& strings) {
                                           lines.emplace_back();
                                           AppendExportLine(lines.back(), time, type, strings, offset);
                                       });
    if (status_ != StoreStatus::Ok) lines.clear();
    return lines;
}

std::vector<std::string> CEventLogReader::ReadBlocks()
{
    constexpr std::size_t kBlockSize = 1 << 20;
    std::vector<std::string> blocks;
    if (!store_) return blocks;
    const long offset = CurrentUtcOffset();
    status_ = store_->VisitNewestFirst(kEventSourceName,
                                       [&](std::int64_t time, int type, const std::vector<std::string_view>& strings) {
                                           if (blocks.empty() || blocks.back().size() >= kBlockSize) {
                                               blocks.emplace_back();
                                               // Room for the longest line too, so that a block is hardly ever copied.
                                               blocks.back().reserve(kBlockSize + (1 << 12));
                                           }
                                           AppendExportLine(blocks.back(), time, type, strings, offset);
                                           blocks.back() += "\r\n";
                                       });
    if (status_ != StoreStatus::Ok) blocks.clear();
    return blocks;
}

void AppendExportLine(std::string& text, std::int64_t time, int type, const std::vector<std::string_view>& strings,
                      long utcOffset)
{
    using namespace std::chrono;
    const std::int64_t shifted = time + utcOffset;
    // Years 1970 to 9999 (every time this program writes) are spelled out
    // from the calendar; anything else goes the long way, which copes with
    // times the calendar types cannot hold.
    if (shifted >= 0 && shifted <= 253402300799) {
        const sys_seconds moment{seconds{shifted}};
        const sys_days day = floor<days>(moment);
        const year_month_day date{day};
        const hh_mm_ss clock{moment - day};
        char stamp[19];
        auto two = [](char* at, unsigned value) {
            at[0] = static_cast<char>('0' + value / 10);
            at[1] = static_cast<char>('0' + value % 10);
        };
        const auto year = static_cast<unsigned>(static_cast<int>(date.year()));
        two(stamp, year / 100);
        two(stamp + 2, year % 100);
        stamp[4] = '/';
        two(stamp + 5, static_cast<unsigned>(date.month()));
        stamp[7] = '/';
        two(stamp + 8, static_cast<unsigned>(date.day()));
        stamp[10] = ' ';
        two(stamp + 11, static_cast<unsigned>(clock.hours().count()));
        stamp[13] = ':';
        two(stamp + 14, static_cast<unsigned>(clock.minutes().count()));
        stamp[16] = ':';
        two(stamp + 17, static_cast<unsigned>(clock.seconds().count()));
        text.append(stamp, sizeof stamp);
    } else {
        const auto wide = static_cast<std::time_t>(shifted);
        std::tm fields{};
        ToUtcTime(wide, fields);
        char stamp[64];
        std::snprintf(stamp, sizeof stamp, "%04d/%02d/%02d %02d:%02d:%02d", fields.tm_year + 1900, fields.tm_mon + 1,
                      fields.tm_mday, fields.tm_hour, fields.tm_min, fields.tm_sec);
        text += stamp;
    }
    text += TypeLabel(type);
    if (strings.size() != 1) return;
    if (IsValidUtf8(strings.front()))
        text += strings.front();
    else
        text += ValidUtf8(strings.front());
}

std::string FormatExportLine(std::int64_t time, int type, const std::vector<std::string>& strings, long utcOffset)
{
    std::string line;
    AppendExportLine(line, time, type, std::vector<std::string_view>(strings.begin(), strings.end()), utcOffset);
    return line;
}

bool WriteExportFile(const std::string& path, const std::vector<std::string>& lines)
{
    OutputFile file(path, FileAccess::Shared);
    if (!file.is_open()) return false;
    // Lines are gathered into blocks of about 64 KiB: few writes, little memory.
    std::string block;
    block.reserve(1 << 16);
    for (const auto& line : lines) {
        block += line;
        block += "\r\n";
        if (block.size() >= (1 << 16)) {
            if (!file.Write(block)) return false;
            block.clear();
        }
    }
    return file.Write(block);
}

bool WriteExportBlocks(const std::string& path, const std::vector<std::string>& blocks)
{
    OutputFile file(path, FileAccess::Shared);
    if (!file.is_open()) return false;
    for (const auto& block : blocks)
        if (!file.Write(block)) return false;
    return true;
}

ExportOutcome ExportEventLog(const std::string& path)
{
    CEventLogReporter& reporter = CEventLogReporter::Instance();
    reporter.Flush(kOwnEntriesWait);
    const std::string storePath = reporter.StorePath();
    ExportOutcome outcome;
    std::vector<std::string> blocks;
    {
        CEventLogReader reader(storePath);
        blocks = reader.ReadBlocks();
        if (reader.Status() == StoreStatus::Damaged) {
            // Found damaged here, as a writer would: set aside, so the next
            // entries land in a new store.
            if (SetAsideDamagedStore(storePath) == StoreStatus::Ok) {
                outcome.result = ExportOutcome::Result::StoreDamaged;
                return outcome;
            }
            outcome.problem = "the store is damaged";
        }
        if (reader.Status() != StoreStatus::Ok) {
            outcome.result = ExportOutcome::Result::StoreUnreadable;
            if (outcome.problem.empty()) outcome.problem = reader.Problem();
            if (outcome.problem.empty()) outcome.problem = "the store cannot be read";
            return outcome;
        }
    }
    if (!WriteExportBlocks(path, blocks)) {
        outcome.result = ExportOutcome::Result::FileNotWritten;
        outcome.problem = LastFileProblem();
    }
    return outcome;
}

void SaveEventLog()
{
    SaveFileRequest request;
    request.initialName = "Nerolin";
    request.defaultSuffix = "log";
    // The space at the end of the second caption is part of it.
    request.filters = {{"Log files (*.log)", "*.log"}, {"All files (*.*) ", "*.*"}};
    request.confirmOverwrite = true;
    const std::optional<std::string> path = Prompts().AskSaveFile(request);
    if (!path) return;
    switch (ExportEventLog(*path).result) {
    case ExportOutcome::Result::StoreUnreadable:
        Prompts().ShowMessage(LoadString(strings::kEventLogUnreadable), MessageIcon::Error);
        break;
    case ExportOutcome::Result::StoreDamaged:
        Prompts().ShowMessage(LoadString(strings::kEventLogDamaged), MessageIcon::Error);
        break;
    case ExportOutcome::Result::Written:
    case ExportOutcome::Result::FileNotWritten: break;  // a file that cannot be opened ends the export silently
    }
}

}  // namespace nerolin
