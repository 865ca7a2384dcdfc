// The text forms in which the filter compares a certificate's numbers and
// its authority key identifier.
#include "common/Text.h"
#include "filter/CertificateFacts.h"
#include "filter/CertificateMatching.h"

namespace nerolin {
namespace {

std::string_view WithoutLeadingZeros(std::string_view text)
{
    while (text.size() > 1 && text.front() == '0') text.remove_prefix(1);
    return text;
}

char AsciiUpper(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }

std::string PrintRfc2253(const X509_NAME* name)
{
    BioPtr bio(BIO_new(BIO_s_mem()));
    if (!bio || X509_NAME_print_ex(bio.get(), name, 0, XN_FLAG_RFC2253) < 0) return {};
    char* data = nullptr;
    const long length = BIO_get_mem_data(bio.get(), &data);
    return length > 0 ? std::string(data, static_cast<std::size_t>(length)) : std::string();
}

}  // namespace

bool EqualIgnoringAsciiCase(std::string_view a, std::string_view b)
{
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (AsciiUpper(a[i]) != AsciiUpper(b[i])) return false;
    return true;
}

std::string IntegerToHex(const ASN1_INTEGER* number)
{
    if (!number) return {};
    BignumPtr bignum(ASN1_INTEGER_to_BN(number, nullptr));
    if (!bignum) return {};
    const OpenSslTextPtr hex(BN_bn2hex(bignum.get()));
    return hex ? std::string(hex.get()) : std::string();
}

bool SerialNumbersEqual(std::string_view a, std::string_view b)
{
    return EqualIgnoringAsciiCase(WithoutLeadingZeros(a), WithoutLeadingZeros(b));
}

std::optional<AuthorityKeyIdentifier> ReadAuthorityKeyIdentifier(const X509* certificate)
{
    if (!certificate) return std::nullopt;
    const int index = X509_get_ext_by_NID(certificate, NID_authority_key_identifier, -1);
    if (index < 0) return std::nullopt;
    AuthorityKeyIdPtr extension(static_cast<AUTHORITY_KEYID*>(X509V3_EXT_d2i(X509_get_ext(certificate, index))));
    if (!extension) return std::nullopt;

    AuthorityKeyIdentifier identifier;
    if (extension->keyid)
        identifier.keyIdentifier =
            HexEncode(extension->keyid->data, static_cast<std::size_t>(extension->keyid->length));
    if (extension->issuer) {
        for (int i = 0; i < sk_GENERAL_NAME_num(extension->issuer); ++i) {
            const GENERAL_NAME* name = sk_GENERAL_NAME_value(extension->issuer, i);
            if (name->type != GEN_DIRNAME) continue;
            if (name->d.directoryName) identifier.authorityCertIssuer = PrintRfc2253(name->d.directoryName);
            break;
        }
    }
    if (extension->serial) identifier.authorityCertSerialNumber = IntegerToHex(extension->serial);
    return identifier;
}

}  // namespace nerolin
