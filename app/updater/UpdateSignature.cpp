#include "app/updater/UpdateSignature.h"

#include <filesystem>
#include <fstream>
#include <iterator>

#include "common/OpenSslOwners.h"
#include "common/Text.h"

namespace nerolin {
namespace {

constexpr std::size_t kPublicKeySize = 32;
constexpr std::size_t kSignatureSize = 64;

}  // namespace

bool VerifyUpdateSignature(const std::string& filePath, const std::string& signatureBase64,
                           const std::string& publicKeyBase64)
{
    const Bytes key = Base64Decode(publicKeyBase64, Base64Format::Base64);
    const Bytes signature = Base64Decode(signatureBase64, Base64Format::Base64);
    if (key.size() != kPublicKeySize || signature.size() != kSignatureSize) {
        return false;
    }
    // The path is UTF-8; a narrow path would be the ANSI code page's on Windows.
    std::ifstream file(std::filesystem::u8path(filePath), std::ios::binary);
    if (!file) {
        return false;
    }
    // Ed25519 signs the message as a whole, so the file is read at once; its
    // size was bounded by the download.
    const Bytes content{std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
    if (file.bad()) {
        return false;
    }
    EvpPkeyPtr publicKey(EVP_PKEY_new_raw_public_key(EVP_PKEY_ED25519, nullptr, key.data(), key.size()));
    EvpMdContextPtr context(EVP_MD_CTX_new());
    if (!publicKey || !context ||
        EVP_DigestVerifyInit(context.get(), nullptr, nullptr, nullptr, publicKey.get()) != 1) {
        return false;
    }
    return EVP_DigestVerify(context.get(), signature.data(), signature.size(), content.data(), content.size()) == 1;
}

}  // namespace nerolin
