// Check 5 on Windows: the certificates with a private key in the current
// user's "MY" store, where the program finds its signing certificates, and
// with --filters which of them the filter lets through.
#include <windows.h>

#include <wincrypt.h>

#include <optional>
#include <stdexcept>
#include <vector>

#include <openssl/x509.h>

#include "common/CertificateText.h"
#include "common/OpenSslOwners.h"
#include "common/StringIds.h"
#include "common/StringTable.h"
#include "platform/Settings.h"
#include "platform/windows/WideText.h"
#include "tools/nerolin-tool/doctor/CertificateRow.h"
#include "tools/nerolin-tool/doctor/Checks.h"

namespace nerolin::tool::doctor {
namespace {

// The provider (CryptoAPI) or key storage provider (CNG) of the
// certificate's key; nullopt when the certificate has no key.
std::optional<std::string> KeyProvider(PCCERT_CONTEXT certificate)
{
    DWORD size = 0;
    if (!CertGetCertificateContextProperty(certificate, CERT_KEY_PROV_INFO_PROP_ID, nullptr, &size))
        return std::nullopt;
    std::vector<BYTE> buffer(size);
    if (!CertGetCertificateContextProperty(certificate, CERT_KEY_PROV_INFO_PROP_ID, buffer.data(), &size))
        return std::nullopt;
    const auto* info = reinterpret_cast<const CRYPT_KEY_PROV_INFO*>(buffer.data());
    if (info->pwszProvName == nullptr) return std::string("?");
    try {
        return Utf8Text(info->pwszProvName);
    } catch (const std::range_error&) {
        return std::string("?");
    }
}

}  // namespace

CheckResult CheckTokens(const DoctorOptions& options)
{
    CheckResult check{"tokens", strings::kDoctorCheckTokens};
    check.Add("store", "CurrentUser\\MY");
    HCERTSTORE store =
        CertOpenStore(CERT_STORE_PROV_SYSTEM_W, 0, 0, CERT_SYSTEM_STORE_CURRENT_USER | CERT_STORE_READONLY_FLAG, L"MY");
    int listed = 0, passing = 0;
    if (store != nullptr) {
        const bool checkValidity = ReadUserSetting(setting::kCheckCertificateValidity, 1) != 0;
        PCCERT_CONTEXT certificate = nullptr;
        while ((certificate = CertEnumCertificatesInStore(store, certificate)) != nullptr) {
            const auto provider = KeyProvider(certificate);
            if (!provider) continue;  // nothing to sign with
            const Bytes der(certificate->pbCertEncoded, certificate->pbCertEncoded + certificate->cbCertEncoded);
            const unsigned char* cursor = der.data();
            const X509Ptr x509(d2i_X509(nullptr, &cursor, static_cast<long>(der.size())));
            const std::string value =
                (x509 ? CertNameString(x509.get(), CertNameType::Rdn, 0) : std::string("?")) + " (" + *provider + ")";
            AddCertificateRow(check, value, der, options, checkValidity, passing);
            ++listed;
        }
        CertCloseStore(store, 0);
    }
    if (listed == 0) {
        check.Raise(Verdict::Error);
        check.summary = LoadString(strings::kDoctorTokensNone);
    } else if (options.hasFilter && passing == 0) {
        check.Raise(Verdict::Error);
        check.summary = LoadString(strings::kDoctorTokensNonePasses);
    } else {
        check.summary = FormatText(LoadString(strings::kDoctorTokensOk).c_str(), listed);
    }
    return check;
}

}  // namespace nerolin::tool::doctor
