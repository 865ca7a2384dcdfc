#pragma once

// An HTTPS server on 127.0.0.1 with a certificate chain and key from files.

#include <memory>
#include <string>

#include <httplib.h>

namespace nerolin::devservice {

// Null and a reason when the files do not load. The server sends the whole
// chain file (end certificate first, then intermediates).
std::unique_ptr<httplib::SSLServer> MakeTlsServer(const std::string& chainFile, const std::string& keyFile,
                                                  std::string& error);

// Binds to 127.0.0.1:port (0: a free port); the bound port, or -1.
int BindLoopback(httplib::Server& server, int port);

}  // namespace nerolin::devservice
