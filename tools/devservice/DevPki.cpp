#include "tools/devservice/DevPki.h"

#include <sys/stat.h>

#include <openssl/pem.h>

namespace nerolin::devservice {
namespace {

bool FileExists(const std::string& path)
{
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

BioPtr FileBio(const std::string& path) { return BioPtr(BIO_new_file(path.c_str(), "r")); }

}  // namespace

X509Ptr DevPki::SigningCertificate(const std::string& name) const
{
    if (name.find('/') != std::string::npos) return nullptr;
    BioPtr bio = FileBio(Path("signing/" + name + ".pem"));
    if (!bio) return nullptr;
    return X509Ptr(PEM_read_bio_X509(bio.get(), nullptr, nullptr, nullptr));
}

EvpPkeyPtr DevPki::SigningKey(const std::string& name) const
{
    if (name.find('/') != std::string::npos) return nullptr;
    BioPtr bio = FileBio(Path("signing/" + name + ".key"));
    if (!bio) return nullptr;
    return EvpPkeyPtr(PEM_read_bio_PrivateKey(bio.get(), nullptr, nullptr, nullptr));
}

std::optional<DevPki::TlsFiles> DevPki::TlsIdentity(const std::string& folder, const std::string& name) const
{
    TlsFiles files;
    if (name.find('/') == std::string::npos) {
        files = {Path(folder + "/" + name + ".chain.pem"), Path(folder + "/" + name + ".key")};
    } else {
        files.chain = name;
        std::string base = name;
        for (const char* suffix : {".fullchain.pem", ".chain.pem", ".pem"}) {
            std::string s = suffix;
            if (base.size() > s.size() && base.compare(base.size() - s.size(), s.size(), s) == 0) {
                base.resize(base.size() - s.size());
                break;
            }
        }
        files.key = base + ".key";
    }
    if (!FileExists(files.chain) || !FileExists(files.key)) return std::nullopt;
    return files;
}

std::string CertificateText(X509* certificate)
{
    int length = i2d_X509(certificate, nullptr);
    if (length <= 0) return {};
    Bytes der(static_cast<std::size_t>(length));
    unsigned char* p = der.data();
    i2d_X509(certificate, &p);
    std::string base64 = Base64(der);
    std::string text = "-----BEGIN CERTIFICATE-----\r\n";
    for (std::size_t i = 0; i < base64.size(); i += 64) text += base64.substr(i, 64) + "\r\n";
    text += "-----END CERTIFICATE-----\r\n";
    return text;
}

X509Ptr ParseCertificateText(const std::string& text)
{
    const std::string begin = "-----BEGIN CERTIFICATE-----", end = "-----END CERTIFICATE-----";
    auto from = text.find(begin);
    auto to = text.find(end);
    if (from == std::string::npos || to == std::string::npos || to < from) return nullptr;
    auto der = FromBase64(std::string_view(text).substr(from + begin.size(), to - from - begin.size()));
    if (!der || der->empty()) return nullptr;
    const unsigned char* p = der->data();
    X509Ptr certificate(d2i_X509(nullptr, &p, static_cast<long>(der->size())));
    // Trailing bytes after the certificate make the text something else.
    if (certificate && p != der->data() + der->size()) return nullptr;
    return certificate;
}

std::string Base64(const Bytes& bytes)
{
    std::string text(4 * ((bytes.size() + 2) / 3), '\0');
    int length =
        EVP_EncodeBlock(reinterpret_cast<unsigned char*>(text.data()), bytes.data(), static_cast<int>(bytes.size()));
    text.resize(static_cast<std::size_t>(length));
    return text;
}

std::optional<Bytes> FromBase64(std::string_view text)
{
    std::string compact;
    for (char c : text) {
        if (c == '\r' || c == '\n' || c == ' ' || c == '\t') continue;
        compact += c;
    }
    if (compact.size() % 4 != 0) return std::nullopt;
    if (compact.empty()) return Bytes{};
    Bytes bytes(compact.size() / 4 * 3);
    int length = EVP_DecodeBlock(bytes.data(), reinterpret_cast<const unsigned char*>(compact.data()),
                                 static_cast<int>(compact.size()));
    if (length < 0) return std::nullopt;
    // EVP_DecodeBlock counts padding as zero bytes.
    std::size_t padding = 0;
    if (compact.back() == '=') ++padding;
    if (compact.size() > 1 && compact[compact.size() - 2] == '=') ++padding;
    bytes.resize(static_cast<std::size_t>(length) - padding);
    return bytes;
}

}  // namespace nerolin::devservice
