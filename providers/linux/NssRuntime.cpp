#include "providers/linux/NssRuntime.h"

#include <filesystem>
#include <mutex>
#include <optional>
#include <system_error>

#include <nss.h>
#include <pk11pub.h>
#include <secerr.h>

#include "eventlog/EventLog.h"
#include "platform/Settings.h"
#include "platform/XdgDirectories.h"
#include "providers/linux/NssErrors.h"
#include "providers/linux/NssOwners.h"
#include "providers/linux/NssPinCallback.h"

namespace nerolin {
namespace {

// Shuts the context down when the process exits. Objects still referenced
// then (there should be none) only make the shutdown report busy. It must be
// made after every module has been loaded: a module's own static objects
// (SoftHSM has them) are destroyed at exit in the reverse order of their
// making, and the shutdown still calls into the module.
class NssContextOwner {
public:
    NssContextOwner(NSSInitContext* context, SECMODModule* proxy) : context_(context), proxy_(proxy) {}
    ~NssContextOwner()
    {
        UnloadP11KitProxy(proxy_);
        if (context_) NSS_ShutdownContext(context_);
    }
    NssContextOwner(const NssContextOwner&) = delete;
    NssContextOwner& operator=(const NssContextOwner&) = delete;

private:
    NSSInitContext* context_;
    SECMODModule* proxy_;
};

// The folder of a database name as NSS takes it: "sql:DIR", "dbm:DIR" or plain DIR.
std::string DatabaseFolder(const std::string& database)
{
    for (const char* prefix : {"sql:", "dbm:", "extern:", "rdb:"}) {
        const std::string p(prefix);
        if (database.compare(0, p.size(), p) == 0) return database.substr(p.size());
    }
    return database;
}

void CreateFolder(const std::string& folder)
{
    std::error_code error;
    if (folder.empty() || std::filesystem::exists(folder, error)) return;
    std::filesystem::create_directories(folder, error);
    // The key database holds private keys: only the user may look inside.
    std::filesystem::permissions(folder, std::filesystem::perms::owner_all, std::filesystem::perm_options::replace,
                                 error);
}

// A new database has a software token without a PIN; give it the empty
// password, as browsers do, so that keys can be imported and used.
void InitializeNewSoftwareToken()
{
    SlotPtr slot(PK11_GetInternalKeySlot());
    if (slot && PK11_NeedUserInit(slot.get()) && PK11_InitPin(slot.get(), nullptr, "") != SECSuccess)
        ReportNssError("PK11_InitPin", true);
}

std::mutex gMutex;
std::optional<bool> gOpened;
std::vector<UnloadedModule> gUnloaded;  // written once, under gMutex, before gOpened is set

bool Open(const std::string& database)
{
    CreateFolder(DatabaseFolder(database));
    NSSInitContext* context = NSS_InitContext(database.c_str(), "", "", SECMOD_DB, nullptr, 0);
    bool readOnly = false;
    if (!context && PORT_GetError() == SEC_ERROR_READ_ONLY) {
        // A database the user may read but not write (a read-only home, a
        // shared or locked-down profile) still holds the certificates, and
        // signing with a key needs no write.
        context = NSS_InitContext(database.c_str(), "", "", SECMOD_DB, nullptr, NSS_INIT_READONLY);
        readOnly = context != nullptr;
        if (readOnly) WriteEventEntry(EntryType::Warning, "Certificate database " + database + " is opened read-only");
    }
    if (!context) {
        ReportNssError("NSS_InitContext");
        return false;
    }
    InstallPinCallback();
    if (!readOnly) InitializeNewSoftwareToken();
    static NssContextOwner owner(context, LoadP11KitProxy());
    gUnloaded = FindUnloadedModules();
    for (const UnloadedModule& module : gUnloaded)
        WriteEventEntry(EntryType::Error,
                        "PKCS#11 module \"" + module.name + "\" (" + module.library +
                            ") is registered in the certificate database but was not loaded: " + module.reason);
    return true;
}

}  // namespace

std::string CertificateDatabase()
{
    if (auto stored = ReadCertificateDatabase(); stored && !stored->empty()) return *stored;
    return "sql:" + HomeDirectory() + "/.pki/nssdb";
}

bool InitializeNss(const std::string& database)
{
    std::lock_guard lock(gMutex);
    if (!gOpened) gOpened = Open(database);
    return *gOpened;
}

bool DatabaseExists(const std::string& database)
{
    const std::filesystem::path folder = DatabaseFolder(database);
    std::error_code error;
    for (const char* file : {"cert9.db", "key4.db", "cert8.db", "key3.db"})
        if (std::filesystem::exists(folder / file, error)) return true;
    return false;
}

std::vector<UnloadedModule> UnloadedModules()
{
    std::lock_guard lock(gMutex);
    return gUnloaded;
}

bool InitializeNss()
{
    {
        std::lock_guard lock(gMutex);
        if (gOpened) return *gOpened;
    }
    return InitializeNss(CertificateDatabase());
}

}  // namespace nerolin
