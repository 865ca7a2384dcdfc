#pragma once

// The agent's client of one signing session on the remote service. One
// object per run: start-up fills it from the launch request, the main
// window's threads call its operations one after another (it has no lock),
// and each operation makes one exchange and reports a SessionError.

#include <atomic>
#include <set>
#include <string>
#include <vector>

#include "filter/CertificateFilter.h"
#include "session/LaunchRequest.h"
#include "session/SessionMessages.h"
#include "session/SessionResult.h"

namespace nerolin {

class SigningSession {
public:
    SigningSession() = default;
    virtual ~SigningSession() = default;
    SigningSession(const SigningSession&) = delete;
    SigningSession& operator=(const SigningSession&) = delete;

    // Reads the launch request's JSON into sessionUrl, sessionId and mode;
    // hasLaunchRequest becomes true on success.
    bool ParseLaunchRequest(const std::string& json);
    // The launch request this session was started with.
    LaunchRequest Request() const;

    // GET of the whitelist into whitelist.
    SessionError DownloadWhitelist();
    // Poll message to sessionUrl; the configuration fills the session.
    SessionError FetchConfig();
    // The certificate to certificateUrl; fills unsignedHashUrl, or
    // serverMessage in SelectCertificateMode.
    SessionError SendCertificate();
    // Poll message to unsignedHashUrl; Ok without change on 202 (not ready).
    SessionError FetchUnsignedHashes();
    // Documents exist and every one has its unsigned hash.
    bool HasAllUnsignedHashes() const;
    // The signed hashes of all documents to signedHashUrl.
    SessionError SendSignedHashes();
    // The cancel message to sessionUrl; a failure shows message 105 itself,
    // unless the user refused the service's certificate in this run (the
    // message could never be sent, and the user has been told once).
    void SendCancel();
    // Poll message to stateUrl; fills state. When abort becomes true the
    // exchange ends within about a second, showing nothing (the user left).
    SessionError FetchState(const std::atomic<bool>* abort = nullptr);
    // The launch request as a link drawn into a QR code (Ok or QRCodeError).
    SessionError MakeQRCode(RgbImage& image) const;

    std::set<std::string> whitelist;
    std::string sessionUrl;
    std::string sessionId;
    SessionMode mode = SessionMode::SelectCertificateAndSignMode;
    bool hasLaunchRequest = false;
    std::string version;
    std::string spName;
    std::string message;
    std::string hashAlgorithm;  // dotted OID text, or empty for none
    std::vector<DocumentInfo> documents;
    CertificateFilter filter;
    std::string certificate;  // Base64 text with header and footer lines
    ServerMessage serverMessage;
    std::string certificateUrl;
    std::string unsignedHashUrl;
    std::string signedHashUrl;
    // Set (never cleared) by the user-interface thread while the worker runs.
    std::atomic<int> cancelRequested{0};
    std::string stateUrl;
    std::string state;

private:
    // The exchange every operation shares: post, then judge the status.
    SessionError Post(const std::string& url, const std::string& request, int& status, std::string& body,
                      const std::atomic<bool>* abort = nullptr);
};

}  // namespace nerolin
