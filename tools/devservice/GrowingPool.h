#pragma once

// httplib's task queue for the service: a worker per connection being
// served, started when a connection finds every worker busy, up to a
// ceiling. httplib runs a connection from its handshake to its close on one
// worker, so with a fixed pool a few clients that dawdle over their requests
// (each is cut only at its deadline) would leave every other client waiting.
// Workers that have been started stay until shutdown, idle ones cost a
// sleeping thread; beyond the ceiling, connections wait for a free worker.

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

#include <httplib.h>

namespace nerolin::devservice {

class GrowingPool : public httplib::TaskQueue {
public:
    explicit GrowingPool(std::size_t maxWorkers);
    ~GrowingPool() override;
    GrowingPool(const GrowingPool&) = delete;
    GrowingPool& operator=(const GrowingPool&) = delete;

    void enqueue(std::function<void()> job) override;
    // Runs the jobs still queued, then joins every worker.
    void shutdown() override;

private:
    void Work();

    const std::size_t maxWorkers_;
    std::mutex mutex_;
    std::condition_variable queued_;
    std::deque<std::function<void()>> jobs_;
    std::vector<std::thread> workers_;
    std::size_t idle_ = 0;
    bool stopping_ = false;
};

}  // namespace nerolin::devservice
