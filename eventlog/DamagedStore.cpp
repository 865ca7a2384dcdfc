#include "eventlog/DamagedStore.h"

#include <sqlite3.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>

#include "platform/FileLock.h"
#include "platform/Files.h"

namespace nerolin {
namespace {

// A repair copies and rewrites at most some megabytes; a process that waits
// longer than this for another one's repair tries again later.
constexpr std::chrono::milliseconds kRepairLockWait{1000};
// The repair holds the store's write lock for a moment against writers of
// other processes, which hold it only for one short transaction each.
constexpr int kRepairBusyMilliseconds = 5000;

class Connection {
public:
    explicit Connection(const std::string& path)
    {
        if (sqlite3_open_v2(path.c_str(), &database_, SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX, nullptr) !=
            SQLITE_OK) {
            sqlite3_close(database_);
            database_ = nullptr;
            return;
        }
        sqlite3_busy_timeout(database_, kRepairBusyMilliseconds);
    }
    ~Connection() { sqlite3_close(database_); }
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    sqlite3* get() const { return database_; }

private:
    sqlite3* database_ = nullptr;
};

// The copy is made under another name and renamed, so that <store>.broken
// is always one whole file.
void KeepCopy(const std::string& path)
{
    const std::string kept = path + ".broken";
    const std::string partial = kept + ".partial";
    if (CopyToPrivateFile(path, partial) && RenameFile(partial, kept)) return;
    RemoveFile(partial);
}

}  // namespace

StoreStatus CheckDatabase(sqlite3* database)
{
    sqlite3_stmt* statement = nullptr;
    int result = sqlite3_prepare_v2(database, "PRAGMA quick_check(1)", -1, &statement, nullptr);
    bool healthy = false;
    if (result == SQLITE_OK) {
        result = sqlite3_step(statement);
        // A damaged page either fails the step or gives a row that describes it.
        if (result == SQLITE_ROW) {
            const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(statement, 0));
            healthy = text != nullptr && std::strcmp(text, "ok") == 0;
        }
    }
    sqlite3_finalize(statement);
    if (result == SQLITE_ROW) return healthy ? StoreStatus::Ok : StoreStatus::Damaged;
    return StoreStatusOf(result);
}

StoreStatus SetAsideDamagedStore(const std::string& path)
{
    FileLock lock(path + ".lock", kRepairLockWait);
    if (!lock.locked()) return StoreStatus::Busy;

    Connection connection(path);
    if (connection.get() == nullptr) return StoreStatus::Failed;
    const StoreStatus found = CheckDatabase(connection.get());
    if (found != StoreStatus::Damaged) return found;  // repaired by another process meanwhile, or busy

    KeepCopy(path);
    // SQLite's own way to empty a store whatever its state: the reset flag
    // makes VACUUM write a new, empty database over the damaged one.
    sqlite3_db_config(connection.get(), SQLITE_DBCONFIG_RESET_DATABASE, 1, nullptr);
    const int result = sqlite3_exec(connection.get(), "VACUUM", nullptr, nullptr, nullptr);
    sqlite3_db_config(connection.get(), SQLITE_DBCONFIG_RESET_DATABASE, 0, nullptr);
    return result == SQLITE_OK ? StoreStatus::Ok : StoreStatusOf(result);
}

}  // namespace nerolin
