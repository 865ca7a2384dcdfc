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
    : fd_(open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600))
{
    if (fd_ < 0) return;
    const auto deadline = std::chrono::steady_clock::now() + wait;
    while (true) {
        if (flock(fd_, LOCK_EX | LOCK_NB) == 0) {
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
    if (fd_ >= 0) close(fd_);  // releases the lock
}

}  // namespace nerolin
