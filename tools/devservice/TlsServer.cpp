#include "tools/devservice/TlsServer.h"

#include <openssl/err.h>
#include <openssl/ssl.h>

namespace nerolin::devservice {

std::unique_ptr<httplib::SSLServer> MakeTlsServer(const std::string& chainFile, const std::string& keyFile,
                                                  RequestDeadline& deadline, std::string& error)
{
    auto server = std::make_unique<httplib::SSLServer>([&](SSL_CTX& context) {
        deadline.Attach(context);
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
    // Stalled answers hold a worker each; keep room for ordinary requests.
    server->new_task_queue = [] { return new httplib::ThreadPool(16); };
    server->set_payload_max_length(kMaxRequestSize);
    // One request per connection: the read deadline starts with the
    // handshake, so a kept-alive connection's next request would have none.
    server->set_keep_alive_max_count(1);
    return server;
}

int BindLoopback(httplib::Server& server, int port)
{
    if (port == 0) return server.bind_to_any_port("127.0.0.1");
    return server.bind_to_port("127.0.0.1", port) ? port : -1;
}

}  // namespace nerolin::devservice
