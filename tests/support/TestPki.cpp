#include "tests/support/TestPki.h"

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>

#include <openssl/bio.h>
#include <openssl/pem.h>

namespace nerolin::test {
namespace {

std::string PkiFile(std::string_view folder, std::string_view name, std::string_view extension)
{
    return PkiPath(std::string(folder) + "/" + std::string(name) + std::string(extension));
}

std::string ShellQuote(const std::string& text)
{
    std::string quoted = "'";
    for (char c : text) {
        if (c == '\'')
            quoted += "'\\''";
        else
            quoted += c;
    }
    return quoted + "'";
}

}  // namespace

std::string PkiPath(std::string_view relative)
{
    return std::string(NEROLIN_SOURCE_DIR) + "/testdata/pki/" + std::string(relative);
}

std::string TrustedRootsFile() { return PkiPath("trusted-roots.pem"); }
std::string ServiceCaFile() { return PkiPath("service/service-ca.pem"); }

SigningIdentityFiles SigningIdentity(std::string_view name)
{
    return {PkiFile("signing", name, ".pem"), PkiFile("signing", name, ".der"), PkiFile("signing", name, ".key"),
            PkiFile("signing", name, ".p12")};
}

TlsServerFiles WhitelistHost(std::string_view name)
{
    return {PkiFile("whitelist", name, ".chain.pem"), PkiFile("whitelist", name, ".key")};
}

TlsServerFiles ServiceHost(std::string_view name)
{
    return {PkiFile("service", name, ".chain.pem"), PkiFile("service", name, ".key")};
}

Bytes ReadFileBytes(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in) return {};
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

X509Ptr LoadCertificate(const std::string& path)
{
    Bytes bytes = ReadFileBytes(path);
    if (bytes.empty()) return nullptr;
    BioPtr bio(BIO_new_mem_buf(bytes.data(), static_cast<int>(bytes.size())));
    if (!bio) return nullptr;
    X509Ptr cert(PEM_read_bio_X509(bio.get(), nullptr, nullptr, nullptr));
    if (cert) return cert;
    const unsigned char* p = bytes.data();
    return X509Ptr(d2i_X509(nullptr, &p, static_cast<long>(bytes.size())));
}

Bytes LoadCertificateDer(const std::string& path)
{
    X509Ptr cert = LoadCertificate(path);
    if (!cert) return {};
    int length = i2d_X509(cert.get(), nullptr);
    if (length <= 0) return {};
    Bytes der(static_cast<std::size_t>(length));
    unsigned char* p = der.data();
    i2d_X509(cert.get(), &p);
    return der;
}

EvpPkeyPtr LoadPrivateKey(const std::string& path)
{
    Bytes bytes = ReadFileBytes(path);
    if (bytes.empty()) return nullptr;
    BioPtr bio(BIO_new_mem_buf(bytes.data(), static_cast<int>(bytes.size())));
    if (!bio) return nullptr;
    return EvpPkeyPtr(PEM_read_bio_PrivateKey(bio.get(), nullptr, nullptr, nullptr));
}

std::optional<TestToken> MakeTestToken(const std::string& dir, const std::string& options)
{
    std::string command =
        std::string(NEROLIN_SOURCE_DIR) + "/scripts/make-test-token " + ShellQuote(dir) + " " + options + " >/dev/null";
    if (std::system(command.c_str()) != 0) return std::nullopt;
    TestToken token;
    std::ifstream env(dir + "/env");
    std::string line;
    while (std::getline(env, line)) {
        auto eq = line.find('=');
        if (eq == std::string::npos) continue;
        std::string key = line.substr(0, eq), value = line.substr(eq + 1);
        if (key == "SOFTHSM2_CONF")
            token.softhsmConf = value;
        else if (key == "NEROLIN_TEST_NSSDB")
            token.nssDb = value;
        else if (key == "NEROLIN_TEST_PKCS11_MODULE")
            token.module = value;
    }
    if (token.softhsmConf.empty() || token.nssDb.empty()) return std::nullopt;
    return token;
}

}  // namespace nerolin::test
