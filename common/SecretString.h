#pragma once

// A PIN or password. Its buffer is reserved once, so it never reallocates and
// leaves copies behind, and it is wiped with OPENSSL_cleanse when it is
// cleared, reassigned or destroyed. Never log its contents.
//
// A secret is held whole or not at all: cutting one would make a password
// that fails for no reason the user can see, or a PIN that burns a retry.
// The input fields refuse longer values with a message (kSecretTooLong).

#include <cstddef>
#include <string>
#include <string_view>

namespace nerolin {

class SecretString {
public:
    // Bytes held: far beyond any PIN (PKCS#11 tokens take tens) or proxy
    // password, and small enough to reserve for every secret.
    static constexpr std::size_t kCapacity = 4096;

    SecretString();
    // Empty when value is longer than kCapacity (see Assign).
    explicit SecretString(std::string_view value);
    SecretString(const SecretString& other);
    SecretString& operator=(const SecretString& other);
    SecretString(SecretString&& other) noexcept;
    SecretString& operator=(SecretString&& other) noexcept;
    ~SecretString();

    // False, leaving the string empty, when value is longer than kCapacity.
    bool Assign(std::string_view value);
    void Clear();

    const char* data() const { return buffer_.data(); }
    std::size_t size() const { return buffer_.size(); }
    bool empty() const { return buffer_.empty(); }
    std::string_view view() const { return {buffer_.data(), buffer_.size()}; }

private:
    std::string buffer_;
};

}  // namespace nerolin
