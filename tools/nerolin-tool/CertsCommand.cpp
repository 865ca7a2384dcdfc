// nerolin-tool certs: what the NSS store offers Nerolin, for support people.
//
//   nerolin-tool certs [--database sql:DIR] [--filters FILE.json] [--check-validity]
//
// Lists every certificate that Nerolin offers from the database (default:
// the setting "CertificateDatabase", else sql:$HOME/.pki/nssdb, created when
// missing; a --database folder must hold a database already): subject,
// issuer, validity, the tokens and modules that hold it, and whether it
// passes the filter (FILE.json holds the array a configuration gives as
// "filters", bare, not an object around it) and the validity
// test; then the registered modules that did not load. Asks for no PIN, as
// Nerolin does not while listing. Exit 0 after listing (also when nothing is
// listed), 1 when the database is not there or cannot be opened, 2 for wrong
// arguments or an unreadable filter.
#include <cstdio>
#include <ctime>
#include <string>

#include "common/CertificateText.h"
#include "common/OpenSslOwners.h"
#include "filter/CertificateFilter.h"
#include "filter/CertificateMatching.h"
#include "providers/linux/NssCertificates.h"
#include "providers/linux/NssRuntime.h"
#include "providers/linux/NssTokens.h"
#include "tools/nerolin-tool/FilterFile.h"
#include "tools/nerolin-tool/Subcommand.h"

namespace nerolin::tool {
namespace {

constexpr int kListed = 0;
constexpr int kNoDatabase = 1;
constexpr int kError = 2;

int Usage()
{
    std::fprintf(stderr, "usage: nerolin-tool certs [--database sql:DIR] [--filters FILE.json] [--check-validity]\n");
    return kError;
}

std::string TimeText(const ASN1_TIME* time)
{
    std::tm parts{};
    char text[32];
    if (!time || !ASN1_TIME_to_tm(time, &parts) || !std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S UTC", &parts))
        return "?";
    return text;
}

std::string Verdict(const FilterVerdict& verdict)
{
    if (verdict.passes) return "yes";
    std::string reasons = verdict.validityFailure;
    for (const auto& criterion : verdict.failedCriteria) reasons += (reasons.empty() ? "" : ", ") + criterion;
    return reasons.empty() ? "no" : "no (" + reasons + ")";
}

int RunCerts(const Arguments& arguments)
{
    std::string database, filtersPath;
    bool checkValidity = false;
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        if (arguments[i] == "--database" && i + 1 < arguments.size())
            database = arguments[++i];
        else if (arguments[i] == "--filters" && i + 1 < arguments.size())
            filtersPath = arguments[++i];
        else if (arguments[i] == "--check-validity")
            checkValidity = true;
        else
            return Usage();
    }
    CertificateFilter filter;
    std::string error;
    if (!filtersPath.empty() && !ReadFilterFile(filtersPath, filter, error)) {
        std::fprintf(stderr, "nerolin-tool: %s\n", error.c_str());
        return kError;
    }
    if (database.empty()) {
        database = CertificateDatabase();
    } else if (!DatabaseExists(database)) {
        // A mistyped path must not leave a new, empty database behind.
        std::fprintf(stderr, "nerolin-tool: no NSS database in %s\n", database.c_str());
        return kNoDatabase;
    }
    if (!InitializeNss(database)) {
        std::fprintf(stderr, "nerolin-tool: cannot open the NSS database %s\n", database.c_str());
        return kNoDatabase;
    }

    const auto certificates = ListUserCertificates();
    std::printf("Database: %s\n", database.c_str());
    std::printf("%zu certificate(s) with a private key\n", certificates.size());
    for (const auto& certificate : certificates) {
        const Bytes der = CertificateDer(certificate.get());
        const unsigned char* cursor = der.data();
        const X509Ptr x509(d2i_X509(nullptr, &cursor, static_cast<long>(der.size())));
        std::string tokens, modules;
        for (const auto& slot : SlotsForCertificate(certificate.get())) {
            tokens += (tokens.empty() ? "" : ", ") + std::string(PK11_GetTokenName(slot.get()));
            modules += (modules.empty() ? "" : ", ") + ModuleName(slot.get());
        }
        std::printf("\nSubject:    %s\n", CertNameString(x509.get(), CertNameType::Rdn, 0).c_str());
        std::printf("Issuer:     %s\n", CertNameString(x509.get(), CertNameType::Rdn, kCertNameIssuerFlag).c_str());
        std::printf("Valid from: %s\n", TimeText(x509 ? X509_get0_notBefore(x509.get()) : nullptr).c_str());
        std::printf("Valid to:   %s\n", TimeText(x509 ? X509_get0_notAfter(x509.get()) : nullptr).c_str());
        std::printf("Token:      %s\n", tokens.c_str());
        std::printf("Module:     %s\n", modules.c_str());
        std::printf("Passes:     %s\n", Verdict(ExplainFilter(checkValidity, filter, der.data(), der.size())).c_str());
    }
    for (const UnloadedModule& module : UnloadedModules())
        std::printf("\nModule not loaded: %s (%s): %s\n", module.name.c_str(), module.library.c_str(),
                    module.reason.c_str());
    return kListed;
}

const Registration kCerts{"certs", "certs [--database sql:DIR] [--filters FILE.json] [--check-validity]", RunCerts};

}  // namespace
}  // namespace nerolin::tool
