#include "tools/devservice/TlsServer.h"

#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>

#include <openssl/err.h>
#include <openssl/ssl.h>

#include "tools/devservice/GrowingPool.h"

namespace nerolin::devservice {

namespace {

// Every answer is written as the headers and then the body: with Nagle's
// algorithm on, the body waits for the client's (delayed) acknowledgement of
// the headers, some 40 ms per exchange. The option is set on each accepted
// socket when its ClientHello arrives, before the server writes a byte, so
// it holds whatever the listening socket passes on.
int NoDelayOnHello(SSL* ssl, int*, void*)
{
    const int on = 1;
    ::setsockopt(SSL_get_fd(ssl), IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
    return SSL_CLIENT_HELLO_SUCCESS;
}

}  // namespace

std::unique_ptr<httplib::SSLServer> MakeTlsServer(const std::string& chainFile, const std::string& keyFile,
                                                  RequestDeadline& deadline, std::string& error)
{
    auto server = std::make_unique<httplib::SSLServer>([&](SSL_CTX& context) {
        deadline.Attach(context);
        SSL_CTX_set_client_hello_cb(&context, &NoDelayOnHello, nullptr);
        SSL_CTX_set_min_proto_version(&context, TLS1_2_VERSION);
        if (SSL_CTX_use_certificate_chain_file(&context, chainFile.c_str()) != 1) {
            error = "cannot load the certificate chain " + chainFile;
            return false;
        }
        if (SSL_CTX_use_PrivateKey_file(&context, keyFile.c_str(), SSL_FILETYPE_PEM) != 1 ||
            SSL_CTX_check_private_key(&context) != 1) {
            error = "cannot load the key " + keyFile + " or it does not fit the certificate";
            return false;
        }
        return true;
    });
    if (!server->is_valid()) {
        if (error.empty()) error = "cannot set up TLS";
        ERR_clear_error();
        return nullptr;
    }
    // Stalled answers and dawdling clients hold a worker each; others get their own.
    server->new_task_queue = [] { return new GrowingPool(kMaxWorkers); };
    server->set_payload_max_length(kMaxRequestSize);
    // One request per connection: the read deadline starts with the
    // handshake, so a kept-alive connection's next request would have none.
    server->set_keep_alive_max_count(1);
    server->set_tcp_nodelay(true);  // the listening socket too: Linux passes it on to accepted ones
    return server;
}

int BindLoopback(httplib::Server& server, int port)
{
    // httplib's default adds SO_REUSEPORT, with which a second service binds
    // a port the first listens on and the kernel splits the connections
    // between them; SO_REUSEADDR alone still refuses a port in use.
    server.set_socket_options([](socket_t socket) {
        const int on = 1;
        ::setsockopt(socket, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    });
    if (port == 0) return server.bind_to_any_port("127.0.0.1");
    return server.bind_to_port("127.0.0.1", port) ? port : -1;
}

}  // namespace nerolin::devservice
