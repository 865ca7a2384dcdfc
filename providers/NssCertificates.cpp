#include "providers/NssCertificates.h"

#include <algorithm>

#include "providers/NssErrors.h"

namespace nerolin {

std::vector<CertificatePtr> ListUserCertificates(PinContext& pins, bool& ok)
{
    std::vector<CertificatePtr> certificates;
    CertificateListPtr list(PK11_ListCerts(PK11CertListUser, &pins));
    ok = list != nullptr;
    if (!list) {
        ReportNssError("PK11_ListCerts");
        return certificates;
    }
    for (CERTCertListNode* node = CERT_LIST_HEAD(list.get()); !CERT_LIST_END(node, list.get());
         node = CERT_LIST_NEXT(node)) {
        const bool seen = std::any_of(certificates.begin(), certificates.end(), [&](const CertificatePtr& c) {
            return c.get() == node->cert || SECITEM_ItemsAreEqual(&c->derCert, &node->cert->derCert);
        });
        if (!seen) certificates.emplace_back(CERT_DupCertificate(node->cert));
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
    SlotListPtr list(PK11_GetAllSlotsForCert(certificate, nullptr));
    for (PK11SlotListElement* element = list ? list->head : nullptr; element; element = element->next) {
        auto& target = PK11_IsInternal(element->slot) ? software : hardware;
        target.emplace_back(PK11_ReferenceSlot(element->slot));
    }
    for (auto& slot : software) hardware.push_back(std::move(slot));
    return hardware;
}

std::string ModuleName(PK11SlotInfo* slot)
{
    SECMODModule* module = slot ? PK11_GetModule(slot) : nullptr;
    return module && module->commonName ? module->commonName : std::string();
}

std::string SlotDescription(PK11SlotInfo* slot)
{
    CK_SLOT_INFO info{};
    if (!slot || PK11_GetSlotInfo(slot, &info) != SECSuccess) return {};
    std::string text(reinterpret_cast<const char*>(info.slotDescription), sizeof info.slotDescription);
    const auto end = text.find_last_not_of(' ');
    return end == std::string::npos ? std::string() : text.substr(0, end + 1);
}

}  // namespace nerolin
