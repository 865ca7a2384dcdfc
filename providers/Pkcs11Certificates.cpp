#include "providers/Pkcs11Certificates.h"

#include <cstdint>

#include <openssl/err.h>

#include "common/CertificateText.h"
#include "common/OpenSslOwners.h"
#include "eventlog/EventLog.h"
#include "filter/CertificateMatching.h"
#include "providers/Pkcs11Module.h"
#include "providers/Pkcs11ObjectSearch.h"
#include "providers/Pkcs11Session.h"

namespace nerolin {
namespace {

// Bounds what a module can make us allocate for one certificate object.
constexpr CK_ULONG kMaximumAttributeLength = 1u << 20;

SigningResult AddCertificate(Bytes der, bool checkValidity, const CertificateFilter& filter, CK_SLOT_ID slot, Bytes id,
                             std::vector<TokenCertificate>& certificates)
{
    const unsigned char* cursor = der.data();
    X509Ptr certificate(d2i_X509(nullptr, &cursor, static_cast<long>(der.size())));
    if (!certificate) {
        const unsigned long code = ERR_peek_last_error();
        char text[256];
        ERR_error_string_n(code, text, sizeof text);
        ERR_clear_error();
        ReportSystemError("d2i_X509", static_cast<std::uint32_t>(code), true, text);
        return SigningResult::Failed;
    }
    if (!PassesFilter(checkValidity, filter, der.data(), der.size())) return SigningResult::Success;

    WriteEventEntry(EntryType::Information,
                    "Certificate added to PKCS#11 certificate store: " + CertThumbprint(certificate.get()));
    certificates.push_back({std::move(der), slot, std::move(id)});
    return SigningResult::Success;
}

SigningResult CollectSlotCertificates(const Pkcs11Session& session, CK_SLOT_ID slot, bool checkValidity,
                                      const CertificateFilter& filter, std::vector<TokenCertificate>& certificates)
{
    CK_OBJECT_CLASS certificateClass = CKO_CERTIFICATE;
    CK_ATTRIBUTE search{CKA_CLASS, &certificateClass, sizeof certificateClass};
    Pkcs11ObjectSearch objects(session, {&search, 1});
    while (const std::optional<CK_OBJECT_HANDLE> object = objects.Next()) {
        AttributeRead read =
            session.ReadAttributes(*object, {CKA_VALUE, CKA_ID}, kMaximumAttributeLength,
                                   {{"C_GetAttributeValue1"}, {"C_GetAttributeValue2"}, TooLong::AsOutOfMemory});
        if (!read.ok()) return SigningResult::Failed;
        const SigningResult added = AddCertificate(std::move(read.values[0]), checkValidity, filter, slot,
                                                   std::move(read.values[1]), certificates);
        if (added != SigningResult::Success) return added;
    }
    return objects.failed() ? SigningResult::Failed : SigningResult::Success;
}

}  // namespace

SigningResult CollectCertificates(const Pkcs11Module& module, bool checkValidity, const CertificateFilter& filter,
                                  std::vector<TokenCertificate>& certificates)
{
    std::vector<CK_SLOT_ID> slots;
    if (module.SlotList(true, {{"C_GetSlotList1"}, {"C_GetSlotList2"}, TooLong::AsOutOfMemory}, slots) != CKR_OK)
        return SigningResult::Failed;

    for (const CK_SLOT_ID slot : slots) {
        Pkcs11Session session(module, slot);
        if (session.Open({"C_OpenSession", EntryType::Warning}) != CKR_OK) continue;
        const SigningResult result = CollectSlotCertificates(session, slot, checkValidity, filter, certificates);
        if (result != SigningResult::Success) return result;
    }
    return SigningResult::Success;
}

const TokenCertificate* FindExisting(const std::vector<TokenCertificate>& certificates, const Bytes& der)
{
    for (const TokenCertificate& entry : certificates) {
        if (entry.der == der) return &entry;
    }
    return nullptr;
}

}  // namespace nerolin
