// nerolin-tool filter: lets a service developer try a "filters" value on a
// certificate before a user ever sees the result.
//
//   nerolin-tool filter --filters FILE.json CERT [--check-validity]
//
// FILE.json holds the "filters" array; CERT is PEM or DER. Prints "pass"
// (exit 0) or "fail" and why (exit 1); a filter that Nerolin would refuse,
// an unreadable file or wrong arguments exit 2.
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include <openssl/pem.h>

#include "common/OpenSslOwners.h"
#include "common/Text.h"
#include "filter/CertificateFilter.h"
#include "filter/CertificateMatching.h"
#include "tools/nerolin-tool/FilterFile.h"
#include "tools/nerolin-tool/Subcommand.h"

namespace nerolin::tool {
namespace {

constexpr int kPass = 0;
constexpr int kFail = 1;
constexpr int kError = 2;
// PEM when the text holds a certificate frame; otherwise the bytes as they
// are, so that the filter sees exactly what a provider would hand it.
std::optional<Bytes> CertificateBytes(const std::string& contents)
{
    if (contents.find("-----BEGIN CERTIFICATE-----") == std::string::npos)
        return Bytes(contents.begin(), contents.end());
    BioPtr bio(BIO_new_mem_buf(contents.data(), static_cast<int>(contents.size())));
    X509Ptr certificate(bio ? PEM_read_bio_X509(bio.get(), nullptr, nullptr, nullptr) : nullptr);
    if (!certificate) return std::nullopt;
    unsigned char* der = nullptr;
    const int length = i2d_X509(certificate.get(), &der);
    if (length <= 0) return std::nullopt;
    const OpenSslBufferPtr owner(der);
    return Bytes(der, der + length);
}

int Usage()
{
    std::fprintf(stderr, "usage: nerolin-tool filter --filters FILE.json CERT [--check-validity]\n");
    return kError;
}

int RunFilter(const Arguments& arguments)
{
    std::string filtersPath, certificatePath;
    bool checkValidity = false;
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        if (arguments[i] == "--filters" && i + 1 < arguments.size())
            filtersPath = arguments[++i];
        else if (arguments[i] == "--check-validity")
            checkValidity = true;
        else if (certificatePath.empty() && !arguments[i].starts_with("--"))
            certificatePath = arguments[i];
        else
            return Usage();
    }
    if (filtersPath.empty() || certificatePath.empty()) return Usage();

    CertificateFilter filter;
    std::string error;
    std::vector<std::string> ignored;
    if (!ReadFilterFile(filtersPath, filter, error, &ignored)) {
        std::fprintf(stderr, "nerolin-tool: %s\n", error.c_str());
        return kError;
    }
    // Nerolin ignores these without a word, so a typo widens the filter.
    for (const std::string& member : ignored) {
        std::fprintf(stderr, "nerolin-tool: warning: %s%s\n", filtersPath.c_str(), member.c_str());
    }

    const auto contents = ReadWholeFile(certificatePath);
    const auto certificate = contents ? CertificateBytes(*contents) : std::nullopt;
    if (!certificate) {
        std::fprintf(stderr, "nerolin-tool: cannot read a certificate from %s\n", certificatePath.c_str());
        return kError;
    }

    const FilterVerdict verdict = ExplainFilter(checkValidity, filter, certificate->data(), certificate->size());
    if (verdict.passes) {
        std::printf("pass\n");
        return kPass;
    }
    std::printf("fail\n");
    if (!verdict.validityFailure.empty()) std::printf("validity: %s\n", verdict.validityFailure.c_str());
    for (std::size_t i = 0; i < verdict.failedCriteria.size(); ++i)
        std::printf("filters[%zu]: %s\n", i, verdict.failedCriteria[i].c_str());
    return kFail;
}

const Registration kFilter{"filter", "filter --filters FILE.json CERT [--check-validity]", RunFilter};

}  // namespace
}  // namespace nerolin::tool
