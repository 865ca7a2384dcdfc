#include "eventlog/EventWriter.h"

#include <algorithm>
#include <iterator>
#include <system_error>
#include <vector>

namespace nerolin {
namespace {

// Entries stored in one transaction: one commit serves many entries when
// they come faster than the disk syncs.
constexpr std::size_t kBatch = 256;
// Pauses between tries while the store stays busy: short at first, as most
// locks last one transaction, then longer, so a store locked for minutes
// costs little.
constexpr std::chrono::milliseconds kFirstPause{10};
constexpr std::chrono::milliseconds kLongestPause{500};
// Failures in a row (other than a busy store) after which the writer gives
// up: the store, or the entries it could not take. About a second of tries.
constexpr int kTriesBeforeGivingUp = 8;

}  // namespace

EventWriter::EventWriter(std::string storePath, std::int64_t capacity)
    : storePath_(std::move(storePath)),
      capacity_(capacity)
{
}

EventWriter::~EventWriter() { Close(kExitBound); }

void EventWriter::Add(NewEntry entry)
{
    {
        std::lock_guard lock(mutex_);
        ++added_;
        if (closing_ || unusable_ || queue_.size() + inFlight_ >= kQueueLimit) {
            ++finished_;
            return;
        }
        queue_.push_back(std::move(entry));
        if (!thread_.joinable()) {
            try {
                thread_ = std::thread(&EventWriter::Run, this);
            } catch (const std::system_error&) {
                // No thread, no store: the entries still reach syslog.
                unusable_ = true;
                Drop(queue_.size());
                return;
            }
        }
    }
    changed_.notify_all();
}

bool EventWriter::Flush(std::chrono::milliseconds bound)
{
    std::unique_lock lock(mutex_);
    const std::uint64_t target = added_;
    return changed_.wait_for(lock, bound, [&] { return finished_ >= target; });
}

void EventWriter::Close(std::chrono::milliseconds bound)
{
    {
        std::lock_guard lock(mutex_);
        if (!closing_) {
            closing_ = true;
            deadline_ = std::chrono::steady_clock::now() + bound;
        }
    }
    changed_.notify_all();
    if (thread_.joinable()) thread_.join();
    std::lock_guard lock(mutex_);
    Drop(queue_.size());
}

void EventWriter::Drop(std::size_t count)
{
    queue_.erase(queue_.begin(), queue_.begin() + static_cast<std::ptrdiff_t>(count));
    finished_ += count;
    changed_.notify_all();
}

void EventWriter::Run()
{
    std::unique_lock lock(mutex_);
    std::chrono::milliseconds pause = kFirstPause;
    for (;;) {
        changed_.wait(lock, [this] { return closing_ || !queue_.empty(); });
        if (queue_.empty()) break;
        if (closing_ && std::chrono::steady_clock::now() >= deadline_) {
            Drop(queue_.size());
            break;
        }
        if (WriteSome(lock)) {
            pause = kFirstPause;
            continue;
        }
        // Busy: another process holds the store. Close wakes the wait, so
        // the deadline is looked at in time.
        const auto retry = std::chrono::steady_clock::now() + pause;
        const auto wake = closing_ ? std::min(retry, deadline_) : retry;
        changed_.wait_until(lock, wake);
        pause = std::min(pause * 2, kLongestPause);
    }
    lock.unlock();
    store_.reset();
}

bool EventWriter::WriteSome(std::unique_lock<std::mutex>& lock)
{
    if (unusable_) {
        Drop(queue_.size());
        return true;
    }
    if (!store_) {
        lock.unlock();
        StoreStatus status = StoreStatus::Ok;
        std::unique_ptr<EventStore> store = EventStore::Open(storePath_, status, capacity_);
        lock.lock();
        if (status == StoreStatus::Busy) return false;
        if (!store) {
            // A repair of another process may be half-way; a store that stays
            // out of reach (no folder, no permission) leaves the run's
            // entries to syslog, as a failed registration does.
            if (++failures_ < kTriesBeforeGivingUp) return false;
            unusable_ = true;
            Drop(queue_.size());
            return true;
        }
        store_ = std::move(store);
    }

    const std::size_t count = std::min(queue_.size(), kBatch);
    std::vector<NewEntry> batch(std::make_move_iterator(queue_.begin()),
                                std::make_move_iterator(queue_.begin() + static_cast<std::ptrdiff_t>(count)));
    queue_.erase(queue_.begin(), queue_.begin() + static_cast<std::ptrdiff_t>(count));
    inFlight_ = count;
    lock.unlock();
    const StoreStatus status = store_->Append(batch);
    // Opened anew next time: a damaged store is repaired then, and one that
    // another process's repair emptied gets its table back.
    if (status == StoreStatus::Damaged || status == StoreStatus::Failed) store_.reset();
    lock.lock();
    inFlight_ = 0;
    if (status == StoreStatus::Ok) {
        failures_ = 0;
        finished_ += count;
        changed_.notify_all();
        return true;
    }
    if (status == StoreStatus::Failed && ++failures_ >= kTriesBeforeGivingUp) {
        // A full disk, say: these entries are given up, later ones may fare better.
        failures_ = 0;
        finished_ += count;
        changed_.notify_all();
        return false;
    }
    // The entries stay first in line.
    queue_.insert(queue_.begin(), std::make_move_iterator(batch.begin()), std::make_move_iterator(batch.end()));
    return status == StoreStatus::Damaged;
}

}  // namespace nerolin
