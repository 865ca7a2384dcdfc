#include "tests/support/NssDatabase.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>

namespace nerolin::test {
namespace {

std::string Joined(const std::vector<std::string>& names)
{
    std::string text;
    for (const auto& name : names) text += (text.empty() ? "" : " ") + name;
    return text;
}

// Single quotes for the shell; the values here are paths, names and PINs.
std::string Quoted(const std::string& text)
{
    std::string quoted = "'";
    for (char c : text) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}

}  // namespace

std::string LockingModuleLibrary() { return NEROLIN_BINARY_DIR "/lib/libnerolin-pkcs11-locking.so"; }

NssDatabase::NssDatabase(const NssDatabaseOptions& options)
    : lockingLimit_(options.lockingLimit),
      pinPad_(options.pinPad)
{
    const char* tmp = std::getenv("TMPDIR");
    std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/nerolin-nssdb-XXXXXX";
    if (!mkdtemp(pattern.data())) {
        error_ = "mkdtemp failed";
        return;
    }
    folder_ = pattern;

    std::string arguments = "--token-certs " + Quoted(Joined(options.hardwareTokenIdentities)) + " --nss-certs " +
                            Quoted(Joined(options.softwareTokenIdentities));
    if (!options.secondTokenIdentities.empty())
        arguments += " --second-token-certs " + Quoted(Joined(options.secondTokenIdentities));
    if (!options.alwaysAuthenticate.empty())
        arguments += " --always-auth " + Quoted(Joined(options.alwaysAuthenticate));
    if (!options.otherKeyId.empty()) arguments += " --other-key-id " + Quoted(Joined(options.otherKeyId));
    if (!options.tokenCaCertificates.empty()) arguments += " --token-ca " + Quoted(Joined(options.tokenCaCertificates));
    if (!options.password.empty()) arguments += " --nss-password " + Quoted(options.password);
    if (!options.hardwareToken) arguments += " --no-softhsm";
    auto token = MakeTestToken(folder_, arguments);
    if (!token) {
        error_ = "scripts/make-test-token failed";
        return;
    }
    token_ = *token;
    if (!options.hardwareToken) return;

    moduleName_ = options.lockingModule ? kLockingModuleName : kSoftHsmModuleName;
    moduleLibrary_ = options.lockingModule ? LockingModuleLibrary() : token_.module;
    using Registration = NssDatabaseOptions::Registration;
    // make-test-token registered SoftHSM as modutil does by default.
    const bool reregister = options.registration != Registration::ModutilDefault || options.lockingModule;
    std::string environment;
    for (const auto& word : Environment()) environment += Quoted(word) + " ";
    const std::string database = Quoted(token_.nssDb);
    const std::string log = Quoted(folder_ + "/modutil.log");
    std::string commands = "true";
    if (reregister)
        commands = "env " + environment + "modutil -force -delete " + Quoted(kSoftHsmModuleName) + " -dbdir " +
                   database + " >" + log + " 2>&1 </dev/null";
    if (reregister && options.registration != Registration::P11KitOnly) {
        // As a browser registers a card's module (certificates anyone may
        // read), or as modutil does without being told.
        const std::string flags = options.registration == Registration::Friendly ? " -mechanisms FRIENDLY" : "";
        commands += " && env " + environment + "modutil -force -add " + Quoted(moduleName_) + " -libfile " +
                    Quoted(moduleLibrary_) + flags + " -dbdir " + database + " >>" + log + " 2>&1 </dev/null";
    }
    if (std::system(commands.c_str()) != 0) {
        error_ = "modutil failed, see " + folder_ + "/modutil.log";
        return;
    }
    if (!options.missingModuleLibrary.empty()) {
        // modutil refuses a library it cannot load; a database that outlived
        // an uninstalled driver looks like this.
        std::ofstream registry(folder_ + "/nssdb/pkcs11.txt", std::ios::app);
        registry << "library=" << options.missingModuleLibrary << "\nname=" << kMissingModuleName << "\n\n";
        if (!registry) error_ = "cannot append to pkcs11.txt";
    }
}

NssDatabase::~NssDatabase()
{
    std::error_code ignored;
    if (!folder_.empty()) std::filesystem::remove_all(folder_, ignored);
}

std::vector<std::string> NssDatabase::Environment() const
{
    std::vector<std::string> words = {"SOFTHSM2_CONF=" + token_.softhsmConf, "NEROLIN_LOCKING_TARGET=" + token_.module,
                                      "NEROLIN_LOCKING_LIMIT=" + std::to_string(lockingLimit_)};
    if (!pinPad_.empty()) words.push_back("NEROLIN_LOCKING_PIN_PAD=" + pinPad_);
    return words;
}

void NssDatabase::ExportEnvironment() const
{
    for (const std::string& word : Environment()) {
        const auto equals = word.find('=');
        setenv(word.substr(0, equals).c_str(), word.substr(equals + 1).c_str(), 1);
    }
}

}  // namespace nerolin::test
