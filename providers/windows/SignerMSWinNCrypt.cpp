#include <vector>

#include "common/Text.h"
#include "eventlog/EventLog.h"
#include "platform/windows/SystemErrorText.h"
#include "providers/HashAlgorithm.h"
#include "providers/windows/SignerMSWin.h"

namespace nerolin {
namespace {

// CNG's names of the digests in the PKCS#1 padding information.
const wchar_t* CngAlgorithmName(std::string_view oid)
{
    if (oid == "1.3.14.3.2.26") return BCRYPT_SHA1_ALGORITHM;
    if (oid == "2.16.840.1.101.3.4.2.1") return BCRYPT_SHA256_ALGORITHM;
    if (oid == "2.16.840.1.101.3.4.2.2") return BCRYPT_SHA384_ALGORITHM;
    if (oid == "2.16.840.1.101.3.4.2.3") return BCRYPT_SHA512_ALGORITHM;
    return nullptr;
}

void Report(const char* name, SECURITY_STATUS status)
{
    const auto code = static_cast<std::uint32_t>(status);
    ReportSystemError(name, code, false, SystemErrorText(code));
}

}  // namespace

SignerMSWinNCrypt::SignerMSWinNCrypt(NCryptKeyHandle key, KeyType keyType) : key_(std::move(key)), keyType_(keyType) {}

SigningResult SignerMSWinNCrypt::Sign(const std::string& hashAlgorithm, const std::uint8_t* hash, std::int32_t length,
                                      std::string& signedHash)
{
    if (!key_ || length < 0) return SigningResult::Failed;
    BCRYPT_PKCS1_PADDING_INFO pkcs1{};
    void* padding = nullptr;
    DWORD flags = 0;
    switch (keyType_) {
    case KeyType::RSA:
        // The empty algorithm signs the bytes as they are: no DigestInfo.
        if (!hashAlgorithm.empty()) {
            pkcs1.pszAlgId = CngAlgorithmName(hashAlgorithm);
            if (!pkcs1.pszAlgId) return SigningResult::Failed;
        }
        padding = &pkcs1;
        flags = BCRYPT_PAD_PKCS1;
        break;
    case KeyType::DSA:
    case KeyType::EC: break;
    default: return SigningResult::Failed;
    }

    auto input = const_cast<PBYTE>(hash);
    DWORD size = 0;
    SECURITY_STATUS status =
        NCryptSignHash(key_.get(), padding, input, static_cast<DWORD>(length), nullptr, 0, &size, flags);
    if (status != ERROR_SUCCESS) {
        Report("NCryptSignHash1", status);
        return SigningResult::Failed;
    }
    std::vector<BYTE> signature;
    try {
        signature.resize(size);
    } catch (const std::bad_alloc&) {
        Report("malloc", ERROR_NOT_ENOUGH_MEMORY);
        return SigningResult::Failed;
    }
    status =
        NCryptSignHash(key_.get(), padding, input, static_cast<DWORD>(length), signature.data(), size, &size, flags);
    if (status != ERROR_SUCCESS) {
        Report("NCryptSignHash2", status);
        return PinStatusResult(static_cast<std::uint32_t>(status));
    }
    signature.resize(std::min<std::size_t>(size, signature.size()));
    // DSA and ECDSA signatures leave as CNG gives them: r, then s.
    signedHash = Base64Encode(signature.data(), signature.size(), Base64Format::Base64);
    return SigningResult::Success;
}

}  // namespace nerolin
