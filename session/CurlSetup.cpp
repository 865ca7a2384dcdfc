#include "session/CurlSetup.h"

#include <cstring>
#include <optional>

#include "BuildConfig.h"
#include "common/SecretString.h"
#include "platform/Settings.h"
#include "platform/SystemTrust.h"
#include "session/ProxyList.h"
#include "session/ServerTrust.h"

namespace nerolin {
namespace {

// The stored proxy URL when there is one; otherwise libcurl's proxy
// environment variables apply. The stored credentials count whether or not a
// URL is stored, since a proxy from the environment may ask for them too.
void ApplyStoredProxy(CURL* handle)
{
    std::string proxyUrl;
    const bool machineWide = ReadProxyUrl(proxyUrl);
    // An empty proxy text keeps libcurl from the environment's proxy too.
    if (const std::optional<std::string> proxy = HttpsProxyFromSetting(proxyUrl)) {
        curl_easy_setopt(handle, CURLOPT_PROXY, proxy->c_str());
    }
    std::string userName;
    SecretString password;
    ReadProxyCredentials(machineWide, userName, password);
    if (!userName.empty()) {
        curl_easy_setopt(handle, CURLOPT_PROXYUSERNAME, userName.c_str());
        // libcurl keeps a copy of its own; this one is wiped when it goes.
        if (!password.empty()) {
            curl_easy_setopt(handle, CURLOPT_PROXYPASSWORD, password.data());
        }
    }
}

}  // namespace

const std::string& UserAgent()
{
    static const std::string agent = std::string("Nerolin ") + build::kFileVersion;
    return agent;
}

CurlEasyPtr OpenTransferHandle(const std::string& url, const ExchangeLimits& limits)
{
    // Once per process, before any handle: several threads may transfer at once.
    static const bool initialised = curl_global_init(CURL_GLOBAL_DEFAULT) == CURLE_OK;
    CurlEasyPtr easy(initialised ? curl_easy_init() : nullptr);
    if (!easy) {
        return easy;
    }
    CURL* handle = easy.get();
    curl_easy_setopt(handle, CURLOPT_URL, url.c_str());
    curl_easy_setopt(handle, CURLOPT_PROTOCOLS_STR, "https");
    curl_easy_setopt(handle, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(handle, CURLOPT_USERAGENT, UserAgent().c_str());
    curl_easy_setopt(handle, CURLOPT_CONNECTTIMEOUT_MS, static_cast<long>(limits.connectTimeout.count()));
    curl_easy_setopt(handle, CURLOPT_LOW_SPEED_LIMIT, limits.lowSpeedLimit);
    curl_easy_setopt(handle, CURLOPT_LOW_SPEED_TIME, static_cast<long>(limits.lowSpeedTime.count()));
    ApplyStoredProxy(handle);
    return easy;
}

void ApplySystemTrust(CURL* handle)
{
    const SystemTrustSource source = SystemTrust();
    if (source.nativeStore) {
        curl_easy_setopt(handle, CURLOPT_SSL_OPTIONS, static_cast<long>(CURLSSLOPT_NATIVE_CA));
        return;
    }
    if (!source.bundleFile.empty()) {
        curl_easy_setopt(handle, CURLOPT_CAINFO, source.bundleFile.c_str());
    }
    if (!source.certificateFolder.empty()) {
        curl_easy_setopt(handle, CURLOPT_CAPATH, source.certificateFolder.c_str());
    }
}

// Without clearing CAINFO and CAPATH libcurl would load the system bundle as well.
void ApplyBuiltInTrust(CURL* handle)
{
    curl_blob roots{};
    roots.data = const_cast<char*>(BuiltInRootsPem());
    roots.len = std::strlen(BuiltInRootsPem());
    roots.flags = CURL_BLOB_COPY;
    curl_easy_setopt(handle, CURLOPT_CAINFO_BLOB, &roots);
    curl_easy_setopt(handle, CURLOPT_CAINFO, nullptr);
    curl_easy_setopt(handle, CURLOPT_CAPATH, nullptr);
}

}  // namespace nerolin
