// Writing entries through the event log, and exporting a full store.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "eventlog/EventLog.h"
#include "eventlog/EventLogExport.h"
#include "eventlog/EventLogReporter.h"
#include "eventlog/EventStore.h"

namespace {

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

void WriteTenThousandEntries(benchmark::State& state)
{
    nerolin::SetSyslogCopies(false);
    for (auto _ : state) {
        state.PauseTiming();
        TempFolder folder;
        nerolin::RegisterEventSource(folder.Path("eventlog.sqlite"));
        state.ResumeTiming();
        for (int i = 0; i < 10000; ++i) nerolin::WriteEventEntry(nerolin::EntryType::Information, kTypicalText);
        // The calls only queue; the time that counts ends with the last entry stored.
        if (!nerolin::FlushEventLog(std::chrono::seconds(60))) state.SkipWithError("entries not stored");
        state.PauseTiming();
        nerolin::RegisterEventSource(folder.Path("closed.sqlite"));
        state.ResumeTiming();
    }
    state.SetItemsProcessed(state.iterations() * 10000);
}
BENCHMARK(WriteTenThousandEntries)->Unit(benchmark::kMillisecond)->Iterations(3);

void ExportHundredThousandEntries(benchmark::State& state)
{
    TempFolder folder;
    const std::string storePath = folder.Path("eventlog.sqlite");
    {
        auto store = nerolin::EventStore::OpenForWriting(storePath);
        for (int i = 0; i < 100000; ++i)
            store->Append("Nerolin", 1700000000 + i / 10, 1 + (i % 3 == 0) * 3, {kTypicalText});
    }
    nerolin::RegisterEventSource(storePath);
    const std::string logPath = folder.Path("Nerolin.log");
    for (auto _ : state) {
        if (nerolin::ExportEventLog(logPath).result != nerolin::ExportOutcome::Result::Written)
            state.SkipWithError("export failed");
    }
    state.SetItemsProcessed(state.iterations() * 100000);
    state.counters["file_bytes"] = static_cast<double>(std::filesystem::file_size(logPath));
}
BENCHMARK(ExportHundredThousandEntries)->Unit(benchmark::kMillisecond)->Iterations(3);

// Every writer checks the whole store when it opens it (quick_check), so
// that damage is found before an entry is written into it; this is that
// check's cost on a full store, paid once per process on its writer thread.
void OpenFullStore(benchmark::State& state)
{
    TempFolder folder;
    const std::string storePath = folder.Path("eventlog.sqlite");
    {
        auto store = nerolin::EventStore::OpenForWriting(storePath);
        std::vector<nerolin::NewEntry> batch(1000, {"Nerolin", 1700000000, 4, {kTypicalText}});
        for (int i = 0; i < 100; ++i) store->Append(batch);
    }
    for (auto _ : state) {
        if (!nerolin::EventStore::OpenForWriting(storePath)) state.SkipWithError("open failed");
    }
    state.counters["store_bytes"] = static_cast<double>(std::filesystem::file_size(storePath));
}
BENCHMARK(OpenFullStore)->Unit(benchmark::kMillisecond)->Iterations(5);

}  // namespace

BENCHMARK_MAIN();
