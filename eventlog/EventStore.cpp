#include "eventlog/EventStore.h"

#include <sqlite3.h>
#include <sys/stat.h>

#include <cerrno>
#include <chrono>
#include <filesystem>
#include <thread>

#include "eventlog/ValidUtf8.h"

namespace nerolin {

namespace {

thread_local int lastOpenFailure = 0;  // SQLite's primary result code of the last failed open

// Writers of other processes hold the write lock only for one short
// transaction; waiting longer than this means something is stuck.
constexpr int kBusyTimeoutMilliseconds = 10000;

constexpr const char* kSchema =
    "CREATE TABLE IF NOT EXISTS entries ("
    " id INTEGER PRIMARY KEY,"
    " source TEXT NOT NULL,"
    " time INTEGER NOT NULL,"
    " type INTEGER NOT NULL,"
    " strings TEXT NOT NULL)";  // a JSON array of the insertion strings

bool Execute(sqlite3* database, const char* sql)
{
    return sqlite3_exec(database, sql, nullptr, nullptr, nullptr) == SQLITE_OK;
}

// Switching to WAL and creating the table take locks that a concurrent
// opener may hold for a moment; some of those paths report SQLITE_BUSY
// without waiting, so wait here, for the same bounded time.
bool ExecuteWaiting(sqlite3* database, const char* sql)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kBusyTimeoutMilliseconds);
    for (;;) {
        const int result = sqlite3_exec(database, sql, nullptr, nullptr, nullptr);
        if (result == SQLITE_OK) return true;
        if ((result & 0xFF) != SQLITE_BUSY && (result & 0xFF) != SQLITE_LOCKED) return false;
        if (std::chrono::steady_clock::now() > deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
}

std::string JsonArray(const std::vector<std::string>& strings)
{
    std::string json = "[";
    for (const auto& text : strings) {
        if (json.size() > 1) json += ',';
        json += '"';
        for (char c : ValidUtf8(text)) {
            const auto byte = static_cast<unsigned char>(c);
            if (c == '"' || c == '\\') {
                json += '\\';
                json += c;
            } else if (byte < 0x20) {
                static constexpr char kHex[] = "0123456789abcdef";
                json += "\\u00";
                json += kHex[byte >> 4];
                json += kHex[byte & 0x0F];
            } else {
                json += c;
            }
        }
        json += '"';
    }
    return json + "]";
}

// Only folders made here get the private mode; existing ones stay as they are.
void CreateMissingFolders(const std::filesystem::path& folder)
{
    std::filesystem::path partial;
    for (const auto& part : folder) {
        partial /= part;
        // The entries may name hosts and certificates: the user's eyes only.
        if (::mkdir(partial.c_str(), 0700) != 0 && errno != EEXIST) return;
    }
}

sqlite3* OpenDatabase(const std::string& path, int flags)
{
    sqlite3* database = nullptr;
    if (sqlite3_open_v2(path.c_str(), &database, flags | SQLITE_OPEN_NOMUTEX, nullptr) != SQLITE_OK) {
        sqlite3_close(database);
        return nullptr;
    }
    sqlite3_busy_timeout(database, kBusyTimeoutMilliseconds);
    return database;
}

}  // namespace

std::unique_ptr<EventStore> EventStore::OpenForWriting(const std::string& path, std::int64_t capacity)
{
    CreateMissingFolders(std::filesystem::path(path).parent_path());
    std::unique_ptr<EventStore> store = OpenAndPrepare(path, capacity);
    if (!store && lastOpenFailure == SQLITE_NOTADB) {
        // A damaged file would silence the log for good: keep it aside for
        // whoever wants to look at it, and start a new store.
        std::error_code error;
        std::filesystem::rename(path, path + ".broken", error);
        if (!error) store = OpenAndPrepare(path, capacity);
    }
    return store;
}

std::unique_ptr<EventStore> EventStore::OpenAndPrepare(const std::string& path, std::int64_t capacity)
{
    lastOpenFailure = SQLITE_OK;
    sqlite3* database = OpenDatabase(path, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE);
    if (database == nullptr) return nullptr;
    std::unique_ptr<EventStore> store(new EventStore(database, capacity));
    // Without WAL the store still works, only with less concurrency, so
    // the answer of the journal-mode switch is not looked at.
    ExecuteWaiting(database, "PRAGMA journal_mode=WAL");
    if (!Execute(database, "PRAGMA synchronous=NORMAL") || !Execute(database, "PRAGMA journal_size_limit=4194304") ||
        !ExecuteWaiting(database, kSchema)) {
        lastOpenFailure = sqlite3_errcode(database) & 0xFF;
        return nullptr;
    }
    return store;
}

std::unique_ptr<EventStore> EventStore::OpenForReading(const std::string& path)
{
    sqlite3* database = OpenDatabase(path, SQLITE_OPEN_READONLY);
    if (database == nullptr) return nullptr;
    return std::unique_ptr<EventStore>(new EventStore(database, 0));
}

void EventStore::StatementDeleter::operator()(sqlite3_stmt* statement) const { sqlite3_finalize(statement); }

EventStore::EventStore(sqlite3* database, std::int64_t capacity) : database_(database), capacity_(capacity) {}

EventStore::~EventStore()
{
    // Statements first: a connection with live statements does not close.
    insert_.reset();
    prune_.reset();
    sqlite3_close(database_);
}

EventStore::Statement EventStore::Prepare(const char* sql)
{
    sqlite3_stmt* statement = nullptr;
    if (sqlite3_prepare_v3(database_, sql, -1, SQLITE_PREPARE_PERSISTENT, &statement, nullptr) != SQLITE_OK) {
        sqlite3_finalize(statement);
        return nullptr;
    }
    return Statement(statement);
}

bool EventStore::Append(const std::string& source, std::int64_t time, int type, const std::vector<std::string>& strings)
{
    std::lock_guard lock(mutex_);
    // The write lock is taken at BEGIN, so the busy time-out applies there
    // and never half-way through the transaction.
    if (!Execute(database_, "BEGIN IMMEDIATE")) return false;
    if (!insert_) insert_ = Prepare("INSERT INTO entries (source, time, type, strings) VALUES (?1, ?2, ?3, ?4)");
    // Rows get consecutive ids, so the newest capacity_ entries are exactly
    // those above this bound; one seek on the primary key finds the rest.
    if (!prune_) prune_ = Prepare("DELETE FROM entries WHERE id <= last_insert_rowid() - ?1");
    bool stored = false;
    const std::string json = JsonArray(strings);
    if (insert_ && prune_) {
        sqlite3_bind_text(insert_.get(), 1, source.data(), static_cast<int>(source.size()), SQLITE_STATIC);
        sqlite3_bind_int64(insert_.get(), 2, time);
        sqlite3_bind_int(insert_.get(), 3, type);
        sqlite3_bind_text(insert_.get(), 4, json.data(), static_cast<int>(json.size()), SQLITE_STATIC);
        sqlite3_bind_int64(prune_.get(), 1, capacity_);
        stored = sqlite3_step(insert_.get()) == SQLITE_DONE && sqlite3_step(prune_.get()) == SQLITE_DONE;
        sqlite3_reset(insert_.get());
        sqlite3_reset(prune_.get());
        sqlite3_clear_bindings(insert_.get());
    }
    if (stored) stored = Execute(database_, "COMMIT");
    if (!stored) Execute(database_, "ROLLBACK");
    return stored;
}

std::vector<StoredEntry> EventStore::ReadNewestFirst(const std::string& source)
{
    std::lock_guard lock(mutex_);
    std::vector<StoredEntry> entries;
    // One row per string; an entry without strings still gives one row,
    // with no string. One statement reads one consistent snapshot.
    Statement select = Prepare(
        "SELECT e.id, e.time, e.type, s.type, s.value FROM entries AS e"
        " LEFT JOIN json_each(e.strings) AS s"
        " WHERE e.source = ?1 ORDER BY e.id DESC, s.key");
    if (!select) return entries;
    sqlite3_bind_text(select.get(), 1, source.data(), static_cast<int>(source.size()), SQLITE_STATIC);
    std::int64_t previousId = 0;
    while (sqlite3_step(select.get()) == SQLITE_ROW) {
        const std::int64_t id = sqlite3_column_int64(select.get(), 0);
        if (entries.empty() || id != previousId) {
            entries.push_back({sqlite3_column_int64(select.get(), 1), sqlite3_column_int(select.get(), 2), {}});
            previousId = id;
        }
        if (sqlite3_column_type(select.get(), 3) == SQLITE_NULL) continue;
        const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(select.get(), 4));
        entries.back().strings.emplace_back(text != nullptr ? text : "",
                                            static_cast<std::size_t>(sqlite3_column_bytes(select.get(), 4)));
    }
    return entries;
}

}  // namespace nerolin
