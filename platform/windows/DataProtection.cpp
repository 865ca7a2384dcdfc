#include "platform/DataProtection.h"

#include <windows.h>

#include <dpapi.h>
#include <wincrypt.h>

#include <openssl/crypto.h>

namespace nerolin {
namespace {

// The machine scope is DPAPI's machine key; the user scope its default, the
// user's own key. No description, no additional entropy, no prompt.
DWORD Flags(Scope scope) { return scope == Scope::Machine ? CRYPTPROTECT_LOCAL_MACHINE : 0; }

DATA_BLOB Blob(const Bytes& bytes)
{
    return DATA_BLOB{static_cast<DWORD>(bytes.size()), const_cast<BYTE*>(bytes.data())};
}

}  // namespace

std::optional<Bytes> Protect(Scope scope, const Bytes& clear)
{
    DATA_BLOB in = Blob(clear);
    DATA_BLOB out{};
    if (!CryptProtectData(&in, nullptr, nullptr, nullptr, nullptr, Flags(scope), &out)) return std::nullopt;
    Bytes blob(out.pbData, out.pbData + out.cbData);
    LocalFree(out.pbData);
    return blob;
}

std::optional<Bytes> Unprotect(Scope scope, const Bytes& blob)
{
    DATA_BLOB in = Blob(blob);
    DATA_BLOB out{};
    if (!CryptUnprotectData(&in, nullptr, nullptr, nullptr, nullptr, Flags(scope), &out)) return std::nullopt;
    Bytes clear(out.pbData, out.pbData + out.cbData);
    OPENSSL_cleanse(out.pbData, out.cbData);
    LocalFree(out.pbData);
    return clear;
}

}  // namespace nerolin
