#include "TestHttpsServer.h"

#include <chrono>
#include <stdexcept>

namespace nerolin::test {

TestHttpsServer::TestHttpsServer(const std::string& chainPem, const std::string& keyPem, Handler handler)
{
    server_ = std::make_unique<httplib::SSLServer>([&](SSL_CTX& context) {
        return SSL_CTX_use_certificate_chain_file(&context, chainPem.c_str()) == 1 &&
               SSL_CTX_use_PrivateKey_file(&context, keyPem.c_str(), SSL_FILETYPE_PEM) == 1;
    });
    if (!server_->is_valid()) {
        throw std::runtime_error("TLS server cannot use " + chainPem);
    }
    auto record = [this, handler](const httplib::Request& request, httplib::Response& response) {
        {
            std::lock_guard lock(mutex_);
            requests_.push_back({request.method, request.target, request.headers, request.body});
        }
        handler(request, response);
    };
    server_->Get(".*", record);
    server_->Post(".*", record);
    port_ = server_->bind_to_any_port("127.0.0.1");
    if (port_ <= 0) {
        throw std::runtime_error("no port for the test server");
    }
    thread_ = std::thread([this] { server_->listen_after_bind(); });
    // stop() does nothing to a server that is not running yet, so a test that
    // ends at once would leave the listener blocked: wait until it runs.
    for (int i = 0; i < 1000 && !server_->is_running(); ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
}

TestHttpsServer::~TestHttpsServer()
{
    {
        std::lock_guard lock(mutex_);
        stopped_ = true;
    }
    stopping_.notify_all();
    server_->stop();
    thread_.join();
}

std::string TestHttpsServer::Url(const std::string& pathAndQuery) const
{
    return "https://localhost:" + std::to_string(port_) + pathAndQuery;
}

std::vector<RecordedRequest> TestHttpsServer::Requests() const
{
    std::lock_guard lock(mutex_);
    return requests_;
}

void TestHttpsServer::Stall()
{
    std::unique_lock lock(mutex_);
    stopping_.wait(lock, [this] { return stopped_; });
}

}  // namespace nerolin::test
