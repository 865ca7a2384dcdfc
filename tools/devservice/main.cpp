// nerolin-devservice: the whitelist host and a reference signing service on
// 127.0.0.1, in the foreground, for tests, benchmarks, the demo and
// integrators of the protocol. Stops cleanly on SIGINT and SIGTERM.

#include <atomic>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <ctime>
#include <iostream>
#include <mutex>
#include <thread>

#include <poll.h>
#include <pthread.h>
#include <sys/signalfd.h>
#include <unistd.h>

#include "tools/devservice/AppcastFeed.h"
#include "tools/devservice/DevPki.h"
#include "tools/devservice/HttpRoutes.h"
#include "tools/devservice/Options.h"
#include "tools/devservice/RequestDeadline.h"
#include "tools/devservice/ServiceProtocol.h"
#include "tools/devservice/SessionSetup.h"
#include "tools/devservice/TlsServer.h"
#include "tools/devservice/WhitelistHost.h"

namespace nerolin::devservice {
namespace {

std::mutex logMutex;

void Log(const std::string& line)
{
    std::lock_guard lock(logMutex);
    std::time_t now = std::time(nullptr);
    char stamp[16];
    std::strftime(stamp, sizeof stamp, "%H:%M:%S", std::gmtime(&now));
    std::cout << stamp << ' ' << line << std::endl;
}

void LogRequests(httplib::Server& server, const char* name)
{
    server.set_logger([name](const httplib::Request& request, const httplib::Response& response) {
        Log(std::string(name) + ' ' + request.method + ' ' + request.target + ' ' + std::to_string(response.status) +
            ' ' + std::to_string(response.body.size()) + 'B');
    });
}

// httplib's stop() does nothing until the server's loop has started, and a
// stop signal can come first (--exit-with-stdin with nothing on standard
// input, under load): wait for the loop, then stop it once, as a second stop
// of a stopping server is not allowed.
void StopWhenRunning(httplib::Server& server, const std::atomic<bool>& ended)
{
    while (!ended) {
        if (server.is_running()) {
            server.stop();
            return;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
}

// Waits on this thread for SIGINT or SIGTERM (blocked in every thread since
// main, so they arrive here as data) and, when asked, for the end of
// standard input: a test fixture holds its other end, so if the test dies,
// so does the service. Says what ended the wait.
std::string WaitForStop(bool watchStdin)
{
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    const int signals = ::signalfd(-1, &stopSignals, SFD_CLOEXEC);
    if (signals < 0) {
        int signal = 0;
        sigwait(&stopSignals, &signal);
        return signal == SIGINT ? "SIGINT" : "SIGTERM";
    }
    pollfd watched[2] = {{signals, POLLIN, 0}, {STDIN_FILENO, POLLIN, 0}};
    std::string reason;
    while (reason.empty()) {
        if (::poll(watched, watchStdin ? 2 : 1, -1) < 0) {
            if (errno == EINTR) continue;
            reason = "a failed poll";
        } else if (watched[0].revents != 0) {
            signalfd_siginfo info{};
            const bool read = ::read(signals, &info, sizeof info) == static_cast<ssize_t>(sizeof info);
            reason = read && info.ssi_signo == SIGINT ? "SIGINT" : "SIGTERM";
        } else if (watchStdin && watched[1].revents != 0) {
            char buffer[256];
            if (::read(STDIN_FILENO, buffer, sizeof buffer) <= 0) reason = "the end of standard input";
        }
    }
    ::close(signals);
    return reason;
}

// The file that SSL_CERT_FILE must name for the service's certificate to be trusted.
std::string TrustFile(const Options& options, const DevPki& pki, const DevPki::TlsFiles& service)
{
    if (!options.trustFile.empty()) return options.trustFile;
    if (options.serviceCertificate == "service-localhost") return pki.Path("service/service-ca.pem");
    return service.chain;  // a self-signed certificate trusts itself
}

int Run(const Options& options)
{
    DevPki pki(options.pkiDirectory);
    auto whitelistFiles = pki.TlsIdentity("whitelist", options.whitelistCertificate);
    auto serviceFiles = pki.TlsIdentity("service", options.serviceCertificate);
    if (!whitelistFiles || !serviceFiles) {
        std::cerr << "nerolin-devservice: no certificate chain and key for "
                  << (whitelistFiles ? options.serviceCertificate : options.whitelistCertificate) << " in "
                  << pki.Directory() << '\n';
        return 1;
    }
    std::string error;
    // Outlives both servers: their connections end before it does.
    RequestDeadline deadline(std::chrono::seconds(options.requestSeconds), kMaxRequestSize + kMaxHeaderBytes);
    auto whitelistServer = MakeTlsServer(whitelistFiles->chain, whitelistFiles->key, deadline, error);
    auto serviceServer =
        whitelistServer ? MakeTlsServer(serviceFiles->chain, serviceFiles->key, deadline, error) : nullptr;
    if (!serviceServer) {
        std::cerr << "nerolin-devservice: " << error << '\n';
        return 1;
    }
    int whitelistPort = BindLoopback(*whitelistServer, options.whitelistPort);
    int servicePort = BindLoopback(*serviceServer, options.servicePort);
    if (whitelistPort <= 0 || servicePort <= 0) {
        std::cerr << "nerolin-devservice: cannot listen on 127.0.0.1 port "
                  << (whitelistPort <= 0 ? options.whitelistPort : options.servicePort)
                  << " (in use by another program, another nerolin-devservice perhaps)\n";
        return 1;
    }

    std::string serviceBase = "https://" + options.urlHost + ":" + std::to_string(servicePort);
    SessionStore store;
    ServiceProtocol protocol(store, SessionUrls{serviceBase});
    WhitelistHost whitelist(options.allowedHosts);
    AppcastFeed appcast(serviceBase, options.appcastVersion);
    MountWhitelistRoutes(*whitelistServer, whitelist);
    MountServiceRoutes(*serviceServer, protocol, appcast);
    MountWebAppRoutes(*serviceServer, protocol);
    MountAdminRoutes(*serviceServer, protocol, pki, whitelist, appcast);
    LogRequests(*whitelistServer, "whitelist");
    LogRequests(*serviceServer, "service");

    std::cout << "SSL_CERT_FILE=" << TrustFile(options, pki, *serviceFiles) << '\n';
    std::string whitelistUrl = "https://localhost:" + std::to_string(whitelistPort) + "/whitelist/whitelist.json";
    if (options.demo) {
        for (const char* mode : {"SELECT_CERTIFICATE", "SIGN", "SELECT_CERTIFICATE_AND_SIGN", "TEST"}) {
            rapidjson::Document request(rapidjson::kObjectType);
            request.AddMember("mode", rapidjson::StringRef(mode), request.GetAllocator());
            request.AddMember("pendingPolls", 2, request.GetAllocator());
            auto session = SessionFromRequest(request, pki, protocol.Urls(), error);
            if (!session) {
                std::cerr << "nerolin-devservice: " << error << '\n';
                return 1;
            }
            std::cout << mode << ' ' << LaunchLinkFor(protocol.Urls(), *session) << '\n';
            store.Add(std::move(*session));
        }
    } else {
        std::cout << "WHITELIST_URL=" << whitelistUrl << '\n' << "SERVICE_URL=" << serviceBase << '\n';
    }
    std::cout << "ready" << std::endl;
    if (options.demo) Log("whitelist " + whitelistUrl + ", service " + serviceBase);

    std::atomic<bool> whitelistEnded{false};
    std::atomic<bool> serviceEnded{false};
    std::thread whitelistThread([&] {
        whitelistServer->listen_after_bind();
        whitelistEnded = true;
    });
    std::thread serviceThread([&] {
        serviceServer->listen_after_bind();
        serviceEnded = true;
    });

    Log("stopping on " + WaitForStop(options.exitWithStdin));
    store.Stop();
    StopWhenRunning(*whitelistServer, whitelistEnded);
    StopWhenRunning(*serviceServer, serviceEnded);
    whitelistThread.join();
    serviceThread.join();
    Log("stopped");
    return 0;
}

}  // namespace
}  // namespace nerolin::devservice

int main(int argc, char** argv)
{
    // Every thread inherits this mask, so the signals wait for WaitForStop in Run.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);
    std::signal(SIGPIPE, SIG_IGN);

    std::string message;
    auto options = nerolin::devservice::ParseOptions(argc, argv, message);
    if (!options) {
        const bool asked = message == nerolin::devservice::kUsage || message == nerolin::devservice::VersionText();
        (asked ? std::cout : std::cerr) << message;
        return asked ? 0 : 2;
    }
    return nerolin::devservice::Run(*options);
}
