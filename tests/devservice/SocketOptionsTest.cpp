// The service's sockets send each write at once (TCP_NODELAY): otherwise an
// answer's body waits for the client's delayed acknowledgement of its
// headers. Checked on the connection a request really arrived on, from
// inside its handler.

#include <dirent.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>

#include <string>
#include <thread>

#include <gtest/gtest.h>
#include <httplib.h>

#include "tools/devservice/TlsServer.h"

namespace nerolin::devservice {
namespace {

// "yes" when every connected TCP socket of this process whose local port is
// port has TCP_NODELAY set, "no" when one lacks it, "none" without any.
std::string AcceptedSocketsNoDelay(int port)
{
    std::string verdict = "none";
    DIR* folder = ::opendir("/proc/self/fd");
    if (folder == nullptr) return verdict;
    while (const dirent* entry = ::readdir(folder)) {
        const int fd = std::atoi(entry->d_name);
        sockaddr_in local{};
        sockaddr_in peer{};
        socklen_t size = sizeof local;
        if (fd <= 2 || ::getsockname(fd, reinterpret_cast<sockaddr*>(&local), &size) != 0 ||
            local.sin_family != AF_INET || ntohs(local.sin_port) != port)
            continue;
        size = sizeof peer;
        if (::getpeername(fd, reinterpret_cast<sockaddr*>(&peer), &size) != 0) continue;  // the listening socket
        // The client's end shares the port only as its peer, never as its own.
        int on = 0;
        size = sizeof on;
        if (::getsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, &size) != 0 || on == 0) {
            verdict = "no";
            break;
        }
        verdict = "yes";
    }
    ::closedir(folder);
    return verdict;
}

TEST(SocketOptions, EveryAcceptedConnectionSendsWithoutDelay)
{
    const std::string pki = NEROLIN_SOURCE_DIR "/testdata/pki/service/";
    RequestDeadline deadline(std::chrono::seconds(30), kMaxRequestSize + kMaxHeaderBytes);
    std::string error;
    auto server = MakeTlsServer(pki + "service-localhost.chain.pem", pki + "service-localhost.key", deadline, error);
    ASSERT_TRUE(server) << error;
    const int port = BindLoopback(*server, 0);
    ASSERT_GT(port, 0);
    server->Get("/probe", [&](const httplib::Request&, httplib::Response& response) {
        RequestDeadline::RequestRead();
        response.set_content(AcceptedSocketsNoDelay(port), "text/plain");
    });
    std::thread serving([&] { server->listen_after_bind(); });

    // Several connections, each a new accepted socket (one request each).
    for (int i = 0; i < 3; ++i) {
        httplib::SSLClient client("127.0.0.1", port);
        client.enable_server_certificate_verification(false);  // the server's side is tested
        const auto answer = client.Get("/probe");
        ASSERT_TRUE(answer) << httplib::to_string(answer.error());
        EXPECT_EQ(answer->body, "yes");
    }
    server->stop();
    serving.join();
}

}  // namespace
}  // namespace nerolin::devservice
