#include "tools/devservice/GrowingPool.h"

namespace nerolin::devservice {

GrowingPool::GrowingPool(std::size_t maxWorkers) : maxWorkers_(maxWorkers) {}

GrowingPool::~GrowingPool() { shutdown(); }

void GrowingPool::enqueue(std::function<void()> job)
{
    {
        std::lock_guard lock(mutex_);
        jobs_.push_back(std::move(job));
        // Idle workers already woken by earlier jobs are spoken for.
        if (!stopping_ && idle_ < jobs_.size() && workers_.size() < maxWorkers_) {
            workers_.emplace_back([this] { Work(); });
        }
    }
    queued_.notify_one();
}

void GrowingPool::shutdown()
{
    {
        std::lock_guard lock(mutex_);
        if (stopping_) return;
        stopping_ = true;
    }
    queued_.notify_all();
    // No worker is started once stopping_ is set, so workers_ stays as it is.
    for (std::thread& worker : workers_) worker.join();
}

void GrowingPool::Work()
{
    std::unique_lock lock(mutex_);
    for (;;) {
        ++idle_;
        queued_.wait(lock, [this] { return !jobs_.empty() || stopping_; });
        --idle_;
        if (jobs_.empty()) return;  // stopping, nothing left to run
        std::function<void()> job = std::move(jobs_.front());
        jobs_.pop_front();
        lock.unlock();
        job();
        lock.lock();
    }
}

}  // namespace nerolin::devservice
