#include "session/ServerTrust.h"

#include <cstring>
#include <string>

#include "common/CertificateText.h"
#include "common/OpenSslOwners.h"
#include "eventlog/EventLog.h"
#include "TrustedRootsPem.h"  // generated from NEROLIN_TRUSTED_ROOTS
#include <openssl/pem.h>

namespace nerolin {

namespace {

constexpr const char* kEndIdentifiers[] = {
    "1.3.6.1.4.1.32473.2.3.2.2848",
    "1.3.6.1.4.1.32473.2.3.2.2866",
};

// The subject public key information in its DER encoding; empty on failure.
std::string PublicKeyInfo(const X509* certificate)
{
    if (certificate == nullptr) {
        return {};
    }
    X509_PUBKEY* key = X509_get_X509_PUBKEY(certificate);
    unsigned char* der = nullptr;
    const int length = key == nullptr ? -1 : i2d_X509_PUBKEY(key, &der);
    if (length <= 0) {
        return {};
    }
    OpenSslBufferPtr owner(der);
    return std::string(reinterpret_cast<const char*>(der), static_cast<std::size_t>(length));
}

// 1-based position of the built-in root with the same key, 0 for none.
int MatchingRoot(const X509* root)
{
    const std::string key = PublicKeyInfo(root);
    if (key.empty()) {
        return 0;
    }
    const std::vector<X509Ptr>& roots = BuiltInRoots();
    for (std::size_t i = 0; i < roots.size(); ++i) {
        if (PublicKeyInfo(roots[i].get()) == key) {
            return static_cast<int>(i) + 1;
        }
    }
    return 0;
}

bool ChainPasses(const CertificateChain& chain)
{
    if (chain.empty()) {
        WriteEventEntry(EntryType::Error, "SSL/TLS connection: Root certificate is missing");
        return false;
    }
    const X509* root = chain.back();
    const int match = MatchingRoot(root);
    if (match == 0) {
        WriteEventEntry(EntryType::Error,
                        "SSL/TLS connection: Root certificate is not issued by Tavorel! Subject DN of certificate: " +
                            CertNameString(root, CertNameType::Rdn, 0));
        return false;
    }
    if (match == 3) {
        WriteEventEntry(EntryType::Information, "SSL/TLS connection: Root certificate is issued by Orvane (prod)!");
    } else if (match == 4) {
        WriteEventEntry(EntryType::Information, "SSL/TLS connection: Root certificate is issued by Orvane (stage)!");
    }
    const X509* end = chain.front();
    if (end == nullptr) {
        WriteEventEntry(EntryType::Error, "SSL/TLS connection: End certificate is missing");
        return false;
    }
    // The attribute text: e-mail address, else common name, else unit, else organization.
    const std::string identifier = CertNameString(end, CertNameType::Attribute, 0);
    for (const char* expected : kEndIdentifiers) {
        if (identifier == expected) {
            return true;
        }
    }
    WriteEventEntry(EntryType::Error,
                    "SSL/TLS connection: End certificate is not issued to Tavorel! Subject DN of certificate: " +
                        CertNameString(end, CertNameType::Rdn, 0));
    return false;
}

}  // namespace

const char* BuiltInRootsPem() { return kTrustedRootsPem; }

const std::vector<X509Ptr>& BuiltInRoots()
{
    // Decoded once and kept for the life of the process.
    static const std::vector<X509Ptr> roots = [] {
        std::vector<X509Ptr> decoded;
        BioPtr bio(BIO_new_mem_buf(kTrustedRootsPem, static_cast<int>(std::strlen(kTrustedRootsPem))));
        while (bio) {
            X509* certificate = PEM_read_bio_X509(bio.get(), nullptr, nullptr, nullptr);
            if (certificate == nullptr) {
                break;
            }
            decoded.emplace_back(certificate);
        }
        return decoded;
    }();
    return roots;
}

bool CheckServerTrust(const std::vector<CertificateChain>* chains)
{
    if (chains == nullptr) {
        WriteEventEntry(EntryType::Error, "SSL/TLS connection: No certificate chain context");
        return false;
    }
    for (const CertificateChain& chain : *chains) {
        if (ChainPasses(chain)) {
            return true;
        }
    }
    return false;
}

}  // namespace nerolin
