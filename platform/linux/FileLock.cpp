#include "platform/FileLock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <thread>

namespace nerolin {
namespace {

// A blocking flock cannot be given a time limit; a holder is polled for
// instead, at this pace.
constexpr std::chrono::milliseconds kRetryPause{10};

}  // namespace

FileLock::FileLock(const std::string& path, std::chrono::milliseconds wait)
    : handle_(open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600))
{
    if (handle_ < 0) return;
    const auto deadline = std::chrono::steady_clock::now() + wait;
    while (true) {
        if (flock(static_cast<int>(handle_), LOCK_EX | LOCK_NB) == 0) {
            locked_ = true;
            return;
        }
        if (errno != EWOULDBLOCK && errno != EINTR) return;
        if (std::chrono::steady_clock::now() >= deadline) return;
        std::this_thread::sleep_for(kRetryPause);
    }
}

FileLock::~FileLock()
{
    if (handle_ >= 0) close(static_cast<int>(handle_));  // releases the lock
}

}  // namespace nerolin
