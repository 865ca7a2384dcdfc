#include "tests/support/NssDatabase.h"

#include <cstdlib>
#include <filesystem>

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

NssDatabase::NssDatabase(const NssDatabaseOptions& options) : lockingLimit_(options.lockingLimit)
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
    if (!options.password.empty()) arguments += " --nss-password " + Quoted(options.password);
    if (!options.hardwareToken) arguments += " --no-softhsm";
    auto token = MakeTestToken(folder_, arguments);
    if (!token) {
        error_ = "scripts/make-test-token failed";
        return;
    }
    token_ = *token;
    if (!options.hardwareToken) return;

    // Register the token again, now as a module whose certificates anyone
    // may read (as a browser registers a card's module): listing
    // certificates then asks for no PIN, and PIN prompts come from signing.
    moduleName_ = options.lockingModule ? kLockingModuleName : kSoftHsmModuleName;
    moduleLibrary_ = options.lockingModule ? LockingModuleLibrary() : token_.module;
    std::string environment;
    for (const auto& word : Environment()) environment += Quoted(word) + " ";
    const std::string database = Quoted(token_.nssDb);
    const std::string log = Quoted(folder_ + "/modutil.log");
    const std::string commands = "env " + environment + "modutil -force -delete " + Quoted(kSoftHsmModuleName) +
                                 " -dbdir " + database + " >" + log + " 2>&1 </dev/null && env " + environment +
                                 "modutil -force -add " + Quoted(moduleName_) + " -libfile " + Quoted(moduleLibrary_) +
                                 " -mechanisms FRIENDLY -dbdir " + database + " >>" + log + " 2>&1 </dev/null";
    if (std::system(commands.c_str()) != 0) error_ = "modutil failed, see " + folder_ + "/modutil.log";
}

NssDatabase::~NssDatabase()
{
    std::error_code ignored;
    if (!folder_.empty()) std::filesystem::remove_all(folder_, ignored);
}

std::vector<std::string> NssDatabase::Environment() const
{
    return {"SOFTHSM2_CONF=" + token_.softhsmConf, "NEROLIN_LOCKING_TARGET=" + token_.module,
            "NEROLIN_LOCKING_LIMIT=" + std::to_string(lockingLimit_)};
}

void NssDatabase::ExportEnvironment() const
{
    setenv("SOFTHSM2_CONF", token_.softhsmConf.c_str(), 1);
    setenv("NEROLIN_LOCKING_TARGET", token_.module.c_str(), 1);
    setenv("NEROLIN_LOCKING_LIMIT", std::to_string(lockingLimit_).c_str(), 1);
}

}  // namespace nerolin::test
