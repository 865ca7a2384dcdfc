// Check 5: the NSS database in use and its modules, every token with the
// state of its PIN, and the certificates Nerolin would offer, with the key's
// token; with a filter, which pass and the first criterion of those that
// fail. Everything is read as the certificate list is: without a login.
#include <nss.h>
#include <pk11pub.h>
#include <secmod.h>

#include "common/CertificateText.h"
#include "common/OpenSslOwners.h"
#include "common/StringIds.h"
#include "common/StringTable.h"
#include "eventlog/EventCapture.h"
#include "platform/Settings.h"
#include "providers/linux/NssCertificates.h"
#include "providers/linux/NssModules.h"
#include "providers/linux/NssRuntime.h"
#include "providers/linux/NssTokens.h"
#include "providers/linux/P11KitModuleList.h"
#include "tools/nerolin-tool/doctor/CertificateRow.h"
#include "tools/nerolin-tool/doctor/Checks.h"

namespace nerolin::tool::doctor {
namespace {

void AddModules(CheckResult& check)
{
    SECMODListLock* lock = SECMOD_GetDefaultModuleListLock();
    SECMOD_GetReadLock(lock);
    for (SECMODModuleList* entry = SECMOD_GetDefaultModuleList(); entry; entry = entry->next) {
        const SECMODModule* module = entry->module;
        std::string value = module->commonName ? module->commonName : "?";
        if (module->dllName) value += std::string(" (") + module->dllName + ")";
        check.Add("module", value);
    }
    SECMOD_ReleaseReadLock(lock);
    for (const P11KitModule& module : P11KitModules())
        check.Add("module", "p11-kit: " + module.name + " (" + module.library + ")");
    for (const UnloadedModule& module : UnloadedModules())
        check.Add("module", module.name + " (" + module.library + ")", Verdict::Warning,
                  FormatText(LoadString(strings::kDoctorNoteNotLoaded).c_str(), module.reason.c_str()));
}

// The PIN's state in the token's flags, worst first: a locked PIN leaves
// nothing to sign with on that token.
void AddToken(CheckResult& check, PK11SlotInfo* slot, bool& locked, bool& fewTries)
{
    const std::string value = std::string(PK11_GetTokenName(slot)) + " (" + ModuleName(slot) + ")";
    CK_TOKEN_INFO info{};
    if (PK11_GetTokenInfo(slot, &info) != SECSuccess) {
        check.Add("token", value);
        return;
    }
    if (info.flags & CKF_USER_PIN_LOCKED) {
        locked = true;
        check.Add("token", value, Verdict::Error, LoadString(strings::kDoctorNoteLocked));
    } else if (info.flags & CKF_USER_PIN_FINAL_TRY) {
        fewTries = true;
        check.Add("token", value, Verdict::Warning, LoadString(strings::kDoctorNoteLastTry));
    } else if (info.flags & CKF_USER_PIN_COUNT_LOW) {
        fewTries = true;
        check.Add("token", value, Verdict::Warning, LoadString(strings::kDoctorNoteFewTries));
    } else {
        check.Add("token", value, std::nullopt,
                  info.flags & CKF_LOGIN_REQUIRED ? LoadString(strings::kDoctorNoteLoginRequired) : std::string());
    }
}

}  // namespace

CheckResult CheckTokens(const DoctorOptions& options)
{
    CheckResult check{"tokens", strings::kDoctorCheckTokens};
    const std::string database = CertificateDatabase();
    check.Add("database", database);
    // The program would create a missing database; the doctor changes nothing.
    if (!DatabaseExists(database)) {
        check.Raise(Verdict::Warning);
        check.summary = LoadString(strings::kDoctorDatabaseMissing);
        return check;
    }
    EventCapture capture;  // NSS's start logs the modules it could not load: they are listed below
    if (!InitializeNss(database)) {
        check.Raise(Verdict::Error);
        check.summary = LoadString(strings::kDoctorDatabaseUnusable);
        return check;
    }
    AddModules(check);
    const bool moduleMissing = check.verdict == Verdict::Warning;

    bool locked = false, fewTries = false;
    for (const SlotPtr& slot : TokenSlots()) AddToken(check, slot.get(), locked, fewTries);

    const bool checkValidity = ReadUserSetting(setting::kCheckCertificateValidity, 1) != 0;
    const auto certificates = ListUserCertificates();
    int passing = 0;
    for (const auto& certificate : certificates) {
        const Bytes der = CertificateDer(certificate.get());
        const unsigned char* cursor = der.data();
        const X509Ptr x509(d2i_X509(nullptr, &cursor, static_cast<long>(der.size())));
        std::string tokens;
        for (const auto& slot : SlotsForCertificate(certificate.get()))
            tokens += (tokens.empty() ? "" : ", ") + std::string(PK11_GetTokenName(slot.get()));
        const std::string value =
            (x509 ? CertNameString(x509.get(), CertNameType::Rdn, 0) : std::string("?")) + " (" + tokens + ")";
        AddCertificateRow(check, value, der, options, checkValidity, passing);
    }
    capture.Take();

    if (certificates.empty()) {
        check.Raise(Verdict::Error);
        check.summary = LoadString(strings::kDoctorTokensNone);
    } else if (options.hasFilter && passing == 0) {
        check.Raise(Verdict::Error);
        check.summary = LoadString(strings::kDoctorTokensNonePasses);
    } else if (locked) {
        check.summary = LoadString(strings::kDoctorTokenLocked);
    } else if (fewTries) {
        check.summary = LoadString(strings::kDoctorTokenFewTries);
    } else if (moduleMissing) {
        check.summary = LoadString(strings::kDoctorModuleNotLoaded);
    } else {
        check.summary = FormatText(LoadString(strings::kDoctorTokensOk).c_str(), static_cast<int>(certificates.size()));
    }
    return check;
}

}  // namespace nerolin::tool::doctor
