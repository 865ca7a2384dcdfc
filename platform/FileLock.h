#pragma once

// An exclusive lock between processes: flock(2) on a lock file, held while
// the object lives. Locks of flock belong to the open file, so two
// FileLocks on the same path exclude each other within one process too, and
// a lock dies with its process: a crashed holder never blocks anyone.

#include <chrono>
#include <string>

namespace nerolin {

class FileLock {
public:
    // Opens (creating it, mode 0600) the lock file at path and tries to take
    // the lock until wait has passed; at least once, so a zero wait tries
    // exactly once. The folder must exist.
    FileLock(const std::string& path, std::chrono::milliseconds wait);
    ~FileLock();
    FileLock(const FileLock&) = delete;
    FileLock& operator=(const FileLock&) = delete;

    // False when the file could not be opened or another holder kept the
    // lock for the whole wait.
    bool locked() const { return locked_; }

private:
    int fd_;
    bool locked_ = false;
};

}  // namespace nerolin
