// Check 4: the whitelist download exactly as a signing run makes it
// (through the configured proxy, trusting the built-in roots only), with
// the entries it would have logged; with a service URL, whether its host is
// on the whitelist and whether the system trusts its TLS chain.
#include <curl/curl.h>

#include <chrono>

#include "common/StringIds.h"
#include "common/StringTable.h"
#include "eventlog/EventCapture.h"
#include "platform/Settings.h"
#include "session/CurlSetup.h"
#include "session/ExchangeLimits.h"
#include "session/ServiceUrl.h"
#include "session/SigningSession.h"
#include "session/TransportFailure.h"
#include "session/Whitelist.h"
#include "tools/nerolin-tool/doctor/Checks.h"

namespace nerolin::tool::doctor {
namespace {

// The whitelist request names the service host; without one the whitelist
// host stands in for it (the answer is the same list).
std::string WhitelistHostUrl()
{
    ServiceUrl whitelist;
    return ParseServiceUrl(WhitelistBaseUrl(), whitelist) ? "https://" + whitelist.host + "/" : WhitelistBaseUrl();
}

// A TLS handshake with the service under the system's trust, as the
// signing exchanges make it; nothing is sent.
CURLcode ConnectToService(const std::string& url)
{
    CurlEasyPtr handle = OpenTransferHandle(url, CurrentExchangeLimits());
    if (!handle) return CURLE_FAILED_INIT;
    ApplySystemTrust(handle.get());
    curl_easy_setopt(handle.get(), CURLOPT_CONNECT_ONLY, 1L);
    return curl_easy_perform(handle.get());
}

void CheckService(CheckResult& check, const std::string& serviceUrl, const std::set<std::string>& whitelist,
                  bool whitelistRead)
{
    ServiceUrl service;
    if (!ParseServiceUrl(serviceUrl, service) || service.scheme != "https") {
        check.Add("serviceHost", serviceUrl, Verdict::Error, LoadString(strings::kDoctorServiceBadUrl));
        if (check.summary.empty()) check.summary = LoadString(strings::kDoctorServiceBadUrl);
        return;
    }
    if (whitelistRead) {
        const bool listed = whitelist.count(service.host) != 0;
        check.Add("serviceHost", service.host, listed ? Verdict::Ok : Verdict::Error,
                  LoadString(listed ? strings::kDoctorNoteOnWhitelist : strings::kDoctorNoteNotOnWhitelist));
        if (!listed && check.summary.empty()) check.summary = LoadString(strings::kDoctorServiceNotListed);
    }
    const CURLcode connected = ConnectToService(service.url);
    if (connected == CURLE_OK) {
        check.Add("serviceTls", service.host, Verdict::Ok, LoadString(strings::kDoctorNoteTrusted));
    } else if (connected == CURLE_PEER_FAILED_VERIFICATION) {
        check.Add("serviceTls", service.host, Verdict::Warning, LoadString(strings::kDoctorNoteNotTrusted));
        if (check.summary.empty()) check.summary = LoadString(strings::kDoctorServiceUntrusted);
    } else {
        check.Add("serviceTls", service.host, Verdict::Error, TransportFailureText(connected));
        if (check.summary.empty()) check.summary = LoadString(strings::kDoctorServiceUnreachable);
    }
}

}  // namespace

CheckResult CheckNetwork(const DoctorOptions& options)
{
    CheckResult check{"network", strings::kDoctorCheckNetwork};
    std::string proxy;
    const bool machineWide = ReadProxyUrl(proxy);
    check.Add("proxy", proxy.empty() ? "none" : proxy + (machineWide ? " (machine)" : " (user)"));
    check.Add("whitelistUrl", WhitelistBaseUrl());

    EventCapture capture;
    SigningSession session;
    session.sessionUrl = options.serviceUrl.empty() ? WhitelistHostUrl() : options.serviceUrl;
    const auto start = std::chrono::steady_clock::now();
    const SessionError downloaded = session.DownloadWhitelist();
    const auto took =
        std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start).count();
    check.Add("time", std::to_string(took) + " ms");
    // What a signing run would have logged: the trust test's entries name
    // the root a refused chain ended in, or the maker's root it accepted.
    for (const CapturedEntry& entry : capture.Take()) {
        check.Add("logEntry", entry.text,
                  entry.type == EntryType::Error ? std::optional(Verdict::Error) : std::nullopt);
    }
    for (const std::string& message : DoctorPrompts().TakeMessages()) check.Add("message", message);
    const bool whitelistRead = downloaded == SessionError::Ok;
    if (whitelistRead) {
        check.Add("hosts", std::to_string(session.whitelist.size()));
    } else {
        check.Raise(Verdict::Error);
        check.summary = LoadString(strings::kDoctorWhitelistFailed);
    }
    if (!options.serviceUrl.empty()) CheckService(check, options.serviceUrl, session.whitelist, whitelistRead);
    if (check.summary.empty())
        check.summary = FormatText(LoadString(strings::kDoctorWhitelistOk).c_str(), static_cast<int>(took),
                                   static_cast<int>(session.whitelist.size()));
    return check;
}

}  // namespace nerolin::tool::doctor
