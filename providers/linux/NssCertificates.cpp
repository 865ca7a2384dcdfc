#include "providers/linux/NssCertificates.h"

#include <algorithm>

#include <pk11pub.h>

#include "common/OpenSslOwners.h"
#include "providers/linux/NssErrors.h"
#include "providers/linux/NssTokens.h"

namespace nerolin {
namespace {

X509Ptr ParseDer(const CERTCertificate* certificate)
{
    const unsigned char* cursor = certificate->derCert.data;
    return X509Ptr(d2i_X509(nullptr, &cursor, static_cast<long>(certificate->derCert.len)));
}

// Whether a token whose keys are out of sight could sign with the
// certificate's key: an end-entity certificate (a card's CA certificates
// have no key on it) of a kind the token has a signing mechanism for.
bool CouldSignWith(PK11SlotInfo* slot, const CERTCertificate* certificate)
{
    X509Ptr x509 = ParseDer(certificate);
    if (!x509 || X509_check_ca(x509.get()) != 0) return false;
    switch (EVP_PKEY_base_id(X509_get0_pubkey(x509.get()))) {
    case EVP_PKEY_RSA: return PK11_DoesMechanism(slot, CKM_RSA_PKCS);
    case EVP_PKEY_EC: return PK11_DoesMechanism(slot, CKM_ECDSA);
    case EVP_PKEY_DSA: return PK11_DoesMechanism(slot, CKM_DSA);
    default: return false;
    }
}

bool MayHoldKey(PK11SlotInfo* slot, const CERTCertificate* certificate, const TokenKey& key)
{
    if (!key.certificateOnToken) return false;
    switch (key.presence) {
    case TokenKey::Presence::Found:
    case TokenKey::Presence::Likely: return true;
    case TokenKey::Presence::Absent: return false;
    case TokenKey::Presence::Unknown: break;
    }
    // NSS's software token shows the public key of every key it holds, so
    // nothing in sight there means no key.
    return !PK11_IsInternal(slot) && CouldSignWith(slot, certificate);
}

}  // namespace

TokenKey LookUpKey(PK11SlotInfo* slot, const CERTCertificate* certificate)
{
    SECMODModule* module = slot ? PK11_GetModule(slot) : nullptr;
    if (!module || !module->functionList || !certificate) return {};
    return LookUpTokenKey(module->functionList, PK11_GetSlotID(slot), CertificateDer(certificate));
}

std::vector<CertificatePtr> ListUserCertificates()
{
    std::vector<CertificatePtr> certificates;
    std::vector<Bytes> offered;
    for (const SlotPtr& slot : TokenSlots()) {
        SECMODModule* module = PK11_GetModule(slot.get());
        if (!module || !module->functionList) continue;
        for (Bytes& der : TokenCertificates(module->functionList, PK11_GetSlotID(slot.get()))) {
            if (std::find(offered.begin(), offered.end(), der) != offered.end()) continue;
            // NSS's own object for these bytes when it has one.
            SECItem item{siBuffer, der.data(), static_cast<unsigned>(der.size())};
            CertificatePtr certificate(
                CERT_NewTempCertificate(CERT_GetDefaultCertDB(), &item, nullptr, PR_FALSE, PR_TRUE));
            if (!certificate) {
                ReportNssError("CERT_NewTempCertificate", true);
                continue;
            }
            if (!MayHoldKey(slot.get(), certificate.get(), LookUpKey(slot.get(), certificate.get()))) continue;
            offered.push_back(std::move(der));
            certificates.push_back(std::move(certificate));
        }
    }
    return certificates;
}

Bytes CertificateDer(const CERTCertificate* certificate)
{
    if (!certificate || !certificate->derCert.data) return {};
    return Bytes(certificate->derCert.data, certificate->derCert.data + certificate->derCert.len);
}

std::vector<SlotPtr> SlotsForCertificate(CERTCertificate* certificate)
{
    std::vector<SlotPtr> hardware;
    std::vector<SlotPtr> software;
    for (SlotPtr& slot : TokenSlots()) {
        if (!MayHoldKey(slot.get(), certificate, LookUpKey(slot.get(), certificate))) continue;
        (PK11_IsInternal(slot.get()) ? software : hardware).push_back(std::move(slot));
    }
    for (auto& slot : software) hardware.push_back(std::move(slot));
    return hardware;
}

}  // namespace nerolin
