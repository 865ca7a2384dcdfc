#include "tests/providers/nss/NssTestSupport.h"

#include <cstdlib>
#include <filesystem>

#include <openssl/ecdsa.h>
#include <openssl/evp.h>
#include <openssl/rsa.h>
#include <pkcs11.h>

#include "common/OpenSslOwners.h"
#include "common/UserPrompts.h"
#include "eventlog/EventLog.h"
#include "eventlog/EventStore.h"
#include "providers/HashAlgorithm.h"
#include "providers/NssRuntime.h"

namespace nerolin::test {
namespace {

std::unique_ptr<NssDatabase> gDatabase;
std::shared_ptr<RecordingPrompts> gPrompts;
std::string gFolder;
std::size_t gEntryMark = 0;

std::vector<StoredEntry> AllEntriesOldestFirst()
{
    FlushEventLog();  // entries reach the store through the process's writer thread
    auto store = EventStore::OpenForReading(NssTestEnvironment::EventStorePath());
    if (!store) return {};
    auto entries = store->ReadNewestFirst("Nerolin");
    return {entries.rbegin(), entries.rend()};
}

}  // namespace

void NssTestEnvironment::SetUp()
{
    char pattern[] = "/tmp/nerolin-nss-test-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    gFolder = pattern;
    for (const char* name : {"HOME", "XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_STATE_HOME", "XDG_RUNTIME_DIR"})
        setenv(name, gFolder.c_str(), 1);
    RegisterEventSource(EventStorePath());

    gDatabase = std::make_unique<NssDatabase>(options_);
    ASSERT_TRUE(gDatabase->ok()) << gDatabase->error();
    gDatabase->ExportEnvironment();
    gPrompts = std::make_shared<RecordingPrompts>();
    SetUserPrompts(gPrompts);
    ASSERT_TRUE(InitializeNss(gDatabase->spec()));
}

void NssTestEnvironment::TearDown()
{
    // NSS stays open until the process exits; the database folder goes with
    // the process's last step, after NSS's shutdown has closed it.
    static struct Cleanup {
        ~Cleanup()
        {
            std::error_code ignored;
            if (!gFolder.empty()) std::filesystem::remove_all(gFolder, ignored);
        }
    } cleanup;
}

NssDatabase& NssTestEnvironment::Database() { return *gDatabase; }
RecordingPrompts& NssTestEnvironment::Prompts() { return *gPrompts; }
std::string NssTestEnvironment::EventStorePath() { return gFolder + "/events.sqlite"; }

void StartEntries() { gEntryMark = AllEntriesOldestFirst().size(); }

std::vector<Entry> NewEntries()
{
    std::vector<Entry> entries;
    const auto all = AllEntriesOldestFirst();
    for (std::size_t i = gEntryMark; i < all.size(); ++i)
        entries.push_back({static_cast<EntryType>(all[i].type), all[i].strings.empty() ? "" : all[i].strings[0]});
    return entries;
}

std::vector<std::string> NewEntryTexts()
{
    std::vector<std::string> texts;
    for (const auto& entry : NewEntries()) texts.push_back(entry.text);
    return texts;
}

bool HasEntry(const std::vector<Entry>& entries, EntryType type, const std::string& text)
{
    for (const auto& entry : entries)
        if (entry.type == type && entry.text == text) return true;
    return false;
}

bool HasErrorEntry(const std::vector<Entry>& entries, const std::string& call, int code)
{
    const std::string prefix = call + " error: " + std::to_string(code) + " (";
    for (const auto& entry : entries)
        if (entry.type == EntryType::Error && entry.text.rfind(prefix, 0) == 0) return true;
    return false;
}

void LogoutAllTokens() { PK11_LogoutAll(); }

std::string CertificateText(const std::string& identity)
{
    return Base64Encode(CertificateDerOf(identity), Base64Format::Base64Header);
}

Bytes CertificateDerOf(const std::string& identity)
{
    return LoadCertificateDer(SigningIdentity(identity).certificateDer);
}

::testing::AssertionResult SignatureVerifies(const std::string& identity, const std::string& hashAlgorithm,
                                             const Bytes& hash, const std::string& signatureText)
{
    // The line layout first: 64 characters, CR LF after each line.
    for (std::size_t start = 0; start < signatureText.size();) {
        const auto end = signatureText.find("\r\n", start);
        if (end == std::string::npos) return ::testing::AssertionFailure() << "line without CR LF";
        if (end - start > 64 || (end - start < 64 && end + 2 != signatureText.size()))
            return ::testing::AssertionFailure() << "line of " << end - start << " characters";
        start = end + 2;
    }
    Bytes signature = Base64Decode(signatureText, Base64Format::Base64);
    if (signature.empty()) return ::testing::AssertionFailure() << "no Base64 signature";

    UniqueX509 certificate = LoadCertificate(SigningIdentity(identity).certificatePem);
    EVP_PKEY* key = certificate ? X509_get0_pubkey(certificate.get()) : nullptr;
    if (!key) return ::testing::AssertionFailure() << "no public key for " << identity;

    if (EVP_PKEY_base_id(key) == EVP_PKEY_EC) {
        // Raw r || s into the DER form OpenSSL verifies.
        const std::size_t half = signature.size() / 2;
        ECDSA_SIG* sig = ECDSA_SIG_new();
        ECDSA_SIG_set0(sig, BN_bin2bn(signature.data(), static_cast<int>(half), nullptr),
                       BN_bin2bn(signature.data() + half, static_cast<int>(half), nullptr));
        unsigned char* der = nullptr;
        const int length = i2d_ECDSA_SIG(sig, &der);
        ECDSA_SIG_free(sig);
        signature.assign(der, der + (length > 0 ? length : 0));
        OPENSSL_free(der);
    }

    EvpPkeyContextPtr context(EVP_PKEY_CTX_new(key, nullptr));
    if (!context || EVP_PKEY_verify_init(context.get()) <= 0)
        return ::testing::AssertionFailure() << "verify init failed";
    if (EVP_PKEY_base_id(key) == EVP_PKEY_RSA) {
        EVP_PKEY_CTX_set_rsa_padding(context.get(), RSA_PKCS1_PADDING);
        if (const HashAlgorithm* algorithm = FindHashAlgorithm(hashAlgorithm)) {
            const EVP_MD* md = EVP_get_digestbyname(std::string(algorithm->name).c_str());
            if (!md || EVP_PKEY_CTX_set_signature_md(context.get(), md) <= 0)
                return ::testing::AssertionFailure() << "no digest " << algorithm->name;
        }
    }
    if (EVP_PKEY_verify(context.get(), signature.data(), signature.size(), hash.data(), hash.size()) != 1)
        return ::testing::AssertionFailure() << "signature of " << identity << " does not verify";
    return ::testing::AssertionSuccess();
}

Bytes SampleHash(std::size_t length, unsigned seed)
{
    Bytes hash(length);
    for (std::size_t i = 0; i < length; ++i) hash[i] = static_cast<std::uint8_t>((seed * 131 + i * 7 + 1) & 0xFF);
    return hash;
}

int SessionPrivateKeys(PK11SlotInfo* slot)
{
    auto* functions = static_cast<CK_FUNCTION_LIST*>(PK11_GetModule(slot)->functionList);
    CK_SESSION_HANDLE session = 0;
    if (functions->C_OpenSession(PK11_GetSlotID(slot), CKF_SERIAL_SESSION, nullptr, nullptr, &session) != CKR_OK)
        return -1;
    CK_OBJECT_CLASS keyClass = CKO_PRIVATE_KEY;
    CK_BBOOL no = CK_FALSE;
    CK_ATTRIBUTE query[] = {{CKA_CLASS, &keyClass, sizeof keyClass}, {CKA_TOKEN, &no, sizeof no}};
    int count = 0;
    if (functions->C_FindObjectsInit(session, query, 2) == CKR_OK) {
        CK_OBJECT_HANDLE objects[16];
        CK_ULONG found = 0;
        while (functions->C_FindObjects(session, objects, 16, &found) == CKR_OK && found > 0)
            count += static_cast<int>(found);
        functions->C_FindObjectsFinal(session);
    }
    functions->C_CloseSession(session);
    return count;
}

}  // namespace nerolin::test
