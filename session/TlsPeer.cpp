#include "session/TlsPeer.h"

#include <openssl/evp.h>
#include <openssl/x509_vfy.h>

#include "common/CertificateText.h"
#include "common/OpenSslOwners.h"

namespace nerolin {

namespace {

int PeerIndex()
{
    static const int index = SSL_CTX_get_ex_new_index(0, nullptr, nullptr, nullptr, nullptr);
    return index;
}

Bytes Der(X509* certificate)
{
    unsigned char* der = nullptr;
    const int length = certificate == nullptr ? -1 : i2d_X509(certificate, &der);
    if (length <= 0) {
        return {};
    }
    OpenSslBufferPtr owner(der);
    return Bytes(der, der + length);
}

}  // namespace

void TlsPeer::Attach(SSL_CTX* context)
{
    SSL_CTX_set_ex_data(context, PeerIndex(), this);
    // libcurl leaves the mode at "verify none" and judges the result after the
    // handshake, so this callback only watches and, for an accepted
    // certificate, clears the failure.
    SSL_CTX_set_verify(context, SSL_CTX_get_verify_mode(context), OnVerify);
}

int TlsPeer::OnVerify(int preverified, X509_STORE_CTX* store)
{
    if (preverified == 1) {
        return 1;
    }
    auto* ssl = static_cast<SSL*>(X509_STORE_CTX_get_ex_data(store, SSL_get_ex_data_X509_STORE_CTX_idx()));
    auto* peer =
        ssl == nullptr ? nullptr : static_cast<TlsPeer*>(SSL_CTX_get_ex_data(SSL_get_SSL_CTX(ssl), PeerIndex()));
    if (peer == nullptr) {
        return preverified;
    }
    const Bytes leaf = Der(X509_STORE_CTX_get0_cert(store));
    if (!peer->accepted_.empty() && leaf == peer->accepted_) {
        X509_STORE_CTX_set_error(store, X509_V_OK);
        return 1;
    }
    if (peer->refused_.empty()) {
        peer->refused_ = leaf;
        peer->reason_ = X509_verify_cert_error_string(X509_STORE_CTX_get_error(store));
    }
    return 0;
}

std::string TlsPeer::RefusedDescription() const
{
    const unsigned char* data = refused_.data();
    X509Ptr certificate(d2i_X509(nullptr, &data, static_cast<long>(refused_.size())));
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    std::string fingerprint;
    if (EVP_Digest(refused_.data(), refused_.size(), digest, &length, EVP_sha256(), nullptr) == 1) {
        fingerprint = HexEncode(digest, length);
    }
    return CertNameString(certificate.get(), CertNameType::Rdn, 0) + " (SHA-256 " + fingerprint + ")";
}

}  // namespace nerolin
