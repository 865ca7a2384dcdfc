#pragma once

// Protection of small secrets at rest (the stored proxy passwords).
//
// On Windows this is DPAPI (CryptProtectData): the user's key for the user
// scope, the machine key (CRYPTPROTECT_LOCAL_MACHINE) for the machine scope.
// On Linux it is AES-256-GCM with a fresh random nonce per call, so the same
// secret gives different bytes each time, with a key that depends on the scope:
//   User:    32 random bytes in a 0600 file under
//            $XDG_DATA_HOME/Tavorel/Nerolin/ (default ~/.local/share),
//            created on first use. Another user's blob does not open.
//   Machine: derived with HKDF-SHA256 from /etc/machine-id. Every user of
//            the machine can open it; it keeps the secret out of plain
//            sight in the machine-wide settings file, nothing more.
// A blob made in one scope never opens in the other.

#include <optional>
#include <string>

#include "common/Text.h"
#include "platform/Scope.h"

namespace nerolin {

// The protected blob; nullopt when no key is available or encryption fails.
std::optional<Bytes> Protect(Scope scope, const Bytes& clear);

// The clear bytes; nullopt for a damaged blob, a blob of another key or
// scope, or when no key is available. The caller wipes the result
// (OPENSSL_cleanse) once it is done with it.
std::optional<Bytes> Unprotect(Scope scope, const Bytes& blob);

// Linux: where the user key lives, $XDG_DATA_HOME/Tavorel/Nerolin/dataprotection.key.
std::string UserKeyPath();

}  // namespace nerolin
