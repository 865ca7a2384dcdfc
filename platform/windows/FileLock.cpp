#include "platform/FileLock.h"

#include <windows.h>

#include <stdexcept>
#include <thread>

#include "platform/windows/WideText.h"

namespace nerolin {
namespace {

// LockFileEx cannot wait with a time limit; a holder is polled for instead,
// at this pace.
constexpr std::chrono::milliseconds kRetryPause{10};
constexpr std::intptr_t kClosed = -1;

HANDLE OpenLockFile(const std::string& path)
{
    try {
        // Others may open the file too: the lock, not the sharing mode,
        // keeps them out.
        return CreateFileW(WideText(path).c_str(), GENERIC_READ | GENERIC_WRITE,
                           FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_ALWAYS,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    } catch (const std::range_error&) {
        return INVALID_HANDLE_VALUE;
    }
}

}  // namespace

FileLock::FileLock(const std::string& path, std::chrono::milliseconds wait) : handle_(kClosed)
{
    const HANDLE file = OpenLockFile(path);
    if (file == INVALID_HANDLE_VALUE) return;
    handle_ = reinterpret_cast<std::intptr_t>(file);
    const auto deadline = std::chrono::steady_clock::now() + wait;
    while (true) {
        OVERLAPPED whole{};
        if (LockFileEx(file, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, MAXDWORD, MAXDWORD, &whole)) {
            locked_ = true;
            return;
        }
        if (GetLastError() != ERROR_LOCK_VIOLATION) return;
        if (std::chrono::steady_clock::now() >= deadline) return;
        std::this_thread::sleep_for(kRetryPause);
    }
}

FileLock::~FileLock()
{
    // Closing the handle releases the lock.
    if (handle_ != kClosed) CloseHandle(reinterpret_cast<HANDLE>(handle_));
}

}  // namespace nerolin
