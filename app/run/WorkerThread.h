#pragma once

// The one thread of a background job, owned by the object that shows the
// job to the windows. It is joined, never detached: by the owner once the
// job has reported its end, at the latest when the owner goes.

#include <functional>
#include <thread>

namespace nerolin {

class WorkerThread {
public:
    using Starter = std::function<std::thread(std::function<void()>)>;

    WorkerThread();
    ~WorkerThread();
    WorkerThread(const WorkerThread&) = delete;
    WorkerThread& operator=(const WorkerThread&) = delete;

    // For tests: a start that fails as a system without threads would.
    void SetStarter(Starter starter) { starter_ = std::move(starter); }

    // Runs body on a new thread; false when the system gave none.
    bool Start(std::function<void()> body);
    // Waits for the thread's end; nothing when none runs.
    void Join();

private:
    Starter starter_;
    std::thread thread_;
};

}  // namespace nerolin
