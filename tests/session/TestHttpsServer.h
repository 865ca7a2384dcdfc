#pragma once

// A real HTTPS server on 127.0.0.1 and an ephemeral port, answering every
// GET and POST with a handler the test gives; it records each request.

#include <atomic>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include <httplib.h>

namespace nerolin::test {

struct RecordedRequest {
    std::string method;
    std::string target;  // path with query
    httplib::Headers headers;
    std::string body;
};

class TestHttpsServer {
public:
    using Handler = std::function<void(const httplib::Request&, httplib::Response&)>;

    // chainPem: end certificate (and intermediates) the server sends.
    TestHttpsServer(const std::string& chainPem, const std::string& keyPem, Handler handler);
    ~TestHttpsServer();
    TestHttpsServer(const TestHttpsServer&) = delete;
    TestHttpsServer& operator=(const TestHttpsServer&) = delete;

    int Port() const { return port_; }
    // "https://localhost:PORT" + pathAndQuery.
    std::string Url(const std::string& pathAndQuery) const;
    std::vector<RecordedRequest> Requests() const;

    // For a handler: blocks until the server shuts down (a server that stalls).
    void Stall();

private:
    std::unique_ptr<httplib::SSLServer> server_;
    std::thread thread_;
    int port_ = 0;
    mutable std::mutex mutex_;
    std::condition_variable stopping_;
    bool stopped_ = false;
    std::vector<RecordedRequest> requests_;
};

}  // namespace nerolin::test
