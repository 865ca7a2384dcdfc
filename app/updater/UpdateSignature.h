#pragma once

// Ed25519 signatures of update packages, in Sparkle's form: the Base64
// signature of the whole file, checked against the Base64 of the 32-byte
// public key that the build carries.

#include <string>

namespace nerolin {

// True only when the file's whole content carries a valid signature of the
// key. A missing or damaged key, signature or file gives false.
bool VerifyUpdateSignature(const std::string& filePath, const std::string& signatureBase64,
                           const std::string& publicKeyBase64);

}  // namespace nerolin
