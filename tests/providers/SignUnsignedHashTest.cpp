#include "providers/SigningProvider.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <optional>

#include "common/Text.h"
#include "eventlog/EventLog.h"
#include "eventlog/EventStore.h"
#include "tests/support/Portable.h"

namespace nerolin {
namespace {

constexpr const char* kSha1 = "1.3.14.3.2.26";
constexpr const char* kSha256 = "2.16.840.1.101.3.4.2.1";
constexpr const char* kSha384 = "2.16.840.1.101.3.4.2.2";
constexpr const char* kSha512 = "2.16.840.1.101.3.4.2.3";

// Records what reaches SignHash and answers with a chosen result.
class RecordingProvider : public SigningProvider {
public:
    SigningResult answer = SigningResult::Success;
    std::optional<Bytes> signedBytes;  // what SignHash received, if it was called

    void Initialize() override {}
    void Finalize() override {}
    SigningResult FindCertificate(const std::string&) override { return SigningResult::Failed; }
    SigningResult SelectCertificate(bool, const CertificateFilter&, std::string&) override
    {
        return SigningResult::Failed;
    }
    void BeginSigning(std::uint32_t) override {}
    void EndSigning() override {}
    SigningResult SignHash(const std::string&, const std::uint8_t* hash, std::int32_t length,
                           std::string& signedHash) override
    {
        signedBytes = Bytes(hash, hash + length);
        if (answer == SigningResult::Success) signedHash = "signature";
        return answer;
    }
    SigningResult SignHashes(const std::string&, std::vector<HashEntry>&) override
    {
        return SigningResult::Unsupported;
    }
};

std::string Base64Of(std::size_t count)
{
    Bytes bytes(count);
    for (std::size_t i = 0; i < count; ++i) bytes[i] = static_cast<std::uint8_t>(i * 7 + 1);
    return Base64Encode(bytes, Base64Format::Base64);
}

// Each test runs in a process of its own (ctest), so each points the event
// store at its own temporary file once.
class SignUnsignedHash : public ::testing::Test {
protected:
    void SetUp() override
    {
        folder_ = test::MakeUniqueFolder(std::filesystem::temp_directory_path(), "nerolin-provider-");
        ASSERT_FALSE(folder_.empty());
        RegisterEventSource(folder_ + "/events.sqlite");
    }
    // The event store stays open to the end of the process; Windows keeps
    // an open file, and the temporary folder goes with the Wine prefix.
    void TearDown() override
    {
        std::error_code ignored;
        std::filesystem::remove_all(folder_, ignored);
    }

    // Texts of the entries written so far, oldest first, with their types.
    std::vector<std::pair<int, std::string>> Entries()
    {
        std::vector<std::pair<int, std::string>> entries;
        FlushEventLog();  // entries reach the store through the process's writer thread
        auto store = EventStore::OpenForReading(folder_ + "/events.sqlite");
        if (!store) return entries;
        for (const auto& entry : store->ReadNewestFirst("Nerolin"))
            entries.insert(entries.begin(), {entry.type, entry.strings.empty() ? "" : entry.strings[0]});
        return entries;
    }

    std::string folder_;
};

using Entry = std::pair<int, std::string>;
constexpr int kError = static_cast<int>(EntryType::Error);
constexpr int kInformation = static_cast<int>(EntryType::Information);

TEST_F(SignUnsignedHash, ChecksTheDecodedLengthBeforeSigning)
{
    const struct {
        const char* algorithm;
        std::string unsignedHash;
        SigningResult result;
        std::optional<std::size_t> signedLength;  // nullopt: SignHash must not be called
        const char* entry;                        // the error entry written, if any
    } cases[] = {
        {kSha1, Base64Of(20), SigningResult::Success, 20, nullptr},
        {kSha256, Base64Of(32), SigningResult::Success, 32, nullptr},
        {kSha384, Base64Of(48), SigningResult::Success, 48, nullptr},
        {kSha512, Base64Of(64), SigningResult::Success, 64, nullptr},  // spans two Base64 lines
        {kSha256, Base64Of(31), SigningResult::Failed, std::nullopt, "unsigned hash length expected 32, but was 31"},
        {kSha384, Base64Of(64), SigningResult::Failed, std::nullopt, "unsigned hash length expected 48, but was 64"},
        {kSha1, "not Base64 at all!", SigningResult::Failed, std::nullopt,
         "unsigned hash length expected 20, but was 0 (the text is not standard padded Base64)"},
        {kSha512, "not Base64 at all!", SigningResult::Failed, std::nullopt,
         "unsigned hash length expected 64, but was 0 (the text is not standard padded Base64)"},
        {kSha256, "\xff\xfe", SigningResult::Failed, std::nullopt,  // not even UTF-8
         "unsigned hash length expected 32, but was 0 (the text is not standard padded Base64)"},
        // No algorithm: whatever decodes is signed as it is.
        {"", Base64Of(5), SigningResult::Success, 5, nullptr},
        {"", "not Base64 at all!", SigningResult::Success, 0, nullptr},
        // Unknown algorithms, however close, fail without an entry.
        {"2.16.840.1.101.3.4.2.4", Base64Of(28), SigningResult::Failed, std::nullopt, nullptr},  // SHA-224
        {"2.16.840.1.101.3.4.2.1 ", Base64Of(32), SigningResult::Failed, std::nullopt, nullptr},
        {"SHA-256", Base64Of(32), SigningResult::Failed, std::nullopt, nullptr},
    };
    std::vector<Entry> expectedEntries;
    for (const auto& c : cases) {
        if (c.entry) expectedEntries.emplace_back(kError, c.entry);
        RecordingProvider provider;
        std::string signedHash;
        EXPECT_EQ(provider.SignUnsignedHash(c.algorithm, c.unsignedHash, signedHash), c.result)
            << "'" << c.algorithm << "' " << c.unsignedHash;
        EXPECT_EQ(provider.signedBytes ? std::optional(provider.signedBytes->size()) : std::nullopt, c.signedLength)
            << "'" << c.algorithm << "' " << c.unsignedHash;
        EXPECT_EQ(signedHash, c.result == SigningResult::Success ? "signature" : "");
    }
    EXPECT_EQ(Entries(), expectedEntries);
}

TEST_F(SignUnsignedHash, PassesTheDecodedBytesAndAnyResultOnUnchanged)
{
    RecordingProvider provider;
    provider.answer = static_cast<SigningResult>(7);
    std::string signedHash = "untouched";
    const Bytes digest(32, 0xA5);
    EXPECT_EQ(provider.SignUnsignedHash(kSha256, Base64Encode(digest, Base64Format::Base64), signedHash),
              static_cast<SigningResult>(7));
    EXPECT_EQ(provider.signedBytes, digest);
    EXPECT_EQ(signedHash, "untouched");
}

// The entry the composite writes after SignHash and SignHashes.
TEST_F(SignUnsignedHash, ResultEntriesNameTheOperation)
{
    WriteSigningResultEntry("SignHashes", SigningResult::Unsupported);
    WriteSigningResultEntry("SignHash", SigningResult::PinIncorrect);
    WriteSigningResultEntry("SignHash", static_cast<SigningResult>(7));
    EXPECT_EQ(Entries(), (std::vector<Entry>{{kInformation, "SignHashes unsupported"},
                                             {kError, "SignHash failed (PIN incorrect)"},
                                             {kError, "SignHash finished with unknown result"}}));
}

}  // namespace
}  // namespace nerolin
