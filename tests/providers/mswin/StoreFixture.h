#pragma once

// What the Windows provider tests and the store benchmark share: the current
// user's "MY" store filled with identities of the development PKI (a
// PKCS#12 file made here with OpenSSL and imported as Windows imports one),
// an RSA key imported into CNG's software key storage provider, and hashes
// to sign.

#include <string>
#include <string_view>

#include "common/Text.h"
#include "providers/windows/StoreOwners.h"

namespace nerolin::test {

// A PKCS#12 file of a signing identity (testdata/pki/signing/<identity>),
// key and certificate under an empty password; aes: the key bag under
// AES-256 (else 3DES, the older form), the certificate bag likewise.
Bytes MakePfx(std::string_view identity, bool aes);

// Imports the PKCS#12 file: its key into a CryptoAPI container of the
// user's, its certificate with the key's property into "MY" (created when
// missing). False when Windows refuses it.
bool ImportIntoMy(const Bytes& pfx);

// Adds the identity's certificate to "MY" with a key property naming a
// container of a provider (provType 0: a CNG key storage provider), whether
// or not there is such a key; without a provider, with no key property.
bool AddToMyWithKeyOf(std::string_view identity, const wchar_t* provider, const wchar_t* container, DWORD provType,
                      DWORD keySpec);

// Removes every certificate from "MY".
void EmptyMy();

// The identity's RSA key imported into the software key storage provider,
// as a key that lives only as long as the handle.
NCryptKeyHandle ImportCngKey(std::string_view identity);

// The upper-case hexadecimal SHA-1 fingerprint of the identity's certificate.
std::string Fingerprint(std::string_view identity);

// The certificate as Base64 with header lines, as the composite passes it.
std::string CertificateText(std::string_view identity);

// Bytes seed, seed+1, ... of the given length: a hash to sign.
Bytes TestHash(std::size_t length, std::uint8_t seed);

}  // namespace nerolin::test
