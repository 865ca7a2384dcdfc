#pragma once

// A PIN or password. Its buffer is reserved once, so it never reallocates and
// leaves copies behind, and it is wiped with OPENSSL_cleanse when it is
// cleared, reassigned or destroyed. Never log its contents.

#include <cstddef>
#include <string>
#include <string_view>

namespace nerolin {

class SecretString {
public:
    static constexpr std::size_t kCapacity = 256;

    SecretString();
    explicit SecretString(std::string_view value);
    SecretString(const SecretString& other);
    SecretString& operator=(const SecretString& other);
    SecretString(SecretString&& other) noexcept;
    SecretString& operator=(SecretString&& other) noexcept;
    ~SecretString();

    // Longer values are cut at kCapacity bytes.
    void Assign(std::string_view value);
    void Clear();

    const char* data() const { return buffer_.data(); }
    std::size_t size() const { return buffer_.size(); }
    bool empty() const { return buffer_.empty(); }
    std::string_view view() const { return {buffer_.data(), buffer_.size()}; }

private:
    std::string buffer_;
};

}  // namespace nerolin
