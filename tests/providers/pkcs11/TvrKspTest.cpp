// The key-storage library provider over the stand-in libTvrKSP.so.

#include <fstream>

#include "providers/SigningProviderTvrKSP.h"
#include "providers/TvrKspMultiString.h"
#include "tests/providers/pkcs11/Pkcs11Fixture.h"

namespace nerolin::test {
namespace {

const std::string kSha256 = "2.16.840.1.101.3.4.2.1";

class TvrKspTest : public Pkcs11Test {
protected:
    std::unique_ptr<SigningProviderTvrKSP> Loaded(const std::string& library = kTvrKspLibrary)
    {
        auto provider = std::make_unique<SigningProviderTvrKSP>(library);
        provider->Initialize();
        EXPECT_EQ(provider->FindCertificate(CertificateText("rsa")), SigningResult::Success);
        return provider;
    }

    static std::vector<HashEntry> Entries(std::initializer_list<std::uint8_t> seeds)
    {
        std::vector<HashEntry> entries;
        for (std::uint8_t seed : seeds) entries.push_back({Base64Encode(TestHash(32, seed), Base64Format::Base64), ""});
        return entries;
    }
};

TEST(TvrKspMultiStringTest, LaysOutTextsWithZeroBytesAndReadsThemBack)
{
    const std::vector<std::string> texts{std::string(44, 'a'), std::string(44, 'b'), std::string(88, 'c')};
    const Bytes buffer = BuildMultiString(texts);
    ASSERT_EQ(buffer.size(), 180u);
    EXPECT_EQ(std::string(buffer.begin(), buffer.begin() + 44), texts[0]);
    EXPECT_EQ(std::string(buffer.begin() + 45, buffer.begin() + 89), texts[1]);
    EXPECT_EQ(std::string(buffer.begin() + 90, buffer.begin() + 178), texts[2]);
    for (std::size_t zero : {44u, 89u, 178u, 179u}) EXPECT_EQ(buffer[zero], 0) << zero;
    EXPECT_EQ(BuildMultiString({}), Bytes{0});

    const char* raw = reinterpret_cast<const char*>(buffer.data());
    EXPECT_EQ(ReadMultiString(raw, 10), texts);
    EXPECT_EQ(ReadMultiString(raw, 2), (std::vector<std::string>{texts[0], texts[1]}));
    EXPECT_TRUE(ReadMultiString("\0", 5).empty());
    EXPECT_TRUE(ReadMultiString(nullptr, 5).empty());
}

TEST_F(TvrKspTest, SignsTheWholeBatchInOneCall)
{
    const std::string record = dir_.path() + "/record.txt";
    ScopedEnvironment recording("NEROLIN_TVRKSP_RECORD", record);
    auto provider = Loaded();
    std::vector<HashEntry> entries = Entries({1, 2, 3});
    ASSERT_EQ(provider->SignHashes(kSha256, entries), SigningResult::Success);
    for (std::size_t i = 0; i < entries.size(); ++i) {
        EXPECT_TRUE(
            VerifySignature("rsa", EVP_sha256(), TestHash(32, static_cast<std::uint8_t>(i + 1)), entries[i].signedHash))
            << i;
    }
    // The library got the certificate text, the algorithm and every hash.
    std::ifstream file(record);
    std::string all((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    EXPECT_EQ(all, CertificateText("rsa") + "\n" + kSha256 + "\n3\n");

    std::string unused;
    EXPECT_EQ(provider->SignHash(kSha256, TestHash(32).data(), 32, unused), SigningResult::Unsupported);
    EXPECT_EQ(provider->SelectCertificate(false, CertificateFilter{}, unused), SigningResult::Failed);
    EXPECT_EQ(events_->Texts(), (std::vector<std::string>{"Load TvrKSP library succeeded",
                                                          "SignHashes started with TvrKSP signing provider",
                                                          "SignHash started with TvrKSP signing provider"}));
    provider->Finalize();
}

TEST_F(TvrKspTest, FewerSignaturesThanHashesLeaveTheRestAsTheyWere)
{
    ScopedEnvironment limit("NEROLIN_TVRKSP_MAX_SIGNATURES", "2");
    auto provider = Loaded();
    std::vector<HashEntry> entries = Entries({1, 2, 3});
    entries[2].signedHash = "before";
    ASSERT_EQ(provider->SignHashes(kSha256, entries), SigningResult::Success);
    EXPECT_TRUE(VerifySignature("rsa", EVP_sha256(), TestHash(32, 2), entries[1].signedHash));
    EXPECT_EQ(entries[2].signedHash, "before");
}

TEST_F(TvrKspTest, LibraryStatusesBecomeResults)
{
    auto provider = Loaded();
    const std::pair<const char*, SigningResult> cases[] = {
        {"8010006B", SigningResult::PinIncorrect},
        {"8010006C", SigningResult::PinLocked},
        {"8010006E", SigningResult::Canceled},
        {"80100069", SigningResult::Failed},
        {"1", SigningResult::Failed},
    };
    for (const auto& [status, result] : cases) {
        ScopedEnvironment answer("NEROLIN_TVRKSP_STATUS", status);
        std::vector<HashEntry> entries = Entries({1});
        EXPECT_EQ(provider->SignHashes(kSha256, entries), result) << status;
        EXPECT_TRUE(entries[0].signedHash.empty()) << status;
    }
    {
        // Success without a buffer signed nothing.
        ScopedEnvironment nothing("NEROLIN_TVRKSP_NULL_OUTPUT", "1");
        std::vector<HashEntry> entries = Entries({1});
        EXPECT_EQ(provider->SignHashes(kSha256, entries), SigningResult::Failed);
    }
    {
        ScopedEnvironment unusable("NEROLIN_TVRKSP_INTERFACE_STATUS", "80090030");
        std::vector<HashEntry> entries = Entries({1});
        EXPECT_EQ(provider->SignHashes(kSha256, entries), SigningResult::Failed);
    }
}

TEST_F(TvrKspTest, LibraryMissingOrIncompleteIsNotUsed)
{
    SigningProviderTvrKSP missing("libnerolin-no-such-library.so");
    missing.Initialize();
    EXPECT_EQ(missing.FindCertificate(CertificateText("rsa")), SigningResult::Failed);
    std::vector<Entry> entries = events_->Entries();
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_EQ(entries[0], (Entry{EntryType::Error, "Load TvrKSP library failed"}));
    EXPECT_EQ(entries[1].text.rfind("dlopen error: ", 0), 0u) << entries[1].text;

    EventCapture incomplete;
    SigningProviderTvrKSP lacking(NEROLIN_TVRKSP_NO_INTERFACE);
    lacking.Initialize();
    EXPECT_EQ(lacking.FindCertificate(CertificateText("rsa")), SigningResult::Failed);
    std::vector<HashEntry> hashes = Entries({1});
    EXPECT_EQ(lacking.SignHashes(kSha256, hashes), SigningResult::Failed);
    lacking.Finalize();
    EXPECT_EQ(incomplete.Entries(), (std::vector<Entry>{
                                        {EntryType::Information, "Load TvrKSP library succeeded"},
                                        {EntryType::Error, "GetProcAddress GetKeyStorageInterface failed"},
                                        {EntryType::Error, "GetProcAddress error: 127 (0x0000007F)"},
                                        {EntryType::Information, "SignHashes started with TvrKSP signing provider"},
                                    }));
    // Neither failure is put in front of the user: signing falls back to NSS.
    EXPECT_TRUE(prompts_->Messages().empty());
}

TEST_F(TvrKspTest, FinalizedProviderNeverCallsIntoTheUnloadedLibrary)
{
    auto provider = Loaded();
    provider->Finalize();
    std::vector<HashEntry> entries = Entries({1});
    EXPECT_EQ(provider->SignHashes(kSha256, entries), SigningResult::Failed);
    EXPECT_EQ(provider->FindCertificate(CertificateText("rsa")), SigningResult::Failed);
}

}  // namespace
}  // namespace nerolin::test
