#pragma once

// The signing with one key handle of the certificate store: a CryptoAPI
// provider (SignerMSWinCrypt) or a CNG key (SignerMSWinNCrypt). Each owns
// its handle and releases it when the caller-frees flag that came with it
// says so.

#include <cstdint>
#include <string>

#include "providers/KeyType.h"
#include "providers/SigningResult.h"
#include "providers/windows/StoreOwners.h"

namespace nerolin {

class SignerMSWin {
public:
    virtual ~SignerMSWin() = default;
    // As SigningProvider::SignHash.
    virtual SigningResult Sign(const std::string& hashAlgorithm, const std::uint8_t* hash, std::int32_t length,
                               std::string& signedHash) = 0;

protected:
    SignerMSWin() = default;
    SignerMSWin(const SignerMSWin&) = delete;
    SignerMSWin& operator=(const SignerMSWin&) = delete;
};

class SignerMSWinCrypt : public SignerMSWin {
public:
    // keySpec: AT_KEYEXCHANGE or AT_SIGNATURE.
    SignerMSWinCrypt(CryptProviderHandle provider, DWORD keySpec);
    SigningResult Sign(const std::string& hashAlgorithm, const std::uint8_t* hash, std::int32_t length,
                       std::string& signedHash) override;

private:
    // The same container in the RSA and AES provider, for a SHA-2 hash that
    // the key's own older provider cannot make. False when it cannot be had.
    bool ReopenForSha2();

    CryptProviderHandle provider_;
    DWORD keySpec_;
    bool reopened_ = false;
};

class SignerMSWinNCrypt : public SignerMSWin {
public:
    SignerMSWinNCrypt(NCryptKeyHandle key, KeyType keyType);
    SigningResult Sign(const std::string& hashAlgorithm, const std::uint8_t* hash, std::int32_t length,
                       std::string& signedHash) override;

private:
    NCryptKeyHandle key_;
    KeyType keyType_;
};

// A signing failure's status as a result: the card's wrong-PIN and
// blocked-PIN codes, Failed otherwise.
SigningResult PinStatusResult(std::uint32_t status);

}  // namespace nerolin
