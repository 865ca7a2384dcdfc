// The event log's promises, measured:
//   - a write (WriteEventEntry) costs its caller little: median and 99th
//     percentile of single calls, with syslog copies on and the store at its
//     100,000-entry cap, so every batch the writer thread stores also prunes;
//   - no write blocks its caller: the same calls while another connection
//     holds the store's write lock;
//   - the export of a full store, side by side with a plain newest-first
//     read of the same rows.
// Plus, for the record, the check a writer makes when it opens a full store.

#include <sqlite3.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "bench/support/GoalLine.h"
#include "bench/support/SideBySide.h"
#include "bench/support/ThreadCpu.h"
#include "eventlog/EventLog.h"
#include "eventlog/EventLogExport.h"
#include "eventlog/EventLogReporter.h"
#include "eventlog/EventStore.h"

namespace nerolin::bench {
namespace {

using Clock = std::chrono::steady_clock;

class TempFolder {
public:
    TempFolder()
    {
        std::string pattern = std::filesystem::temp_directory_path().string() + "/nerolin-bench-XXXXXX";
        if (mkdtemp(pattern.data()) == nullptr) std::abort();
        path_ = pattern;
    }
    ~TempFolder() { std::filesystem::remove_all(path_); }
    std::string Path(const std::string& name) const { return path_ + "/" + name; }

private:
    std::string path_;
};

constexpr const char* kTypicalText =
    "HttpSendRequest succeeded; status 200, 1432 bytes from https://service.example/session";
constexpr int kWritesPerRound = 2000;
constexpr std::int64_t kCapacity = EventStore::kDefaultCapacity;

bool FillToCap(const std::string& path)
{
    auto store = EventStore::OpenForWriting(path);
    if (!store) return false;
    std::vector<NewEntry> batch;
    for (int i = 0; i < 1000; ++i)
        batch.push_back({kEventSourceName, 1700000000 + i / 10, 1 + (i % 3 == 0) * 3, {kTypicalText}});
    for (std::int64_t i = 0; i < kCapacity / 1000; ++i)
        if (store->Append(batch) != StoreStatus::Ok) return false;
    return true;
}

// The duration of each of kWritesPerRound calls, in seconds; the entries
// are stored before this returns.
std::optional<std::vector<double>> TimedWrites(bool flush)
{
    std::vector<double> durations;
    durations.reserve(kWritesPerRound);
    for (int i = 0; i < kWritesPerRound; ++i) {
        const auto start = Clock::now();
        WriteEventEntry(EntryType::Information, kTypicalText);
        durations.push_back(std::chrono::duration<double>(Clock::now() - start).count());
    }
    if (flush && !FlushEventLog(std::chrono::seconds(60))) return std::nullopt;
    return durations;
}

struct WriteFigures {
    Agreed agreed;       // median and 99th percentile
    double longest = 0;  // of the last round, for the record: the scheduler's doing as much as the code's
};

// The median and 99th percentile of single writes, rounds repeated until
// two agree (or two microseconds apart: the clock's reading costs some tens
// of nanoseconds, the scheduler more).
std::optional<WriteFigures> WriteLatency(bool flush)
{
    AgreementOptions options;
    options.resolution = 2e-6;
    WriteFigures figures;
    const auto agreed = RepeatUntilAgreed(
        [&]() -> std::optional<std::vector<double>> {
            auto durations = TimedWrites(flush);
            if (!durations) return std::nullopt;
            figures.longest = Percentile(*durations, 1.0);
            return std::vector<double>{Percentile(*durations, 0.5), Percentile(*durations, 0.99)};
        },
        options);
    if (!agreed) return std::nullopt;
    figures.agreed = *agreed;
    return figures;
}

bool Writes(const TempFolder& folder)
{
    const std::string path = folder.Path("writes.sqlite");
    if (!FillToCap(path)) return false;
    SetSyslogCopies(true);
    RegisterEventSource(path);
    const auto free = WriteLatency(true);
    if (!free) return false;
    const double median = free->agreed.figures[0];
    const double p99 = free->agreed.figures[1];
    std::printf("WriteEventEntry, syslog copies on, store at its cap: median %s, p99 %s, max %s\n",
                FormatSeconds(median).c_str(), FormatSeconds(p99).c_str(), FormatSeconds(free->longest).c_str());
    PrintGoalLine({"event log write, median, store at cap, syslog on: <= 20 µs", FormatSeconds(median), median / 20e-6,
                   median <= 20e-6, free->agreed.Note()});
    PrintGoalLine({"event log write, p99, store at cap, syslog on: <= 100 µs", FormatSeconds(p99), p99 / 100e-6,
                   p99 <= 100e-6, free->agreed.Note()});

    // Another connection takes the write lock and keeps it while the calls
    // are made: the writer thread waits, its callers must not.
    sqlite3* other = nullptr;
    if (sqlite3_open(path.c_str(), &other) != SQLITE_OK ||
        sqlite3_exec(other, "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr) != SQLITE_OK) {
        sqlite3_close(other);
        return false;
    }
    const auto locked = WriteLatency(false);
    sqlite3_exec(other, "COMMIT", nullptr, nullptr, nullptr);
    sqlite3_close(other);
    if (!locked || !FlushEventLog(std::chrono::seconds(60))) return false;
    const double lockedP99 = locked->agreed.figures[1];
    std::printf("WriteEventEntry while another connection holds the store's lock: median %s, p99 %s, max %s\n",
                FormatSeconds(locked->agreed.figures[0]).c_str(), FormatSeconds(lockedP99).c_str(),
                FormatSeconds(locked->longest).c_str());
    PrintGoalLine({"event log write, p99, store locked by another process: <= 100 µs (no write blocks)",
                   FormatSeconds(lockedP99), lockedP99 / 100e-6, lockedP99 <= 100e-6, locked->agreed.Note()});
    RegisterEventSource(folder.Path("closed.sqlite"));
    return true;
}

// A plain read of the rows an export reads, newest first, opened as the
// store opens its connections (without SQLite's own locks). With copy, the
// rows are read into memory (each row's time, type and strings text, as any
// reader that hands rows on must); without, each column is only looked at.
std::optional<double> PlainRead(const std::string& path, bool copy)
{
    struct Row {
        std::int64_t time;
        int type;
        std::string strings;
    };
    const double start = ThreadCpuSeconds();
    sqlite3* database = nullptr;
    if (sqlite3_open_v2(path.c_str(), &database, SQLITE_OPEN_READONLY | SQLITE_OPEN_NOMUTEX, nullptr) != SQLITE_OK) {
        sqlite3_close(database);
        return std::nullopt;
    }
    sqlite3_stmt* select = nullptr;
    sqlite3_prepare_v2(database, "SELECT time, type, strings FROM entries WHERE source = ?1 ORDER BY id DESC", -1,
                       &select, nullptr);
    sqlite3_bind_text(select, 1, kEventSourceName, -1, SQLITE_STATIC);
    std::vector<Row> rows;
    std::size_t looked = 0;
    while (sqlite3_step(select) == SQLITE_ROW) {
        const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(select, 2));
        const auto size = static_cast<std::size_t>(sqlite3_column_bytes(select, 2));
        if (copy)
            rows.push_back({sqlite3_column_int64(select, 0), sqlite3_column_int(select, 1),
                            std::string(text != nullptr ? text : "", size)});
        else
            looked += static_cast<std::size_t>(sqlite3_column_int64(select, 0) + sqlite3_column_int(select, 1)) +
                      (text != nullptr ? size : 0);
    }
    sqlite3_finalize(select);
    sqlite3_close(database);
    const std::size_t count = copy ? rows.size() : (looked > 0 ? kCapacity : 0);
    rows = {};  // freed inside the measurement, as the export frees its text
    if (count != kCapacity) return std::nullopt;
    return ThreadCpuSeconds() - start;
}

bool Export(const TempFolder& folder)
{
    const std::string path = folder.Path("export.sqlite");
    if (!FillToCap(path)) return false;
    RegisterEventSource(path);
    const std::string logPath = folder.Path("Nerolin.log");
    const SampleFunction exportOnce = [&]() -> std::optional<double> {
        const double start = ThreadCpuSeconds();
        if (ExportEventLog(logPath).result != ExportOutcome::Result::Written) return std::nullopt;
        return ThreadCpuSeconds() - start;
    };
    const auto figures = MeasureSideBySide(
        exportOnce, [&] { return PlainRead(path, true); }, 5);
    const auto bare = MeasureSideBySide(
        exportOnce, [&] { return PlainRead(path, false); }, 5);
    if (!figures || !bare) return false;
    std::printf("Export of 100,000 entries: %s; plain newest-first read into memory: %s (thread CPU)\n",
                FormatSpread(figures->subject).c_str(), FormatSpread(figures->reference).c_str());
    std::printf("  the same rows only stepped through, nothing copied: %s; export / that: %.2fx (no goal)\n",
                FormatSpread(bare->reference).c_str(), bare->ratio);
    PrintGoalLine({"event log export, 100,000 entries: <= 1.5 x plain newest-first read into memory",
                   FormatSpread(figures->subject) + " vs " + FormatSpread(figures->reference), figures->ratio,
                   figures->ratio <= 1.5, figures->agreed.Note() + ", thread CPU"});
    RegisterEventSource(folder.Path("closed.sqlite"));
    return true;
}

// Every writer checks the whole store when it opens it (quick_check), so
// that damage is found before an entry is written into it; this is that
// check's cost on a full store, paid once per process on its writer thread.
bool OpenFullStore(const TempFolder& folder)
{
    const std::string path = folder.Path("export.sqlite");
    std::vector<double> samples;
    for (int i = 0; i < 5; ++i) {
        const auto start = Clock::now();
        if (!EventStore::OpenForWriting(path)) return false;
        samples.push_back(std::chrono::duration<double>(Clock::now() - start).count());
    }
    std::printf("Opening a full store for writing (with its check): %s (no goal)\n",
                FormatSpread(Summarize(samples)).c_str());
    return true;
}

}  // namespace
}  // namespace nerolin::bench

int main()
{
    nerolin::bench::TempFolder folder;
    if (!nerolin::bench::Writes(folder) || !nerolin::bench::Export(folder) || !nerolin::bench::OpenFullStore(folder)) {
        std::fprintf(stderr, "bench_eventlog: a measurement failed\n");
        return 1;
    }
    return 0;
}
