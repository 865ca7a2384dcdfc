#include "common/SecretString.h"

#include <openssl/crypto.h>

namespace nerolin {

namespace {
void Wipe(std::string& buffer)
{
    // Wipe the whole capacity: a shorter value may follow a longer one.
    if (buffer.capacity() > 0) {
        buffer.resize(buffer.capacity());
        OPENSSL_cleanse(buffer.data(), buffer.size());
    }
    buffer.clear();
}
}  // namespace

SecretString::SecretString() { buffer_.reserve(kCapacity); }

SecretString::SecretString(std::string_view value) : SecretString() { Assign(value); }

SecretString::SecretString(const SecretString& other) : SecretString() { Assign(other.view()); }

SecretString& SecretString::operator=(const SecretString& other)
{
    if (this != &other) Assign(other.view());
    return *this;
}

// Moving copies and wipes instead of stealing the buffer, so that a moved-from
// string never holds a second live copy and the capacity rule still holds.
SecretString::SecretString(SecretString&& other) noexcept : SecretString()
{
    Assign(other.view());
    other.Clear();
}

SecretString& SecretString::operator=(SecretString&& other) noexcept
{
    if (this != &other) {
        Assign(other.view());
        other.Clear();
    }
    return *this;
}

SecretString::~SecretString() { Wipe(buffer_); }

bool SecretString::Assign(std::string_view value)
{
    Wipe(buffer_);
    if (value.size() > kCapacity) return false;
    buffer_.append(value.data(), value.size());
    return true;
}

void SecretString::Clear() { Wipe(buffer_); }

}  // namespace nerolin
