#include "tests/support/SystemRoots.h"

#include <windows.h>

#include <wincrypt.h>

#include <openssl/pem.h>
#include <openssl/x509.h>

#include <cstdio>
#include <cstdlib>
#include <memory>

namespace nerolin::test {

namespace {

struct StoreCloser {
    void operator()(void* store) const { CertCloseStore(static_cast<HCERTSTORE>(store), 0); }
};
using StorePtr = std::unique_ptr<void, StoreCloser>;

StorePtr OpenUserRoots()
{
    return StorePtr(CertOpenStore(CERT_STORE_PROV_SYSTEM_W, 0, 0, CERT_SYSTEM_STORE_CURRENT_USER, L"ROOT"));
}

// The DER form of every certificate of a PEM file.
std::vector<std::string> DerCertificates(const std::string& pemFile)
{
    std::vector<std::string> certificates;
    std::FILE* file = std::fopen(pemFile.c_str(), "rb");
    if (file == nullptr) return certificates;
    while (X509* certificate = PEM_read_X509(file, nullptr, nullptr, nullptr)) {
        unsigned char* der = nullptr;
        const int length = i2d_X509(certificate, &der);
        if (length > 0) certificates.emplace_back(reinterpret_cast<char*>(der), static_cast<std::size_t>(length));
        OPENSSL_free(der);
        X509_free(certificate);
    }
    std::fclose(file);
    return certificates;
}

const CERT_CONTEXT* Find(HCERTSTORE store, const std::string& der)
{
    CRYPT_HASH_BLOB hash{};
    BYTE thumbprint[20];
    DWORD size = sizeof thumbprint;
    if (!CryptHashCertificate(0, CALG_SHA1, 0, reinterpret_cast<const BYTE*>(der.data()),
                              static_cast<DWORD>(der.size()), thumbprint, &size))
        return nullptr;
    hash.cbData = size;
    hash.pbData = thumbprint;
    return CertFindCertificateInStore(store, X509_ASN_ENCODING, 0, CERT_FIND_SHA1_HASH, &hash, nullptr);
}

// Adds the certificates the store lacks; gives those it added.
std::vector<std::string> AddRoots(const std::string& pemFile)
{
    std::vector<std::string> added;
    const StorePtr store = OpenUserRoots();
    if (!store) std::abort();
    for (const std::string& der : DerCertificates(pemFile)) {
        if (const CERT_CONTEXT* present = Find(store.get(), der)) {
            CertFreeCertificateContext(present);
            continue;
        }
        if (!CertAddEncodedCertificateToStore(store.get(), X509_ASN_ENCODING, reinterpret_cast<const BYTE*>(der.data()),
                                              static_cast<DWORD>(der.size()), CERT_STORE_ADD_NEW, nullptr))
            std::abort();
        added.push_back(der);
    }
    return added;
}

}  // namespace

void TrustSystemRoots(const std::string& pemFile) { AddRoots(pemFile); }

ScopedSystemRoots::ScopedSystemRoots(const std::string& pemFile) : added_(AddRoots(pemFile)) {}

ScopedSystemRoots::~ScopedSystemRoots()
{
    const StorePtr store = OpenUserRoots();
    for (const std::string& der : added_) {
        if (const CERT_CONTEXT* found = Find(store.get(), der)) CertDeleteCertificateFromStore(found);
    }
}

// Under Wine every handshake on the system's trust first reads the whole
// ROOT store of the user, which takes seconds on a busy machine.
std::chrono::milliseconds SystemTrustIdleAllowance() { return std::chrono::milliseconds(6000); }

}  // namespace nerolin::test
