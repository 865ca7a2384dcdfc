#pragma once

// The one writer of a process's entries: callers add entries to a bounded
// queue and go on at once; one thread takes them off in order and stores
// them, waiting while another process holds the store's lock, repairing a
// damaged store, and giving up only at the process's end. Syslog has every
// entry as well, so an entry that never reaches the store is not lost to the
// journal.

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "eventlog/EventStore.h"

namespace nerolin {

class EventWriter {
public:
    // Entries waiting at most; more are dropped (the newest: those that come
    // while the queue is full), so a store that stays locked cannot make a
    // process grow. Far more than a session writes.
    static constexpr std::size_t kQueueLimit = 10000;
    // How long the process's end waits for entries still in the queue.
    static constexpr std::chrono::milliseconds kExitBound{2000};

    explicit EventWriter(std::string storePath, std::int64_t capacity = EventStore::kDefaultCapacity);
    // Close(kExitBound).
    ~EventWriter();
    EventWriter(const EventWriter&) = delete;
    EventWriter& operator=(const EventWriter&) = delete;

    // Queues the entry; never waits for the store. The thread starts with
    // the first entry.
    void Add(NewEntry entry);
    // Waits until every entry added before the call is stored (or dropped),
    // at most bound; true when none is left waiting.
    bool Flush(std::chrono::milliseconds bound);
    // Stores what it can within bound, drops the rest, and ends the thread.
    // Later entries are dropped.
    void Close(std::chrono::milliseconds bound);

    const std::string& StorePath() const { return storePath_; }

private:
    void Run();
    // One pass: opens the store if needed and stores the front of the queue.
    // False when it should wait before trying again.
    bool WriteSome(std::unique_lock<std::mutex>& lock);
    void Drop(std::size_t count);

    const std::string storePath_;
    const std::int64_t capacity_;

    std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<NewEntry> queue_;
    std::size_t inFlight_ = 0;    // taken off the queue, being stored
    std::uint64_t added_ = 0;     // entries ever queued
    std::uint64_t finished_ = 0;  // of those, stored or dropped
    bool closing_ = false;
    bool unusable_ = false;  // the store cannot be opened in this run
    std::chrono::steady_clock::time_point deadline_;
    std::thread thread_;

    // The writer thread's own.
    std::unique_ptr<EventStore> store_;
    int failures_ = 0;  // in a row
};

}  // namespace nerolin
