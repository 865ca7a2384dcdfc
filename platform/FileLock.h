#pragma once

// An exclusive lock between processes on a lock file, held while the object
// lives: flock(2) on Linux, LockFileEx on Windows. Both locks belong to the
// open file, so two FileLocks on the same path exclude each other within one
// process too, and a lock dies with its process: a crashed holder never
// blocks anyone.

#include <chrono>
#include <cstdint>
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
    std::intptr_t handle_;  // the open file: a descriptor or a HANDLE
    bool locked_ = false;
};

}  // namespace nerolin
