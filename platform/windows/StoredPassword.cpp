#include "platform/StoredPassword.h"

#include <windows.h>

#include <openssl/crypto.h>

#include <cstring>
#include <system_error>

#include "platform/AnsiCodePage.h"

namespace nerolin {
namespace {

// The copies of the secret made on the way. Their room is reserved before
// the first byte arrives, so none is moved and left behind, and all of it is
// wiped at the end. A narrow text takes at most two bytes per UTF-16 unit
// (a double-byte code page), and no more UTF-16 units than UTF-8 bytes.
struct Copies {
    std::u16string wide;
    std::string narrow;
    Copies()
    {
        wide.reserve(SecretString::kCapacity + 1);
        narrow.reserve(2 * SecretString::kCapacity + 1);
    }
    ~Copies()
    {
        OPENSSL_cleanse(wide.data(), wide.capacity() * sizeof(char16_t));
        OPENSSL_cleanse(narrow.data(), narrow.capacity());
    }
    Copies(const Copies&) = delete;
    Copies& operator=(const Copies&) = delete;
};

}  // namespace

bool StoredPasswordBytes(const SecretString& password, Bytes& clear)
{
    if (password.size() > SecretString::kCapacity) return false;
    Copies copies;
    const int size = static_cast<int>(password.size());
    copies.wide.assign(password.size() + 1, u'\0');
    const int units = size == 0 ? 0
                                : MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, password.data(), size,
                                                      reinterpret_cast<wchar_t*>(copies.wide.data()), size);
    if (size != 0 && units <= 0) return false;  // not UTF-8
    copies.wide.resize(static_cast<std::size_t>(units));
    try {
        if (!WideToAnsi(copies.wide.c_str(), copies.narrow)) return false;
    } catch (const std::system_error&) {
        return false;
    }
    clear.reserve(clear.size() + copies.narrow.size() + 1);
    clear.insert(clear.end(), copies.narrow.begin(), copies.narrow.end());
    clear.push_back(0);
    return true;
}

bool PasswordOfStoredBytes(const Bytes& clear, SecretString& password)
{
    const char* text = reinterpret_cast<const char*>(clear.data());
    const std::size_t length = strnlen(text, clear.size());
    // A stored password longer than a secret holds counts as none, never cut.
    if (length > SecretString::kCapacity) {
        password.Clear();
        return false;
    }
    Copies copies;
    copies.narrow.assign(text, length);
    try {
        if (!AnsiToWide(copies.narrow.c_str(), copies.wide)) return false;
    } catch (const std::system_error&) {
        return false;
    }
    // The UTF-8 form goes where the narrow one was: three bytes at most per
    // unit of a code page's character, and the room is there.
    const int units = static_cast<int>(copies.wide.size());
    const int bytes = units == 0 ? 0
                                 : WideCharToMultiByte(CP_UTF8, 0, reinterpret_cast<const wchar_t*>(copies.wide.data()),
                                                       units, nullptr, 0, nullptr, nullptr);
    if (units != 0 && bytes <= 0) return false;
    if (static_cast<std::size_t>(bytes) > copies.narrow.capacity()) {
        password.Clear();
        return false;
    }
    copies.narrow.assign(static_cast<std::size_t>(bytes), '\0');
    if (bytes != 0 && WideCharToMultiByte(CP_UTF8, 0, reinterpret_cast<const wchar_t*>(copies.wide.data()), units,
                                          copies.narrow.data(), bytes, nullptr, nullptr) != bytes)
        return false;
    return password.Assign(copies.narrow);
}

}  // namespace nerolin
