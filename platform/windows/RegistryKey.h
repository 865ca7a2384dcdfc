#pragma once

// The owner of an open registry key: closed when the owner goes.

#include <windows.h>

#include <utility>

namespace nerolin {

class KeyHandle {
public:
    KeyHandle() = default;
    explicit KeyHandle(HKEY key) : key_(key) {}
    ~KeyHandle()
    {
        if (key_ != nullptr) RegCloseKey(key_);
    }
    KeyHandle(KeyHandle&& other) noexcept : key_(std::exchange(other.key_, nullptr)) {}
    KeyHandle(const KeyHandle&) = delete;
    KeyHandle& operator=(const KeyHandle&) = delete;
    KeyHandle& operator=(KeyHandle&&) = delete;

    HKEY get() const { return key_; }
    explicit operator bool() const { return key_ != nullptr; }
    // Closes the key now; false when closing failed.
    bool Close() { return key_ == nullptr || RegCloseKey(std::exchange(key_, nullptr)) == ERROR_SUCCESS; }

private:
    HKEY key_ = nullptr;
};

}  // namespace nerolin
