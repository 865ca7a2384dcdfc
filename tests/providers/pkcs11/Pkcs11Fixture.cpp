#include "tests/providers/pkcs11/Pkcs11Fixture.h"

#include <dlfcn.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <ostream>

#include <openssl/core_names.h>
#include <openssl/ecdsa.h>
#include <openssl/rsa.h>

#include "common/OpenSslOwners.h"
#include "common/UserPrompts.h"
#include "eventlog/EventLog.h"
#include "eventlog/EventStore.h"
#include "providers/Pkcs11.h"

namespace nerolin::test {
namespace {

std::string& StorePath()
{
    static std::string path;
    return path;
}

std::vector<Entry> AllEntries()
{
    std::vector<Entry> entries;
    FlushEventLog();  // entries reach the store through the process's writer thread
    std::unique_ptr<EventStore> store = EventStore::OpenForReading(StorePath());
    if (!store) return entries;
    std::vector<StoredEntry> stored = store->ReadNewestFirst("Nerolin");
    for (auto it = stored.rbegin(); it != stored.rend(); ++it)
        entries.push_back({static_cast<EntryType>(it->type), it->strings.empty() ? std::string() : it->strings[0]});
    return entries;
}

}  // namespace

TempDir::TempDir()
{
    std::string pattern = (std::filesystem::temp_directory_path() / "nerolin-pkcs11-XXXXXX").string();
    if (mkdtemp(pattern.data())) path_ = pattern;
}

TempDir::~TempDir()
{
    std::error_code ignored;
    if (!path_.empty()) std::filesystem::remove_all(path_, ignored);
}

void SetEventStorePath(const std::string& path) { StorePath() = path; }
const std::string& EventStorePath() { return StorePath(); }

std::ostream& operator<<(std::ostream& out, const Entry& entry)
{
    return out << static_cast<int>(entry.type) << " \"" << entry.text << "\"";
}

EventCapture::EventCapture() : start_(AllEntries().size()) {}

std::vector<Entry> EventCapture::Entries() const
{
    std::vector<Entry> entries = AllEntries();
    if (entries.size() <= start_) return {};
    return {entries.begin() + static_cast<std::ptrdiff_t>(start_), entries.end()};
}

std::vector<std::string> EventCapture::Texts() const
{
    std::vector<std::string> texts;
    for (const Entry& entry : Entries()) texts.push_back(entry.text);
    return texts;
}

bool EventCapture::Has(EntryType type, const std::string& text) const
{
    for (const Entry& entry : Entries())
        if (entry.type == type && entry.text == text) return true;
    return false;
}

std::vector<std::string> ReadLines(const std::string& path)
{
    std::vector<std::string> lines;
    std::ifstream file(path);
    for (std::string line; std::getline(file, line);) lines.push_back(line);
    return lines;
}

void Pkcs11Test::SetUp()
{
    ASSERT_FALSE(dir_.path().empty());
    prompts_ = std::make_shared<ScriptedPrompts>();
    SetUserPrompts(prompts_);
    events_ = std::make_unique<EventCapture>();
}

void Pkcs11Test::TearDown() { env_.clear(); }

TestToken Pkcs11Test::MakeToken(const std::string& options)
{
    std::optional<TestToken> token = MakeTestToken(dir_.path() + "/token", options);
    EXPECT_TRUE(token.has_value());
    if (!token) return {};
    env_.push_back(std::make_unique<ScopedEnvironment>("SOFTHSM2_CONF", token->softhsmConf));
    return *token;
}

bool Pkcs11Test::Run(const std::string& command) { return std::system((command + " >/dev/null 2>&1").c_str()) == 0; }

std::string Pkcs11Test::CertificateText(const std::string& name)
{
    return Base64Encode(LoadCertificateDer(SigningIdentity(name).certificatePem), Base64Format::Base64Header);
}

std::string Pkcs11Test::StartTrace()
{
    const std::string path = dir_.path() + "/trace.txt";
    std::filesystem::remove(path);
    env_.push_back(std::make_unique<ScopedEnvironment>("NEROLIN_SHIM_TRACE", path));
    return path;
}

bool VerifySignature(const std::string& certificateName, const EVP_MD* digest, const Bytes& hash,
                     const std::string& signatureBase64)
{
    UniqueX509 certificate = LoadCertificate(SigningIdentity(certificateName).certificatePem);
    if (!certificate) return false;
    EVP_PKEY* key = X509_get0_pubkey(certificate.get());
    Bytes signature = Base64Decode(signatureBase64, Base64Format::Base64);
    if (!key || signature.empty()) return false;

    if (EVP_PKEY_is_a(key, "EC")) {
        // r then s, each half of the bytes, into the DER that OpenSSL verifies.
        const std::size_t half = signature.size() / 2;
        EcdsaSignaturePtr ecdsa(ECDSA_SIG_new());
        BIGNUM* r = BN_bin2bn(signature.data(), static_cast<int>(half), nullptr);
        BIGNUM* s = BN_bin2bn(signature.data() + half, static_cast<int>(half), nullptr);
        if (!ecdsa || !ECDSA_SIG_set0(ecdsa.get(), r, s)) return false;
        unsigned char* der = nullptr;
        const int length = i2d_ECDSA_SIG(ecdsa.get(), &der);
        if (length <= 0) return false;
        signature.assign(der, der + length);
        OPENSSL_free(der);
    }
    EvpPkeyContextPtr context(EVP_PKEY_CTX_new(key, nullptr));
    if (!context || EVP_PKEY_verify_init(context.get()) <= 0) return false;
    if (EVP_PKEY_is_a(key, "RSA")) {
        if (EVP_PKEY_CTX_set_rsa_padding(context.get(), RSA_PKCS1_PADDING) <= 0) return false;
        if (digest && EVP_PKEY_CTX_set_signature_md(context.get(), digest) <= 0) return false;
    }
    return EVP_PKEY_verify(context.get(), signature.data(), signature.size(), hash.data(), hash.size()) == 1;
}

void FinalizeSoftHsm()
{
    void* handle = dlopen(NEROLIN_SOFTHSM_MODULE, RTLD_NOW | RTLD_LOCAL);
    if (!handle) return;
    auto getFunctionList = reinterpret_cast<CK_C_GetFunctionList>(dlsym(handle, "C_GetFunctionList"));
    CK_FUNCTION_LIST* functions = nullptr;
    if (getFunctionList && getFunctionList(&functions) == CKR_OK && functions) functions->C_Finalize(nullptr);
    dlclose(handle);
}

Bytes TestHash(std::size_t length, std::uint8_t seed)
{
    Bytes hash(length);
    for (std::size_t i = 0; i < length; ++i) hash[i] = static_cast<std::uint8_t>(seed + i * 7);
    return hash;
}

}  // namespace nerolin::test
