#pragma once

// What the NSS tests share: one database per test process (NSS opens one),
// scripted prompts that remember the certificates offered, the event entries
// written during a test, and OpenSSL's verdict on a signature.

#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <pk11pub.h>

#include "common/Text.h"
#include "eventlog/EventLog.h"
#include "providers/SigningProvider.h"
#include "tests/support/NssDatabase.h"
#include "tests/support/ScriptedPrompts.h"
#include "tests/support/SignatureCheck.h"

namespace nerolin::test {

inline constexpr char kSha256[] = "2.16.840.1.101.3.4.2.1";
inline constexpr char kSoftwareTokenName[] = "NSS Certificate DB";

class RecordingPrompts : public ScriptedPrompts {
public:
    std::optional<std::size_t> ChooseCertificate(const std::vector<Bytes>& certificates, bool anyFound) override
    {
        offered = certificates;
        foundBeforeFilter = anyFound;
        ++asked;
        return ScriptedPrompts::ChooseCertificate(certificates, anyFound);
    }
    std::vector<Bytes> offered;
    bool foundBeforeFilter = false;
    int asked = 0;
};

// Makes the database, points HOME, XDG_* and the event store at a temporary
// folder, gives the process a p11-kit configuration of its own
// (P11KitConfig.h: the machine's modules left out, the token added when the
// database does not register it), installs the prompts and opens NSS. Register it from the test
// file: ::testing::AddGlobalTestEnvironment(new NssTestEnvironment(options)).
class NssTestEnvironment : public ::testing::Environment {
public:
    explicit NssTestEnvironment(NssDatabaseOptions options) : options_(std::move(options)) {}
    void SetUp() override;
    void TearDown() override;

    static NssDatabase& Database();
    static RecordingPrompts& Prompts();
    static std::string EventStorePath();
    // Why the p11-kit configuration is the machine's; empty when it is the test's own.
    static const std::string& P11KitConfigError();

private:
    NssDatabaseOptions options_;
};

struct Entry {
    EntryType type;
    std::string text;
};

// The event entries written since the last call of StartEntries, oldest first.
void StartEntries();
std::vector<Entry> NewEntries();
// Every entry of the test process, the environment's set-up included.
std::vector<Entry> AllEntries();
std::vector<std::string> NewEntryTexts();
bool HasEntry(const std::vector<Entry>& entries, EntryType type, const std::string& text);
// Whether an error entry starts with "<call> error: <code> (".
bool HasErrorEntry(const std::vector<Entry>& entries, const std::string& call, int code);

// Logs every token out, so the next key use asks for its PIN.
void LogoutAllTokens();

// Wrong PINs that reached the locking module in this process (9999 when it
// is not loaded).
unsigned long WrongPinsAtToken();

// The PIN questions recorded since the prompts were last cleared.
std::vector<RecordedPrompt> PinQuestions();

std::string CertificateText(const std::string& identity);  // Base64 with header lines
Bytes CertificateDerOf(const std::string& identity);

// A digest-sized pseudo-random hash, different for every seed.
Bytes SampleHash(std::size_t length, unsigned seed);

// Private keys that are session objects of the slot's token (not stored).
int SessionPrivateKeys(PK11SlotInfo* slot);

// Signs one SHA-256 hash (made from seed) with a provider that has begun
// signing; a signature it gives is checked against the identity's
// certificate.
SigningResult SignOneHash(SigningProvider& provider, const std::string& identity, unsigned seed);

// nerolin-tool certs run over the test database, as a support person runs it,
// with environment words ("NAME=value") added; its exit status (-1 when it
// did not exit) and what it printed on both streams.
struct ToolRun {
    int status = -1;
    std::string output;
};
ToolRun RunCerts(const std::string& arguments, const std::vector<std::string>& environment = {});

}  // namespace nerolin::test
