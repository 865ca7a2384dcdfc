#pragma once

// A running nerolin-devservice for end-to-end tests: the whitelist host and
// the reference signing service on ephemeral ports of 127.0.0.1, started from
// the build tree in a temporary directory and stopped on destruction (also
// when the test process dies: the service ends when its standard input closes).
// The Windows tests under Wine start the Linux build's service
// (ServiceProcess.h); certificates are then named, not given as paths.
//
//   nerolin::test::DevService service;
//   ASSERT_TRUE(service.Running()) << service.Log();
//   auto session = service.CreateSession(R"({"mode":"SIGN","certificate":"ec"})");
//   ... run the agent with session->link, SSL_CERT_FILE=service.SslCertFile(),
//       and the whitelist URL service.WhitelistUrl() ...
//   auto report = service.SessionReport(session->sessionId);  // JSON text
//
// The JSON members of the admin calls are documented in
// tools/devservice/SessionSetup.h (sessions), FaultScript.h (faults),
// SessionReport.h (reports), WhitelistHost.h and AppcastFeed.h.

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <sys/types.h>

namespace nerolin::test {

class ServiceProcess;

class DevService {
public:
    struct Settings {
        std::string whitelistCertificate = "host-2848-root2";  // testdata/pki/whitelist/NAME or a path
        std::string serviceCertificate = "service-localhost";  // testdata/pki/service/NAME or a path
        std::vector<std::string> extraArguments;               // e.g. {"--allowed-hosts", "example.org"}
    };

    DevService();
    explicit DevService(Settings settings);
    ~DevService();
    DevService(const DevService&) = delete;
    DevService& operator=(const DevService&) = delete;

    // Started and ready to serve. When false, Log() says why.
    bool Running() const { return ready_; }
    std::string Log() const;  // everything the service printed so far

    int WhitelistPort() const { return whitelistPort_; }
    int ServicePort() const { return servicePort_; }
    std::string WhitelistUrl() const { return whitelistUrl_; }  // https://localhost:P/whitelist/whitelist.json
    std::string ServiceUrl() const { return serviceUrl_; }      // https://127.0.0.1:P
    std::string SslCertFile() const { return sslCertFile_; }    // makes the service's certificate trusted (PEM)
    std::string Directory() const { return directory_; }        // the temporary directory of this run
    pid_t Pid() const;                                          // -1 where the system gives none

    struct Reply {
        int status = 0;  // 0: no answer
        std::string body;
    };
    // Any admin or service request, e.g. Call("GET", "/admin/whitelist/requests").
    Reply Call(const std::string& method, const std::string& path, const std::string& body = {}) const;

    struct Session {
        std::string sessionId, sessionUrl, stateUrl, link;
    };
    // POST /admin/sessions; nullopt when the service refuses the request.
    std::optional<Session> CreateSession(const std::string& requestJson = "{}") const;
    // GET /admin/sessions/ID as JSON text.
    std::optional<std::string> SessionReport(const std::string& sessionId) const;
    bool AddFaults(const std::string& sessionId, const std::string& faultsJson) const;
    bool ReleaseHashes(const std::string& sessionId) const;
    // Answers the session's stalled requests now.
    bool ReleaseStalls(const std::string& sessionId) const;
    // Plays the mobile application; the JSON report of MobileClient.h.
    std::optional<std::string> PlayMobile(const std::string& sessionId, const std::string& optionsJson = "{}") const;
    bool ConfigureWhitelist(const std::string& json) const;
    std::optional<std::string> WhitelistRequests() const;  // JSON array
    bool ConfigureAppcast(const std::string& json) const;

private:
    void Start(const Settings& settings);
    void Stop();

    std::string directory_;
    std::unique_ptr<ServiceProcess> process_;
    bool ready_ = false;
    int whitelistPort_ = 0, servicePort_ = 0;
    std::string whitelistUrl_, serviceUrl_, sslCertFile_;
};

}  // namespace nerolin::test
