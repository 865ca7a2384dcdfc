#include "eventlog/EventStoreHealth.h"

#include <sqlite3.h>

#include <filesystem>

#include "eventlog/DamagedStore.h"
#include "eventlog/EventLog.h"
#include "eventlog/EventLogReporter.h"

namespace nerolin {

EventStoreHealth InspectEventStore(const std::string& path, std::size_t maxErrors)
{
    EventStoreHealth health;
    std::error_code error;
    health.exists = std::filesystem::is_regular_file(path, error);
    if (!health.exists) return health;
    health.size = std::filesystem::file_size(path, error);

    sqlite3* database = nullptr;
    const int opened = sqlite3_open_v2(path.c_str(), &database, SQLITE_OPEN_READONLY | SQLITE_OPEN_NOMUTEX, nullptr);
    health.status = opened == SQLITE_OK ? CheckDatabase(database) : StoreStatusOf(opened);
    sqlite3_close(database);
    if (health.status != StoreStatus::Ok) return health;

    std::unique_ptr<EventStore> store = EventStore::OpenForReading(path, &health.status);
    if (!store) return health;
    const auto entries = store->Read(kEventSourceName, health.status);
    if (!entries) return health;
    health.entries = entries->size();
    for (const StoredEntry& entry : *entries) {
        if (health.lastErrors.size() >= maxErrors) break;
        if (entry.type == static_cast<int>(EntryType::Error)) health.lastErrors.push_back(entry);
    }
    return health;
}

}  // namespace nerolin
