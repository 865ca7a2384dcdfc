#pragma once

// The user's event store: one SQLite database shared by every Nerolin
// process of the user, in WAL mode so that writers of several processes and
// threads never lose an entry and readers never block them. Each entry keeps
// its source, its time of writing (seconds since 1970 UTC), its type and its
// list of strings. The store keeps only the newest entries (docs/eventlog.md).

#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

struct sqlite3;
struct sqlite3_stmt;

namespace nerolin {

struct StoredEntry {
    std::int64_t time = 0;  // seconds since 1970-01-01 00:00:00 UTC
    int type = 0;
    std::vector<std::string> strings;
};

class EventStore {
public:
    static constexpr std::int64_t kDefaultCapacity = 100000;

    // Opens (for writing: creates, with its folder) the database at path.
    // Empty when it cannot be opened. capacity: entries kept, newest first.
    // A file that is not a database is renamed to path + ".broken" and a
    // new store takes its place.
    static std::unique_ptr<EventStore> OpenForWriting(const std::string& path,
                                                      std::int64_t capacity = kDefaultCapacity);
    static std::unique_ptr<EventStore> OpenForReading(const std::string& path);

    ~EventStore();
    EventStore(const EventStore&) = delete;
    EventStore& operator=(const EventStore&) = delete;

    // Safe from several threads at once. False when the entry could not be
    // stored (the database stayed busy past the time-out, the disk is full).
    bool Append(const std::string& source, std::int64_t time, int type, const std::vector<std::string>& strings);

    // The entries whose source equals source exactly (case-sensitive),
    // newest first; entries written in the same second keep their order.
    std::vector<StoredEntry> ReadNewestFirst(const std::string& source);

private:
    struct StatementDeleter {
        void operator()(sqlite3_stmt* statement) const;
    };
    using Statement = std::unique_ptr<sqlite3_stmt, StatementDeleter>;

    EventStore(sqlite3* database, std::int64_t capacity);
    static std::unique_ptr<EventStore> OpenAndPrepare(const std::string& path, std::int64_t capacity);
    Statement Prepare(const char* sql);

    std::mutex mutex_;
    sqlite3* database_;
    std::int64_t capacity_;
    Statement insert_;  // prepared once: most writers write many entries
    Statement prune_;
};

}  // namespace nerolin
