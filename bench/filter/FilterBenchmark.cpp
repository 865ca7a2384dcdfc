// PassesFilter per certificate, beside the bare cost of decoding the same
// certificate with OpenSSL (d2i_X509 + X509_free): the ratio shows what the
// filter adds on top of what any look at a certificate costs.
#include <benchmark/benchmark.h>

#include <fstream>
#include <iterator>
#include <stdexcept>
#include <string>

#include <openssl/x509.h>
#include <rapidjson/document.h>

#include "common/Text.h"
#include "filter/CertificateFilter.h"
#include "filter/CertificateMatching.h"

namespace {

using nerolin::Bytes;
using nerolin::CertificateFilter;

Bytes Certificate(const char* name)
{
    std::ifstream in(std::string(NEROLIN_SOURCE_DIR "/testdata/pki/signing/") + name + ".der", std::ios::binary);
    Bytes der((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (der.empty()) throw std::runtime_error(std::string("missing certificate ") + name);
    return der;
}

CertificateFilter Filter(const char* json)
{
    rapidjson::Document document;
    document.Parse(json);
    CertificateFilter filter;
    if (document.HasParseError() || !nerolin::ReadCertificateFilter(document, filter))
        throw std::runtime_error("bad filter");
    return filter;
}

void Decode(benchmark::State& state)
{
    const Bytes der = Certificate("qc-esign");
    for (auto _ : state) {
        const unsigned char* cursor = der.data();
        X509* certificate = d2i_X509(nullptr, &cursor, static_cast<long>(der.size()));
        benchmark::DoNotOptimize(certificate);
        X509_free(certificate);
    }
}
BENCHMARK(Decode);

void Passes(benchmark::State& state, const char* certificate, const char* json, bool checkValidity)
{
    const Bytes der = Certificate(certificate);
    const CertificateFilter filter = Filter(json);
    for (auto _ : state) benchmark::DoNotOptimize(nerolin::PassesFilter(checkValidity, filter, der.data(), der.size()));
}

BENCHMARK_CAPTURE(Passes, ValidityOnly, "qc-esign", "[]", true);
BENCHMARK_CAPTURE(Passes, QualifiedSignature, "qc-esign",
                  R"([{"keyUsage": {"nonRepudiation": true}, "hasQCCompliance": true, "hasQCQSCD": true,
                       "qcType": "YENDO"}])",
                  true);
BENCHMARK_CAPTURE(
    Passes, FingerprintAndSerial, "serial-leading-zero",
    R"([{"fingerprint": "0000000000000000000000000000000000000000"}, {"serialNumber": "8a0b0c0d0e0f1011"}])", true);
BENCHMARK_CAPTURE(Passes, AuthorityKeyIdentifier, "aki-all",
                  R"([{"acceptedAuthorityKeyIdentifiers": [{"keyIdentifier": "00"}, {"keyIdentifier": "01"},
                      {"authorityCertIssuer": "CN=Nerolin Test Signing CA EC,O=Nerolin Test"}]}])",
                  true);

}  // namespace

BENCHMARK_MAIN();
