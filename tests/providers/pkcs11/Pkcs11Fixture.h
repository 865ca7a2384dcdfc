#pragma once

// What the PKCS#11 and key-storage tests share: a temporary folder, the
// event entries written during one test, scripted prompts, a SoftHSM token
// from the development PKI, and signature checks with OpenSSL.

#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "common/Text.h"
#include "eventlog/EventLog.h"
#include "tests/support/Portable.h"
#include "tests/support/ScriptedPrompts.h"
#include "tests/support/TestPki.h"

namespace nerolin::test {

class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::string& path() const { return path_; }

private:
    std::string path_;
};

void SetEventStorePath(const std::string& path);
const std::string& EventStorePath();

struct Entry {
    EntryType type;
    std::string text;
    bool operator==(const Entry&) const = default;
};
std::ostream& operator<<(std::ostream& out, const Entry& entry);

// The entries written since construction, oldest first.
class EventCapture {
public:
    EventCapture();
    std::vector<Entry> Entries() const;
    std::vector<std::string> Texts() const;
    bool Has(EntryType type, const std::string& text) const;

private:
    std::size_t start_;
};

// Lines of a file, e.g. the call trace of the forwarding module.
std::vector<std::string> ReadLines(const std::string& path);

class Pkcs11Test : public testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // A token made by make-test-token with options; SOFTHSM2_CONF points at it.
    TestToken MakeToken(const std::string& options = {});
    // Runs a shell command with SOFTHSM2_CONF set; true when it exits with 0.
    bool Run(const std::string& command);
    // The certificate's Base64 with header lines, as the composite passes it.
    static std::string CertificateText(const std::string& name);
    // A trace file for the forwarding module, set in NEROLIN_SHIM_TRACE.
    std::string StartTrace();

    TempDir dir_;
    std::shared_ptr<ScriptedPrompts> prompts_;
    std::unique_ptr<EventCapture> events_;
    std::vector<std::unique_ptr<ScopedEnvironment>> env_;
};

// Verifies a Base64 signature of hash by the certificate's key: RSA PKCS#1
// v1.5 with the DigestInfo of digest (none when digest is null), or ECDSA
// given as r then s.
bool VerifySignature(const std::string& certificateName, const EVP_MD* digest, const Bytes& hash,
                     const std::string& signatureBase64);

// C_Finalize on SoftHSM, for a test that left it initialized on purpose.
void FinalizeSoftHsm();

// Bytes 0, 1, 2, ... of the given length: a hash to sign.
Bytes TestHash(std::size_t length, std::uint8_t seed = 1);

}  // namespace nerolin::test
