#pragma once

// What happens to a damaged event store: it is copied aside as
// <store>.broken and reset, in place, to an empty store.
//
// The reset goes through SQLite itself rather than a rename: other
// processes keep the store open, and SQLite removes a closing connection's
// WAL and shared-memory files by name, so a renamed store's last connection
// would delete the files of the new store under its living connections.
// Resetting keeps every connection on the one file, under SQLite's locks.

#include <string>

#include "eventlog/EventStore.h"

struct sqlite3;

namespace nerolin {

// Reads the whole store once (SQLite's quick_check: every page, every
// record's format, the tree structure; about 0.1 s for a full store).
StoreStatus CheckDatabase(sqlite3* database);

// Repairs the store at path when it is still damaged, serialised across
// processes by the lock file <store>.lock: after taking the lock the store
// is checked again, because another process may have repaired it already,
// and only a store that is still damaged is copied aside (replacing an older
// copy: only the latest damage is kept) and reset. Ok when the store at path
// is healthy afterwards; Busy when the lock or the store stayed busy.
StoreStatus SetAsideDamagedStore(const std::string& path);

}  // namespace nerolin
