#pragma once

// The system's own store of certificates and keys, as the composite owns it:
// the user's NSS database on Linux (SigningProviderNSS), the current user's
// "MY" certificate store on Windows (SigningProviderMSWin). Besides signing,
// it answers the three questions about its certificate that the composite
// and the alternative choice ask.

#include <memory>
#include <string>
#include <utility>

#include "providers/SigningProvider.h"

namespace nerolin {

class SigningProviderStore : public SigningProvider {
public:
    // The name of the provider or module that holds the certificate's key;
    // empty without a certificate.
    virtual std::string GetProviderName() = 0;
    // The smart-card reader that holds the key, in the form the card
    // service takes it; empty without a certificate or a reader.
    virtual std::string GetSmartCardReader() = 0;
    // The library of the PKCS#11 module that holds the key (a path or a file
    // name) and its token's manufacturer and model, for the alternative
    // choice; empty without a certificate, and where the system names no
    // module (the certificate store: its CSP or KSP name says it all).
    virtual std::string GetModuleLibrary() { return {}; }
    virtual std::pair<std::string, std::string> GetTokenMaker() { return {}; }
    // The certificate as Base64 with header and footer lines; empty without one.
    virtual std::string GetCertificateText() const = 0;
    // How the log texts name this provider ("NSS", "MSWin"), and with "Non"
    // before it the alternatives.
    virtual const char* LogName() const = 0;

protected:
    SigningProviderStore() = default;
};

// A new store provider of the system the program runs on (providers/linux,
// providers/windows).
std::unique_ptr<SigningProviderStore> MakeStoreProvider();

}  // namespace nerolin
