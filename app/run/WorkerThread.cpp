#include "app/run/WorkerThread.h"

#include <system_error>

namespace nerolin {

WorkerThread::WorkerThread() : starter_([](std::function<void()> body) { return std::thread(std::move(body)); }) {}

WorkerThread::~WorkerThread() { Join(); }

bool WorkerThread::Start(std::function<void()> body)
{
    Join();
    try {
        thread_ = starter_(std::move(body));
    } catch (const std::system_error&) {
        return false;
    }
    return thread_.joinable();
}

void WorkerThread::Join()
{
    if (thread_.joinable()) {
        thread_.join();
    }
}

}  // namespace nerolin
