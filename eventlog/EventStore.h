#pragma once

// The user's event store: one SQLite database shared by every Nerolin
// process of the user, in WAL mode so that writers of several processes and
// threads never lose an entry and readers never block them. Each entry keeps
// its source, its time of writing (seconds since 1970 UTC), its type and its
// list of strings. The store keeps only the newest entries (docs/eventlog.md).
//
// A store found damaged (on open, on a write or on a read) is set aside as
// <store>.broken and a fresh store takes its place (DamagedStore.h).

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

struct sqlite3;
struct sqlite3_stmt;

namespace nerolin {

struct StoredEntry {
    std::int64_t time = 0;  // seconds since 1970-01-01 00:00:00 UTC
    int type = 0;
    std::vector<std::string> strings;
};

// An entry on its way into the store.
struct NewEntry {
    std::string source;
    std::int64_t time = 0;
    int type = 0;
    std::vector<std::string> strings;
};

enum class StoreStatus {
    Ok,
    Busy,     // another connection holds the lock: try again later
    Damaged,  // SQLite found the file damaged or not a database at all
    Failed,   // anything else: no folder, no permission, a full disk
};

class EventStore {
public:
    static constexpr std::int64_t kDefaultCapacity = 100000;

    // Opens the database at path for writing, creating it and its folder,
    // and checks it. A damaged store is set aside and replaced by a fresh
    // one before this returns; a store that stays busy gives Busy at once
    // (the caller decides how long to wait). capacity: entries kept.
    static std::unique_ptr<EventStore> Open(const std::string& path, StoreStatus& status,
                                            std::int64_t capacity = kDefaultCapacity);
    // The same, waiting up to ten seconds while the store is busy; empty when
    // it cannot be opened. For tools and tests that write directly.
    static std::unique_ptr<EventStore> OpenForWriting(const std::string& path,
                                                      std::int64_t capacity = kDefaultCapacity);
    // Opens an existing store read-only; empty (with the status) when that fails.
    static std::unique_ptr<EventStore> OpenForReading(const std::string& path, StoreStatus* status = nullptr);

    ~EventStore();
    EventStore(const EventStore&) = delete;
    EventStore& operator=(const EventStore&) = delete;

    // Stores the entries in one transaction: all or none. Safe from several
    // threads at once. Busy when the write lock was not had within a short
    // wait; the entries are then not stored.
    StoreStatus Append(const std::vector<NewEntry>& entries);
    // One entry, waiting up to ten seconds while the store is busy.
    bool Append(const std::string& source, std::int64_t time, int type, const std::vector<std::string>& strings);

    // The entries whose source equals source exactly (case-sensitive),
    // newest first; entries written in the same second keep their order.
    // nullopt when the store could not be read whole (status says why).
    std::optional<std::vector<StoredEntry>> Read(const std::string& source, StoreStatus& status);
    // The same, for tests and benchmarks: empty when the store cannot be read.
    std::vector<StoredEntry> ReadNewestFirst(const std::string& source);

    // The same entries in the same order, handed to visit one at a time
    // without copies: the strings last only for the call. Ok, or why the
    // store could not be read whole (visit may have seen some entries).
    using EntryVisitor = std::function<void(std::int64_t time, int type, const std::vector<std::string_view>& strings)>;
    StoreStatus VisitNewestFirst(const std::string& source, const EntryVisitor& visit);

private:
    struct StatementDeleter {
        void operator()(sqlite3_stmt* statement) const;
    };
    using Statement = std::unique_ptr<sqlite3_stmt, StatementDeleter>;

    EventStore(sqlite3* database, std::int64_t capacity);
    static std::unique_ptr<EventStore> OpenAndCheck(const std::string& path, std::int64_t capacity,
                                                    StoreStatus& status);
    Statement Prepare(const char* sql);

    std::mutex mutex_;
    sqlite3* database_;
    std::int64_t capacity_;
    Statement insert_;  // prepared once: most writers write many entries
    Statement prune_;
};

// The status that an SQLite result code stands for.
StoreStatus StoreStatusOf(int sqliteResult);

}  // namespace nerolin
