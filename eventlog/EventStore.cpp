#include "eventlog/EventStore.h"

#include <sqlite3.h>

#include <chrono>
#include <cstring>
#include <thread>

#include "common/JsonDocument.h"
#include "eventlog/DamagedStore.h"
#include "eventlog/ValidUtf8.h"
#include "platform/Files.h"

namespace nerolin {

namespace {

// SQLite's own wait for a lock held by another connection. Kept short: the
// writer thread retries on its own terms, and must stay free to give up at
// the process's end.
constexpr int kBusyMilliseconds = 100;
// How long the direct writers of tools and tests wait for a busy store.
constexpr std::chrono::seconds kDirectWriterWait{10};

constexpr const char* kSchema =
    "CREATE TABLE IF NOT EXISTS entries ("
    " id INTEGER PRIMARY KEY,"
    " source TEXT NOT NULL,"
    " time INTEGER NOT NULL,"
    " type INTEGER NOT NULL,"
    " strings TEXT NOT NULL)";  // a JSON array of the insertion strings

int Execute(sqlite3* database, const char* sql) { return sqlite3_exec(database, sql, nullptr, nullptr, nullptr); }

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

// True when every byte is printable ASCII other than '"' and '\\': text that
// stands in a JSON string as it is. Eight bytes at a time (the export reads
// a hundred thousand of these), with the usual tests for a byte below a
// bound in a word; a set top bit (no ASCII) fails at once.
bool IsPlainAscii(std::string_view text)
{
    constexpr std::uint64_t kOnes = 0x0101010101010101;
    constexpr std::uint64_t kHighs = 0x8080808080808080;
    const auto below = [](std::uint64_t word, std::uint64_t bound) { return (word - kOnes * bound) & ~word & kHighs; };
    const auto holds = [&](std::uint64_t word, std::uint64_t byte) { return below(word ^ (kOnes * byte), 1); };
    std::uint64_t bad = 0;
    std::size_t i = 0;
    for (; i + 8 <= text.size(); i += 8) {
        std::uint64_t word;
        std::memcpy(&word, text.data() + i, 8);
        bad |= (word & kHighs) | below(word, 0x20) | holds(word, '"') | holds(word, '\\');
    }
    for (; i < text.size(); ++i) {
        const auto byte = static_cast<unsigned char>(text[i]);
        bad |= static_cast<std::uint64_t>(byte >= 0x80 || byte < 0x20 || byte == '"' || byte == '\\');
    }
    return bad == 0;
}

// The strings of a row, from the JSON array the store keeps. What this
// program nearly always writes (one string of printable ASCII without quotes
// or backslashes) is taken as it stands; anything else goes
// through the JSON parser, whose strings are kept in decoded. Values that
// are not strings count as empty strings, a value that is not an array as
// no strings. False when the text is not JSON.
bool DecodeStrings(std::string_view json, std::vector<std::string>& decoded, std::vector<std::string_view>& strings)
{
    strings.clear();
    if (json.size() >= 4 && json.substr(0, 2) == "[\"" && json.substr(json.size() - 2) == "\"]") {
        const std::string_view body = json.substr(2, json.size() - 4);
        if (IsPlainAscii(body)) {
            strings.push_back(body);
            return true;
        }
    }
    rapidjson::Document document;
    if (!ParseJsonDocument(json, document)) return false;
    decoded.clear();
    if (document.IsArray()) {
        for (const auto& value : document.GetArray())
            decoded.emplace_back(value.IsString() ? std::string(value.GetString(), value.GetStringLength())
                                                  : std::string());
    }
    strings.assign(decoded.begin(), decoded.end());
    return true;
}

sqlite3* OpenDatabase(const std::string& path, int flags, StoreStatus& status)
{
    sqlite3* database = nullptr;
    const int result = sqlite3_open_v2(path.c_str(), &database, flags | SQLITE_OPEN_NOMUTEX, nullptr);
    if (result != SQLITE_OK) {
        status = StoreStatusOf(result);
        sqlite3_close(database);
        return nullptr;
    }
    sqlite3_busy_timeout(database, kBusyMilliseconds);
    status = StoreStatus::Ok;
    return database;
}

}  // namespace

StoreStatus StoreStatusOf(int sqliteResult)
{
    switch (sqliteResult & 0xFF) {
    case SQLITE_OK:
    case SQLITE_ROW:
    case SQLITE_DONE: return StoreStatus::Ok;
    case SQLITE_BUSY:
    case SQLITE_LOCKED:
    // A WAL lock that changed hands under the reader, a schema that another
    // connection just changed: both pass on their own.
    case SQLITE_PROTOCOL:
    case SQLITE_SCHEMA: return StoreStatus::Busy;
    case SQLITE_CORRUPT:
    case SQLITE_NOTADB: return StoreStatus::Damaged;
    default: return StoreStatus::Failed;
    }
}

std::unique_ptr<EventStore> EventStore::Open(const std::string& path, StoreStatus& status, std::int64_t capacity)
{
    // The entries may name hosts and certificates: the user's eyes only.
    if (const std::size_t slash = path.find_last_of('/'); slash != std::string::npos && slash > 0)
        MakePrivateFolders(path.substr(0, slash));
    std::unique_ptr<EventStore> store = OpenAndCheck(path, capacity, status);
    if (status != StoreStatus::Damaged) return store;
    // A damaged store would silence the log for good: keep a copy aside for
    // whoever wants to look at it, and start afresh.
    status = SetAsideDamagedStore(path);
    if (status != StoreStatus::Ok) return nullptr;
    return OpenAndCheck(path, capacity, status);
}

std::unique_ptr<EventStore> EventStore::OpenAndCheck(const std::string& path, std::int64_t capacity,
                                                     StoreStatus& status)
{
    sqlite3* database = OpenDatabase(path, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, status);
    if (database == nullptr) return nullptr;
    std::unique_ptr<EventStore> store(new EventStore(database, capacity));
    // The check comes first: it reads every page, so damage anywhere is
    // found before any entry of this process could be written into it.
    status = CheckDatabase(database);
    if (status != StoreStatus::Ok) return nullptr;
    // Without WAL the store still works, only with less concurrency, so a
    // refused switch is not looked at unless the file is damaged or busy.
    status = StoreStatusOf(Execute(database, "PRAGMA journal_mode=WAL"));
    if (status == StoreStatus::Failed) status = StoreStatus::Ok;
    if (status == StoreStatus::Ok) status = StoreStatusOf(Execute(database, "PRAGMA synchronous=NORMAL"));
    if (status == StoreStatus::Ok) status = StoreStatusOf(Execute(database, "PRAGMA journal_size_limit=4194304"));
    if (status == StoreStatus::Ok) status = StoreStatusOf(Execute(database, kSchema));
    if (status != StoreStatus::Ok) return nullptr;
    return store;
}

std::unique_ptr<EventStore> EventStore::OpenForWriting(const std::string& path, std::int64_t capacity)
{
    const auto deadline = std::chrono::steady_clock::now() + kDirectWriterWait;
    for (;;) {
        StoreStatus status = StoreStatus::Ok;
        std::unique_ptr<EventStore> store = Open(path, status, capacity);
        if (status != StoreStatus::Busy || std::chrono::steady_clock::now() > deadline) return store;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
}

std::unique_ptr<EventStore> EventStore::OpenForReading(const std::string& path, StoreStatus* status)
{
    StoreStatus opened = StoreStatus::Ok;
    sqlite3* database = OpenDatabase(path, SQLITE_OPEN_READONLY, opened);
    if (status != nullptr) *status = opened;
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

StoreStatus EventStore::Append(const std::vector<NewEntry>& entries)
{
    std::lock_guard lock(mutex_);
    // The write lock is taken at BEGIN, so the busy wait applies there and
    // never half-way through the transaction.
    int result = Execute(database_, "BEGIN IMMEDIATE");
    if (result != SQLITE_OK) return StoreStatusOf(result);
    if (!insert_) insert_ = Prepare("INSERT INTO entries (source, time, type, strings) VALUES (?1, ?2, ?3, ?4)");
    // Rows get consecutive ids, so the newest capacity_ entries are exactly
    // those above this bound; one seek on the primary key finds the rest.
    if (!prune_) prune_ = Prepare("DELETE FROM entries WHERE id <= last_insert_rowid() - ?1");
    if (!insert_ || !prune_) result = sqlite3_errcode(database_);
    for (std::size_t i = 0; result == SQLITE_OK && i < entries.size(); ++i) {
        const NewEntry& entry = entries[i];
        const std::string json = JsonArray(entry.strings);
        sqlite3_bind_text(insert_.get(), 1, entry.source.data(), static_cast<int>(entry.source.size()), SQLITE_STATIC);
        sqlite3_bind_int64(insert_.get(), 2, entry.time);
        sqlite3_bind_int(insert_.get(), 3, entry.type);
        sqlite3_bind_text(insert_.get(), 4, json.data(), static_cast<int>(json.size()), SQLITE_STATIC);
        const int step = sqlite3_step(insert_.get());
        sqlite3_reset(insert_.get());
        sqlite3_clear_bindings(insert_.get());
        if (step != SQLITE_DONE) result = step;
    }
    if (result == SQLITE_OK) {
        sqlite3_bind_int64(prune_.get(), 1, capacity_);
        const int step = sqlite3_step(prune_.get());
        sqlite3_reset(prune_.get());
        if (step != SQLITE_DONE) result = step;
    }
    if (result == SQLITE_OK) result = Execute(database_, "COMMIT");
    if (result != SQLITE_OK) Execute(database_, "ROLLBACK");
    return StoreStatusOf(result);
}

bool EventStore::Append(const std::string& source, std::int64_t time, int type, const std::vector<std::string>& strings)
{
    const std::vector<NewEntry> entries{{source, time, type, strings}};
    const auto deadline = std::chrono::steady_clock::now() + kDirectWriterWait;
    for (;;) {
        const StoreStatus status = Append(entries);
        if (status != StoreStatus::Busy || std::chrono::steady_clock::now() > deadline)
            return status == StoreStatus::Ok;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
}

StoreStatus EventStore::VisitNewestFirst(const std::string& source, const EntryVisitor& visit)
{
    std::lock_guard lock(mutex_);
    // A store whose first writer has not yet made the table holds no entries.
    Statement table = Prepare("SELECT 1 FROM sqlite_schema WHERE type = 'table' AND name = 'entries'");
    int result = table ? sqlite3_step(table.get()) : sqlite3_errcode(database_);
    if (result == SQLITE_DONE) return StoreStatus::Ok;
    // Ids grow with every entry, so the primary key read backwards gives the
    // newest first without a sort; the strings are taken apart here rather
    // than joined row by row in SQL, which made SQLite sort the whole join.
    // One statement reads one consistent snapshot.
    Statement select = result == SQLITE_ROW
                           ? Prepare("SELECT time, type, strings FROM entries WHERE source = ?1 ORDER BY id DESC")
                           : nullptr;
    if (select) {
        sqlite3_bind_text(select.get(), 1, source.data(), static_cast<int>(source.size()), SQLITE_STATIC);
        std::vector<std::string> decoded;
        std::vector<std::string_view> strings;
        while ((result = sqlite3_step(select.get())) == SQLITE_ROW) {
            const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(select.get(), 2));
            const std::string_view json(text != nullptr ? text : "",
                                        static_cast<std::size_t>(sqlite3_column_bytes(select.get(), 2)));
            // Text that is not JSON fails the read, as SQLite's own JSON
            // functions would.
            if (!DecodeStrings(json, decoded, strings)) {
                result = SQLITE_ERROR;
                break;
            }
            visit(sqlite3_column_int64(select.get(), 0), sqlite3_column_int(select.get(), 1), strings);
        }
    } else if (result == SQLITE_ROW) {
        result = sqlite3_errcode(database_);
    }
    return StoreStatusOf(result);
}

std::optional<std::vector<StoredEntry>> EventStore::Read(const std::string& source, StoreStatus& status)
{
    std::vector<StoredEntry> entries;
    status = VisitNewestFirst(source, [&](std::int64_t time, int type, const std::vector<std::string_view>& strings) {
        entries.push_back({time, type, std::vector<std::string>(strings.begin(), strings.end())});
    });
    if (status != StoreStatus::Ok) return std::nullopt;
    return entries;
}

std::vector<StoredEntry> EventStore::ReadNewestFirst(const std::string& source)
{
    StoreStatus status = StoreStatus::Ok;
    return Read(source, status).value_or(std::vector<StoredEntry>{});
}

}  // namespace nerolin
