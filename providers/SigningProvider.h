#pragma once

// The interface every way of reaching a private key implements (the
// system's store: NSS on Linux, the certificate store on Windows; a PKCS#11
// module, the maker's key-storage library, and the composite that the
// signing worker drives). One provider object serves one
// signing session on one thread; no operation is reentrant and none locks.
//
// Calling order: Initialize; FindCertificate (the session names the
// certificate) or SelectCertificate (the user chooses); BeginSigning;
// SignHashes and, only when that answers Unsupported, SignUnsignedHash once
// per entry in order until the first result other than Success; EndSigning;
// Finalize; destruction. SignHash is reached only through SignUnsignedHash.
//
// Each concrete provider writes the information entry
// "SignHash started with <name> signing provider" on entry to SignHash and
// "SignHashes started with <name> signing provider" on entry to SignHashes
// (<name> "NSS", "MSWin", "PKCS#11", "TvrKSP").

#include <cstdint>
#include <string>
#include <vector>

#include "filter/CertificateFilter.h"
#include "providers/HashAlgorithm.h"
#include "providers/KeyType.h"
#include "providers/SigningResult.h"

namespace nerolin {

// One hash of the session: the service's Base64 "unsignedHash" (input) and
// the Base64 "signedHash" (output). The signing worker copies the session's
// documents into a list of these and the signatures back, so that providers
// need not know the session's types.
struct HashEntry {
    std::string unsignedHash;
    std::string signedHash;
};

class SigningProvider {
public:
    // Releases whatever the provider still owns, in any state.
    virtual ~SigningProvider() = default;

    // Loads what the provider needs (a library, a module). Failures are
    // logged and leave the provider unusable: later operations answer Failed.
    virtual void Initialize() = 0;

    // Undoes Initialize and frees the remembered certificate. Safe to call
    // more than once.
    virtual void Finalize() = 0;

    // certificate: Base64 of the DER with the PEM header and footer lines,
    // as SelectCertificate writes it and the service sends it back. Finds
    // that very certificate and remembers it for signing. Success, or Failed
    // when it is not there or the provider cannot search.
    virtual SigningResult FindCertificate(const std::string& certificate) = 0;

    // Offers the user the certificates that pass PassesFilter(checkValidity,
    // filter, ...). Success: the chosen one is written into certificate as
    // Base64 with header lines and remembered. Canceled: the user closed the
    // choice. Failed otherwise (certificate is left for the caller to clear).
    virtual SigningResult SelectCertificate(bool checkValidity, const CertificateFilter& filter,
                                            std::string& certificate) = 0;

    // Prepares the key of the remembered certificate for hashCount hashes.
    virtual void BeginSigning(std::uint32_t hashCount) = 0;

    // Releases the key and wipes any PIN kept for the session.
    virtual void EndSigning() = 0;

    // Signs length bytes at hash with the remembered certificate's key under
    // hashAlgorithm (an OID text of HashAlgorithms(), or empty: sign the
    // bytes as they are; any other text gives Failed). Success: the
    // signature as Base64 in 64-character lines each ended by CR LF is
    // written into signedHash; on failure signedHash is untouched.
    virtual SigningResult SignHash(const std::string& hashAlgorithm, const std::uint8_t* hash, std::int32_t length,
                                   std::string& signedHash) = 0;

    // Signs every entry with one use of the key. Success fills every
    // signedHash; Unsupported from providers that cannot sign a batch.
    virtual SigningResult SignHashes(const std::string& hashAlgorithm, std::vector<HashEntry>& entries) = 0;

    // Decodes the Base64 unsignedHash (text that does not decode gives zero
    // bytes), checks its length against hashAlgorithm and hands it to
    // SignHash. An unknown non-empty algorithm gives Failed without an entry;
    // a length mismatch writes the error entry
    // "unsigned hash length expected %d, but was %d" (saying so when the text
    // did not decode) and gives Failed. The empty algorithm skips the check.
    SigningResult SignUnsignedHash(const std::string& hashAlgorithm, const std::string& unsignedHash,
                                   std::string& signedHash);

    // The kind of the remembered certificate's key; Unknown until one is known.
    KeyType GetKeyType() const { return keyType_; }

protected:
    SigningProvider() = default;
    SigningProvider(const SigningProvider&) = delete;
    SigningProvider& operator=(const SigningProvider&) = delete;

    KeyType keyType_ = KeyType::Unknown;
};

// The warning entry of a certificate choice with nothing to offer: the user
// then sees an empty list, and the service's developer learns from the log
// that the filter or the validity check left nothing.
void ReportNothingToChoose(bool checkValidity, const CertificateFilter& filter);

}  // namespace nerolin
