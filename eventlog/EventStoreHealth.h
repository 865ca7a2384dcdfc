#pragma once

// A look at the event store that changes nothing: whether it is there, its
// size, whether SQLite finds it whole, how many entries it keeps and the
// newest errors. A damaged store is only reported; setting it aside is left
// to the next writer (EventStore::Open) or to the export.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "eventlog/EventStore.h"

namespace nerolin {

struct EventStoreHealth {
    bool exists = false;
    std::uintmax_t size = 0;               // of the database file alone, in bytes
    StoreStatus status = StoreStatus::Ok;  // of the check, then of the reading
    std::size_t entries = 0;               // of the source "Nerolin"
    std::vector<StoredEntry> lastErrors;   // newest first
};

// Reads the store at path: SQLite's quick check over every page, then the
// entries of the source "Nerolin". maxErrors: how many error entries to keep.
EventStoreHealth InspectEventStore(const std::string& path, std::size_t maxErrors);

}  // namespace nerolin
