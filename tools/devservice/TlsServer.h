#pragma once

// An HTTPS server on 127.0.0.1 with a certificate chain and key from files,
// and bounds on what it reads: kMaxRequestSize per request, the read
// deadline per request, httplib's read timeout per byte.

#include <cstddef>
#include <memory>
#include <string>

#include <httplib.h>

#include "tools/devservice/RequestDeadline.h"

namespace nerolin::devservice {

// The largest request body served; a larger one is answered 413. The
// agent's biggest request (the signatures of a session's documents) and the
// admin API's session setups stay far below.
inline constexpr std::size_t kMaxRequestSize = 16u << 20;
// What a request's line and headers may take together (the agent sends well
// under 1 KiB); a connection that sends more than this and the largest body
// before its request has been read is cut (RequestDeadline).
inline constexpr std::size_t kMaxHeaderBytes = 64u << 10;
// Connections served at once, each on its own worker: a client dripping its
// request holds one until its deadline, and every other connection must
// find a worker meanwhile. Connections beyond this wait for a free worker.
inline constexpr std::size_t kMaxWorkers = 256;

// Null and a reason when the files do not load. The server sends the whole
// chain file (end certificate first, then intermediates). deadline must
// outlive the server.
std::unique_ptr<httplib::SSLServer> MakeTlsServer(const std::string& chainFile, const std::string& keyFile,
                                                  RequestDeadline& deadline, std::string& error);

// Binds to 127.0.0.1:port (0: a free port); the bound port, or -1.
int BindLoopback(httplib::Server& server, int port);

}  // namespace nerolin::devservice
