#pragma once

// A real NSS database in a fresh temporary folder, made from the development
// PKI: signing identities imported into its software token (optionally
// protected by a password) and a SoftHSM token registered as a PKCS#11
// module, directly or through the PIN-locking test module. The folder is
// removed with the object.
//
// NSS opens one database per process: a test binary makes its database once
// (a global environment, say), calls ExportEnvironment() and then
// InitializeNss(spec()).

#include <string>
#include <vector>

#include "tests/support/TestPki.h"

namespace nerolin::test {

struct NssDatabaseOptions {
    std::vector<std::string> softwareTokenIdentities;  // names in testdata/pki/signing
    std::vector<std::string> hardwareTokenIdentities;  // on the SoftHSM token
    std::vector<std::string> secondTokenIdentities;    // on a second token of the module, "Nerolin Second Token"
    std::vector<std::string> alwaysAuthenticate;       // token identities whose key asks its own PIN at every use
    std::vector<std::string> otherKeyId;               // token identities whose key has a CKA_ID of its own
    std::vector<std::string> tokenCaCertificates;      // CA certificates on the token, without a key
    std::string password;                              // of the software token; empty: none
    bool hardwareToken = true;                         // make the SoftHSM token(s)
    // Where the tokens are registered: in the database (FRIENDLY, as a
    // browser's device manager registers a card, or as modutil does by
    // default), or only with p11-kit, in a module file of the test home's
    // configuration (NssTestEnvironment writes it).
    enum class Registration { Friendly, ModutilDefault, P11KitOnly };
    Registration registration = Registration::Friendly;
    bool lockingModule = false;  // register the token through the locking module
    unsigned lockingLimit = 3;   // wrong PINs in a row before it locks
    std::string pinPad;          // the locking module's tokens sit behind a PIN pad that "types" this PIN
    // A module the database registers whose library is not there.
    std::string missingModuleLibrary;
};

class NssDatabase {
public:
    static constexpr const char* kTokenPin = TestToken::kPin;
    static constexpr const char* kTokenLabel = TestToken::kLabel;
    static constexpr const char* kSoftHsmModuleName = "SoftHSM";
    static constexpr const char* kLockingModuleName = "Nerolin Locking Test Module";
    static constexpr const char* kSecondTokenLabel = "Nerolin Second Token";
    static constexpr const char* kSecondTokenPin = "4321";
    static constexpr const char* kMissingModuleName = "Missing Card Module";

    explicit NssDatabase(const NssDatabaseOptions& options);
    ~NssDatabase();
    NssDatabase(const NssDatabase&) = delete;
    NssDatabase& operator=(const NssDatabase&) = delete;

    // Whether the database was made; error() says what failed otherwise.
    bool ok() const { return error_.empty(); }
    const std::string& error() const { return error_; }

    const std::string& spec() const { return token_.nssDb; }  // "sql:DIR"
    const std::string& folder() const { return folder_; }
    const std::string& softhsmConf() const { return token_.softhsmConf; }
    // The registered module's library (SoftHSM's or the locking module's).
    const std::string& moduleLibrary() const { return moduleLibrary_; }
    const std::string& moduleName() const { return moduleName_; }

    // What every process opening the database needs in its environment:
    // SoftHSM's configuration, and the locking module's target, limit and PIN pad.
    void ExportEnvironment() const;
    // The same as "NAME=value" words, for a child process.
    std::vector<std::string> Environment() const;

private:
    std::string folder_;
    std::string error_;
    TestToken token_;
    std::string moduleLibrary_;
    std::string moduleName_;
    unsigned lockingLimit_ = 3;
    std::string pinPad_;
};

// The locking module's library in the build tree.
std::string LockingModuleLibrary();

}  // namespace nerolin::test
