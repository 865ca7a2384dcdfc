#include <algorithm>
#include <vector>

#include "common/Text.h"
#include "eventlog/EventLog.h"
#include "platform/windows/SystemErrorText.h"
#include "providers/HashAlgorithm.h"
#include "providers/windows/SignerMSWin.h"

namespace nerolin {
namespace {

struct CryptAlgorithm {
    ALG_ID id;
    // CryptoAPI reads the hash value by the size of its algorithm, whatever
    // length it is handed.
    std::size_t size;
};

// The empty algorithm is the SSL3 pair of MD5 and SHA-1: 36 bytes signed
// without a DigestInfo.
bool FindCryptAlgorithm(const std::string& hashAlgorithm, CryptAlgorithm& algorithm)
{
    if (hashAlgorithm.empty()) {
        algorithm = {CALG_SSL3_SHAMD5, 36};
        return true;
    }
    const HashAlgorithm* known = FindHashAlgorithm(hashAlgorithm);
    if (!known) return false;
    static constexpr std::pair<std::string_view, ALG_ID> kIds[] = {
        {"1.3.14.3.2.26", CALG_SHA1},
        {"2.16.840.1.101.3.4.2.1", CALG_SHA_256},
        {"2.16.840.1.101.3.4.2.2", CALG_SHA_384},
        {"2.16.840.1.101.3.4.2.3", CALG_SHA_512},
    };
    for (const auto& [oid, id] : kIds) {
        if (oid == known->oid) {
            algorithm = {id, known->digestLength};
            return true;
        }
    }
    return false;
}

bool IsSha2(ALG_ID id) { return id == CALG_SHA_256 || id == CALG_SHA_384 || id == CALG_SHA_512; }

void Report(const char* name, DWORD code) { ReportSystemError(name, code, false, SystemErrorText(code)); }

}  // namespace

SigningResult PinStatusResult(std::uint32_t status)
{
    switch (status) {
    case 0x8010006B: return SigningResult::PinIncorrect;  // SCARD_W_WRONG_CHV
    case 0x8010006C: return SigningResult::PinLocked;     // SCARD_W_CHV_BLOCKED
    default: return SigningResult::Failed;
    }
}

SignerMSWinCrypt::SignerMSWinCrypt(CryptProviderHandle provider, DWORD keySpec)
    : provider_(std::move(provider)),
      keySpec_(keySpec)
{
}

bool SignerMSWinCrypt::ReopenForSha2()
{
    if (reopened_) return false;
    DWORD type = 0;
    DWORD size = sizeof type;
    // Only the older RSA providers lack SHA-2; a card's own provider keeps
    // its keys where the RSA and AES provider cannot reach them.
    if (!CryptGetProvParam(provider_.get(), PP_PROVTYPE, reinterpret_cast<BYTE*>(&type), &size, 0) ||
        type != PROV_RSA_FULL)
        return false;
    size = 0;
    if (!CryptGetProvParam(provider_.get(), PP_CONTAINER, nullptr, &size, 0) || size == 0 || size > 4096) return false;
    std::vector<char> container(size + 1, '\0');
    if (!CryptGetProvParam(provider_.get(), PP_CONTAINER, reinterpret_cast<BYTE*>(container.data()), &size, 0))
        return false;
    DWORD keysetType = 0;
    size = sizeof keysetType;
    if (!CryptGetProvParam(provider_.get(), PP_KEYSET_TYPE, reinterpret_cast<BYTE*>(&keysetType), &size, 0))
        keysetType = 0;
    HCRYPTPROV reopened = 0;
    if (!CryptAcquireContextA(&reopened, container.data(), nullptr, PROV_RSA_AES,
                              CRYPT_SILENT | (keysetType & CRYPT_MACHINE_KEYSET)))
        return false;
    provider_ = CryptProviderHandle(reopened);
    reopened_ = true;
    return true;
}

SigningResult SignerMSWinCrypt::Sign(const std::string& hashAlgorithm, const std::uint8_t* hash, std::int32_t length,
                                     std::string& signedHash)
{
    CryptAlgorithm algorithm{};
    if (!provider_ || !FindCryptAlgorithm(hashAlgorithm, algorithm)) return SigningResult::Failed;
    // Fewer bytes than the algorithm's size would be read past their end.
    if (length < 0 || static_cast<std::size_t>(length) != algorithm.size) return SigningResult::Failed;

    HCRYPTHASH made = 0;
    if (!CryptCreateHash(provider_.get(), algorithm.id, 0, 0, &made)) {
        const DWORD error = GetLastError();
        if (!(error == static_cast<DWORD>(NTE_BAD_ALGID) && IsSha2(algorithm.id) && ReopenForSha2() &&
              CryptCreateHash(provider_.get(), algorithm.id, 0, 0, &made))) {
            Report("CryptCreateHash", error);
            return SigningResult::Failed;
        }
    }
    CryptHashHandle hashObject(made);
    if (!CryptSetHashParam(hashObject.get(), HP_HASHVAL, hash, 0)) {
        Report("CryptSetHashParam", GetLastError());
        return SigningResult::Failed;
    }
    // Any key spec but AT_SIGNATURE is the exchange key: Wine
    // hands an imported key out with both bits set (3), which CryptSignHash
    // refuses, and the RSA providers keep such a key as the exchange key.
    const DWORD keySpec = keySpec_ == AT_SIGNATURE ? AT_SIGNATURE : AT_KEYEXCHANGE;
    DWORD size = 0;
    if (!CryptSignHashW(hashObject.get(), keySpec, nullptr, 0, nullptr, &size)) {
        Report("CryptSignHash1", GetLastError());
        return SigningResult::Failed;
    }
    std::vector<BYTE> signature;
    try {
        signature.resize(size);
    } catch (const std::bad_alloc&) {
        Report("malloc", ERROR_NOT_ENOUGH_MEMORY);
        return SigningResult::Failed;
    }
    if (!CryptSignHashW(hashObject.get(), keySpec, nullptr, 0, signature.data(), &size)) {
        const DWORD error = GetLastError();
        Report("CryptSignHash2", error);
        return PinStatusResult(error);
    }
    signature.resize(std::min<std::size_t>(size, signature.size()));
    // CryptoAPI gives the least significant byte first; the signature
    // leaves most significant byte first, as one number (DSA's r and s too).
    std::reverse(signature.begin(), signature.end());
    signedHash = Base64Encode(signature.data(), signature.size(), Base64Format::Base64);
    return SigningResult::Success;
}

}  // namespace nerolin
