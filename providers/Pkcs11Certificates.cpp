#include "providers/Pkcs11Certificates.h"

#include <algorithm>
#include <cstdint>

#include <openssl/err.h>

#include "common/CertificateText.h"
#include "common/OpenSslOwners.h"
#include "eventlog/EventLog.h"
#include "filter/CertificateMatching.h"
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

SigningResult CollectSlotCertificates(CK_FUNCTION_LIST* functions, CK_SESSION_HANDLE session, CK_SLOT_ID slot,
                                      bool checkValidity, const CertificateFilter& filter,
                                      std::vector<TokenCertificate>& certificates)
{
    CK_OBJECT_CLASS certificateClass = CKO_CERTIFICATE;
    CK_ATTRIBUTE search{CKA_CLASS, &certificateClass, sizeof certificateClass};
    const CK_RV initialized = functions->C_FindObjectsInit(session, &search, 1);
    if (initialized != CKR_OK) {
        WriteReturnValueEntry(EntryType::Error, "C_FindObjectsInit", initialized);
        return SigningResult::Failed;
    }

    SigningResult result = SigningResult::Success;
    for (;;) {
        CK_OBJECT_HANDLE object = CK_INVALID_HANDLE;
        CK_ULONG found = 0;
        const CK_RV next = functions->C_FindObjects(session, &object, 1, &found);
        if (next != CKR_OK) {
            WriteReturnValueEntry(EntryType::Error, "C_FindObjects", next);
            result = SigningResult::Failed;
            break;
        }
        if (found == 0) break;

        CK_ATTRIBUTE attributes[2] = {{CKA_VALUE, nullptr, 0}, {CKA_ID, nullptr, 0}};
        const CK_RV sized = functions->C_GetAttributeValue(session, object, attributes, 2);
        if (sized != CKR_OK) {
            WriteReturnValueEntry(EntryType::Error, "C_GetAttributeValue1", sized);
            result = SigningResult::Failed;
            break;
        }
        if (attributes[0].ulValueLen > kMaximumAttributeLength || attributes[1].ulValueLen > kMaximumAttributeLength) {
            ReportSystemError("malloc", 8, false, "Not enough memory");
            result = SigningResult::Failed;
            break;
        }
        Bytes value(attributes[0].ulValueLen);
        Bytes id(attributes[1].ulValueLen);
        attributes[0].pValue = value.data();
        attributes[1].pValue = id.data();
        const CK_RV read = functions->C_GetAttributeValue(session, object, attributes, 2);
        if (read != CKR_OK) {
            WriteReturnValueEntry(EntryType::Error, "C_GetAttributeValue2", read);
            result = SigningResult::Failed;
            break;
        }
        value.resize(attributes[0].ulValueLen);
        id.resize(attributes[1].ulValueLen);
        result = AddCertificate(std::move(value), checkValidity, filter, slot, std::move(id), certificates);
        if (result != SigningResult::Success) break;
    }

    const CK_RV finished = functions->C_FindObjectsFinal(session);
    if (finished != CKR_OK) WriteReturnValueEntry(EntryType::Warning, "C_FindObjectsFinal", finished);
    return result;
}

}  // namespace

SigningResult CollectCertificates(CK_FUNCTION_LIST* functions, bool checkValidity, const CertificateFilter& filter,
                                  std::vector<TokenCertificate>& certificates)
{
    CK_ULONG count = 0;
    const CK_RV counted = functions->C_GetSlotList(CK_TRUE, nullptr, &count);
    if (counted != CKR_OK) {
        WriteReturnValueEntry(EntryType::Error, "C_GetSlotList1", counted);
        return SigningResult::Failed;
    }
    std::vector<CK_SLOT_ID> slots(count);
    const CK_RV listed = functions->C_GetSlotList(CK_TRUE, slots.data(), &count);
    if (listed != CKR_OK) {
        WriteReturnValueEntry(EntryType::Error, "C_GetSlotList2", listed);
        return SigningResult::Failed;
    }
    slots.resize(std::min<std::size_t>(count, slots.size()));

    for (const CK_SLOT_ID slot : slots) {
        Pkcs11Session session(functions, slot);
        const CK_RV opened = session.Open();
        if (opened != CKR_OK) {
            WriteReturnValueEntry(EntryType::Warning, "C_OpenSession", opened);
            continue;
        }
        const SigningResult result =
            CollectSlotCertificates(functions, session.handle(), slot, checkValidity, filter, certificates);
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
