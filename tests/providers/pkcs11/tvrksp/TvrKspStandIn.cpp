// A stand-in for the maker's key-storage library, for tests: the same three
// entry points and buffer forms. It signs each hash with a development RSA
// key (RSA PKCS#1 v1.5, with the DigestInfo of the named hash algorithm, or
// none for the empty one) and can be told, by environment variables read at
// each call, to answer otherwise:
//
//   NEROLIN_TVRKSP_KEY               PEM private key (default: the PKI's rsa.key)
//   NEROLIN_TVRKSP_STATUS            status (hex) to answer instead of signing
//   NEROLIN_TVRKSP_NULL_OUTPUT=1     answer 0 without an output buffer
//   NEROLIN_TVRKSP_MAX_SIGNATURES=N  hand back at most N signatures
//   NEROLIN_TVRKSP_INTERFACE_STATUS  status (hex) of GetKeyStorageInterface
//   NEROLIN_TVRKSP_RECORD            file that receives the certificate text,
//                                    a line with the algorithm, a line with
//                                    the number of input texts
//
// Built without NEROLIN_TVRKSP_WITH_INTERFACE it lacks GetKeyStorageInterface.

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include <openssl/evp.h>
#include <openssl/objects.h>
#include <openssl/pem.h>

#include "platform/DynamicLibrary.h"  // NEROLIN_STDCALL, the entry points' convention

#if defined(_WIN32)
#define EXPORT extern "C" __declspec(dllexport)
#else
#define EXPORT extern "C" __attribute__((visibility("default")))
#endif

namespace {

std::uint32_t HexEnv(const char* name, std::uint32_t fallback)
{
    const char* value = std::getenv(name);
    return value && *value ? static_cast<std::uint32_t>(std::strtoul(value, nullptr, 16)) : fallback;
}

std::vector<unsigned char> DecodeBase64(const std::string& lines)
{
    std::string text;
    for (char c : lines)
        if (c != '\r' && c != '\n' && c != ' ' && c != '\t') text.push_back(c);
    std::vector<unsigned char> bytes(text.size());
    const int length = EVP_DecodeBlock(bytes.data(), reinterpret_cast<const unsigned char*>(text.data()),
                                       static_cast<int>(text.size()));
    if (length < 0) return {};
    std::size_t padding = 0;
    for (std::size_t i = text.size(); i > 0 && text[i - 1] == '='; --i) ++padding;
    bytes.resize(static_cast<std::size_t>(length) - padding);
    return bytes;
}

std::string EncodeBase64(const std::vector<unsigned char>& bytes)
{
    std::string text(4 * ((bytes.size() + 2) / 3) + 1, '\0');
    const int length =
        EVP_EncodeBlock(reinterpret_cast<unsigned char*>(text.data()), bytes.data(), static_cast<int>(bytes.size()));
    text.resize(static_cast<std::size_t>(length));
    return text;
}

std::string Sign(EVP_PKEY* key, const char* algorithm, const std::string& hashText)
{
    const std::vector<unsigned char> hash = DecodeBase64(hashText);
    EVP_PKEY_CTX* context = EVP_PKEY_CTX_new(key, nullptr);
    std::string result;
    if (context && EVP_PKEY_sign_init(context) > 0 && EVP_PKEY_CTX_set_rsa_padding(context, RSA_PKCS1_PADDING) > 0) {
        bool ready = true;
        if (*algorithm) {
            ASN1_OBJECT* oid = OBJ_txt2obj(algorithm, 1);
            const EVP_MD* md = oid ? EVP_get_digestbynid(OBJ_obj2nid(oid)) : nullptr;
            ASN1_OBJECT_free(oid);
            ready = md && EVP_PKEY_CTX_set_signature_md(context, md) > 0;
        }
        std::size_t length = 0;
        if (ready && EVP_PKEY_sign(context, nullptr, &length, hash.data(), hash.size()) > 0) {
            std::vector<unsigned char> signature(length);
            if (EVP_PKEY_sign(context, signature.data(), &length, hash.data(), hash.size()) > 0) {
                signature.resize(length);
                result = EncodeBase64(signature);
            }
        }
    }
    EVP_PKEY_CTX_free(context);
    return result;
}

}  // namespace

EXPORT std::uint32_t NEROLIN_STDCALL TvrKSPSignHashesBase64(const char* certificate, const char* algorithm,
                                                            const char* hashes, char** output, std::uint32_t, void*)
{
    std::vector<std::string> texts;
    for (const char* cursor = hashes; *cursor; cursor += std::strlen(cursor) + 1) texts.emplace_back(cursor);

    if (const char* record = std::getenv("NEROLIN_TVRKSP_RECORD"); record && *record) {
        if (FILE* file = std::fopen(record, "w")) {
            std::fprintf(file, "%s\n%s\n%zu\n", certificate, algorithm, texts.size());
            std::fclose(file);
        }
    }
    if (const std::uint32_t status = HexEnv("NEROLIN_TVRKSP_STATUS", 0)) return status;
    if (std::getenv("NEROLIN_TVRKSP_NULL_OUTPUT")) {
        *output = nullptr;
        return 0;
    }

    const char* keyPath = std::getenv("NEROLIN_TVRKSP_KEY");
    FILE* keyFile = std::fopen(keyPath && *keyPath ? keyPath : NEROLIN_TVRKSP_DEFAULT_KEY, "r");
    if (!keyFile) return 0x80090016;  // NTE_BAD_KEYSET
    EVP_PKEY* key = PEM_read_PrivateKey(keyFile, nullptr, nullptr, nullptr);
    std::fclose(keyFile);
    if (!key) return 0x80090016;

    std::size_t count = texts.size();
    if (const char* limit = std::getenv("NEROLIN_TVRKSP_MAX_SIGNATURES"))
        count = std::min<std::size_t>(count, std::strtoul(limit, nullptr, 10));
    std::string buffer;
    for (std::size_t i = 0; i < count; ++i) {
        buffer += Sign(key, algorithm, texts[i]);
        buffer.push_back('\0');
    }
    buffer.push_back('\0');
    EVP_PKEY_free(key);

    *output = static_cast<char*>(std::malloc(buffer.size()));
    std::memcpy(*output, buffer.data(), buffer.size());
    return 0;
}

EXPORT void NEROLIN_STDCALL TvrKSPFreeBuffer(char* buffer) { std::free(buffer); }

#ifdef NEROLIN_TVRKSP_WITH_INTERFACE
EXPORT std::uint32_t NEROLIN_STDCALL GetKeyStorageInterface(const char16_t*, void** table, std::uint32_t)
{
    static int functionTable = 0;
    *table = &functionTable;
    return HexEnv("NEROLIN_TVRKSP_INTERFACE_STATUS", 0);
}
#endif
