#include "platform/StoredPassword.h"

#include <cstring>

namespace nerolin {

bool StoredPasswordBytes(const SecretString& password, Bytes& clear)
{
    // Reserved at once, so no copy of the secret is left behind by a move.
    clear.reserve(clear.size() + password.size() + 1);
    clear.insert(clear.end(), password.data(), password.data() + password.size());
    clear.push_back(0);
    return true;
}

bool PasswordOfStoredBytes(const Bytes& clear, SecretString& password)
{
    const char* text = reinterpret_cast<const char*>(clear.data());
    // A stored password longer than a secret holds counts as none, never cut.
    return password.Assign(std::string_view(text, strnlen(text, clear.size())));
}

}  // namespace nerolin
