#include "tests/support/app/ScriptedProvider.h"

#include <openssl/evp.h>
#include <openssl/rsa.h>

#include "common/Text.h"
#include "providers/HashAlgorithm.h"
#include "tests/support/TestPki.h"

namespace nerolin::test {
namespace {

const EVP_MD* DigestFor(const std::string& oid)
{
    if (oid == "1.3.14.3.2.26") return EVP_sha1();
    if (oid == "2.16.840.1.101.3.4.2.1") return EVP_sha256();
    if (oid == "2.16.840.1.101.3.4.2.2") return EVP_sha384();
    if (oid == "2.16.840.1.101.3.4.2.3") return EVP_sha512();
    return nullptr;
}

struct PkeyContextFree {
    void operator()(EVP_PKEY_CTX* context) const { EVP_PKEY_CTX_free(context); }
};

}  // namespace

ScriptedProvider::ScriptedProvider(ProviderScript script, std::shared_ptr<std::vector<std::string>> calls)
    : script_(std::move(script)),
      calls_(std::move(calls))
{
}

void ScriptedProvider::Record(std::string call)
{
    std::lock_guard lock(mutex_);
    calls_->push_back(std::move(call));
}

std::string ScriptedProvider::CertificateText(const std::string& identity)
{
    const Bytes der = LoadCertificateDer(SigningIdentity(identity).certificateDer);
    return Base64Encode(der, Base64Format::Base64Header);
}

void ScriptedProvider::Initialize() { Record("Initialize"); }
void ScriptedProvider::Finalize() { Record("Finalize"); }

SigningResult ScriptedProvider::FindCertificate(const std::string&)
{
    Record("FindCertificate");
    return script_.findResult;
}

SigningResult ScriptedProvider::SelectCertificate(bool, const CertificateFilter&, std::string& certificate)
{
    Record("SelectCertificate");
    if (script_.selectResult == SigningResult::Success) {
        certificate = CertificateText(script_.identity);
    } else {
        certificate = "left behind by the provider";
    }
    return script_.selectResult;
}

void ScriptedProvider::BeginSigning(std::uint32_t hashCount) { Record("BeginSigning " + std::to_string(hashCount)); }

void ScriptedProvider::EndSigning() { Record("EndSigning"); }

bool ScriptedProvider::SignWithKey(const std::string& hashAlgorithm, const std::uint8_t* hash, std::size_t length,
                                   std::string& signedHash)
{
    auto key = LoadPrivateKey(SigningIdentity(script_.identity).privateKeyPem);
    std::unique_ptr<EVP_PKEY_CTX, PkeyContextFree> context(EVP_PKEY_CTX_new(key.get(), nullptr));
    if (!context || EVP_PKEY_sign_init(context.get()) != 1) {
        return false;
    }
    if (EVP_PKEY_get_base_id(key.get()) == EVP_PKEY_RSA) {
        EVP_PKEY_CTX_set_rsa_padding(context.get(), RSA_PKCS1_PADDING);
        if (const EVP_MD* digest = DigestFor(hashAlgorithm)) {
            EVP_PKEY_CTX_set_signature_md(context.get(), digest);
        }
    }
    std::size_t size = 0;
    if (EVP_PKEY_sign(context.get(), nullptr, &size, hash, length) != 1) {
        return false;
    }
    Bytes signature(size);
    if (EVP_PKEY_sign(context.get(), signature.data(), &size, hash, length) != 1) {
        return false;
    }
    signature.resize(size);
    signedHash = Base64Encode(signature, Base64Format::Base64);
    return true;
}

SigningResult ScriptedProvider::SignHash(const std::string& hashAlgorithm, const std::uint8_t* hash,
                                         std::int32_t length, std::string& signedHash)
{
    const int index = signIndex_++;
    Record("SignHash " + std::to_string(index));
    const SigningResult result = script_.hashResult(index);
    if (result != SigningResult::Success) {
        return result;
    }
    return SignWithKey(hashAlgorithm, hash, static_cast<std::size_t>(length), signedHash) ? SigningResult::Success
                                                                                          : SigningResult::Failed;
}

SigningResult ScriptedProvider::SignHashes(const std::string& hashAlgorithm, std::vector<HashEntry>& entries)
{
    Record("SignHashes " + std::to_string(entries.size()));
    if (script_.batchResult != SigningResult::Success) {
        return script_.batchResult;
    }
    for (auto& entry : entries) {
        const Bytes hash = Base64Decode(entry.unsignedHash, Base64Format::Base64);
        if (!SignWithKey(hashAlgorithm, hash.data(), hash.size(), entry.signedHash)) {
            return SigningResult::Failed;
        }
    }
    return SigningResult::Success;
}

}  // namespace nerolin::test
