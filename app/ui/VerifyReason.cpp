#include "app/ui/VerifyReason.h"

#include <openssl/x509_vfy.h>

#include "app/ui/UiText.h"
#include "common/StringIds.h"

namespace nerolin {

QString VerifyReasonText(const std::string& verifierText)
{
    // The verifier hands over its text only: its codes are found again by
    // their texts, which come from the same library.
    struct Reason {
        int code;
        int text;
    };
    static constexpr Reason kReasons[] = {
        {X509_V_ERR_DEPTH_ZERO_SELF_SIGNED_CERT, strings::kVerifySelfSigned},
        {X509_V_ERR_SELF_SIGNED_CERT_IN_CHAIN, strings::kVerifySelfSignedInChain},
        {X509_V_ERR_UNABLE_TO_GET_ISSUER_CERT_LOCALLY, strings::kVerifyUnknownIssuer},
        {X509_V_ERR_UNABLE_TO_GET_ISSUER_CERT, strings::kVerifyUnknownIssuer},
        {X509_V_ERR_UNABLE_TO_VERIFY_LEAF_SIGNATURE, strings::kVerifyUnknownIssuer},
        {X509_V_ERR_CERT_HAS_EXPIRED, strings::kVerifyExpired},
        {X509_V_ERR_CERT_NOT_YET_VALID, strings::kVerifyNotYetValid},
        {X509_V_ERR_HOSTNAME_MISMATCH, strings::kVerifyOtherName},
        {X509_V_ERR_CERT_REVOKED, strings::kVerifyRevoked},
    };
    for (const Reason& reason : kReasons) {
        if (verifierText == X509_verify_cert_error_string(reason.code)) {
            return UiText(reason.text);
        }
    }
    return ToQString(verifierText);
}

}  // namespace nerolin
