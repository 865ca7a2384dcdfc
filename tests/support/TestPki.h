#pragma once

// One way for every test to find the development PKI of testdata/pki (see its
// README.md for what each file is) and to load its certificates and keys.
// Names are the file names without extension, e.g. SigningCertificate("ec")
// is testdata/pki/signing/ec.pem.

#include <optional>
#include <string>
#include <string_view>

#include "common/OpenSslOwners.h"
#include "common/Text.h"

namespace nerolin::test {

// Older names of the shared owners, kept for the tests that use them.
using UniqueX509 = X509Ptr;
using UniqueEvpPkey = EvpPkeyPtr;

// Absolute path of a file of the PKI, e.g. PkiPath("roots/root1-tavorel-2009.pem").
std::string PkiPath(std::string_view relative);

// The four built-in roots in table order (what NEROLIN_TRUSTED_ROOTS names).
std::string TrustedRootsFile();
// The CA that issued the signing service's localhost certificate: the file
// tests put in SSL_CERT_FILE.
std::string ServiceCaFile();

// A signing certificate by name ("rsa", "ec", "qc-esign", "expired", ...).
struct SigningIdentityFiles {
    std::string certificatePem;  // NAME.pem
    std::string certificateDer;  // NAME.der
    std::string privateKeyPem;   // NAME.key, unencrypted PKCS#8
    std::string pkcs12;          // NAME.p12, empty password
};
SigningIdentityFiles SigningIdentity(std::string_view name);

// A whitelist-host certificate by name ("host-2848-root2", ...): the chain the
// server sends (end certificate and intermediate) and its key.
struct TlsServerFiles {
    std::string chainPem;
    std::string privateKeyPem;
};
TlsServerFiles WhitelistHost(std::string_view name);
// "service-localhost" or "service-selfsigned".
TlsServerFiles ServiceHost(std::string_view name);

// The whole file; empty when it cannot be read.
Bytes ReadFileBytes(const std::string& path);
// The first certificate of a PEM or DER file; null on failure.
X509Ptr LoadCertificate(const std::string& path);
// DER encoding of the first certificate of a PEM or DER file; empty on failure.
Bytes LoadCertificateDer(const std::string& path);
// An unencrypted PEM private key; null on failure.
EvpPkeyPtr LoadPrivateKey(const std::string& path);

// A SoftHSM token and an NSS database made by scripts/make-test-token in dir
// (which must exist). options are passed to the script as they stand, e.g.
// "--nss-certs qc-esign --nss-password secret". The caller sets
// SOFTHSM2_CONF=softhsmConf in the environment of whatever opens nssDb.
struct TestToken {
    std::string softhsmConf;  // path of the token's own SoftHSM configuration
    std::string nssDb;        // "sql:" + directory of the NSS database
    std::string module;       // path of libsofthsm2.so
    static constexpr const char* kPin = "1234";
    static constexpr const char* kSoPin = "12345678";
    static constexpr const char* kLabel = "Nerolin Test Token";
};
std::optional<TestToken> MakeTestToken(const std::string& dir, const std::string& options = {});

}  // namespace nerolin::test
