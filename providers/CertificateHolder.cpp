#include "providers/CertificateHolder.h"

#include <openssl/objects.h>

#include "common/CertificateText.h"
#include "common/OpenSslOwners.h"

namespace nerolin {

std::string CertificateHolder(const X509* certificate)
{
    if (!certificate) return {};
    const X509_NAME* subject = X509_get_subject_name(certificate);
    const int index = X509_NAME_get_index_by_NID(subject, NID_commonName, -1);
    if (index >= 0) {
        unsigned char* text = nullptr;
        const int length = ASN1_STRING_to_UTF8(&text, X509_NAME_ENTRY_get_data(X509_NAME_get_entry(subject, index)));
        std::string name = length > 0 ? std::string(reinterpret_cast<char*>(text), length) : std::string();
        OPENSSL_free(text);
        if (!name.empty()) return name;
    }
    return CertNameString(certificate, CertNameType::Attribute, 0);
}

std::string CertificateHolder(const Bytes& der)
{
    const unsigned char* cursor = der.data();
    X509Ptr certificate(der.empty() ? nullptr : d2i_X509(nullptr, &cursor, static_cast<long>(der.size())));
    return CertificateHolder(certificate.get());
}

}  // namespace nerolin
