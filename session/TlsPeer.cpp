#include "session/TlsPeer.h"

#include <algorithm>

#include <openssl/evp.h>
#include <openssl/x509_vfy.h>

#include "common/CertificateText.h"

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
    // handshake, before a byte of the request is sent; this callback only
    // watches and, for an accepted certificate, clears the failure.
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
    if (!leaf.empty() && std::find(peer->accepted_.begin(), peer->accepted_.end(), leaf) != peer->accepted_.end()) {
        X509_STORE_CTX_set_error(store, X509_V_OK);
        return 1;
    }
    if (peer->refused_.empty()) {
        peer->refused_ = leaf;
        peer->reason_ = X509_verify_cert_error_string(X509_STORE_CTX_get_error(store));
        // As the server presented it, end certificate first: the chain that
        // OpenSSL built may hold a trusted certificate of the same name that
        // the server never sent.
        X509* end = X509_STORE_CTX_get0_cert(store);
        const auto keep = [peer](X509* certificate) {
            if (certificate != nullptr && X509_up_ref(certificate) == 1) {
                peer->refusedChain_.emplace_back(certificate);
            }
        };
        keep(end);
        if (STACK_OF(X509)* presented = X509_STORE_CTX_get0_untrusted(store)) {
            for (int i = 0; i < sk_X509_num(presented); ++i) {
                X509* certificate = sk_X509_value(presented, i);
                if (X509_cmp(certificate, end) != 0) {
                    keep(certificate);
                }
            }
        }
    }
    return 0;
}

std::string CertificateDescription(const Bytes& certificate)
{
    const unsigned char* data = certificate.data();
    X509Ptr decoded(d2i_X509(nullptr, &data, static_cast<long>(certificate.size())));
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    std::string fingerprint;
    if (EVP_Digest(certificate.data(), certificate.size(), digest, &length, EVP_sha256(), nullptr) == 1) {
        fingerprint = HexEncode(digest, length);
    }
    return CertNameString(decoded.get(), CertNameType::Rdn, 0) + " (SHA-256 " + fingerprint + ")";
}

}  // namespace nerolin
