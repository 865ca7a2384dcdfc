#pragma once

// Owners for the OpenSSL objects that the certificate test makes.

#include <memory>

#include <openssl/bio.h>
#include <openssl/bn.h>
#include <openssl/x509.h>
#include <openssl/x509v3.h>

namespace nerolin {

template <auto Free>
struct OpenSslDeleter {
    template <typename T>
    void operator()(T* object) const { Free(object); }
};

using X509Owner = std::unique_ptr<X509, OpenSslDeleter<X509_free>>;
using BioOwner = std::unique_ptr<BIO, OpenSslDeleter<BIO_free>>;
using BignumOwner = std::unique_ptr<BIGNUM, OpenSslDeleter<BN_free>>;
using AuthorityKeyIdOwner = std::unique_ptr<AUTHORITY_KEYID, OpenSslDeleter<AUTHORITY_KEYID_free>>;

}  // namespace nerolin
