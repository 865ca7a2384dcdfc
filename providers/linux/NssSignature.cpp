#include "providers/linux/NssSignature.h"

#include <pk11pub.h>
#include <secerr.h>

#include "providers/HashAlgorithm.h"
#include "providers/linux/NssErrors.h"

namespace nerolin {

SigningResult SignWithKey(SECKEYPrivateKey* key, KeyType keyType, const std::string& hashAlgorithm,
                          const std::uint8_t* hash, std::int32_t length, PinContext& pins, Bytes& signature)
{
    if (!key || length < 0 || (length > 0 && !hash)) return SigningResult::Failed;

    const HashAlgorithm* algorithm = nullptr;
    if (!hashAlgorithm.empty()) {
        algorithm = FindHashAlgorithm(hashAlgorithm);
        if (!algorithm) return SigningResult::Failed;
    }

    Bytes input;
    CK_MECHANISM_TYPE mechanism = CKM_INVALID_MECHANISM;
    switch (keyType) {
    case KeyType::RSA:
        mechanism = CKM_RSA_PKCS;
        if (algorithm) input.assign(algorithm->digestInfoPrefix.begin(), algorithm->digestInfoPrefix.end());
        break;
    case KeyType::EC: mechanism = CKM_ECDSA; break;
    case KeyType::DSA: mechanism = CKM_DSA; break;
    default: return SigningResult::Failed;
    }
    input.insert(input.end(), hash, hash + length);

    const int size = PK11_SignatureLen(key);
    if (size <= 0) {
        ReportNssError("PK11_SignatureLen");
        return SigningResult::Failed;
    }
    Bytes output(static_cast<std::size_t>(size));
    SECItem data{siBuffer, input.data(), static_cast<unsigned>(input.size())};
    SECItem result{siBuffer, output.data(), static_cast<unsigned>(output.size())};
    pins.outcome = PinContext::Outcome::NotAsked;
    if (PK11_SignWithMechanism(key, mechanism, nullptr, &result, &data) != SECSuccess) {
        const int error = PORT_GetError();
        const SigningResult failure = PinAwareResult(pins, error, key->pkcs11Slot);
        if (failure == SigningResult::Canceled) return failure;
        ReportNssError("PK11_SignWithMechanism", PinAwareError(failure, error));
        return failure;
    }
    output.resize(result.len);
    signature = std::move(output);
    return SigningResult::Success;
}

}  // namespace nerolin
