#include "common/CertificateText.h"

#include <openssl/evp.h>
#include <openssl/objects.h>

#include "common/OpenSslOwners.h"
#include "common/Text.h"

namespace nerolin {

namespace {

std::string EntryValue(const X509_NAME_ENTRY* entry)
{
    unsigned char* utf8 = nullptr;
    const int length = ASN1_STRING_to_UTF8(&utf8, X509_NAME_ENTRY_get_data(entry));
    if (length < 0) return {};
    OpenSslBufferPtr owner(utf8);
    return std::string(reinterpret_cast<const char*>(utf8), static_cast<std::size_t>(length));
}

bool IsSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r'; }

// A value goes into double quotes when it could not be read back otherwise:
// white space at either end, or a character with a meaning in the name syntax.
std::string QuotedValue(const std::string& value)
{
    bool quote = !value.empty() && (IsSpace(value.front()) || IsSpace(value.back()));
    if (!quote) quote = value.find_first_of(",+=\"<>#;\r\n") != std::string::npos;
    if (!quote) return value;
    std::string quoted = "\"";
    for (char c : value) {
        if (c == '"') quoted.push_back('"');
        quoted.push_back(c);
    }
    quoted.push_back('"');
    return quoted;
}

// Values only, in encoded order: ", " between relative names, " + " between
// the attributes of one multi-valued relative name.
std::string RdnText(const X509_NAME* name)
{
    std::string text;
    int previousSet = -1;
    for (int i = 0; i < X509_NAME_entry_count(name); ++i) {
        const X509_NAME_ENTRY* entry = X509_NAME_get_entry(name, i);
        const int set = X509_NAME_ENTRY_set(entry);
        if (i > 0) text += set == previousSet ? " + " : ", ";
        previousSet = set;
        text += QuotedValue(EntryValue(entry));
    }
    return text;
}

std::string AttributeText(const X509_NAME* name)
{
    for (int nid : {NID_pkcs9_emailAddress, NID_commonName, NID_organizationalUnitName, NID_organizationName}) {
        const int index = X509_NAME_get_index_by_NID(name, nid, -1);
        if (index >= 0) return EntryValue(X509_NAME_get_entry(name, index));
    }
    return {};
}

}  // namespace

std::string CertNameString(const X509* certificate, CertNameType type, unsigned flags)
{
    if (certificate == nullptr) return {};
    const X509_NAME* name =
        (flags & kCertNameIssuerFlag) != 0 ? X509_get_issuer_name(certificate) : X509_get_subject_name(certificate);
    if (name == nullptr) return {};
    return type == CertNameType::Rdn ? RdnText(name) : AttributeText(name);
}

std::string CertThumbprint(const X509* certificate)
{
    if (certificate == nullptr) return {};
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    if (X509_digest(certificate, EVP_sha1(), digest, &length) != 1 || length != 20) return {};
    return HexEncode(digest, length);
}

}  // namespace nerolin
